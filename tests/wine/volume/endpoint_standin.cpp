// Test tooling, not part of the viewer: a multimedia device enumerator whose
// default render endpoint has an IAudioEndpointVolume that serves a preset
// level and records every call into the shared EndpointLog. Registered in the
// test prefix under the platform enumerator's class id for the duration of a
// test (Wine's own endpoint volume always reads 1.0 and refuses to set one).
#include <windows.h>
#include <endpointvolume.h>
#include <mmdeviceapi.h>

#include <cmath>

#include "endpoint_log.h"

namespace {

const CLSID kClsidDeviceEnumerator = {0xBCDE0395, 0xE52F, 0x467C, {0x8E, 0x3D, 0xC4, 0x57, 0x92, 0x91, 0x69, 0x2E}};
const IID kIidDeviceEnumerator = {0xA95664D2, 0x9614, 0x4F35, {0xA7, 0x46, 0xDE, 0x8D, 0xB6, 0x36, 0x17, 0xE6}};
const IID kIidDevice = {0xD666063F, 0x1587, 0x4E43, {0x81, 0xF1, 0xB9, 0x48, 0xE8, 0x07, 0x36, 0x3F}};
const IID kIidEndpointVolume = {0x5CDF2C82, 0x841E, 0x4546, {0x97, 0x22, 0x0C, 0xF7, 0x40, 0x78, 0x22, 0x9A}};
constexpr float kDefaultLevel = 0.57f;

LONG g_locks = 0;

// The shared log, mapped while this DLL is loaded (nullptr when the test did
// not create it: the stand-in then serves the default level and records nothing).
class SharedLog {
public:
    SharedLog() {
        m_section = ::OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, ENDPOINT_LOG_NAME);
        if (m_section) m_log = static_cast<EndpointLog*>(::MapViewOfFile(m_section, FILE_MAP_ALL_ACCESS, 0, 0, 0));
        if (m_log && m_log->magic != EndpointLog::kMagic) m_log = nullptr;
    }
    ~SharedLog() {
        if (m_log) ::UnmapViewOfFile(m_log);
        if (m_section) ::CloseHandle(m_section);
    }
    // Records a call; returns the result the stand-in must give it.
    HRESULT Record(EndpointCall call, float value = 0.0f, int32_t a1 = 0, int32_t a2 = 0) {
        if (!m_log) return S_OK;
        uint32_t i = m_log->count++;
        if (i < EndpointLog::kCapacity) m_log->calls[i] = {call, value, a1, a2};
        return m_log->failCall == call ? m_log->failResult : S_OK;
    }
    float Level() const { return m_log ? m_log->level : kDefaultLevel; }
    void SetLevel(float level) {
        if (m_log) m_log->level = level;
    }
    void Live(int delta) {
        if (m_log) m_log->liveObjects += delta;
    }

private:
    HANDLE m_section = nullptr;
    EndpointLog* m_log = nullptr;
};
SharedLog* g_log = nullptr;

// IUnknown for one interface; the last Release records the object's end.
template <class I>
class Object : public I {
public:
    Object(const IID& iid, EndpointCall releaseCall) : m_iid(iid), m_releaseCall(releaseCall) {
        ::InterlockedIncrement(&g_locks);
        g_log->Live(+1);
    }
    virtual ~Object() {
        g_log->Record(m_releaseCall);
        g_log->Live(-1);
        ::InterlockedDecrement(&g_locks);
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == m_iid) {
            *out = static_cast<I*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_refs)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG n = ::InterlockedDecrement(&m_refs);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }

private:
    LONG m_refs = 1;
    const IID m_iid;
    const EndpointCall m_releaseCall;
};

HRESULT Other(int method) { return g_log->Record(kCallOther, 0.0f, method) == S_OK ? E_NOTIMPL : E_FAIL; }

