#include "xlibplus/memory/fixed_memory_pool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using xlibplus::memory::xFixedMemoryPool;

// A pool that counts its chunk traffic and records the blocks it reports as leaked.
class CountingPool : public xFixedMemoryPool<64, 64> {
  public:
    ~CountingPool() override { releaseAll(); }

    void onLeakedBlock(void* block) override { leaked.push_back(block); }

    std::vector<void*> leaked;
    int chunksTaken = 0;
    int chunksGiven = 0;

  protected:
    void* takeChunk(std::size_t bytes) override {
        ++chunksTaken;
        return xFixedMemoryPool::takeChunk(bytes);
    }
    void giveChunk(void* chunk) override {
        ++chunksGiven;
        xFixedMemoryPool::giveChunk(chunk);
    }
};

using Chunk = CountingPool::Chunk;

std::vector<std::uint32_t> useCounts(const CountingPool& pool) {
    std::vector<std::uint32_t> counts;
    for (const Chunk* c = pool.firstChunk(); c; c = c->next)
        counts.push_back(c->usedCount);
    return counts;
}

std::vector<void*> allocateMany(CountingPool& pool, int count) {
    std::vector<void*> blocks;
    for (int i = 0; i < count; ++i)
        blocks.push_back(pool.allocate());
    return blocks;
}

// Releases blocks from the back of `blocks` until `remaining` are left.
void releaseDownTo(CountingPool& pool, std::vector<void*>& blocks, std::size_t remaining) {
    while (blocks.size() > remaining) {
        ASSERT_TRUE(pool.release(blocks.back()));
        blocks.pop_back();
    }
}

TEST(FixedMemoryPool, FirstAllocationIsTheFirstBlockOfAFreshChunk) {
    CountingPool pool;
    EXPECT_EQ(pool.chunkCount(), 0u);
    void* block = pool.allocate();
    ASSERT_NE(pool.firstChunk(), nullptr);
    EXPECT_EQ(block, reinterpret_cast<const std::uint8_t*>(pool.firstChunk()) +
                         CountingPool::kChunkHeaderSize);
    EXPECT_EQ(pool.chunkCount(), 1u);
    EXPECT_EQ(pool.usedBlocks(), 1u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 16, 0u);
    if (sizeof(void*) == 8) {
        EXPECT_EQ(CountingPool::kChunkHeaderSize, 32u);
    }
    pool.release(block);
}

TEST(FixedMemoryPool, SixtyFourFillAChunkThatMovesToTheTailAndTheNextGoesToANewHead) {
    CountingPool pool;
    auto blocks = allocateMany(pool, 64);
    const Chunk* first = pool.firstChunk();
    EXPECT_EQ(first->usedCount, 64u);
    EXPECT_EQ(pool.lastChunk(), first);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(blocks[i], CountingPool::blockAt(first, i)) << "carved in address order";

    blocks.push_back(pool.allocate());
    EXPECT_EQ(pool.chunkCount(), 2u);
    EXPECT_NE(pool.firstChunk(), first);
    EXPECT_EQ(pool.lastChunk(), first);
    EXPECT_EQ(blocks.back(), CountingPool::blockAt(pool.firstChunk(), 0));
    releaseDownTo(pool, blocks, 0);
}

TEST(FixedMemoryPool, ReleasedBlocksComeBackLastInFirstOut) {
    CountingPool pool;
    auto blocks = allocateMany(pool, 4);
    pool.release(blocks[1]);
    pool.release(blocks[2]);
    EXPECT_EQ(pool.allocate(), blocks[2]);
    EXPECT_EQ(pool.allocate(), blocks[1]);
    EXPECT_EQ(pool.allocate(), CountingPool::blockAt(pool.firstChunk(), 4))
        << "then carving goes on";
    EXPECT_EQ(pool.usedBlocks(), 5u);
}

TEST(FixedMemoryPool, ReleaseFromAFullChunkBringsItToTheHead) {
    CountingPool pool;
    auto blocks = allocateMany(pool, 70); // full chunk at the tail, 6 in the head
    const Chunk* full = pool.lastChunk();
    void* fromFull = blocks[10];
    ASSERT_TRUE(pool.release(fromFull));
    EXPECT_EQ(pool.firstChunk(), full);
    EXPECT_EQ(useCounts(pool), (std::vector<std::uint32_t>{63, 6}));
    EXPECT_EQ(pool.allocate(), fromFull);
}

