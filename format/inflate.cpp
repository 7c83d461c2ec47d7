#include "format/inflate.h"

#include <zlib.h>

#include <algorithm>

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

InflateResult inflateBounded(const std::vector<std::uint8_t>& stream, std::uint32_t limit,
                             std::vector<std::uint8_t>& out) {
    out.clear();
    z_stream z{};
    if (inflateInit2(&z, 15) != Z_OK) return InflateResult::NotZlib;
    // One byte past the limit tells a stream that goes on past it.
    const std::uint64_t most = std::uint64_t{limit} + 1;
    std::uint64_t room = std::min<std::uint64_t>(most, stream.size() * 4 + kHeadBytes);
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    int result = Z_OK;
    try {
        out.resize(static_cast<std::size_t>(room));
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(room);
        while (z.avail_in > 0 && (result = inflate(&z, Z_SYNC_FLUSH)) == Z_OK) {
            if (z.avail_out != 0) continue;
            if (room == most) break;
            room = std::min(most, room * 2);
            out.resize(static_cast<std::size_t>(room));
            z.next_out = out.data() + z.total_out;
            z.avail_out = static_cast<uInt>(room - z.total_out);
        }
    } catch (...) {
        result = Z_MEM_ERROR; // no room for it counts as no stream
    }
    const std::uint64_t inflated = z.total_out;
    inflateEnd(&z);
    if (result != Z_OK && result != Z_STREAM_END) {
        out = std::vector<std::uint8_t>();
        return InflateResult::NotZlib;
    }
    if (inflated > limit) {
        out = std::vector<std::uint8_t>();
        return InflateResult::OverLimit;
    }
    out.resize(static_cast<std::size_t>(inflated));
    return InflateResult::Ok;
}

} // namespace tglformat
