// In-process server of the stand-in browser control: class factory and
// registration. Registering saves the server the class had (the platform's
// own control) and unregistering puts it back.
#include "control.h"  // first: it brings winsock2.h before windows.h

#include <windows.h>
#include <olectl.h>

#include <cwchar>
#include <new>


namespace {

std::atomic<long> g_locks{0};
const wchar_t kPreviousServer[] = L"StandInPreviousServer";
const wchar_t kPreviousModel[] = L"StandInPreviousThreadingModel";

class Factory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_refs)); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG n = ::InterlockedDecrement(&m_refs);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return standin::CreateBrowserControl(riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        lock ? ++g_locks : --g_locks;
        return S_OK;
    }

    Factory() { ++standin::g_objects; }

private:
    ~Factory() { --standin::g_objects; }
    LONG m_refs = 1;
};

// HKCR\CLSID\{...}\InprocServer32 of the browser's class.
void ServerKey(wchar_t* out, size_t n) {
    wchar_t id[64];
    ::StringFromGUID2(standin::kBrowserClassId, id, 64);
    swprintf(out, n, L"CLSID\\%ls\\InprocServer32", id);
}

bool ReadString(HKEY key, const wchar_t* name, wchar_t* out, DWORD chars) {
    DWORD bytes = chars * sizeof(wchar_t);
    out[0] = 0;
    return ::RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, out,
                          &bytes) == ERROR_SUCCESS;
}

bool WriteString(HKEY key, const wchar_t* name, const wchar_t* value) {
    return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                            static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE inst, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        standin::g_module = inst;
        ::DisableThreadLibraryCalls(inst);
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {
        standin::ReleaseWindowClass();
    }
    return TRUE;
}

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (clsid != standin::kBrowserClassId) return CLASS_E_CLASSNOTAVAILABLE;
    auto* f = new (std::nothrow) Factory();
    if (!f) return E_OUTOFMEMORY;
    HRESULT hr = f->QueryInterface(riid, ppv);
    f->Release();
    return hr;
}

extern "C" HRESULT __stdcall DllCanUnloadNow() { return standin::g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT __stdcall DllRegisterServer() {
    wchar_t self[MAX_PATH], keyName[128];
    if (!::GetModuleFileNameW(standin::g_module, self, MAX_PATH)) return E_FAIL;
    ServerKey(keyName, 128);
    HKEY key;
    if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, keyName, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    wchar_t current[MAX_PATH], model[64];
    ReadString(key, nullptr, current, MAX_PATH);
    bool ok = true;
    const wchar_t* currentName = wcsrchr(current, L'\\');
    const wchar_t* selfName = wcsrchr(self, L'\\');
    const bool standIn = currentName && selfName && _wcsicmp(currentName, selfName) == 0;
    if (!standIn) {
        // Keep the platform's server to put back on unregistration (not
        // another copy of this stand-in).
        if (!ReadString(key, L"ThreadingModel", model, 64)) model[0] = 0;
        ok = WriteString(key, kPreviousServer, current) && WriteString(key, kPreviousModel, model);
    }
    ok = ok && WriteString(key, nullptr, self) && WriteString(key, L"ThreadingModel", L"Apartment");
    ::RegCloseKey(key);
    return ok ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT __stdcall DllUnregisterServer() {
    wchar_t self[MAX_PATH], keyName[128];
    if (!::GetModuleFileNameW(standin::g_module, self, MAX_PATH)) return E_FAIL;
    ServerKey(keyName, 128);
    HKEY key;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, keyName, 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS) return S_OK;
    wchar_t current[MAX_PATH], previous[MAX_PATH], model[64];
    ReadString(key, nullptr, current, MAX_PATH);
    HRESULT hr = S_OK;
    if (_wcsicmp(current, self) == 0) {  // only what we registered
        if (ReadString(key, kPreviousServer, previous, MAX_PATH) && previous[0]) {
            if (!ReadString(key, kPreviousModel, model, 64)) model[0] = 0;
            bool ok = WriteString(key, nullptr, previous);
            if (model[0]) ok = ok && WriteString(key, L"ThreadingModel", model);
            else ::RegDeleteValueW(key, L"ThreadingModel");
            if (!ok) hr = SELFREG_E_CLASS;
        } else {
            ::RegDeleteValueW(key, nullptr);
            ::RegDeleteValueW(key, L"ThreadingModel");
        }
    }
    ::RegDeleteValueW(key, kPreviousServer);
    ::RegDeleteValueW(key, kPreviousModel);
    ::RegCloseKey(key);
    return hr;
}
