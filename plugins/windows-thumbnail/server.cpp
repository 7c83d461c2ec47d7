// The in-process COM server around the thumbnail provider: its class factory,
// and the keys that regsvr32 writes and removes.

#include "plugins/windows-thumbnail/thumbnail_provider.h"

#include <new>
#include <string>

namespace {

HMODULE thisModule = nullptr;

// The shell's key for thumbnail handlers under a file type's ShellEx.
const wchar_t kThumbnailHandlerKey[] = L".tgl\\ShellEx\\{E357FCCD-A995-4576-B01F-234630154E96}";

class ClassFactory final : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (!object) return E_POINTER;
        if (!IsEqualIID(id, IID_IUnknown) && !IsEqualIID(id, IID_IClassFactory)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    // One factory for the life of the DLL.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID id, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return createThumbnailProvider(id, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        lock ? ++liveObjects : --liveObjects;
        return S_OK;
    }
};

ClassFactory factory;

HRESULT setValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    const LSTATUS status =
        RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), name, REG_SZ, value.c_str(),
                        DWORD((value.size() + 1) * sizeof(wchar_t)));
    return HRESULT_FROM_WIN32(status);
}

std::wstring classKey() { return std::wstring(L"CLSID\\") + kThumbnailProviderClassText; }

// Removes the key when nothing is left in it.
void removeIfEmpty(const wchar_t* key) { RegDeleteKeyW(HKEY_CLASSES_ROOT, key); }

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        thisModule = module;
        DisableThreadLibraryCalls(module);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID id, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(classId, kThumbnailProviderClass)) return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(id, object);
}

STDAPI DllCanUnloadNow() { return liveObjects == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(thisModule, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return E_FAIL;
    HRESULT result = setValue(classKey(), nullptr, L"tglview thumbnail handler");
    if (SUCCEEDED(result)) result = setValue(classKey() + L"\\InprocServer32", nullptr, path);
    if (SUCCEEDED(result))
        result = setValue(classKey() + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
    if (SUCCEEDED(result))
        result = setValue(kThumbnailHandlerKey, nullptr, kThumbnailProviderClassText);
    return result;
}

// Removes the class and the handler entry when it still names this class;
// a handler another program put there since stays.
STDAPI DllUnregisterServer() {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, classKey().c_str());
    wchar_t handler[64] = {};
    DWORD size = sizeof handler;
    if (RegGetValueW(HKEY_CLASSES_ROOT, kThumbnailHandlerKey, nullptr, RRF_RT_REG_SZ, nullptr,
                     handler, &size) == ERROR_SUCCESS &&
        _wcsicmp(handler, kThumbnailProviderClassText) == 0) {
        RegDeleteKeyW(HKEY_CLASSES_ROOT, kThumbnailHandlerKey);
        removeIfEmpty(L".tgl\\ShellEx");
        removeIfEmpty(L".tgl");
    }
    return S_OK;
}
