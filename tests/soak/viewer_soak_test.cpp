#include "app/animation_slot.h"
#include "app/dropped_files.h"
#include "app/win_main.h"
#include "platform/window_host.h"
#include "tests/support/recording_engine.h"
#include "tests/support/temp_dir.h"
#include "tools/common/tga_writer.h"
#include "tools/common/tgl_writer.h"
#include "xlibplus/memory/block_regions.h"
#include "xlibplus/memory/memory_manager.h"
#include "xlibplus/memory/size_class_pools.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

LRESULT CALLBACK engineSide(HWND, UINT, WPARAM, LPARAM) { return 0; }

// What the process holds: the memory manager's bytes and blocks, the engine's
// textures and references.
struct Held {
    std::size_t managerBytes;
    std::uint32_t managerBlocks;
    int textures;
    int references;
    bool operator==(const Held& o) const {
        return managerBytes == o.managerBytes && managerBlocks == o.managerBlocks &&
               textures == o.textures && references == o.references;
    }
};

Held held(RecordingEngine& engine) {
    std::uint32_t blocks = 0;
    for (unsigned k = 0; k < xlibplus::kSizeClassCount; ++k)
        blocks += xlibplus::detail::sizeClassFigures(k).usedBlocks;
    return Held{xlibplus::detail::blockRegions().bytes(), blocks, engine.liveTextures,
                engine.references};
}

std::ostream& operator<<(std::ostream& out, const Held& h) {
    return out << h.managerBytes << " bytes and " << h.managerBlocks
               << " blocks in the memory manager, " << h.textures << " textures, " << h.references
               << " engine references";
}

std::uint32_t fakeNow = 0;

// The viewer's callbacks and window procedure, driven by hand over the
// recording engine on a fake clock: ten million frames, the 32-bit timer
// wrapping, and two thousand drops of a valid, an invalid and a text file.
TEST(ViewerSoak, TenMillionFramesAndTwoThousandDropsHoldNothingMore) {
    constexpr long kFrames = 10'000'000;
    constexpr int kDrops = 2000;
    constexpr std::uint32_t kMillisecondsPerFrame = 430; // 10 million of them pass 2^32

    TempDir dir;
    tgltools::TglWriter valid;
    valid.perFrameDurations(1);
    for (int i = 0; i < 3; ++i)
        valid.frame({i * 10, i * 20, 100 + i * 50})
            .image(
                tgltools::encodeTga(2, 2, std::vector<std::uint32_t>(4, 0xFF00FF00u + i), false));
    tgltools::writeFile(dir.file("valid.tgl"), valid.build());
    tgltools::writeFile(dir.file("invalid.tgl"), {'n', 'o', 'p', 'e'});
    tgltools::writeFile(dir.file("notes.txt"), {'h', 'i'});
    const std::string files[] = {dir.file("valid.tgl"), dir.file("invalid.tgl"),
                                 dir.file("notes.txt")};

    RecordingEngine& engine = RecordingEngine::instance();
    engine.reset();
    engine.keepRecords = false;
    engine.decodeMemoryImages = true;
    appEngine = &engine;
    fakeNow = 0xFFFFFFFFu - 1000;
    platform::setTimeSource([] { return fakeNow; });
    HWND window = platform::createWindow(engineSide);
    takeOverWindowForDrops(window);

    std::vector<Held> afterValidLoads;
    int drops = 0;
    bool wrapped = false;
    for (long frame = 0; frame < kFrames; ++frame) {
        const bool dropNow = drops < kDrops && frame % (kFrames / kDrops) == 0;
        if (dropNow) platform::deliverDrop(window, {files[drops++ % 3]});
        frameCallback();
        while (animationLoading()) // loads end on real time; this clock stands still meanwhile
            frameCallback();
        renderCallback();
        if (dropNow && drops % 3 == 1) afterValidLoads.push_back(held(engine));
        const std::uint32_t before = fakeNow;
        fakeNow += kMillisecondsPerFrame;
        wrapped = wrapped || fakeNow < before;
    }

    EXPECT_TRUE(wrapped);
    EXPECT_EQ(drops, kDrops);
    ASSERT_GT(afterValidLoads.size(), 600u);
    std::printf(
        "held after the first valid load: %zu bytes, %u blocks, %d textures, %d references\n",
        afterValidLoads[1].managerBytes, afterValidLoads[1].managerBlocks,
        afterValidLoads[1].textures, afterValidLoads[1].references);
    for (std::size_t i = 2; i < afterValidLoads.size(); ++i)
        ASSERT_EQ(afterValidLoads[i], afterValidLoads[1]) << "after valid load " << i;
    EXPECT_EQ(afterValidLoads[1].textures, 3);

    // Dropping the animation gives everything back.
    platform::deliverDrop(window, {dir.file("invalid.tgl")});
    frameCallback();
    EXPECT_EQ(currentAnimation, nullptr);
    EXPECT_EQ(engine.liveTextures, 0);
    EXPECT_EQ(engine.references, 0);
    EXPECT_EQ(platform::liveDropCount(), 0);

    platform::destroyWindow(window);
    platform::setTimeSource(nullptr);
    appEngine = nullptr;
}

} // namespace
