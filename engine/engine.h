#pragma once

#include <cstddef>
#include <cstdint>

// What the system requires of the rendering engine. The engine is one shared,
// reference-counted instance: qubCreate adds a reference, release drops one,
// and the last release destroys it. Everything else is reached through it.

using TextureHandle = std::uint32_t; // opaque, 0 = none
using EngineCallback = bool (*)();   // frame callback: true ends run()
using WindowHandle = void*;          // an HWND

class EngineExtensions;
class EngineTestHooks;

// One corner of a Quad; the engine reads it by address.
struct Vertex {
    float x;
    float y;
    float z;              // depth, default 0.5; kept, but draw order decides
    std::uint32_t colour; // 0xAARRGGBB, multiplies the texture
    float u;              // 0 = left edge of the texture, 1 = right edge
    float v;              // 0 = top edge, 1 = bottom edge
};

// Quad::blendMode: bit 1 set = alpha blending, clear = additive.
enum QubBlendMode : std::int32_t {
    kBlendAdditive = 0,
    kBlendAlpha = 2,
};

// Corners 0..3 are (left, top), (right, top), (right, bottom), (left, bottom).
struct Quad {
    Vertex vertices[4];
    TextureHandle texture;  // 0 = untextured, drawn in the vertex colours
    std::int32_t blendMode; // bit 1 set = alpha blending, clear = additive
};

static_assert(sizeof(Vertex) == 24, "Vertex is read by address");
static_assert(offsetof(Vertex, x) == 0 && offsetof(Vertex, y) == 4 && offsetof(Vertex, z) == 8 &&
                  offsetof(Vertex, colour) == 12 && offsetof(Vertex, u) == 16 &&
                  offsetof(Vertex, v) == 20,
              "Vertex layout");
static_assert(sizeof(Quad) == 104, "Quad is read by address");
static_assert(offsetof(Quad, vertices) == 0 && offsetof(Quad, texture) == 96 &&
                  offsetof(Quad, blendMode) == 100,
              "Quad layout");

// State ids. Each belongs to one setter: bool, int, string, callback or handle.
namespace QubState {
inline constexpr int kWindowed = 1;       // bool: false = fullscreen desktop
inline constexpr int kRunUnfocused = 5;   // bool: false = pause while unfocused
inline constexpr int kFrameCallback = 8;  // callback: per-frame update
inline constexpr int kRenderCallback = 9; // callback: per-frame drawing
inline constexpr int kMainWindow = 15;    // handle: the main window
inline constexpr int kScreenWidth = 17;   // int: client width, pixels
inline constexpr int kScreenHeight = 18;  // int: client height, pixels
inline constexpr int kColourDepth = 19;   // int: bits per pixel
inline constexpr int kFrameRate = 24;     // int: frames per second, 0 = unlimited
inline constexpr int kWindowTitle = 27;   // string
inline constexpr int kLogFile = 29;       // string: opened by init

} // namespace QubState

inline constexpr std::uint32_t kQubInterfaceVersion = 0x180;

class Engine {
  public:
    // Operations in the order of the engine's table.
    virtual void release() = 0;
    virtual bool init() = 0;
    virtual void shutdown() = 0;
    virtual bool run() = 0;
    virtual void log(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        = 0;
    virtual void setBoolState(int id, bool value) = 0;
    virtual void setCallbackState(int id, EngineCallback value) = 0;
    virtual void setIntState(int id, int value) = 0;
    virtual void setStringState(int id, const char* value) = 0;
    virtual WindowHandle getWindowHandle(int id) = 0;
    // The whole file, zero-terminated past its size; null when it cannot be read.
    virtual void* loadResource(const char* fileName, std::uint32_t* size) = 0;
    virtual void freeResource(void* resource) = 0;
    virtual bool beginScene(std::uint32_t target) = 0; // 0 = the screen
    virtual void endScene() = 0;
    virtual void clearScreen(std::uint32_t argb) = 0;
    virtual void drawQuad(const Quad* quad) = 0;
    // size 0: nameOrData is a file name; otherwise it holds an encoded image of
    // that size. Decoded pixels go to EngineExtensions::createTexture instead.
    virtual TextureHandle loadTexture(const char* nameOrData, std::uint32_t size, bool mipmap) = 0;
    virtual void freeTexture(TextureHandle texture) = 0;
    virtual int textureWidth(TextureHandle texture, bool original) = 0;
    virtual int textureHeight(TextureHandle texture, bool original) = 0;

    // After the table: the hooks of tests (engine_test_hooks.h) and the
    // extensions (engine_extensions.h), each null where the engine has none.
    virtual EngineTestHooks* testHooks() = 0;
    virtual EngineExtensions* extensions() = 0;

  protected:
    ~Engine() = default; // destroyed through release only
};

// The engine library's one export (qub.dll on Windows).
#if defined(_WIN32) && defined(QUB_BUILDING_ENGINE)
#define QUB_EXPORT __declspec(dllexport)
#else
#define QUB_EXPORT
#endif
extern "C" QUB_EXPORT Engine* qubCreate(std::uint32_t interfaceVersion);
