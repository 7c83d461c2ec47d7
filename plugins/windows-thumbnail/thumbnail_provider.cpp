#include "plugins/windows-thumbnail/thumbnail_provider.h"

#include "format/animation.h"
#include "format/thumbnail.h"
#include "image/limits.h"
#include "plugins/windows-thumbnail/stream_source.h"

#include <propsys.h>
#include <thumbcache.h>

#include <cstring>
#include <new>

std::atomic<long> liveObjects{0};

namespace {

class ThumbnailProvider final : public IInitializeWithStream, public IThumbnailProvider {
  public:
    ThumbnailProvider() { ++liveObjects; }
    ~ThumbnailProvider() {
        if (stream_) stream_->Release();
        --liveObjects;
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, __uuidof(IInitializeWithStream)))
            *object = static_cast<IInitializeWithStream*>(this);
        else if (IsEqualIID(id, __uuidof(IThumbnailProvider)))
            *object = static_cast<IThumbnailProvider*>(this);
        else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const long left = --references_;
        if (left == 0) delete this;
        return ULONG(left);
    }

    // IInitializeWithStream: the stream is read when the thumbnail is asked for.
    HRESULT STDMETHODCALLTYPE Initialize(IStream* stream, DWORD) override {
        if (!stream) return E_INVALIDARG;
        if (stream_) return HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
        stream_ = stream;
        stream_->AddRef();
        return S_OK;
    }

    // IThumbnailProvider
    HRESULT STDMETHODCALLTYPE GetThumbnail(UINT side, HBITMAP* bitmap,
                                           WTS_ALPHATYPE* alpha) override {
        if (!bitmap || !alpha) return E_POINTER;
        *bitmap = nullptr;
        if (!stream_) return E_UNEXPECTED;
        if (side == 0 || side > UINT(InputLimits::kMaxImageSide)) return E_INVALIDARG;
        try {
            StreamSource source(stream_);
            tglformat::Animation animation;
            if (!source.usable() || !tglformat::readAnimation(source, animation))
                return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
            const tglformat::Picture picture = tglformat::thumbnailOf(animation, int(side));
            if (picture.pixels.empty()) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
            *bitmap = bitmapOf(picture);
            *alpha = WTSAT_ARGB;
            return *bitmap ? S_OK : E_OUTOFMEMORY;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_FAIL;
        }
    }

  private:
    // A top-down 32-bit section; 0xAARRGGBB in memory is its B, G, R, A.
    static HBITMAP bitmapOf(const tglformat::Picture& picture) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = picture.width;
        info.bmiHeader.biHeight = -picture.height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (bitmap && bits)
            std::memcpy(bits, picture.pixels.data(), picture.pixels.size() * sizeof(std::uint32_t));
        return bitmap;
    }

    std::atomic<long> references_{1};
    IStream* stream_ = nullptr;
};

} // namespace

HRESULT createThumbnailProvider(REFIID interfaceId, void** object) {
    auto* provider = new (std::nothrow) ThumbnailProvider;
    if (!provider) return E_OUTOFMEMORY;
    const HRESULT result = provider->QueryInterface(interfaceId, object);
    provider->Release();
    return result;
}
