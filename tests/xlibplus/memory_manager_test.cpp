#include "xlibplus/memory/memory_manager.h"
#include "xlibplus/memory/poisoning.h"
#include "xlibplus/memory/size_class_pools.h"

#include "tests/support/stdout_capture.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace xlibplus;

constexpr std::uint32_t H = kBlockHeaderSize;
constexpr std::uint32_t kLargestPooled = 0x20000 - H;

void fill(void* block, std::uint32_t bytes, std::uint8_t seed) {
    auto* p = static_cast<std::uint8_t*>(block);
    for (std::uint32_t i = 0; i < bytes; ++i)
        p[i] = static_cast<std::uint8_t>(seed + i * 7);
}

bool holds(const void* block, std::uint32_t bytes, std::uint8_t seed) {
    auto* p = static_cast<const std::uint8_t*>(block);
    for (std::uint32_t i = 0; i < bytes; ++i)
        if (p[i] != static_cast<std::uint8_t>(seed + i * 7)) return false;
    return true;
}

xBlockHeader* headerOf(void* block) {
    return reinterpret_cast<xBlockHeader*>(static_cast<std::uint8_t*>(block) - H);
}

TEST(SizeClasses, SmallestClassThatHoldsTheGrossSize) {
    EXPECT_EQ(sizeClassOf(0), 0u);
    EXPECT_EQ(sizeClassOf(64), 0u);
    EXPECT_EQ(sizeClassOf(65), 1u);
    for (unsigned k = 0; k < kSizeClassCount; ++k) {
        EXPECT_EQ(sizeClassOf(sizeClassBytes[k]), k);
        EXPECT_EQ(sizeClassOf(sizeClassBytes[k] + 1), k + 1);
        EXPECT_EQ(sizeClassOf(sizeClassBytes[k] - 1), k);
    }
    EXPECT_EQ(sizeClassOf(0xFFFFFFFFu), kLargeBlockClass);
}

TEST(MemoryManager, EveryClassBoundaryOnBothSides) {
    for (unsigned k = 0; k < kSizeClassCount; ++k) {
        const std::uint32_t usable = sizeClassBytes[k] - H;
        void* fits = xAlloc(usable, "fits");
        void* over = xAlloc(usable + 1, "over");
        ASSERT_NE(fits, nullptr);
        ASSERT_NE(over, nullptr);
        EXPECT_EQ(xBlockCapacity(fits), usable) << "class " << k;
        EXPECT_EQ(headerOf(fits)->sizeClass, k);
        const std::uint32_t nextCapacity =
            k + 1 < kSizeClassCount ? sizeClassBytes[k + 1] - H : usable + 1;
        EXPECT_EQ(xBlockCapacity(over), nextCapacity) << "class " << k;
        EXPECT_EQ(headerOf(over)->sizeClass, k + 1);
        xFree(fits);
        xFree(over);
    }
    void* empty = xAlloc(0, "empty");
    EXPECT_EQ(xBlockCapacity(empty), 64 - H);
    xFree(empty);
}

TEST(MemoryManager, LargeBlocksComeFromTheHeapWithExactlyTheirSize) {
    void* largest = xAlloc(kLargestPooled, "t");
    void* large = xAlloc(kLargestPooled + 1, "t");
    EXPECT_EQ(headerOf(largest)->sizeClass, 11);
    EXPECT_EQ(headerOf(large)->sizeClass, kLargeBlockClass);
    EXPECT_EQ(xBlockCapacity(large), kLargestPooled + 1);
    fill(large, kLargestPooled + 1, 3);
    EXPECT_TRUE(holds(large, kLargestPooled + 1, 3));
    xFree(largest);
    xFree(large);
}

TEST(MemoryManager, HeaderRecordsClassStateMagicSizeAndTag) {
    static const char tag[] = "header";
    void* block = xAlloc(100, tag);
    const xBlockHeader* header = headerOf(block);
    EXPECT_EQ(header->sizeClass, 1);
    EXPECT_EQ(header->state, 'e');
    EXPECT_EQ(header->magic, 0x4D50);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(header);
    EXPECT_EQ(bytes[2], 0x50);
    EXPECT_EQ(bytes[3], 0x4D);
    EXPECT_EQ(header->size, 100u);
    EXPECT_EQ(header->tag, tag);
    EXPECT_EQ(xBlockTag(block), tag);
    xFree(block);
}

