#include "engine/engine.h"
#include "engine/engine_extensions.h"
#include "engine/engine_test_hooks.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

TEST(EngineInstance, OneInstanceCountsItsReferences) {
    Engine* first = qubCreate(kQubInterfaceVersion);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->testHooks()->referenceCount(), 1);
    Engine* second = qubCreate(kQubInterfaceVersion);
    EXPECT_EQ(second, first);
    EXPECT_EQ(first->testHooks()->referenceCount(), 2);
    second->release();
    EXPECT_EQ(first->testHooks()->referenceCount(), 1);
    first->release();

    // The last release destroyed it: the next call starts a new one from nothing.
    Engine* fresh = qubCreate(kQubInterfaceVersion);
    EXPECT_EQ(fresh->testHooks()->referenceCount(), 1);
    fresh->release();
}

TEST(EngineInstance, OtherInterfaceVersionsGetNothing) {
    EXPECT_EQ(qubCreate(0x17F), nullptr);
    EXPECT_EQ(qubCreate(0), nullptr);
}

TEST(EngineInstance, WindowHandleExistsOnlyWhileInitialised) {
    Engine* engine = qubCreate(kQubInterfaceVersion);
    engine->extensions()->setOffscreen(true);
    EXPECT_EQ(engine->getWindowHandle(QubState::kMainWindow), nullptr);
    ASSERT_TRUE(engine->init());
    EXPECT_NE(engine->getWindowHandle(QubState::kMainWindow), nullptr);
    EXPECT_EQ(engine->getWindowHandle(16), nullptr);
    engine->shutdown();
    EXPECT_EQ(engine->getWindowHandle(QubState::kMainWindow), nullptr);
    engine->shutdown(); // twice is harmless

    // The states survive a shut-down, so the engine can start again.
    ASSERT_TRUE(engine->init());
    EXPECT_NE(engine->getWindowHandle(QubState::kMainWindow), nullptr);
    engine->release();
}

TEST(EngineInstance, RefusedInitLeavesTheLogEmpty) {
    TempDir dir;
    Engine* engine = qubCreate(kQubInterfaceVersion);
    engine->setStringState(QubState::kLogFile, dir.file("engine.log").c_str());
    engine->testHooks()->setFailInit(true);
    EXPECT_FALSE(engine->init());
    EXPECT_EQ(engine->getWindowHandle(QubState::kMainWindow), nullptr);
    EXPECT_FALSE(engine->run());
    engine->shutdown();
    engine->release();

    EXPECT_TRUE(readLines(dir.file("engine.log")).empty());
}

TEST(EngineInstance, NothingWorksBeforeInit) {
    Engine* engine = qubCreate(kQubInterfaceVersion);
    EXPECT_FALSE(engine->beginScene(0));
    engine->clearScreen(0xFFFFFFFF);
    engine->endScene();
    Quad quad{};
    engine->drawQuad(&quad);
    EXPECT_EQ(engine->loadTexture("x.png", 0, false), 0u);
    std::uint32_t pixel = 0;
    EXPECT_FALSE(engine->extensions()->readBackBuffer(&pixel, 1, 1));
    EXPECT_FALSE(engine->testHooks()->queueDrop(nullptr, 0));
    engine->log("no log file: %d", 1);
    engine->release();
}

} // namespace
