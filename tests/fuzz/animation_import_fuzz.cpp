// Any bytes through tgl pack's readers, the first byte choosing which (its
// remainder by 4: GIF, WebP, animated PNG, Aseprite): a refusal is a
// CommandError, and every canvas handed over is whole.

#include "tools/tgl/animation_import.h"
#include "tools/tgl/output.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    // The readers take a path, as the command does.
    static const std::string path = "/tmp/animation_import_fuzz-" + std::to_string(getpid());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data + 1, 1, size - 1, file);
    std::fclose(file);
    const tgltool::FrameSink sink = [](tgltool::SourceFrame&& frame) {
        const tglformat::Picture& c = frame.canvas;
        if (c.width < 1 || c.height < 1 ||
            c.pixels.size() != std::size_t(c.width) * std::size_t(c.height))
            std::abort();
    };
    try {
        switch (data[0] % 4) {
        case 0: tgltool::importGif(path, sink); break;
        case 1: tgltool::importWebP(path, sink); break;
        case 2: tgltool::importApng(path, sink); break;
        default: tgltool::importAseprite(path, {}, sink); break;
        }
    } catch (const tgltool::CommandError&) {
    }
    std::remove(path.c_str());
    return 0;
}
