// zlib's inflate over stb_image's zlib decoder, which decodes a whole stream
// into a buffer: each call decodes again from the start into a buffer just
// past what the caller takes, so a stream is never inflated further than
// asked, and a 4 GiB bomb costs what its first window does.

#include "zlib.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG // the zlib decoder, and nothing else used here
#define STBI_NO_STDIO
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Past the bytes asked for, room for the largest piece the decoder writes at
// once (a stored block, 65535 bytes), so that a stream that goes on fills
// the caller's window exactly.
constexpr std::size_t kPastTheWindow = 65536 + 258;

struct Stream {
    const Bytef* input = nullptr;
    std::size_t size = 0;
};

// Decodes `stream` into `out` (its whole size); gives how many bytes were
// written, whether the stream ended there, and whether it read past its end.
struct Decoded {
    std::size_t written = 0;
    bool ended = false, ranOut = false;
};

Decoded decode(const Stream& stream, std::vector<char>& out) {
    stbi__zbuf z{};
    z.zbuffer = const_cast<stbi_uc*>(stream.input);
    z.zbuffer_end = z.zbuffer + stream.size;
    const int ok = stbi__do_zlib(&z, out.data(), int(out.size()), 0, 1);
    Decoded d;
    d.written = std::size_t(z.zout - z.zout_start);
    d.ended = ok != 0;
    d.ranOut = z.zbuffer >= z.zbuffer_end;
    return d;
}

} // namespace

int inflateInit2(z_stream* stream, int windowBits) {
    if (windowBits != 15) return Z_DATA_ERROR;
    stream->total_out = 0;
    stream->state = nullptr;
    return Z_OK;
}

int inflate(z_stream* stream, int) {
    if (!stream->state) {
        auto* first = new Stream{stream->next_in, stream->avail_in};
        stream->state = first;
    }
    const Stream& s = *static_cast<Stream*>(stream->state);
    const std::size_t wanted = std::size_t(stream->total_out) + stream->avail_out;
    if (wanted + kPastTheWindow > std::size_t(INT32_MAX)) return Z_MEM_ERROR;
    std::vector<char> out(wanted + kPastTheWindow);
    const Decoded d = decode(s, out);
    const bool full = d.written > wanted;
    // Stopped before the buffer's end, the stream is broken; past it after
    // reading beyond its input, it is cut short (the decoder reads zeros there).
    if (!d.ended && (!full || d.ranOut)) return Z_DATA_ERROR;
    const std::size_t fresh =
        std::min(d.written, wanted) - std::min<std::size_t>(d.written, stream->total_out);
    if (fresh > 0) std::memcpy(stream->next_out, out.data() + stream->total_out, fresh);
    stream->next_out += fresh;
    stream->avail_out -= uInt(fresh);
    stream->total_out += fresh;
    if (d.ended && !full) {
        stream->avail_in = 0;
        return Z_STREAM_END;
    }
    return Z_OK;
}

int inflateEnd(z_stream* stream) {
    delete static_cast<Stream*>(stream->state);
    stream->state = nullptr;
    return Z_OK;
}

uLong crc32_z(uLong crc, const Bytef* data, std::size_t length) {
    // stb_image_write's CRC starts from nothing; zlib's carries on from `crc`.
    if (crc != 0 || length > std::size_t(INT32_MAX)) return 0;
    return stbiw__crc32(const_cast<unsigned char*>(data), int(length));
}

uLong compressBound(uLong length) { return length + length / 8 + 64; }

int compress2(Bytef* to, uLongf* toLength, const Bytef* from, uLong length, int) {
    if (length > uLong(INT32_MAX)) return Z_MEM_ERROR;
    int size = 0;
    unsigned char* deflated =
        stbi_zlib_compress(const_cast<unsigned char*>(from), int(length), &size, 8);
    if (!deflated) return Z_MEM_ERROR;
    const bool fits = uLongf(size) <= *toLength;
    if (fits) std::memcpy(to, deflated, std::size_t(size));
    *toLength = uLongf(size);
    STBIW_FREE(deflated);
    return fits ? Z_OK : Z_BUF_ERROR;
}
