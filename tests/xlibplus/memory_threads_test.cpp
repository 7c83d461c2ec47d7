#include "xlibplus/memory/memory_manager.h"

#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

namespace {

using namespace xlibplus;

struct Held {
    void* block = nullptr;
    std::uint32_t size = 0;
    std::uint8_t seed = 0;
};

void stamp(Held& h) {
    auto* p = static_cast<std::uint8_t*>(h.block);
    for (std::uint32_t i = 0; i < h.size; ++i)
        p[i] = static_cast<std::uint8_t>(h.seed ^ (i * 13));
}

bool intact(const Held& h, std::uint32_t upTo) {
    auto* p = static_cast<const std::uint8_t*>(h.block);
    for (std::uint32_t i = 0; i < upTo; ++i)
        if (p[i] != static_cast<std::uint8_t>(h.seed ^ (i * 13))) return false;
    return true;
}

// Mostly small sizes over every class, now and then a general-heap one.
std::uint32_t randomSize(std::mt19937& random) {
    std::uint32_t pick = random() % 1000;
    if (pick == 0) return 131061 + random() % 200000;
    std::uint32_t bits = 1 + random() % 17;
    return random() % (1u << bits);
}

// Blocks handed from one thread to another, so that blocks are freed by
// threads that did not allocate them.
std::mutex exchangeMutex;
std::vector<Held> exchange;

int worker(unsigned seed, int operations) {
    std::mt19937 random(seed);
    std::vector<Held> held;
    int damaged = 0;
    for (int op = 0; op < operations; ++op) {
        const unsigned what = random() % 100;
        if (held.empty() || what < 40) {
            Held h{nullptr, randomSize(random), static_cast<std::uint8_t>(random())};
            h.block = xAlloc(h.size, "thread");
            if (!h.block) return -1;
            stamp(h);
            held.push_back(h);
        } else if (what < 70) {
            Held& h = held[random() % held.size()];
            std::uint32_t size = randomSize(random);
            void* moved = xRealloc(h.block, size);
            if (!moved) return -1;
            h.block = moved;
            if (!intact(h, std::min(size, h.size))) ++damaged;
            h.size = size;
            stamp(h);
        } else if (what < 95) {
            std::size_t i = random() % held.size();
            if (!intact(held[i], held[i].size)) ++damaged;
            xFree(held[i].block);
            held[i] = held.back();
            held.pop_back();
        } else {
            std::lock_guard<std::mutex> guard(exchangeMutex);
            if (!exchange.empty()) {
                Held h = exchange.back();
                exchange.pop_back();
                if (!intact(h, h.size)) ++damaged;
                xFree(h.block);
            }
            exchange.push_back(held.back());
            held.pop_back();
        }
        if (held.size() > 200) {
            if (!intact(held.front(), held.front().size)) ++damaged;
            xFree(held.front().block);
            held.erase(held.begin());
        }
    }
    for (Held& h : held) {
        if (!intact(h, h.size)) ++damaged;
        xFree(h.block);
    }
    return damaged;
}

TEST(MemoryManagerThreads, FourThreadsOfRandomOperationsKeepEveryByte) {
    constexpr int kThreads = 4;
    constexpr int kOperations = 100000;
    std::vector<int> damaged(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t, &damaged] { damaged[t] = worker(1234u + t, kOperations); });
    for (auto& t : threads)
        t.join();
    for (Held& h : exchange)
        xFree(h.block);
    exchange.clear();
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(damaged[t], 0) << "thread " << t;
}

} // namespace
