#pragma once

#include "engine/engine.h"
#include "engine/engine_test_hooks.h"

#include <gtest/gtest.h>

// Our engine, initialised headless for a whole test suite: derive a fixture
// from this and use `engine`.
class HeadlessEngineSuite : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        engine = qubCreate(kQubInterfaceVersion);
        engine->testHooks()->setOffscreen(true);
        ASSERT_TRUE(engine->init());
    }
    static void TearDownTestSuite() {
        engine->shutdown();
        engine->release();
        engine = nullptr;
    }

    static inline Engine* engine = nullptr;
};
