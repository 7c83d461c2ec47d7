#include "platform/window_host.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

struct HDROP__ {
    std::vector<std::string> paths;
};

namespace {

std::unordered_set<HDROP>& liveDrops() {
    static std::unordered_set<HDROP> drops;
    return drops;
}

bool isLive(HDROP drop) { return drop && liveDrops().count(drop) != 0; }

constexpr UINT kCountQuery = 0xFFFFFFFF;

} // namespace

UINT DragQueryFileA(HDROP drop, UINT index, LPSTR buffer, UINT bufferSize) {
    if (!isLive(drop)) return 0;
    if (index == kCountQuery) return static_cast<UINT>(drop->paths.size());
    if (index >= drop->paths.size()) return 0;

    const std::string& path = drop->paths[index];
    if (!buffer) return static_cast<UINT>(path.size());
    if (bufferSize == 0) return 0;
    std::size_t copied = std::min<std::size_t>(path.size(), bufferSize - 1);
    std::memcpy(buffer, path.data(), copied);
    buffer[copied] = '\0';
    return static_cast<UINT>(copied);
}

void DragFinish(HDROP drop) {
    if (liveDrops().erase(drop) != 0) delete drop;
}

namespace platform {

bool deliverDrop(HWND window, const std::vector<std::string>& paths) {
    if ((GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) == 0) return false;

    HDROP drop = new HDROP__{paths};
    liveDrops().insert(drop);
    sendMessage(window, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    DragFinish(drop); // no-op when a procedure finished it already
    return true;
}

int liveDropCount() { return static_cast<int>(liveDrops().size()); }

} // namespace platform
