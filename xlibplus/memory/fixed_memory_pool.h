#pragma once

#include "xlibplus/memory/poisoning.h"

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace xlibplus::memory {

// What an inconsistent pool throws (as a pointer to this text).
extern const char kPoolFatalError[13];

// Hands out blocks of BlockSize bytes, taken from the general heap one chunk of
// BlocksPerChunk blocks at a time. Blocks are carved lazily; a released block
// goes on its chunk's LIFO free list, its first pointer-sized bytes holding the
// link; a chunk goes back to the heap as soon as its last block does. Chunks
// are kept in order so that allocation takes the fullest chunk with room
// without searching: chunks with room by falling use, then the full ones.
//
// Not thread-safe: callers hold a lock around every call. The pool never writes
// to a block that is handed out.
template <std::uint32_t BlockSize, std::uint32_t BlocksPerChunk> class xFixedMemoryPool {
    static_assert(BlockSize >= sizeof(void*) && BlockSize % 16 == 0,
                  "blocks hold a link and stay 16-byte aligned");
    static_assert(BlocksPerChunk > 0, "a chunk holds blocks");

  public:
    struct Chunk {
        Chunk* prev;
        Chunk* next;
        void* freeList; // most recently released block, null when none
        std::uint32_t usedCount;
        std::uint32_t carvedCount; // blocks from this index on were never handed out
    };
    static constexpr std::size_t kChunkHeaderSize = sizeof(Chunk);
    static constexpr std::size_t kBlockAreaBytes = std::size_t(BlocksPerChunk) * BlockSize;
    static constexpr std::size_t kChunkBytes = kChunkHeaderSize + kBlockAreaBytes;
    static_assert(kChunkHeaderSize % 16 == 0, "the block area stays 16-byte aligned");
    static constexpr std::size_t kReadableWhenFree = 16;

    xFixedMemoryPool() = default;
    xFixedMemoryPool(const xFixedMemoryPool&) = delete;
    xFixedMemoryPool& operator=(const xFixedMemoryPool&) = delete;
    // Gives every chunk back. A subclass that overrides onLeakedBlock calls
    // releaseAll from its own destructor: by the time this one runs, only the
    // pool's own onLeakedBlock can be reached.
    virtual ~xFixedMemoryPool() { releaseAll(); }

    // Called by releaseAll for each block still handed out.
    virtual void onLeakedBlock(void* /*block*/) {}

    // A block, or null when the heap cannot supply a chunk. Throws
    // kPoolFatalError if the first chunk has room on paper but not in fact.
    void* allocate() {
        if (!firstChunk_ || isFull(firstChunk_)) {
            if (!addChunk()) return nullptr;
        }
        Chunk* chunk = firstChunk_;
        void* block;
        if (chunk->freeList) {
            block = chunk->freeList;
            chunk->freeList = linkOf(block);
        } else {
            if (chunk->carvedCount == BlocksPerChunk) throw kPoolFatalError;
            block = blockAt(chunk, chunk->carvedCount);
            ++chunk->carvedCount;
        }
        ++chunk->usedCount;
        ++usedBlocks_;
        if (isFull(chunk)) moveToTail(chunk);
        unpoison(block, BlockSize);
        return block;
    }

    // Takes a block back; returns false, changing nothing, for an address that
    // is not a block of this pool in use (off a block boundary, in no chunk,
    // never handed out, or already released).
    bool release(void* block) {
        Chunk* chunk = findChunk(block);
        if (!chunk || chunk->usedCount == 0) return false;
        if (indexOf(chunk, block) >= chunk->carvedCount || isOnFreeList(chunk, block)) return false;

        // A free block keeps its first bytes readable: the link, and the
        // header the memory manager looks at.
        poison(static_cast<std::uint8_t*>(block) + kReadableWhenFree,
               BlockSize - kReadableWhenFree);
        setLink(block, chunk->freeList);
        chunk->freeList = block;
        const bool wasFull = isFull(chunk);
        --chunk->usedCount;
        --usedBlocks_;
        if (chunk->usedCount == 0) {
            releaseChunk(chunk);
        } else if (wasFull) {
            moveToHead(chunk);
        } else {
            sinkChunk(chunk);
        }
        return true;
    }

    // Reports each block still handed out through onLeakedBlock, in address
    // order within each chunk, and gives every chunk back.
    void releaseAll() {
        for (Chunk* chunk = firstChunk_; chunk;) {
            Chunk* next = chunk->next;
            if (chunk->usedCount != 0) reportLeaks(chunk);
            unpoison(areaOf(chunk), kBlockAreaBytes);
            giveChunk(chunk);
            chunk = next;
        }
        lastChunk_ = firstChunk_ = nullptr;
        chunkCount_ = usedBlocks_ = 0;
    }

    const Chunk* firstChunk() const { return firstChunk_; }
    const Chunk* lastChunk() const { return lastChunk_; }
    std::uint32_t usedBlocks() const { return usedBlocks_; }
    std::uint32_t chunkCount() const { return chunkCount_; }

    static std::uint8_t* blockAt(const Chunk* chunk, std::uint32_t index) {
        return areaOf(chunk) + std::size_t(index) * BlockSize;
    }

  protected:
    // Where chunk memory comes from; the memory manager watches it.
    virtual void* takeChunk(std::size_t bytes) { return std::malloc(bytes); }
    virtual void giveChunk(void* chunk) { std::free(chunk); }

  private:
    static std::uint8_t* areaOf(const Chunk* chunk) {
        return reinterpret_cast<std::uint8_t*>(const_cast<Chunk*>(chunk)) + kChunkHeaderSize;
    }
    static std::size_t indexOf(const Chunk* chunk, const void* block) {
        return std::size_t(static_cast<const std::uint8_t*>(block) - areaOf(chunk)) / BlockSize;
    }
    static void* linkOf(const void* block) {
        void* link;
        std::memcpy(&link, block, sizeof link);
        return link;
    }
    static void setLink(void* block, void* link) { std::memcpy(block, &link, sizeof link); }

    static bool isFull(const Chunk* chunk) { return chunk->usedCount == BlocksPerChunk; }

    // pre: chunk->usedCount > 0. Bounded by the blocks free in this chunk.
    static bool isOnFreeList(const Chunk* chunk, const void* block) {
        for (const void* free = chunk->freeList; free; free = linkOf(free))
            if (free == block) return true;
        return false;
    }

    Chunk* addChunk() {
        auto* chunk = static_cast<Chunk*>(takeChunk(kChunkBytes));
        if (!chunk) return nullptr;
        chunk->freeList = nullptr;
        chunk->usedCount = chunk->carvedCount = 0;
        poison(areaOf(chunk), kBlockAreaBytes);
        insertBetween(chunk, nullptr, firstChunk_);
        ++chunkCount_;
        return chunk;
    }

    void releaseChunk(Chunk* chunk) {
        if (chunk->usedCount != 0) return;
        unlink(chunk);
        unpoison(areaOf(chunk), kBlockAreaBytes);
        giveChunk(chunk);
        --chunkCount_;
    }

    Chunk* findChunk(const void* address) const {
        const auto a = reinterpret_cast<std::uintptr_t>(address);
        for (Chunk* chunk = firstChunk_; chunk; chunk = chunk->next) {
            const auto area = reinterpret_cast<std::uintptr_t>(areaOf(chunk));
            if (area <= a && a < area + kBlockAreaBytes)
                return (a - area) % BlockSize == 0 ? chunk : nullptr;
        }
        return nullptr;
    }

    void unlink(Chunk* chunk) {
        if (chunk->prev)
            chunk->prev->next = chunk->next;
        else
            firstChunk_ = chunk->next;
        if (chunk->next)
            chunk->next->prev = chunk->prev;
        else
            lastChunk_ = chunk->prev;
    }

    // pre: chunk is unlinked; prev and next are neighbours in the list (or null at its ends).
    void insertBetween(Chunk* chunk, Chunk* prev, Chunk* next) {
        chunk->prev = prev;
        chunk->next = next;
        if (prev)
            prev->next = chunk;
        else
            firstChunk_ = chunk;
        if (next)
            next->prev = chunk;
        else
            lastChunk_ = chunk;
    }

    void moveToTail(Chunk* chunk) {
        unlink(chunk);
        insertBetween(chunk, lastChunk_, nullptr);
    }

    void moveToHead(Chunk* chunk) {
        unlink(chunk);
        insertBetween(chunk, nullptr, firstChunk_);
    }

    // Moves the chunk towards the tail past fuller chunks with room; never past
    // an equal one or a full one.
    void sinkChunk(Chunk* chunk) {
        const std::uint32_t used = chunk->usedCount;
        while (chunk->next && chunk->next->usedCount > used && !isFull(chunk->next)) {
            Chunk* former = chunk->next;
            unlink(chunk);
            insertBetween(chunk, former, former->next);
        }
    }

    void reportLeaks(Chunk* chunk) {
        std::bitset<BlocksPerChunk> released;
        for (const void* free = chunk->freeList; free; free = linkOf(free)) {
            const std::size_t index = indexOf(chunk, free);
            if (index < chunk->carvedCount) released.set(index);
        }
        for (std::uint32_t i = 0; i < chunk->carvedCount; ++i)
            if (!released.test(i)) onLeakedBlock(blockAt(chunk, i));
    }

    Chunk* firstChunk_ = nullptr;
    Chunk* lastChunk_ = nullptr;
    std::uint32_t usedBlocks_ = 0;
    std::uint32_t chunkCount_ = 0;
};

} // namespace xlibplus::memory
