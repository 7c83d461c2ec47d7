#include "format/inflate.h"

#include <zlib.h>

#if defined(TGL_HAVE_LIBDEFLATE)
#include <libdeflate.h>
#endif

#include <algorithm>
#include <cstring>
#include <new>

namespace tglformat {

bool inflateHead(const std::vector<std::uint8_t>& stream, std::vector<std::uint8_t>& head,
                 std::size_t& inflated) {
    head.resize(kHeadBytes);
    z_stream z{};
    inflated = 0;
    if (inflateInit2(&z, 15) != Z_OK) return false;
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = head.data();
    z.avail_out = static_cast<uInt>(kHeadBytes);
    const int result = inflate(&z, Z_SYNC_FLUSH);
    inflated = kHeadBytes - z.avail_out;
    inflateEnd(&z);
    return result == Z_OK || result == Z_STREAM_END || (result == Z_BUF_ERROR && inflated > 0);
}

namespace {

bool grow(InflatedBytes& buffer, std::uint64_t room, std::size_t used) {
    std::unique_ptr<std::uint8_t[]> bigger(new (std::nothrow) std::uint8_t[room]);
    if (!bigger) return false;
    if (used > 0) std::memcpy(bigger.get(), buffer.data.get(), used);
    buffer.data = std::move(bigger);
    buffer.size = static_cast<std::size_t>(room);
    return true;
}

// A whole stream of about the size expected, at libdeflate's speed (several
// times zlib's) where the build has it; false for anything else (a stream
// cut short, damaged, or larger), which zlib then inflates as it always has.
bool inflateWholeAtOnce(const std::vector<std::uint8_t>& stream, std::uint32_t limit,
                        std::uint32_t expected, InflatedBytes& out) {
#if defined(TGL_HAVE_LIBDEFLATE)
    const std::size_t room = std::min(limit, expected);
    libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
    if (!decompressor || !grow(out, room, 0)) {
        libdeflate_free_decompressor(decompressor);
        return false;
    }
    std::size_t inflated = 0;
    const bool whole =
        libdeflate_zlib_decompress(decompressor, stream.data(), stream.size(), out.data.get(), room,
                                   &inflated) == LIBDEFLATE_SUCCESS;
    libdeflate_free_decompressor(decompressor);
    if (!whole) return false;
    out.size = inflated;
    return true;
#else
    (void)stream, (void)limit, (void)expected, (void)out;
    return false;
#endif
}

} // namespace

InflateResult inflateBounded(const std::vector<std::uint8_t>& stream, std::uint32_t limit,
                             std::uint32_t expected, InflatedBytes& out) {
    out = InflatedBytes{};
    if (expected > 0 && inflateWholeAtOnce(stream, limit, expected, out)) return InflateResult::Ok;
    out = InflatedBytes{};
    z_stream z{};
    if (inflateInit2(&z, 15) != Z_OK) return InflateResult::NotZlib;
    // One byte past the limit tells a stream that goes on past it.
    const std::uint64_t most = std::uint64_t{limit} + 1;
    std::uint64_t room = std::min<std::uint64_t>(
        most, expected > 0 ? std::uint64_t{expected} + 1 : stream.size() * 4 + kHeadBytes);
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    int result = grow(out, room, 0) ? Z_OK : Z_MEM_ERROR; // no room counts as no stream
    z.next_out = out.data.get();
    z.avail_out = static_cast<uInt>(room);
    while (result == Z_OK && z.avail_in > 0 && (result = inflate(&z, Z_SYNC_FLUSH)) == Z_OK) {
        if (z.avail_out != 0) continue;
        if (room == most) break;
        room = std::min(most, room * 2);
        if (!grow(out, room, z.total_out)) result = Z_MEM_ERROR;
        z.next_out = out.data.get() + z.total_out;
        z.avail_out = static_cast<uInt>(room - z.total_out);
    }
    const std::uint64_t inflated = z.total_out;
    inflateEnd(&z);
    if (result != Z_OK && result != Z_STREAM_END) {
        out = InflatedBytes{};
        return InflateResult::NotZlib;
    }
    if (inflated > limit) {
        out = InflatedBytes{};
        return InflateResult::OverLimit;
    }
    out.size = static_cast<std::size_t>(inflated);
    return InflateResult::Ok;
}

} // namespace tglformat
