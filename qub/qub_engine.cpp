#include "qub/qub_engine.h"

#include <cstdarg>

namespace qub {

QubEngine* QubEngine::instance_ = nullptr;

QubEngine* QubEngine::acquire() {
    if (!instance_) instance_ = new QubEngine;
    ++instance_->references_;
    return instance_;
}

QubEngine::~QubEngine() { shutdown(); }

void QubEngine::release() {
    if (references_ <= 0) return;
    if (--references_ > 0) return;
    instance_ = nullptr;
    delete this;
}

bool QubEngine::init() {
    if (driver_) return true;
    log_.open(logFileName_);
    if (failInit_) return false;
    driver_ = createDriver(settings_.offscreen);
    if (!driver_->open(settings_)) {
        shutdown();
        return false;
    }
    return true;
}

void QubEngine::shutdown() {
    textures_.clear();
    driver_.reset(); // closes the window and frees every texture it made
    queuedDrops_.clear();
    log_.close();
}

void QubEngine::log(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    log_.lineV(format, args);
    va_end(args);
}

void QubEngine::setBoolState(int id, bool value) {
    switch (id) {
    case QubState::kWindowed: settings_.windowed = value; break;
    case QubState::kRunUnfocused: runUnfocused_ = value; break;
    default: break;
    }
}

void QubEngine::setCallbackState(int id, EngineCallback value) {
    switch (id) {
    case QubState::kFrameCallback: frameCallback_ = value; break;
    case QubState::kRenderCallback: renderCallback_ = value; break;
    default: break;
    }
}

void QubEngine::setIntState(int id, int value) {
    switch (id) {
    case QubState::kScreenWidth: settings_.width = value; break;
    case QubState::kScreenHeight: settings_.height = value; break;
    case QubState::kFrameRate:
        // A running loop takes the new rate from its next frame on.
        frameRate_ = value;
        if (running_) pacer_.start(frameRate_, FramePacer::Clock::now());
        break;
    // The colour depth is the window system's choice.
    default: break;
    }
}

void QubEngine::setStringState(int id, const char* value) {
    const char* text = value ? value : "";
    switch (id) {
    case QubState::kWindowTitle:
        settings_.title = text;
        if (driver_) driver_->setTitle(text);
        break;
    case QubState::kLogFile: logFileName_ = text; break;
    default: break;
    }
}

WindowHandle QubEngine::getWindowHandle(int id) {
    return id == QubState::kMainWindow && driver_ ? driver_->windowHandle() : nullptr;
}

} // namespace qub

extern "C" Engine* qubCreate(std::uint32_t interfaceVersion) {
    if (interfaceVersion != kQubInterfaceVersion) return nullptr;
    return qub::QubEngine::acquire();
}
