// decompress of an xStringA beside zlib's uncompress into a buffer of the
// known size, for streams that inflate to 64 KiB, 1 MiB and 8 MiB.

#include "xlibplus/string/string.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <string>
#include <vector>

namespace {

// Bytes like an image's: runs and noise, about 4:1 under zlib.
std::string imageLike(std::size_t size) {
    std::string bytes(size, '\0');
    std::uint32_t state = 7;
    for (std::size_t i = 0; i < size; ++i) {
        state = state * 1664525 + 1013904223;
        bytes[i] = static_cast<char>(((i / 16) % 256) ^ ((state >> 28) & 7));
    }
    return bytes;
}

std::string zlibOf(const std::string& plain) {
    uLongf size = compressBound(plain.size());
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &size,
             reinterpret_cast<const Bytef*>(plain.data()), plain.size());
    out.resize(size);
    return out;
}

void stringDecompress(benchmark::State& state) {
    const std::string plain = imageLike(static_cast<std::size_t>(state.range(0)));
    const std::string stream = zlibOf(plain);
    for (auto _ : state) {
        xlibplus::xStringA s(stream.data(), stream.data() + stream.size());
        if (!s.decompress() || s.length() != plain.size()) state.SkipWithError("wrong result");
        benchmark::DoNotOptimize(s.cStr());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * plain.size()));
}
BENCHMARK(stringDecompress)
    ->Arg(64 << 10)
    ->Arg(1 << 20)
    ->Arg(8 << 20)
    ->Unit(benchmark::kMicrosecond);

void zlibUncompress(benchmark::State& state) {
    const std::string plain = imageLike(static_cast<std::size_t>(state.range(0)));
    const std::string stream = zlibOf(plain);
    std::vector<Bytef> out(plain.size());
    for (auto _ : state) {
        // The copy matches the one the string benchmark makes of its input.
        std::string input = stream;
        uLongf size = out.size();
        if (uncompress(out.data(), &size, reinterpret_cast<const Bytef*>(input.data()),
                       input.size()) != Z_OK)
            state.SkipWithError("wrong result");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * plain.size()));
}
BENCHMARK(zlibUncompress)->Arg(64 << 10)->Arg(1 << 20)->Arg(8 << 20)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
