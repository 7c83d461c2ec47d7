#include "format/tgl.h"
#include "tools/common/tga_writer.h"
#include "tools/common/tgl_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

using tglformat::FrameStatus;
using tgltools::Bytes;
using tgltools::TglWriter;

Bytes solidTga(int width, int height, std::uint32_t argb) {
    return tgltools::encodeTga(
        width, height, std::vector<std::uint32_t>(std::size_t(width * height), argb), false);
}

bool readBytes(const Bytes& file, tglformat::Animation& out) {
    tglformat::MemorySource source(file.data(), file.size());
    return tglformat::readAnimation(source, out);
}

// Exact rounding: (c * a + d * (255 - a) + 127) / 255, clipped to the window.
TEST(Compose, BlendsExactlyAndClipsAtEveryEdge) {
    tglformat::Animation a;
    ASSERT_TRUE(readBytes(TglWriter()
                              .frame({798, 599, 0, 0, 100})
                              .frame({-1, -1, 0, 0, 100})
                              .image(solidTga(3, 2, 0x80FF0000))
                              .image(solidTga(2, 2, 0x01000000))
                              .build(),
                          a));
    const tglformat::Picture first = tglformat::composeFrame(a.frames[0], a.images[0]);
    ASSERT_EQ(first.pixels.size(), 800u * 600u);
    const auto at = [](const tglformat::Picture& p, int x, int y) {
        return p.pixels[std::size_t(y * p.width + x)];
    };
    // Red 255 at alpha 128 over white: (255*128 + 255*127 + 127) / 255 = 255;
    // green and blue (0*128 + 255*127 + 127) / 255 = 127.
    EXPECT_EQ(at(first, 798, 599), 0xFFFF7F7Fu);
    EXPECT_EQ(at(first, 799, 599), 0xFFFF7F7Fu);
    EXPECT_EQ(at(first, 797, 599), 0xFFFFFFFFu);
    EXPECT_EQ(at(first, 798, 598), 0xFFFFFFFFu);
    // Alpha 1 over white: (0 + 255*254 + 127) / 255 = 254.
    const tglformat::Picture second = tglformat::composeFrame(a.frames[1], a.images[1]);
    EXPECT_EQ(at(second, 0, 0), 0xFFFEFEFEu);
    EXPECT_EQ(at(second, 1, 0), 0xFFFFFFFFu);
}

TEST(Scanner, TellsWhyTheImageAreaEnded) {
    const auto endOf = [](const Bytes& file) {
        tglformat::MemorySource source(file.data(), file.size());
        tglformat::Scanner scanner(source);
        EXPECT_TRUE(scanner.readTable());
        tglformat::ScannedBlock block;
        while (scanner.nextBlock(block)) {
        }
        return std::make_pair(scanner.end(), scanner.zeroWords());
    };
    const Bytes tga = solidTga(1, 1, 0xFF000000);
    EXPECT_EQ(endOf(TglWriter().frame({}).zeroWord().zeroWord().image(tga).build()),
              std::make_pair(tglformat::ScanEnd::End, 2));
    EXPECT_EQ(endOf(TglWriter().frame({}).image(tga).image(tga).build()).first,
              tglformat::ScanEnd::Surplus);
    EXPECT_EQ(endOf(TglWriter().frame({}).rawBlock({}, 1, 0, -5).build()).first,
              tglformat::ScanEnd::BadLength);
    // Past the end of a file cut short, values read as 0.
    Bytes cut = TglWriter().perFrameDurations(1).frame({5, 6, 7, 8, 90}).build();
    cut.resize(cut.size() - 4);
    tglformat::Animation a;
    ASSERT_TRUE(readBytes(cut, a));
    ASSERT_EQ(a.frames.size(), 1u);
    EXPECT_EQ(a.frames[0].record.x, 5);
    EXPECT_EQ(a.frames[0].duration, 0);
    EXPECT_FALSE(readBytes(Bytes{'D', 'F'}, a));
}

// The decoders on threads share the budget as decodeFrames does, frame by frame.
TEST(BackgroundDecoder, AgreesWithTheDecoderOnOneThread) {
    const Bytes half = tgltools::zlibCompress(solidTga(4096, 4096, 0xFF102030));
    TglWriter w;
    for (int i = 0; i < 7; ++i)
        w.frame({i, i, 0, 0, 10});
    const Bytes file = w.rawBlock(half)
                           .rawBlock(half)
                           .rawBlock(half)
                           .rawBlock(half)
                           .image(solidTga(1, 1, 0xFF000000))
                           .rawBlock(tgltools::zlibCompress(Bytes{'n', 'o'}))
                           .build();
    tglformat::Animation one;
    ASSERT_TRUE(readBytes(file, one));
    std::vector<FrameStatus> expected;
    for (const tglformat::DecodedFrame& f : one.images)
        expected.push_back(f.status);
    EXPECT_EQ(expected, (std::vector<FrameStatus>{FrameStatus::Ok, FrameStatus::Ok, FrameStatus::Ok,
                                                  FrameStatus::Ok, FrameStatus::OverDecodedBudget,
                                                  FrameStatus::NotAnImage, FrameStatus::NoBlock}));

    const std::string path = ::testing::TempDir() + "background_decoder_test.tgl";
    tgltools::writeFile(path, file);
    tglformat::BackgroundDecoder decoder;
    decoder.start(path.c_str());
    tglformat::DecodedFrame frame;
    int decoded = 0;
    tglformat::BackgroundDecoder::Progress progress;
    while ((progress = decoder.next(std::chrono::steady_clock::now() + std::chrono::seconds(60),
                                    frame)) == tglformat::BackgroundDecoder::Progress::Frame)
        decoded += frame.pixels.width == 4096 ? 1 : 0;
    ASSERT_EQ(progress, tglformat::BackgroundDecoder::Progress::Loaded);
    EXPECT_EQ(decoded, 4);
    EXPECT_EQ(decoder.take(), expected);
    std::remove(path.c_str());
}

} // namespace
