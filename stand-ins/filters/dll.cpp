// In-process server of the stand-in filters: class factory and registration.
#include <cstdio>
#include <cwchar>
#include <new>

#include "ds_base.h"
#include "filters.h"

namespace ds {

const ClassEntry kClasses[] = {
    {&CLSID_StandInSource, L"Stream Parse Source (stand-in)", CreateSourceFilter, false},
    {&CLSID_StandInDecoder, L"MJPEG Video Decoder (stand-in)", CreateDecoderFilter, false},
    {&CLSID_StandInBrightness, L"Brightness (stand-in)", CreateBrightnessFilter, false},
    {&CLSID_StandInConverter, L"Color Space Converter (stand-in)", CreateConverterFilter, true},
};
const int kClassCount = sizeof(kClasses) / sizeof(kClasses[0]);

}  // namespace ds

namespace {

HMODULE g_module = nullptr;
std::atomic<long> g_locks{0};

class Factory : public ds::SingleInterface<IClassFactory, IID_IClassFactory> {
public:
    explicit Factory(ds::CreateFn create) : create_(create) {}
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        ds::ComPtr<IUnknown> obj;
        HRESULT hr = create_(obj.GetAddressOf());
        if (FAILED(hr)) return hr;
        return obj->QueryInterface(riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        lock ? ++g_locks : --g_locks;
        return S_OK;
    }

private:
    ds::CreateFn create_;
};

void ClsidKey(const CLSID& clsid, wchar_t* out, size_t n) {
    wchar_t id[64];
    StringFromGUID2(clsid, id, 64);
    swprintf(out, n, L"CLSID\\%ls", id);
}

// The server registered for a class, or an empty string.
void RegisteredServer(const CLSID& clsid, wchar_t* path, DWORD n) {
    wchar_t key[128];
    ClsidKey(clsid, key, 128);
    wcscat(key, L"\\InprocServer32");
    path[0] = 0;
    DWORD bytes = n * sizeof(wchar_t);
    if (RegGetValueW(HKEY_CLASSES_ROOT, key, nullptr, RRF_RT_REG_SZ, nullptr, path, &bytes) != ERROR_SUCCESS)
        path[0] = 0;
}

bool SetString(HKEY root, const wchar_t* key, const wchar_t* name, const wchar_t* value) {
    HKEY k;
    if (RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) != ERROR_SUCCESS) return false;
    LONG r = RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                            DWORD((wcslen(value) + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
    return r == ERROR_SUCCESS;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE inst, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = inst;
        DisableThreadLibraryCalls(inst);
    }
    return TRUE;
}

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    for (int i = 0; i < ds::kClassCount; ++i) {
        if (clsid != *ds::kClasses[i].clsid) continue;
        ds::ComPtr<IClassFactory> f = ds::AdoptRef<IClassFactory>(new (std::nothrow) Factory(ds::kClasses[i].create));
        if (!f) return E_OUTOFMEMORY;
        return f->QueryInterface(riid, ppv);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT __stdcall DllCanUnloadNow() { return ds::g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT __stdcall DllRegisterServer() {
    wchar_t self[MAX_PATH];
    if (!GetModuleFileNameW(g_module, self, MAX_PATH)) return E_FAIL;
    for (int i = 0; i < ds::kClassCount; ++i) {
        const ds::ClassEntry& c = ds::kClasses[i];
        if (c.onlyWhenMissing) {
            wchar_t other[MAX_PATH];
            RegisteredServer(*c.clsid, other, MAX_PATH);
            if (other[0] && _wcsicmp(other, self) != 0) continue;  // the platform has its own
        }
        wchar_t key[128], server[160];
        ClsidKey(*c.clsid, key, 128);
        swprintf(server, 160, L"%ls\\InprocServer32", key);
        if (!SetString(HKEY_CLASSES_ROOT, key, nullptr, c.name) ||
            !SetString(HKEY_CLASSES_ROOT, server, nullptr, self) ||
            !SetString(HKEY_CLASSES_ROOT, server, L"ThreadingModel", L"Both"))
            return SELFREG_E_CLASS;
    }
    return S_OK;
}

extern "C" HRESULT __stdcall DllUnregisterServer() {
    wchar_t self[MAX_PATH];
    if (!GetModuleFileNameW(g_module, self, MAX_PATH)) return E_FAIL;
    for (int i = 0; i < ds::kClassCount; ++i) {
        wchar_t other[MAX_PATH];
        RegisteredServer(*ds::kClasses[i].clsid, other, MAX_PATH);
        if (_wcsicmp(other, self) != 0) continue;  // only what we registered
        wchar_t key[128];
        ClsidKey(*ds::kClasses[i].clsid, key, 128);
        RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
    }
    return S_OK;
}
