#include "xlibplus/string/string.h"

#include "xlibplus/memory/memory_manager.h"

#include <zlib.h>

namespace xlibplus {

namespace {

const char* const kBufferTag = "NONAME";
constexpr std::uint32_t kChunkBytes = 1024;

// The chunk and the inflate state, given back on every way out.
struct Inflater {
    z_stream stream{};
    void* chunk = nullptr;
    bool started = false;

    ~Inflater() {
        if (started) inflateEnd(&stream);
        xFree(chunk);
    }
};

} // namespace

void xStringA::compress() {
    const uLong bound = compressBound(length_) + 16;
    if (bound > 0xFFFFFFFFu) return;
    void* work = xAlloc(static_cast<std::uint32_t>(bound), kBufferTag);
    uLongf written = bound;
    const int result = ::compress(static_cast<Bytef*>(work), &written,
                                  reinterpret_cast<const Bytef*>(cStr()), length_);
    if (work && result == Z_OK) assign(work, static_cast<std::uint32_t>(written));
    xFree(work);
}

bool xStringA::decompress(std::uint32_t limit) {
    return decompressWithReason(limit) == xInflateResult::Ok;
}

// Nothing inflated for want of memory counts as no stream.
xInflateResult xStringA::decompressWithReason(std::uint32_t limit) {
    Inflater inflater;
    z_stream& z = inflater.stream;
    if (inflateInit2(&z, 15) != Z_OK) return xInflateResult::NotZlib;
    inflater.started = true;
    inflater.chunk = xAlloc(kChunkBytes, kBufferTag);
    if (!inflater.chunk) return xInflateResult::NotZlib;

    xStringA inflated;
    auto* chunk = static_cast<Bytef*>(inflater.chunk);
    // Adds what the chunk holds; false once that would pass the limit.
    auto keep = [&](std::uint32_t bytes) {
        if (bytes > limit - inflated.length_) return false;
        inflated.append(chunk, bytes);
        return true;
    };

    z.next_in = reinterpret_cast<Bytef*>(data_);
    z.avail_in = length_;
    z.next_out = chunk;
    z.avail_out = kChunkBytes;
    int result = Z_OK;
    while (z.avail_in > 0) {
        result = inflate(&z, Z_SYNC_FLUSH);
        if (result != Z_OK) break;
        if (z.avail_out == 0) {
            if (!keep(kChunkBytes)) return xInflateResult::OverLimit;
            z.next_out = chunk;
            z.avail_out = kChunkBytes;
        }
        if (z.avail_in == 0) break;
    }
    if (result != Z_OK && result != Z_STREAM_END) return xInflateResult::NotZlib;
    if (z.avail_out < kChunkBytes && !keep(kChunkBytes - z.avail_out))
        return xInflateResult::OverLimit;

    // The string takes the inflated buffer; the old one leaves with `inflated`.
    swapContent(inflated);
    position_ = 0;
    return xInflateResult::Ok;
}

} // namespace xlibplus
