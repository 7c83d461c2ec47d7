#include "engine/engine_ref.h"
#include "tests/support/recording_engine.h"

#include <gtest/gtest.h>

namespace {

// Every reference taken comes back, whatever copies and assignments did.
TEST(EngineRef, EachHolderTakesOneReferenceAndGivesItBack) {
    RecordingEngine& engine = RecordingEngine::instance();
    engine.reset();
    {
        EngineRef first;
        EXPECT_EQ(first.get(), &engine);
        EngineRef copy(first);
        EngineRef empty(EngineRef::kNone);
        EXPECT_FALSE(empty);
        EXPECT_EQ(engine.references, 2);

        EngineRef copyOfEmpty(empty);
        copy = first; // both hold one already: nothing changes
        EXPECT_EQ(engine.references, 2);
        empty = first;
        EXPECT_EQ(engine.references, 3);
        first = copyOfEmpty;
        EXPECT_FALSE(first);
        EXPECT_EQ(engine.references, 2);

        copy.reset();
        copy.reset();
        EXPECT_EQ(engine.references, 1);
    }
    EXPECT_EQ(engine.references, 0);
    EXPECT_EQ(engine.calls.size(), 6u) << "three qubCreate, three release";
}

} // namespace
