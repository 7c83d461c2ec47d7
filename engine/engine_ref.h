#pragma once

#include "engine/engine.h"

// One engine reference, held for as long as this object lives: construction
// calls qubCreate, destruction calls release. Copying takes another reference
// of the same one instance. An empty reference (EngineRef::kNone) holds none
// until acquire; get() is null then, and also when qubCreate refused.
class EngineRef {
  public:
    struct None {};
    static constexpr None kNone{};

    EngineRef() : engine_(qubCreate(kQubInterfaceVersion)) {}
    explicit EngineRef(None) {}
    EngineRef(const EngineRef& other)
        : engine_(other ? qubCreate(kQubInterfaceVersion) : nullptr) {}
    // There is one instance, so assigning only makes this hold a reference when
    // the other does.
    EngineRef& operator=(const EngineRef& other) {
        if (other && !engine_) acquire();
        if (!other && engine_) reset();
        return *this;
    }
    ~EngineRef() { reset(); }

    void acquire() {
        if (!engine_) engine_ = qubCreate(kQubInterfaceVersion);
    }
    // Gives the reference back now.
    void reset() {
        if (engine_) engine_->release();
        engine_ = nullptr;
    }

    Engine* get() const { return engine_; }
    Engine* operator->() const { return engine_; }
    Engine& operator*() const { return *engine_; }
    explicit operator bool() const { return engine_ != nullptr; }

  private:
    Engine* engine_ = nullptr;
};
