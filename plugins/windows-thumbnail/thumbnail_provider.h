#pragma once

#include <windows.h>

#include <atomic>

// Explorer's thumbnail handler for .tgl files: the first frame that shows, as
// the viewer draws it, cropped to the frames' box and fitted into the size
// asked, with alpha. It runs inside Explorer: every failure is an HRESULT.

// {F4194379-8649-48FF-B3F0-A108E98F4911}
inline constexpr CLSID kThumbnailProviderClass = {
    0xf4194379, 0x8649, 0x48ff, {0xb3, 0xf0, 0xa1, 0x08, 0xe9, 0x8f, 0x49, 0x11}};
inline constexpr wchar_t kThumbnailProviderClassText[] = L"{F4194379-8649-48FF-B3F0-A108E98F4911}";

// Objects and locks alive in this DLL; it may be unloaded at zero.
extern std::atomic<long> liveObjects;

// A new provider, as asked for by interface.
HRESULT createThumbnailProvider(REFIID interfaceId, void** object);