class EndpointVolume : public Object<IAudioEndpointVolume> {
public:
    EndpointVolume() : Object(kIidEndpointVolume, kCallReleaseVolume) {}
    HRESULT STDMETHODCALLTYPE RegisterControlChangeNotify(IAudioEndpointVolumeCallback*) override { return Other(1); }
    HRESULT STDMETHODCALLTYPE UnregisterControlChangeNotify(IAudioEndpointVolumeCallback*) override { return Other(2); }
    HRESULT STDMETHODCALLTYPE GetChannelCount(UINT*) override { return Other(3); }
    HRESULT STDMETHODCALLTYPE SetMasterVolumeLevel(float db, LPCGUID) override {
        return g_log->Record(kCallSetLevel, db);
    }
    HRESULT STDMETHODCALLTYPE SetMasterVolumeLevelScalar(float level, LPCGUID) override {
        HRESULT hr = g_log->Record(kCallSetScalar, level);
        if (FAILED(hr)) return hr;
        if (!(level >= 0.0f && level <= 1.0f)) return E_INVALIDARG;
        g_log->SetLevel(level);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMasterVolumeLevel(float* db) override {
        HRESULT hr = g_log->Record(kCallGetLevel);
        if (FAILED(hr)) return hr;
        if (!db) return E_POINTER;
        float level = g_log->Level();
        *db = level > 0.0f ? 20.0f * std::log10(level) : -96.0f;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMasterVolumeLevelScalar(float* level) override {
        HRESULT hr = g_log->Record(kCallGetScalar);
        if (FAILED(hr)) return hr;
        if (!level) return E_POINTER;
        *level = g_log->Level();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetChannelVolumeLevel(UINT, float, LPCGUID) override { return Other(4); }
    HRESULT STDMETHODCALLTYPE SetChannelVolumeLevelScalar(UINT, float, LPCGUID) override { return Other(5); }
    HRESULT STDMETHODCALLTYPE GetChannelVolumeLevel(UINT, float*) override { return Other(6); }
    HRESULT STDMETHODCALLTYPE GetChannelVolumeLevelScalar(UINT, float*) override { return Other(7); }
    HRESULT STDMETHODCALLTYPE SetMute(BOOL mute, LPCGUID) override {
        return g_log->Record(kCallSetMute, 0.0f, mute ? 1 : 0);
    }
    HRESULT STDMETHODCALLTYPE GetMute(BOOL* mute) override {
        HRESULT hr = g_log->Record(kCallGetMute);
        if (SUCCEEDED(hr) && mute) *mute = FALSE;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetVolumeStepInfo(UINT*, UINT*) override { return Other(8); }
    HRESULT STDMETHODCALLTYPE VolumeStepUp(LPCGUID) override { return Other(9); }
    HRESULT STDMETHODCALLTYPE VolumeStepDown(LPCGUID) override { return Other(10); }
    HRESULT STDMETHODCALLTYPE QueryHardwareSupport(DWORD*) override { return Other(11); }
    HRESULT STDMETHODCALLTYPE GetVolumeRange(float*, float*, float*) override { return Other(12); }
};

class Device : public Object<IMMDevice> {
public:
    Device() : Object(kIidDevice, kCallReleaseDevice) {}
    HRESULT STDMETHODCALLTYPE Activate(REFIID iid, DWORD context, PROPVARIANT*, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        const bool volume = iid == kIidEndpointVolume;
        HRESULT hr = g_log->Record(kCallActivate, 0.0f, volume ? 1 : 0, static_cast<int32_t>(context));
        if (FAILED(hr)) return hr;
        if (!volume) return E_NOINTERFACE;
        *out = static_cast<IAudioEndpointVolume*>(new EndpointVolume);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OpenPropertyStore(DWORD, IPropertyStore**) override { return Other(20); }
    HRESULT STDMETHODCALLTYPE GetId(LPWSTR*) override { return Other(21); }
    HRESULT STDMETHODCALLTYPE GetState(DWORD*) override { return Other(22); }
};

class Enumerator : public Object<IMMDeviceEnumerator> {
public:
    Enumerator() : Object(kIidDeviceEnumerator, kCallReleaseEnumerator) {}
    HRESULT STDMETHODCALLTYPE EnumAudioEndpoints(EDataFlow, DWORD, IMMDeviceCollection**) override { return Other(30); }
    HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(EDataFlow flow, ERole role, IMMDevice** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        HRESULT hr = g_log->Record(kCallGetDefaultEndpoint, 0.0f, flow, role);
        if (FAILED(hr)) return hr;
        *out = new Device;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDevice(LPCWSTR, IMMDevice**) override { return Other(31); }
    HRESULT STDMETHODCALLTYPE RegisterEndpointNotificationCallback(IMMNotificationClient*) override {
        return Other(32);
    }
    HRESULT STDMETHODCALLTYPE UnregisterEndpointNotificationCallback(IMMNotificationClient*) override {
        return Other(33);
    }
};

class Factory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // static object
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        HRESULT hr = g_log->Record(kCallCreateEnumerator);
        if (FAILED(hr)) return hr;
        Enumerator* e = new Enumerator;
        hr = e->QueryInterface(riid, out);
        e->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) ::InterlockedIncrement(&g_locks);
        else ::InterlockedDecrement(&g_locks);
        return S_OK;
    }
};
Factory g_factory;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_log = new SharedLog;
    if (reason == DLL_PROCESS_DETACH) {
        delete g_log;
        g_log = nullptr;
    }
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (clsid != kClsidDeviceEnumerator) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, out);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return g_locks == 0 ? S_OK : S_FALSE; }