TEST(MemoryManager, EveryAddressIs16ByteAligned) {
    std::vector<void*> blocks;
    for (std::uint32_t size :
         {0u, 1u, 15u, 48u, 49u, 100u, 1000u, 5000u, 70000u, 131061u, 300000u}) {
        for (int i = 0; i < 3; ++i)
            blocks.push_back(xAlloc(size, "align"));
        blocks.push_back(xRealloc(xAlloc(size, "align"), size * 2 + 1));
    }
    for (void* b : blocks) {
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b) % 16, 0u);
        xFree(b);
    }
}

TEST(MemoryManager, ReallocWithinTheClassKeepsAddressAndContentsAndRecordsTheSize) {
    void* block = xAlloc(300, "grow");
    fill(block, 300, 1);
    EXPECT_EQ(xRealloc(block, sizeClassBytes[3] - H), block);
    EXPECT_EQ(headerOf(block)->size, sizeClassBytes[3] - H);
    EXPECT_EQ(xRealloc(block, 245), block);
    EXPECT_EQ(headerOf(block)->size, 245u);
    EXPECT_TRUE(holds(block, 245, 1));

    // The recorded size decides what a later move copies.
    void* moved = xRealloc(block, 5000);
    EXPECT_NE(moved, block);
    EXPECT_TRUE(holds(moved, 245, 1));
    xFree(moved);
}

TEST(MemoryManager, ReallocAcrossClassesMovesKeepsTheSmallerSizeAndTheTag) {
    static const char tag[] = "moving";
    void* block = xAlloc(400, tag); // class 3
    fill(block, 400, 9);
    void* shrunk = xRealloc(block, 10); // class 0
    ASSERT_NE(shrunk, block);
    EXPECT_EQ(headerOf(shrunk)->sizeClass, 0);
    EXPECT_TRUE(holds(shrunk, 10, 9));
    EXPECT_EQ(xBlockTag(shrunk), tag);
    EXPECT_EQ(xBlockTag(block), nullptr) << "the old block went back";

    void* grown = xRealloc(shrunk, 200000); // general heap
    EXPECT_TRUE(holds(grown, 10, 9));
    EXPECT_EQ(xBlockTag(grown), tag);
    void* back = xRealloc(grown, 60);
    EXPECT_EQ(headerOf(back)->sizeClass, 1);
    EXPECT_TRUE(holds(back, 10, 9));
    xFree(back);
}

TEST(MemoryManager, LargeToLargeKeepsContentsAndTag) {
    static const char tag[] = "large";
    void* block = xAlloc(200000, tag);
    fill(block, 200000, 5);
    void* bigger = xRealloc(block, 300000);
    ASSERT_NE(bigger, nullptr);
    EXPECT_TRUE(holds(bigger, 200000, 5));
    EXPECT_EQ(xBlockCapacity(bigger), 300000u);
    EXPECT_EQ(xBlockTag(bigger), tag);
    void* smaller = xRealloc(bigger, 150000);
    EXPECT_TRUE(holds(smaller, 150000, 5));
    EXPECT_EQ(xBlockCapacity(smaller), 150000u);
    xFree(smaller);
}

TEST(MemoryManager, GrowingAKilobyteAtATimeKeepsEveryByte) {
    void* buffer = nullptr;
    std::uint32_t size = 0;
    for (int step = 0; step < 600; ++step) {
        buffer = xRealloc(buffer, size + 1024);
        ASSERT_NE(buffer, nullptr);
        fill(static_cast<std::uint8_t*>(buffer) + size, 1024, static_cast<std::uint8_t>(step));
        size += 1024;
    }
    for (int step = 0; step < 600; ++step)
        ASSERT_TRUE(holds(static_cast<std::uint8_t*>(buffer) + step * 1024, 1024,
                          static_cast<std::uint8_t>(step)));
    xFree(buffer);
}

