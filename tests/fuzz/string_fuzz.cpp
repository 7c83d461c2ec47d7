// xStringA operations and decompress checked against a plain std::string:
// the same bytes, the same results, after every operation.

#include "xlibplus/string/string.h"

#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

void same(const xlibplus::xStringA& s, const std::string& model) {
    check(s.length() == model.size());
    check(std::memcmp(s.cStr(), model.data(), model.size()) == 0);
    check(s.cStr()[s.length()] == '\0');
    check(s.length() == 0 || s.capacity() > s.length());
}

std::string inflateModel(const std::string& in, bool& ok) {
    z_stream z{};
    inflateInit(&z);
    std::string out;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = static_cast<uInt>(in.size());
    unsigned char chunk[1024];
    int result = Z_OK;
    while (z.avail_in > 0) {
        z.next_out = chunk;
        z.avail_out = sizeof chunk;
        result = inflate(&z, Z_SYNC_FLUSH);
        out.append(reinterpret_cast<char*>(chunk), sizeof chunk - z.avail_out);
        if (result != Z_OK) break;
    }
    inflateEnd(&z);
    ok = result == Z_OK || result == Z_STREAM_END;
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    xlibplus::xStringA s;
    std::string model;
    std::size_t at = 0;
    while (at < size) {
        const std::uint8_t op = data[at++];
        const std::size_t n = std::min<std::size_t>(op >> 3, size - at);
        const std::string piece(reinterpret_cast<const char*>(data) + at, n);
        at += n;
        const std::uint32_t position = s.tell();
        const auto count = static_cast<std::uint32_t>(n);
        switch (op & 7) {
        case 0:
            s.append(piece.data(), count);
            model += piece;
            // A position past the end comes down to the new end if the buffer grew.
            check(s.tell() == position || (s.tell() < position && s.tell() == s.length()));
            break;
        case 1:
            s.assign(piece.data(), count);
            model = piece;
            check(piece.empty() ? s.tell() == 0 : s.tell() <= position);
            break;
        case 2: // overwrites from the position, appends the rest; past the end it appends
            s.write(piece.data(), count);
            if (position < model.size())
                model.replace(position, std::min<std::size_t>(n, model.size() - position), piece);
            else
                model += piece;
            check(s.tell() == position + count);
            break;
        case 3: {
            char buffer[32];
            const std::uint32_t got = s.read(buffer, count);
            const std::size_t expected =
                position >= model.size() ? 0 : std::min<std::size_t>(n, model.size() - position);
            check(got == expected &&
                  std::memcmp(buffer, model.data() + std::min<std::size_t>(position, model.size()),
                              got) == 0);
            check(s.tell() == position + got);
            break;
        }
        case 4:
            s.seek(count * 3);
            check(s.tell() ==
                  std::min<std::uint32_t>(count * 3, static_cast<std::uint32_t>(model.size())));
            break;
        case 5: { // bytes past the old end are not initialised: take them as they are
            const std::size_t kept = std::min(model.size(), n);
            s.setSize(count);
            model.resize(kept);
            model.append(s.cStr() + kept, n - kept);
            check(s.tell() <= s.length());
            break;
        }
        case 6: { // succeeds exactly when the model inflates within the limit
            bool ok = false;
            const std::string inflated = inflateModel(model, ok);
            const bool result = s.decompress(1 << 20);
            check(result == (ok && inflated.size() <= (1u << 20)));
            if (result) {
                model = inflated;
                check(s.tell() == 0);
            }
            break;
        }
        case 7: // compressing and inflating gives the bytes back
            s.compress();
            check(s.decompress());
            break;
        }
        same(s, model);
    }
    return 0;
}
