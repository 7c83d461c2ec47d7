#include "plugins/windows-thumbnail/stream_source.h"

#include "image/limits.h"

#include <algorithm>

StreamSource::StreamSource(IStream* stream) : stream_(stream) {
    STATSTG stat{};
    if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) return;
    size_ = stat.cbSize.QuadPart;
    usable_ = size_ <= InputLimits::kMaxFileBytes;
}

std::size_t StreamSource::read(void* to, std::size_t bytes) {
    auto* at = static_cast<std::uint8_t*>(to);
    std::size_t done = 0;
    // A stream may give less than asked before its end: read until it gives nothing.
    while (done < bytes) {
        const ULONG ask = ULONG(std::min<std::size_t>(bytes - done, 1u << 30));
        ULONG got = 0;
        const HRESULT result = stream_->Read(at + done, ask, &got);
        if (FAILED(result) || got == 0) break;
        done += got;
    }
    return done;
}