TEST(MemoryManager, ReallocOfNothingAllocatesANonameBlock) {
    void* block = xRealloc(nullptr, 70);
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(xBlockTag(block), "NONAME");
    EXPECT_EQ(xBlockCapacity(block), 128 - H);
    xFree(block);
}

TEST(MemoryManager, NullAndForeignAddressesAreLeftAlone) {
    xFree(nullptr);
    EXPECT_EQ(xBlockTag(nullptr), nullptr);
    EXPECT_EQ(xBlockCapacity(nullptr), 0u);
    EXPECT_EQ(xBlockSetSize(nullptr, 0), 0);

    // Even a perfect copy of a header in foreign memory is not taken for a block.
    auto* foreign = static_cast<std::uint8_t*>(std::malloc(4096));
    xBlockHeader forged{kLargeBlockClass, kStateInUse, kBlockMagic, 4000, "forged"};
    std::memcpy(foreign, &forged, sizeof forged);
    void* pretend = foreign + H;
    EXPECT_EQ(xBlockTag(pretend), nullptr);
    EXPECT_EQ(xBlockCapacity(pretend), 0u);
    xFree(pretend);
    void* fresh = xRealloc(pretend, 10);
    EXPECT_NE(fresh, pretend);
    EXPECT_STREQ(xBlockTag(fresh), "NONAME");
    xFree(fresh);
    EXPECT_EQ(std::memcmp(foreign, &forged, sizeof forged), 0)
        << "nothing written into foreign memory";
    std::free(foreign);
}