TEST(FixedMemoryPool, ReleasingTheLastBlockGivesTheChunkBackAtOnce) {
    CountingPool pool;
    void* block = pool.allocate();
    ASSERT_TRUE(pool.release(block));
    EXPECT_EQ(pool.chunkCount(), 0u);
    EXPECT_EQ(pool.firstChunk(), nullptr);
    EXPECT_EQ(pool.lastChunk(), nullptr);
    EXPECT_EQ(pool.chunksGiven, 1);
    pool.allocate();
    EXPECT_EQ(pool.chunksTaken, 2);
    EXPECT_EQ(pool.chunkCount(), 1u);
}

TEST(FixedMemoryPool, ASinkingChunkNeverPassesAnEqualOne) {
    CountingPool pool;
    auto a = allocateMany(pool, 64);
    auto b = allocateMany(pool, 64);
    const Chunk* chunkA = pool.firstChunk(); // B filled last and went to the tail
    releaseDownTo(pool, a, 40);
    releaseDownTo(pool, b, 35);
    ASSERT_EQ(useCounts(pool), (std::vector<std::uint32_t>{40, 35}));
    ASSERT_EQ(pool.firstChunk(), chunkA);

    for (int i = 0; i < 5; ++i) {
        releaseDownTo(pool, a, a.size() - 1);
        EXPECT_EQ(pool.firstChunk(), chunkA) << "A at " << a.size();
    }
    EXPECT_EQ(useCounts(pool), (std::vector<std::uint32_t>{35, 35}));
    releaseDownTo(pool, a, 34);
    EXPECT_EQ(useCounts(pool), (std::vector<std::uint32_t>{35, 34}));
    EXPECT_EQ(pool.lastChunk(), chunkA);
}

TEST(FixedMemoryPool, ASinkingChunkNeverPassesAFullOne) {
    CountingPool pool;
    auto blocks = allocateMany(pool, 138); // [10, full, full]
    ASSERT_EQ(useCounts(pool), (std::vector<std::uint32_t>{10, 64, 64}));
    releaseDownTo(pool, blocks, 137);
    EXPECT_EQ(useCounts(pool), (std::vector<std::uint32_t>{9, 64, 64}));
}

TEST(FixedMemoryPool, AddressesThatAreNotBlocksInUseChangeNothing) {
    CountingPool pool;
    auto blocks = allocateMany(pool, 3);
    alignas(16) std::uint8_t local[64] = {};
    auto* first = static_cast<std::uint8_t*>(blocks[0]);
    EXPECT_FALSE(pool.release(first + 1));
    EXPECT_FALSE(pool.release(local));
    EXPECT_FALSE(pool.release(nullptr));
    EXPECT_FALSE(pool.release(CountingPool::blockAt(pool.firstChunk(), 5))) << "never handed out";
    EXPECT_EQ(pool.usedBlocks(), 3u);

    ASSERT_TRUE(pool.release(blocks[1]));
    EXPECT_FALSE(pool.release(blocks[1])) << "a block is never on the free list twice";
    EXPECT_EQ(pool.usedBlocks(), 2u);
    EXPECT_EQ(pool.allocate(), blocks[1]);
    EXPECT_NE(pool.allocate(), blocks[1]);
}

TEST(FixedMemoryPool, ReleaseAllReportsExactlyTheBlocksStillHandedOut) {
    CountingPool pool;
    auto blocks = allocateMany(pool, 70);
    // Freeing 64..69 empties the second chunk; the first keeps all but 1 and 3.
    for (int i : {1, 3, 64, 65, 66, 67, 68, 69})
        pool.release(blocks[i]);
    std::vector<void*> expected;
    for (int i = 0; i < 64; ++i)
        if (i != 1 && i != 3) expected.push_back(blocks[i]);

    pool.releaseAll();
    EXPECT_EQ(pool.leaked, expected);
    EXPECT_EQ(pool.chunkCount(), 0u);
    EXPECT_EQ(pool.usedBlocks(), 0u);
    EXPECT_EQ(pool.chunksGiven, pool.chunksTaken);
}

TEST(FixedMemoryPool, AnInconsistentChunkThrowsFatalErrorAndChangesNothing) {
    CountingPool pool;
    auto blocks = allocateMany(pool, 64);
    pool.release(blocks[7]);
    pool.release(blocks[9]); // free list: 9 -> 7
    void* noLink = nullptr;
    std::memcpy(blocks[9], &noLink, sizeof noLink); // a write after release cuts the list
    EXPECT_EQ(pool.allocate(), blocks[9]);
    EXPECT_EQ(pool.usedBlocks(), 63u);
    try {
        pool.allocate();
        FAIL() << "no exception";
    } catch (const char* message) {
        EXPECT_STREQ(message, "FATAL ERROR!");
    }
    EXPECT_EQ(pool.usedBlocks(), 63u);
    EXPECT_EQ(pool.chunkCount(), 1u);
}

} // namespace
