#pragma once

#include "engine/engine.h"
#include "engine/engine_extensions.h"
#include "engine/engine_ref.h"
#include "engine/engine_test_hooks.h"

#include <gtest/gtest.h>

// Our engine, initialised headless for a whole test suite: derive a fixture
// from this and use `engine`.
class HeadlessEngineSuite : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        reference.acquire();
        engine = reference.get();
        engine->extensions()->setOffscreen(true);
        ASSERT_TRUE(engine->init());
    }
    static void TearDownTestSuite() {
        engine->shutdown();
        reference.reset();
        engine = nullptr;
    }

    static inline EngineRef reference{EngineRef::kNone};
    static inline Engine* engine = nullptr;
};
