#include "engine/engine_extensions.h"
#include "engine/engine_test_hooks.h"
#include "tests/qub/headless_engine.h"
#include "tests/support/image_files.h"
#include "tests/support/temp_dir.h"

#include <cstring>
#include <filesystem>
#include <string>

namespace {

// The log holds what callers write and nothing of the engine's own.
TEST(EngineLog, OneFlushedLinePerCallBetweenStartAndShutdown) {
    TempDir dir;
    std::string logFile = dir.file("qub_tut03.log");
    Engine* engine = qubCreate(kQubInterfaceVersion);
    engine->extensions()->setOffscreen(true);
    engine->setStringState(QubState::kLogFile, logFile.c_str());
    ASSERT_TRUE(engine->init());

    engine->log("Font %s has incorrect format.", "font1.fnt");
    // Flushed at once: readable before the engine closes the file.
    auto early = readLines(logFile);
    ASSERT_EQ(early.size(), 1u);
    EXPECT_EQ(early[0], "Font font1.fnt has incorrect format.");

    std::string longText(3000, 'x');
    engine->log("%s|%d", longText.c_str(), 42);
    engine->shutdown();
    engine->release();

    auto lines = readLines(logFile);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], longText + "|42");
}

TEST(EngineLog, NewRunStartsTheFileAfresh) {
    TempDir dir;
    std::string logFile = dir.file("run.log");
    testimg::writeFile(logFile, testimg::Bytes{'o', 'l', 'd', '\n'});
    Engine* engine = qubCreate(kQubInterfaceVersion);
    engine->extensions()->setOffscreen(true);
    engine->setStringState(QubState::kLogFile, logFile.c_str());
    ASSERT_TRUE(engine->init());
    engine->release(); // the last release shuts down too
    auto lines = readLines(logFile);
    EXPECT_TRUE(std::filesystem::exists(logFile));
    EXPECT_TRUE(lines.empty());
}

using EngineResources = HeadlessEngine;

TEST_F(EngineResources, WholeFileZeroTerminatedWithItsSize) {
    TempDir dir;
    testimg::writeFile(dir.file("font1.fnt"), testimg::Bytes{'[', 'Q', 0, 'B'});
    std::uint32_t size = 99;
    auto* data =
        static_cast<const char*>(engine->loadResource(dir.file("font1.fnt").c_str(), &size));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(std::memcmp(data, "[Q\0B\0", 5), 0);
    engine->freeResource(const_cast<char*>(data));

    testimg::writeFile(dir.file("empty"), {});
    data = static_cast<const char*>(engine->loadResource(dir.file("empty").c_str(), &size));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(data[0], '\0');
    engine->freeResource(const_cast<char*>(data));
}

TEST_F(EngineResources, MissingFilesAndFoldersGiveNull) {
    TempDir dir;
    std::uint32_t size = 99;
    EXPECT_EQ(engine->loadResource(dir.file("does/not/exist").c_str(), &size), nullptr);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(engine->loadResource(dir.path().string().c_str(), &size), nullptr);
    EXPECT_EQ(engine->loadResource(nullptr, &size), nullptr);
    engine->freeResource(nullptr);
}

TEST_F(EngineResources, BackBufferSavesAsPng) {
    TempDir dir;
    ASSERT_TRUE(engine->beginScene(0));
    engine->clearScreen(0xFF00FF00);
    ASSERT_TRUE(engine->extensions()->saveBackBuffer(dir.file("frame.png").c_str()));
    engine->endScene();
    TextureHandle texture = engine->loadTexture(dir.file("frame.png").c_str(), 0, false);
    EXPECT_EQ(engine->textureWidth(texture, false), 800);
    EXPECT_EQ(engine->textureHeight(texture, false), 600);
    EXPECT_FALSE(engine->extensions()->saveBackBuffer(dir.file("no/such/folder.png").c_str()));
}

} // namespace
