// The animation parser over an in-memory stream, with the recording engine.

#include "tests/support/recording_engine.h"
#include "tgl/tgl_animation.h"
#include "xlibplus/string/string.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    RecordingEngine::instance().reset();
    RecordingEngine::instance().keepRecords = false;
    const char* bytes = reinterpret_cast<const char*>(data);
    xlibplus::xStringA file(bytes, bytes + size);
    CTGL animation;
    animation.setImageLimit(1 << 20);
    animation.parse(file);
    return 0;
}
