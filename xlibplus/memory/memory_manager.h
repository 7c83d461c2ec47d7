#pragma once

#include <cstdint>

// The library's memory entry points. Every buffer a library object owns comes
// from xAlloc/xRealloc and goes back through xFree. Requests are served from
// twelve power-of-two size classes (fixed-size pools) or, past the largest,
// from the general heap; each block carries a header in front of it.
namespace xlibplus {

// In front of every block handed out: caller's address = header + kBlockHeaderSize.
struct xBlockHeader {
    std::uint8_t sizeClass; // 0..11: pooled, kLargeBlockClass: general heap
    std::uint8_t state;     // kStateInUse or kStateReleased
    std::uint16_t magic;    // kBlockMagic
    std::uint32_t size;     // bytes the caller asked for
    const char* tag;        // the caller's text, not copied: it must outlive the block
};

inline constexpr std::uint32_t kBlockHeaderSize = sizeof(xBlockHeader);
static_assert(kBlockHeaderSize == (sizeof(void*) == 8 ? 16 : 12), "header layout");
static_assert(kBlockHeaderSize % alignof(xBlockHeader) == 0, "blocks keep the header's alignment");

inline constexpr std::uint8_t kLargeBlockClass = 12;
inline constexpr std::uint8_t kStateInUse = 'e';
inline constexpr std::uint8_t kStateReleased = 'f';
inline constexpr std::uint16_t kBlockMagic = 0x4D50;

inline constexpr unsigned kSizeClassCount = 12;
// Class sizes include the header.
inline constexpr std::uint32_t sizeClassBytes[kSizeClassCount] = {
    0x40, 0x80, 0x100, 0x200, 0x400, 0x800, 0x1000, 0x2000, 0x4000, 0x8000, 0x10000, 0x20000};

// The class of a gross size (request + header): 0..11, or kLargeBlockClass.
unsigned sizeClassOf(std::uint32_t grossSize);

// What the entry points forward to, under the manager lock.
class IMemManager {
  public:
    virtual void* allocate(std::uint32_t size, const char* tag) = 0;
    virtual void release(void* block) = 0;
    virtual void* reallocate(void* block, std::uint32_t size) = 0;

  protected:
    ~IMemManager() = default;
};

// The default manager. Constructing it makes it the current one; destroying it
// changes nothing, so the entry points keep working at exit after its
// destructor has run.
class xDefMM : public IMemManager {
  public:
    xDefMM();
    virtual ~xDefMM();

    void* allocate(std::uint32_t size, const char* tag) override;
    void release(void* block) override;
    void* reallocate(void* block, std::uint32_t size) override;
};

// Null when no memory could be had, or when size + header does not fit in 32 bits.
void* xAlloc(std::uint32_t size, const char* tag);
// Keeps min(old, new) bytes and the tag; null leaves the old block as it was.
// A null or foreign block is not touched: a fresh one is allocated.
void* xRealloc(void* block, std::uint32_t size);
// Null and addresses that are not blocks are ignored.
void xFree(void* block);

// Queries; an address that is not a block gives null, 0 and 0.
const char* xBlockTag(const void* block);
std::uint32_t xBlockCapacity(const void* block);
int xBlockSetSize(void* block, std::uint32_t size);

} // namespace xlibplus
