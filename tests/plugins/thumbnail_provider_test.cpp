// tglthumb.dll as Explorer uses it: registered by regsvr32, made through COM
// by its class id, handed a stream, never a path.

#include "format/animation.h"
#include "format/thumbnail.h"
#include "image/image.h"
#include "plugins/windows-thumbnail/thumbnail_provider.h"
#include "tests/support/temp_dir.h"
#include "tools/tgl/commands.h"

#include <gtest/gtest.h>

#include <propsys.h>
#include <shlwapi.h>
#include <thumbcache.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

const wchar_t kHandlerKey[] = L".tgl\\ShellEx\\{E357FCCD-A995-4576-B01F-234630154E96}";

Bytes contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

fs::path dllPath() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return fs::path(self).parent_path() / "tglthumb.dll";
}

DWORD regsvr32(const std::wstring& arguments) {
    std::wstring command = L"regsvr32.exe /s " + arguments + L" \"" + dllPath().wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return DWORD(-1);
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = DWORD(-1);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

std::wstring classesValue(const std::wstring& key) {
    wchar_t value[MAX_PATH] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value,
                     &size) != ERROR_SUCCESS)
        return L"";
    return value;
}

struct Thumbnail {
    HRESULT result = E_FAIL;
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels; // 0xAARRGGBB, rows top to bottom
};

class ThumbnailHandler : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        ASSERT_EQ(regsvr32(L""), 0u) << "regsvr32 did not register the DLL";
    }
    void TearDown() override {
        regsvr32(L"/u");
        CoUninitialize();
    }

    // The handler, made as the shell makes it, over these bytes.
    static Thumbnail thumbnailOf(const Bytes& bytes, UINT side) {
        Thumbnail out;
        IInitializeWithStream* init = nullptr;
        out.result =
            CoCreateInstance(kThumbnailProviderClass, nullptr, CLSCTX_INPROC_SERVER,
                             __uuidof(IInitializeWithStream), reinterpret_cast<void**>(&init));
        if (FAILED(out.result)) return out;
        IStream* stream = SHCreateMemStream(bytes.data(), UINT(bytes.size()));
        IThumbnailProvider* provider = nullptr;
        out.result = init->Initialize(stream, STGM_READ);
        if (SUCCEEDED(out.result))
            out.result = init->QueryInterface(__uuidof(IThumbnailProvider),
                                              reinterpret_cast<void**>(&provider));
        if (SUCCEEDED(out.result)) {
            HBITMAP bitmap = nullptr;
            WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
            out.result = provider->GetThumbnail(side, &bitmap, &alpha);
            DIBSECTION section{};
            if (SUCCEEDED(out.result) && alpha == WTSAT_ARGB &&
                GetObjectW(bitmap, sizeof section, &section) == sizeof section &&
                section.dsBm.bmBitsPixel == 32) {
                out.width = section.dsBm.bmWidth;
                out.height = section.dsBm.bmHeight;
                const auto* bits = static_cast<const std::uint32_t*>(section.dsBm.bmBits);
                out.pixels.assign(bits, bits + out.width * out.height);
            }
            if (bitmap) DeleteObject(bitmap);
            provider->Release();
        }
        if (stream) stream->Release();
        init->Release();
        return out;
    }
};

TEST_F(ThumbnailHandler, Regsvr32RegistersTheClassAndTheHandlerAndRemovesThem) {
    const std::wstring server =
        classesValue(std::wstring(L"CLSID\\") + kThumbnailProviderClassText + L"\\InprocServer32");
    EXPECT_EQ(_wcsicmp(server.c_str(), dllPath().wstring().c_str()), 0);
    EXPECT_EQ(classesValue(kHandlerKey), kThumbnailProviderClassText);
    ASSERT_EQ(regsvr32(L"/u"), 0u);
    EXPECT_EQ(classesValue(kHandlerKey), L"");
    EXPECT_EQ(classesValue(std::wstring(L"CLSID\\") + kThumbnailProviderClassText), L"");
    ASSERT_EQ(regsvr32(L""), 0u);
}

// The thumbnail over white is what tgl render shows of that frame, in the
// frames' box; a smaller size keeps the proportions.
TEST_F(ThumbnailHandler, TheSampleGivesItsFirstShownFrameAsTheToolRendersIt) {
    const Bytes sample = contents(SAMPLE);
    tglformat::MemorySource source(sample.data(), sample.size());
    tglformat::Animation animation;
    ASSERT_TRUE(tglformat::readAnimation(source, animation));
    const tglformat::Box box = tglformat::shownBox(animation);
    ASSERT_LE(box.width(), 256);
    ASSERT_LE(box.height(), 256);

    TempDir dir;
    const std::string rendered = dir.file("frame.png");
    tgltool::RenderOptions first;
    first.frame = int(tglformat::firstShownFrame(animation, box));
    tgltool::render(SAMPLE, rendered, first);
    const Bytes png = contents(rendered);
    imaging::DecodedImage window;
    ASSERT_EQ(imaging::decodeImage(png.data(), png.size(), window), imaging::ImageStatus::Ok);

    const Thumbnail thumbnail = thumbnailOf(sample, 256);
    ASSERT_TRUE(SUCCEEDED(thumbnail.result)) << std::hex << thumbnail.result;
    ASSERT_EQ(thumbnail.width, box.width());
    ASSERT_EQ(thumbnail.height, box.height());
    int translucent = 0, differing = 0;
    for (int y = 0; y < box.height(); ++y)
        for (int x = 0; x < box.width(); ++x) {
            const std::uint32_t p = thumbnail.pixels[std::size_t(y * box.width() + x)];
            const std::uint32_t a = p >> 24;
            translucent += a < 255;
            std::uint32_t overWhite = 0xFF000000u;
            for (int shift : {16, 8, 0})
                overWhite |= (((p >> shift) & 0xFF) * a + 255 * (255 - a) + 127) / 255 << shift;
            const std::size_t at = std::size_t(box.top + y) * 800 + std::size_t(box.left + x);
            differing += overWhite != (window.pixels[at] | 0xFF000000u);
        }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(translucent, 0) << "the thumbnail has no alpha";

    const Thumbnail small = thumbnailOf(sample, 32);
    ASSERT_TRUE(SUCCEEDED(small.result));
    EXPECT_EQ(std::max(small.width, small.height), 32);
    EXPECT_NEAR(double(small.width) / small.height, double(box.width()) / box.height(), 0.1);
}

// Inside Explorer nothing may crash: broken and hostile streams fail with an HRESULT.
TEST_F(ThumbnailHandler, HostileStreamsFailWithAnHresultOrGiveASmallPicture) {
    const Bytes sample = contents(SAMPLE);
    for (const Bytes& broken :
         {Bytes{}, Bytes{'D', 'F', 'X'}, Bytes(sample.begin(), sample.begin() + 40)})
        EXPECT_TRUE(FAILED(thumbnailOf(broken, 96).result));
    EXPECT_EQ(thumbnailOf(sample, 0).result, E_INVALIDARG);
    int pictures = 0, failures = 0;
    const auto start = std::chrono::steady_clock::now();
    for (const auto& entry : fs::directory_iterator(HOSTILE_CORPUS)) {
        const Thumbnail thumbnail = thumbnailOf(contents(entry.path()), 96);
        if (SUCCEEDED(thumbnail.result)) {
            EXPECT_LE(std::max(thumbnail.width, thumbnail.height), 96) << entry.path();
            ++pictures;
        } else {
            ++failures;
        }
    }
    EXPECT_GT(pictures, 0);
    EXPECT_GT(failures, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

} // namespace