// Two pages, the first of them no longer mapped.
class PageAfterAHole {
  public:
#if defined(_WIN32)
    PageAfterAHole() {
        pages_ = static_cast<std::uint8_t*>(
            VirtualAlloc(nullptr, kPage * 2, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        if (pages_) VirtualFree(pages_, kPage, MEM_DECOMMIT);
    }
    ~PageAfterAHole() { VirtualFree(pages_, 0, MEM_RELEASE); }
#else
    PageAfterAHole() {
        void* pages =
            mmap(nullptr, kPage * 2, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (pages == MAP_FAILED || munmap(pages, kPage) != 0) return;
        pages_ = static_cast<std::uint8_t*>(pages);
    }
    ~PageAfterAHole() {
        if (pages_) munmap(pages_ + kPage, kPage);
    }
#endif
    std::uint8_t* page() const { return pages_ ? pages_ + kPage : nullptr; }

  private:
    static constexpr std::size_t kPage = 65536; // a whole number of pages everywhere
    std::uint8_t* pages_ = nullptr;
};

TEST(MemoryManager, AnAddressAfterAnUnmappedPageIsNeverRead) {
    PageAfterAHole hole;
    ASSERT_NE(hole.page(), nullptr);
    void* startOfMappedPage = hole.page();

    xFree(startOfMappedPage);
    EXPECT_EQ(xBlockTag(startOfMappedPage), nullptr);
    EXPECT_EQ(xBlockCapacity(startOfMappedPage), 0u);
    EXPECT_EQ(xBlockSetSize(startOfMappedPage, 1), 0);
    void* fresh = xRealloc(startOfMappedPage, 16);
    EXPECT_NE(fresh, startOfMappedPage);
    xFree(fresh);
}

TEST(MemoryManager, SizesWhoseHeaderDoesNotFitIn32BitsGiveNull) {
    EXPECT_EQ(xAlloc(0xFFFFFFFFu, "huge"), nullptr);
    EXPECT_EQ(xAlloc(0xFFFFFFFFu - H + 1, "huge"), nullptr);
    void* block = xAlloc(100, "keep");
    fill(block, 100, 4);
    EXPECT_EQ(xRealloc(block, 0xFFFFFFFFu), nullptr);
    EXPECT_TRUE(holds(block, 100, 4)) << "the old block stays as it was";
    EXPECT_EQ(xBlockCapacity(block), 128 - H);
    xFree(block);
}

TEST(MemoryManager, SetSizeRecordsOnlyWhatTheBlockCanHold) {
    void* block = xAlloc(10, "size");
    EXPECT_EQ(xBlockSetSize(block, 64 - H), 1);
    EXPECT_EQ(headerOf(block)->size, 64 - H);
    EXPECT_EQ(xBlockSetSize(block, 64 - H + 1), 0);
    EXPECT_EQ(headerOf(block)->size, 64 - H);
    xFree(block);

    void* large = xAlloc(200000, "size");
    EXPECT_EQ(xBlockSetSize(large, 200001), 0);
    EXPECT_EQ(xBlockSetSize(large, 100), 1);
    EXPECT_EQ(xBlockCapacity(large), 100u);
    xFree(large);
}

TEST(MemoryManager, ReleasedPooledBlockIsReusedSilentlyAndASecondFreeDoesNothing) {
    void* first = xAlloc(20, "twice");
    void* second = xAlloc(20, "twice");
    const auto before = detail::sizeClassFigures(0);
    std::string out = stdoutOf([&] {
        xFree(first);
        xFree(first);
    });
    EXPECT_EQ(out, "");
    EXPECT_EQ(detail::sizeClassFigures(0).usedBlocks, before.usedBlocks - 1);

    out = stdoutOf([&] { EXPECT_EQ(xAlloc(20, "again"), first); });
    EXPECT_EQ(out, "") << "a released block does not look like one in use";
    xFree(first);
    xFree(second);
}

TEST(MemoryManager, ReleaseOfABlockMarkedReleasedSaysSoAndDoesNothingElse) {
    static const char tag[] = "marked";
    void* block = xAlloc(150000, tag);
    headerOf(block)->state = kStateReleased;
    std::string out = stdoutOf([&] { xFree(block); });
    EXPECT_EQ(out, "ERROR: delete deleted memory - (150000)marked!\n");
    EXPECT_EQ(xBlockCapacity(block), 150000u) << "still held, not given to the heap";
    headerOf(block)->state = kStateInUse;
    xFree(block);
    EXPECT_EQ(xBlockTag(block), nullptr);
}

TEST(MemoryManager, FreshMemoryThatReadsAsABlockInUseIsReported) {
    // An overrun from one block writes what looks like a header in use over
    // the next block of the chunk, which has never been handed out yet.
    if (detail::sizeClassFigures(8).chunks != 0) GTEST_SKIP() << "class 8 in use";
#if defined(XLIB_ADDRESS_SANITIZER)
    GTEST_SKIP() << "the overrun this test makes is what AddressSanitizer reports";
#endif
    void* first = xAlloc(10000, "first");
    auto* nextBlock = static_cast<std::uint8_t*>(first) - H + sizeClassBytes[8];
    xBlockHeader inUse{8, kStateInUse, kBlockMagic, 1, "old"};
    std::memcpy(nextBlock, &inUse, sizeof inUse);

    void* second = nullptr;
    std::string out = stdoutOf([&] { second = xAlloc(9000, "second"); });
    EXPECT_EQ(second, nextBlock + H);
    EXPECT_EQ(out, "ERROR: alloc alloced memory - (" + std::to_string(9000 + H) + ")second!\n");
    EXPECT_STREQ(xBlockTag(second), "second") << "the allocation completes";
    xFree(second);
    xFree(first);
}

} // namespace

#if defined(XLIB_ADDRESS_SANITIZER)
namespace {

// Only AddressSanitizer builds poison pool memory.
TEST(MemoryPoisoning, OverrunsAndUsesAfterFreeInsideAPoolAreCaught) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            auto* block = static_cast<volatile char*>(xlibplus::xAlloc(10, "poisoned"));
            block[10] = 1; // one past the requested size, inside the 48-byte block
        },
        "use-after-poison");
    EXPECT_DEATH(
        {
            xlibplus::xAlloc(40, "keeps the chunk");
            auto* block = static_cast<volatile char*>(xlibplus::xAlloc(40, "poisoned"));
            xlibplus::xFree(const_cast<char*>(block));
            block[20] = 1; // a free block in a chunk still held
        },
        "use-after-poison");
    auto* grown = static_cast<char*>(xlibplus::xAlloc(10, "poisoned"));
    grown =
        static_cast<char*>(xlibplus::xRealloc(grown, 40)); // same class: the bytes become usable
    grown[39] = 1;
    xlibplus::xFree(grown);
}

} // namespace
#endif
