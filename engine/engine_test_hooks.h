#pragma once

#include "engine/engine.h"

// What tests may ask of the engine beyond its own operations, reached
// through Engine::testHooks. A test takes its reference with qubCreate before
// the code under test runs, sets the hooks, and releases afterwards; the hooks
// stay set while the instance lives.
class EngineTestHooks {
  public:
    // Before init: init fails as if no window could be made.
    virtual void setFailInit(bool fail) = 0;
    // run ends after that many frames; 0 = never.
    virtual void setStopAfterFrames(int frames) = 0;
    // Called by endScene before it presents; true ends run after this frame.
    virtual void setBeforePresent(EngineCallback callback) = 0;

    // Queues a drop of these paths, delivered at the next event pump as the
    // window system would deliver it.
    virtual bool queueDrop(const char* const* paths, int count) = 0;

    virtual int referenceCount() = 0;
    virtual int liveTextureCount() = 0;

  protected:
    ~EngineTestHooks() = default;
};

// The hooks of the one engine instance; null where it has none.
inline EngineTestHooks* testHooksOf(Engine* engine) {
    return engine ? engine->testHooks() : nullptr;
}
