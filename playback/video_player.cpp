#include "video_player.h"

#include <cwchar>
#include <new>

#include "image.h"

namespace playback {

// {0998B6CF-702F-4F08-9638-53CC7C3A86D5}
const CLSID kClsidSource = {0x0998B6CF, 0x702F, 0x4F08, {0x96, 0x38, 0x53, 0xCC, 0x7C, 0x3A, 0x86, 0xD5}};
// {2BD6A557-9A76-4DAF-805E-C1FA73C9CF0D}
const CLSID kClsidVideoDecoder = {0x2BD6A557, 0x9A76, 0x4DAF, {0x80, 0x5E, 0xC1, 0xFA, 0x73, 0xC9, 0xCF, 0x0D}};
// {6AC7C19E-8CA0-4E3D-9A9F-2881DE29E0AC}
const CLSID kClsidAudioDecoder = {0x6AC7C19E, 0x8CA0, 0x4E3D, {0x9A, 0x9F, 0x28, 0x81, 0xDE, 0x29, 0xE0, 0xAC}};
// {1643E180-90F5-11CE-97D5-00AA0055595A}
const CLSID kClsidConverter = {0x1643E180, 0x90F5, 0x11CE, {0x97, 0xD5, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
// {16CC5240-AC7B-433F-B5D9-D3473C4F8505}
const CLSID kClsidBrightness = {0x16CC5240, 0xAC7B, 0x433F, {0xB5, 0xD9, 0xD3, 0x47, 0x3C, 0x4F, 0x85, 0x05}};

// Interfaces of outside components. Declared with external linkage: in an
// unnamed namespace the compiler could conclude no implementation exists.
// The source filter's own settings interface: its first method takes the
// flag, its sixth the two values.
// {FF2BC10A-78EE-4228-9738-BBA99095B88D}
const IID kIidSourceSettings = {0xFF2BC10A, 0x78EE, 0x4228, {0x97, 0x38, 0xBB, 0xA9, 0x90, 0x95, 0xB8, 0x8D}};
struct ISourceSettings : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetFlag(BYTE flag) = 0;
    virtual HRESULT STDMETHODCALLTYPE Method5() = 0;
    virtual HRESULT STDMETHODCALLTYPE Method6() = 0;
    virtual HRESULT STDMETHODCALLTYPE Method7() = 0;
    virtual HRESULT STDMETHODCALLTYPE Method8() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetValues(LONG a, LONG b) = 0;
};

// The video decoder's parameter interface: its third method sets one parameter.
// {00F99063-70D5-4BCC-9D88-3801F3E3881B}
const IID kIidDecoderParams = {0x00F99063, 0x70D5, 0x4BCC, {0x9D, 0x88, 0x38, 0x01, 0xF3, 0xE3, 0x88, 0x1B}};
struct IDecoderSettings : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Method4() = 0;
    virtual HRESULT STDMETHODCALLTYPE Method5() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetParam(int id, int value) = 0;
};
namespace {

// {B87BEB7B-8D29-423F-AE4D-6582C10175AC}
const CLSID kClsidMixingRenderer = {0xB87BEB7B, 0x8D29, 0x423F, {0xAE, 0x4D, 0x65, 0x82, 0xC1, 0x01, 0x75, 0xAC}};
// {79376820-07D0-11CF-A24D-0020AFD79767}
const CLSID kClsidSoundRenderer = {0x79376820, 0x07D0, 0x11CF, {0xA2, 0x4D, 0x00, 0x20, 0xAF, 0xD7, 0x97, 0x67}};
// {E436EBB3-524F-11CE-9F53-0020AF0BA770}
const CLSID kClsidFilterGraph = {0xE436EBB3, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
// {00000001-0000-0010-8000-00AA00389B71}
const GUID kSubtypePcm = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

constexpr int kParamUnlock = 1101, kParamFlip = 1112, kParamMirror = 1113;

// The interface iid of an object, or null.
template <class T>
ComPtr<T> QueryAs(IUnknown* from, REFIID iid) {
    ComPtr<T> out;
    if (from) from->QueryInterface(iid, reinterpret_cast<void**>(out.GetAddressOf()));
    return out;
}

// Calls fn(pin, info) for each pin of a filter, in enumeration order, until it returns false.
template <class Fn>
void ForEachPin(IBaseFilter* f, Fn fn) {
    ComPtr<IEnumPins> e;
    if (!f || FAILED(f->EnumPins(&e)) || !e) return;
    bool more = true;
    while (more) {
        ComPtr<IPin> pin;
        if (e->Next(1, &pin, nullptr) != S_OK || !pin) break;
        PIN_INFO info{};
        if (SUCCEEDED(pin->QueryPinInfo(&info))) {
            if (info.pFilter) info.pFilter->Release();
            info.pFilter = nullptr;
            more = fn(pin.Get(), info);
        }
    }
}

bool IsConnected(IPin* pin) {
    ComPtr<IPin> other;
    return pin->ConnectedTo(&other) == S_OK && other;
}

const wchar_t* const kDecoderNames[] = {L"FFDShow Decoder1", L"FFDShow Decoder2", L"FFDShow Decoder3",
                                        L"FFDShow Decoder4"};
const wchar_t* const kConverterNames[] = {L"Color Space Convertor 1", L"Color Space Convertor 2",
                                          L"Color Space Convertor 3", L"Color Space Convertor 4"};
const wchar_t* const kRendererNames[] = {L"Mixing Renderer9-1", L"Mixing Renderer9-2", L"Mixing Renderer9-3",
                                         L"Mixing Renderer9-4"};

}  // namespace

float ClampRate(float rate) {
    if (rate == 1.0f) return rate;
    if (rate > 2.0f) rate = 2.0f;
    if (rate < 0.5f) rate = 0.5f;
    return rate;
}

float AppliedRate(float rate) { return rate == 1.0f ? 1.0f : ClampRate(rate); }

int AudioPinScore(bool isPcm) { return isPcm ? 1001 : 1; }

// ------------------------------------------------------------ PlaybackGraph

PlaybackGraph::PlaybackGraph(int channels, const HWND* w, bool flag, RendererPool* pool)
    : m_channelCount(channels), m_sourceFlag(flag), m_pool(pool) {
    for (int k = 0; k < kMaxChannels; ++k) m_windows[k] = w ? w[k] : nullptr;
}

PlaybackGraph::~PlaybackGraph() {
    Stop();  // filters are removed from a stopped graph only
    TearDown();
    m_source.Reset();
}

HRESULT PlaybackGraph::AddFilter(const CLSID& clsid, const wchar_t* name, ComPtr<IBaseFilter>& out) {
    out.Reset();
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                  reinterpret_cast<void**>(out.GetAddressOf()));
    if (FAILED(hr)) return hr;
    hr = m_graph->AddFilter(out.Get(), name);
    if (FAILED(hr)) out.Reset();
    return hr;
}

void PlaybackGraph::Connect(IBaseFilter* up, IBaseFilter* down) {
    if (!up || !down) return;
    int attempts = 0;
    bool done = false;
    ForEachPin(up, [&](IPin* out, const PIN_INFO& outInfo) {
        if (outInfo.dir != PINDIR_OUTPUT || IsConnected(out)) return true;
        ForEachPin(down, [&](IPin* in, const PIN_INFO& inInfo) {
            if (inInfo.dir != PINDIR_INPUT || IsConnected(in)) return true;
            if (m_graph->Connect(out, in) == S_OK) {
                done = true;
                return false;
            }
            return ++attempts < 3;
        });
        return !done && attempts < 3;
    });
}

HRESULT PlaybackGraph::SetUpRenderer(int k) { return playback::SetUpRenderer(m_renderers[k].Get(), m_windows[k]); }

HRESULT SetUpRenderer(IBaseFilter* r, HWND window) {
    ComPtr<IVMRFilterConfig> config;
    HRESULT hr = r ? r->QueryInterface(IID_IVMRFilterConfig, reinterpret_cast<void**>(config.GetAddressOf())) : E_POINTER;
    if (FAILED(hr)) return hr;
    if (!config) return kNotLoadable;
    config->SetRenderingMode(VMRMode_Windowless);
    ComPtr<IVMRWindowlessControl> wc;
    hr = r->QueryInterface(IID_IVMRWindowlessControl, reinterpret_cast<void**>(wc.GetAddressOf()));
    if (FAILED(hr)) return hr;
    if (!wc) return kNotLoadable;
    RECT rc{};
    GetClientRect(window, &rc);
    wc->SetVideoPosition(nullptr, &rc);
    wc->SetVideoClippingWindow(window);
    wc->SetAspectRatioMode(VMR_ARMODE_NONE);
    return S_OK;
}

HRESULT PlaybackGraph::AddRenderer(int k, const wchar_t* name) {
    if (m_pool && m_pool->kept[k]) {
        ComPtr<IBaseFilter> kept = std::move(m_pool->kept[k]);
        if (SUCCEEDED(m_graph->AddFilter(kept.Get(), name))) {
            m_renderers[k] = std::move(kept);
            if (auto wc = QueryAs<IVMRWindowlessControl>(m_renderers[k].Get(), IID_IVMRWindowlessControl)) {
                RECT rc{};
                GetClientRect(m_windows[k], &rc);
                wc->SetVideoPosition(nullptr, &rc);
            }
            return S_OK;
        }
    }
    HRESULT hr = AddFilter(kClsidMixingRenderer, name, m_renderers[k]);
    if (FAILED(hr)) return hr;
    return SetUpRenderer(k);
}

static void SetRenderingPrefs(IBaseFilter* r) {
    if (auto config = QueryAs<IVMRFilterConfig>(r, IID_IVMRFilterConfig))
        config->SetRenderingPrefs(RenderPrefs_ForceOffscreen);
}

void PlaybackGraph::CacheDuration() {
    if (auto seeking = QueryAs<IMediaSeeking>(m_graph.Get(), IID_IMediaSeeking)) {
        LONGLONG d = 0;
        if (SUCCEEDED(seeking->GetDuration(&d))) m_durationCache = d;
    }
}

int64_t PlaybackGraph::Duration() {
    if (!m_durationCache && m_graph) CacheDuration();
    return m_durationCache;
}

HRESULT PlaybackGraph::CreateAudio(int score, const wchar_t* decoderName) {
    if (score <= 0) return S_OK;
    if (score < 1000) {
        HRESULT hr = AddFilter(kClsidAudioDecoder, decoderName, m_audioDecoder);
        if (FAILED(hr)) return hr;
    }
    // Without a sound device the picture plays on its own.
    AddFilter(kClsidSoundRenderer, L"DirectSound Audio Renderer", m_audioRenderer);
    return S_OK;
}

void PlaybackGraph::ConnectAudio(int score) {
    if (!m_audioRenderer) return;
    if (score > 999) {
        Connect(m_source.Get(), m_audioRenderer.Get());
    } else if (score > 0) {
        Connect(m_source.Get(), m_audioDecoder.Get());
        Connect(m_audioDecoder.Get(), m_audioRenderer.Get());
    }
}

HRESULT PlaybackGraph::SeekTo(LONGLONG t) {
    auto seeking = QueryAs<IMediaSeeking>(m_graph.Get(), IID_IMediaSeeking);
    if (!seeking) return E_NOINTERFACE;
    LONGLONG pos = t;
    HRESULT hr = seeking->SetPositions(&pos, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
    // A graph manager that has seen the end of the stream may go on reporting
    // the end after a seek until it is stopped: stop it, seek again and return
    // to the state it was in.
    LONGLONG now = t;
    if (SUCCEEDED(hr) && m_state != kRunning && SUCCEEDED(seeking->GetCurrentPosition(&now)) && now != t) {
        if (auto control = QueryAs<IMediaControl>(m_graph.Get(), IID_IMediaControl)) {
            control->Stop();
            pos = t;
            hr = seeking->SetPositions(&pos, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
            if (m_state == kPaused) control->Pause();
        }
    }
    return hr;
}

void PlaybackGraph::StopWhenReady() {
    auto control = QueryAs<IMediaControl>(m_graph.Get(), IID_IMediaControl);
    if (!control) return;
    // What StopWhenReady does (pause until every renderer holds its first
    // picture, then stop), done here on this thread: one graph manager finishes
    // it on a worker thread of its own that can outlive the graph's filters.
    if (SUCCEEDED(control->Pause())) {
        DWORD until = GetTickCount() + kSettleMs;
        OAFilterState fs = State_Paused;
        while (control->GetState(20, &fs) == VFW_S_STATE_INTERMEDIATE && int(until - GetTickCount()) > 0) {
        }
    }
    control->Stop();
}

HRESULT PlaybackGraph::BuildOneChannel(int score) {
    HRESULT hr = CreateAudio(score, L"COREAAC AUDIO");
    if (FAILED(hr)) return hr;
    // The sound is connected before the picture filters join the graph (as in
    // the multi-channel build): the connect rule first offers the video pin to
    // the sound renderer, and a graph manager's intelligent connect would try
    // that path through the decoder, converter and mixing renderer, which on
    // one platform leaks a renderer surface device per attempt.
    ConnectAudio(score);
    if (FAILED(hr = AddFilter(kClsidVideoDecoder, kDecoderNames[0], m_decoders[0]))) return hr;
    if (FAILED(hr = AddFilter(kClsidConverter, kConverterNames[0], m_converters[0]))) return hr;
    if (FAILED(hr = AddRenderer(0, L"Mixing Renderer9")) || hr == kNotLoadable) return hr;
    m_durationCache = 0;
    SetRenderingPrefs(m_renderers[0].Get());
    Connect(m_source.Get(), m_decoders[0].Get());
    Connect(m_decoders[0].Get(), m_converters[0].Get());
    Connect(m_converters[0].Get(), m_renderers[0].Get());
    StopWhenReady();
    m_state = kStopped;
    m_built = true;
    CacheDuration();
    return S_OK;
}

HRESULT PlaybackGraph::BuildChannels(int score) {
    HRESULT hr = CreateAudio(score, L"CoreAAC Decoder");
    if (FAILED(hr)) return hr;
    ConnectAudio(score);
    for (int k = 0; k < kMaxChannels && k < m_channelCount && k < m_videoStreamCount; ++k) {
        if (FAILED(hr = AddFilter(kClsidVideoDecoder, kDecoderNames[k], m_decoders[k]))) return hr;
        if (FAILED(hr = AddFilter(kClsidConverter, kConverterNames[k], m_converters[k]))) return hr;
        if (FAILED(hr = AddRenderer(k, kRendererNames[k])) || hr == kNotLoadable) return hr;
        SetRenderingPrefs(m_renderers[k].Get());
        m_durationCache = 0;
        Connect(m_source.Get(), m_decoders[k].Get());
        Connect(m_decoders[k].Get(), m_converters[k].Get());
        Connect(m_converters[k].Get(), m_renderers[k].Get());
    }
    StopWhenReady();
    m_state = kStopped;
    CacheDuration();
    m_built = true;
    return S_OK;
}

HRESULT PlaybackGraph::Build(const wchar_t* path, int32_t a, int32_t b) {
    if (m_built) TearDown();
    if (!path) return kNotLoadable;
    if (m_source) {
        m_source->Stop();
        m_source.Reset();
    }
    wcsncpy(m_filePath, path, 259);
    m_filePath[259] = 0;
    HRESULT hr = CoCreateInstance(kClsidFilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                  reinterpret_cast<void**>(m_graph.ReleaseAndGetAddressOf()));
    if (FAILED(hr)) return hr;
    if (FAILED(hr = AddFilter(kClsidSource, L"QXStreamParseFilter", m_source))) return hr;

    if (auto settings = QueryAs<ISourceSettings>(m_source.Get(), kIidSourceSettings)) {
        settings->SetFlag(BYTE(m_sourceFlag ? 1 : 0));
        settings->SetValues(a, b);
    }
    auto file = QueryAs<IFileSourceFilter>(m_source.Get(), IID_IFileSourceFilter);
    if (!file) return kNotLoadable;
    HRESULT load = file->Load(path, nullptr);
    file.Reset();
    if (FAILED(load) || load == VFW_E_INVALID_FILE_FORMAT) return kNotLoadable;

    m_videoStreamCount = 0;
    int score = 0;
    ForEachPin(m_source.Get(), [&](IPin* pin, const PIN_INFO& info) {
        if (info.dir != PINDIR_OUTPUT) return true;
        if (wcsstr(info.achName, L"Video")) ++m_videoStreamCount;
        if (wcsstr(info.achName, L"Audio")) {
            bool pcm = false;
            ComPtr<IEnumMediaTypes> e;
            if (SUCCEEDED(pin->EnumMediaTypes(&e)) && e) {
                AM_MEDIA_TYPE* mt = nullptr;
                if (e->Next(1, &mt, nullptr) == S_OK && mt) {
                    pcm = mt->subtype == kSubtypePcm;
                    if (mt->cbFormat && mt->pbFormat) CoTaskMemFree(mt->pbFormat);
                    if (mt->pUnk) mt->pUnk->Release();
                    CoTaskMemFree(mt);
                }
            }
            score += AudioPinScore(pcm);
        }
        return true;
    });
    if (m_videoStreamCount == 1) return BuildOneChannel(score);
    if (m_videoStreamCount >= 2) return BuildChannels(score);
    return load;
}

void PlaybackGraph::RemoveAndRelease(ComPtr<IBaseFilter>& f) {
    if (!f) return;
    m_graph->RemoveFilter(f.Get());
    f.Reset();
}

void PlaybackGraph::TearDown() {
    if (!m_graph) return;
    if (auto events = QueryAs<IMediaEventEx>(m_graph.Get(), IID_IMediaEventEx)) events->SetNotifyWindow(0, 0, 0);
    m_state = kStopped;
    RemoveAndRelease(m_audioRenderer);
    for (int k = 0; k < kMaxChannels; ++k) {
        if (m_renderers[k] && m_pool && m_graph->RemoveFilter(m_renderers[k].Get()) == S_OK)
            m_pool->kept[k] = std::move(m_renderers[k]);
        RemoveAndRelease(m_renderers[k]);
    }
    for (auto& d : m_decoders) RemoveAndRelease(d);
    RemoveAndRelease(m_audioDecoder);
    RemoveAndRelease(m_source);
    for (auto& c : m_converters) RemoveAndRelease(c);

    // Whatever the graph added on its own while connecting.
    ComPtr<IBaseFilter> rest[32];
    int n = 0;
    ComPtr<IEnumFilters> e;
    if (SUCCEEDED(m_graph->EnumFilters(&e)) && e) {
        while (n < 32 && e->Next(1, rest[n].ReleaseAndGetAddressOf(), nullptr) == S_OK && rest[n]) ++n;
        e.Reset();
    }
    for (int i = 0; i < n; ++i) {
        ForEachPin(rest[i].Get(), [&](IPin* pin, const PIN_INFO&) {
            ComPtr<IPin> other;
            if (pin->ConnectedTo(&other) == VFW_E_NOT_CONNECTED || !other) return true;
            m_graph->Disconnect(other.Get());
            m_graph->Disconnect(pin);
            return true;
        });
        m_graph->RemoveFilter(rest[i].Get());
        rest[i].Reset();
    }
    m_graph.Reset();
    m_built = false;
}

HRESULT PlaybackGraph::Run() {
    if (m_state != kPaused && m_state != kStopped) return VFW_E_WRONG_STATE;
    if (!m_graph) return E_POINTER;
    if (auto seeking = QueryAs<IMediaSeeking>(m_graph.Get(), IID_IMediaSeeking)) {
        LONGLONG pos = 0, dur = 0;
        if (SUCCEEDED(seeking->GetCurrentPosition(&pos)) && SUCCEEDED(seeking->GetDuration(&dur)) && pos == dur)
            SeekTo(0);
        if (m_rate == 1.0f) {
            seeking->SetRate(1.0);
        } else {
            m_rate = ClampRate(m_rate);
            seeking->SetRate(m_rate);
        }
    }
    HRESULT hr = m_state == kStopped ? RunSoon() : E_FAIL;
    if (FAILED(hr))
        if (auto control = QueryAs<IMediaControl>(m_graph.Get(), IID_IMediaControl)) hr = control->Run();
    m_state = kRunning;
    if (auto audio = QueryAs<IBasicAudio>(m_graph.Get(), IID_IBasicAudio)) audio->put_Balance(0);
    return hr;
}

HRESULT PlaybackGraph::RunSoon() {
    auto filter = QueryAs<IMediaFilter>(m_graph.Get(), IID_IMediaFilter);
    if (!filter) return E_NOINTERFACE;
    ComPtr<IReferenceClock> clock;
    if (FAILED(filter->GetSyncSource(clock.GetAddressOf())) || !clock) return E_FAIL;
    REFERENCE_TIME now = 0;
    if (FAILED(clock->GetTime(&now))) return E_FAIL;
    return filter->Run(now + kStartLead);
}

HRESULT PlaybackGraph::Pause() {
    if (m_state != kRunning) return S_OK;
    auto seeking = QueryAs<IMediaSeeking>(m_graph.Get(), IID_IMediaSeeking);
    LONGLONG before = -1, after = -1;
    if (seeking && FAILED(seeking->GetCurrentPosition(&before))) before = -1;
    HRESULT hr = E_NOINTERFACE;
    if (auto control = QueryAs<IMediaControl>(m_graph.Get(), IID_IMediaControl)) hr = control->Pause();
    m_state = kPaused;
    // Some graph managers forget the running time on pausing and report the
    // place playback last started from: put them (and the picture) back where
    // playback was.
    if (seeking && before >= 0 && SUCCEEDED(seeking->GetCurrentPosition(&after)) && after != before)
        seeking->SetPositions(&before, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
    return hr;
}

HRESULT PlaybackGraph::Stop() {
    if (m_state != kRunning && m_state != kPaused) return VFW_E_WRONG_STATE;
    HRESULT hr = E_NOINTERFACE;
    if (auto control = QueryAs<IMediaControl>(m_graph.Get(), IID_IMediaControl)) hr = control->Stop();
    m_state = kStopped;
    return hr;
}

// ------------------------------------------------------------ VideoPlayer

VideoPlayer::VideoPlayer() {
    m_d3d9 = LoadLibraryW(L"d3d9.dll");
    using Create9 = IUnknown*(WINAPI*)(UINT);
    if (auto create = m_d3d9 ? reinterpret_cast<Create9>(GetProcAddress(m_d3d9, "Direct3DCreate9")) : nullptr)
        m_d3dKeeper = AdoptRef(create(32));  // D3D_SDK_VERSION
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Vantelo", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
        DWORD one = 1;
        RegSetValueExW(key, L"usingDShow", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof(one));
        RegCloseKey(key);
    }
}

VideoPlayer::~VideoPlayer() {
    DestroyGraph();
    m_renderers = RendererPool{};
    m_d3dKeeper.Reset();
    if (m_d3d9) FreeLibrary(m_d3d9);
}

void VideoPlayer::DestroyGraph() { m_graph.reset(); }  // tears the graph down

void VideoPlayer::Init(int channels, HWND w1, HWND w2, HWND w3, HWND w4) {
    m_channelCount = channels;
    m_windows[0] = w1;
    m_windows[1] = w2;
    m_windows[2] = w3;
    m_windows[3] = w4;
    m_renderers = RendererPool{};  // set up for the windows they had
    if (!m_graph) m_graph = std::make_unique<PlaybackGraph>(m_channelCount, m_windows, true, &m_renderers);
}

bool VideoPlayer::Open(const wchar_t* path, int32_t a, int32_t b) {
    if (!m_windows[0] || !path) return false;
    if (m_graph) {
        m_graph->Stop();
        SeekMs(0);
        DestroyGraph();
    }
    m_graph = std::make_unique<PlaybackGraph>(m_channelCount, m_windows, m_sourceFlag, &m_renderers);
    if (m_graph->Build(path, a, b) == kNotLoadable) {
        DestroyGraph();
        return false;
    }
    return true;
}

void VideoPlayer::Close() {
    Stop();
    DestroyGraph();
}

void VideoPlayer::Run() {
    if (m_graph) m_graph->Run();
}
void VideoPlayer::Pause() {
    if (m_graph) m_graph->Pause();
}
void VideoPlayer::Stop() {
    if (m_graph) m_graph->Stop();
}

void VideoPlayer::SeekMs(int64_t ms) {
    if (!m_graph || !m_graph->Graph()) return;
    m_graph->SeekTo(ms * 10000);
}

int64_t VideoPlayer::GetPositionMs() {
    if (!m_graph || !m_graph->Graph()) return 0;
    LONGLONG pos = 0;
    if (auto seeking = QueryAs<IMediaSeeking>(m_graph->Graph(), IID_IMediaSeeking))
        if (FAILED(seeking->GetCurrentPosition(&pos))) pos = 0;
    return pos / 10000;
}

int64_t VideoPlayer::GetDurationMs() { return m_graph ? m_graph->Duration() / 10000 : 0; }

int32_t VideoPlayer::GetState() const { return m_graph ? m_graph->State() : -1; }
int32_t VideoPlayer::GetVideoStreamCount() const { return m_graph ? m_graph->VideoStreamCount() : 0; }

void VideoPlayer::SetRate(float rate) {
    if (!m_graph) return;
    int32_t was = m_graph->State();
    if (was == kRunning && AppliedRate(rate) == AppliedRate(m_graph->Rate())) {
        m_graph->SetRate(rate);
        return;
    }
    m_graph->Pause();
    m_graph->SetRate(rate);
    if (was == kRunning) m_graph->Run();
}

void VideoPlayer::SetSourceFlag(bool flag) {
    m_sourceFlag = flag;
    if (m_graph) m_graph->SetSourceFlag(flag);
}

void VideoPlayer::RepaintAll() {
    if (!m_graph) return;
    for (int k = 0; k < kMaxChannels && k < m_channelCount && k < m_graph->VideoStreamCount(); ++k) {
        auto wc = QueryAs<IVMRWindowlessControl>(m_graph->Renderer(k), IID_IVMRWindowlessControl);
        if (!wc) continue;
        RECT rc{};
        GetClientRect(m_windows[k], &rc);
        wc->SetVideoPosition(nullptr, &rc);
        if (HDC dc = GetDC(m_windows[k])) {
            wc->RepaintVideo(m_windows[k], dc);
            ReleaseDC(m_windows[k], dc);
        }
    }
}

VideoPlayer::RepaintResult VideoPlayer::RepaintWindow(HWND w, HDC dc) {
    if (!m_graph || !w) return kNoRenderer;
    for (int k = 0; k < kMaxChannels && k < m_channelCount && k < m_graph->VideoStreamCount(); ++k) {
        if (m_windows[k] != w) continue;
        auto wc = QueryAs<IVMRWindowlessControl>(m_graph->Renderer(k), IID_IVMRWindowlessControl);
        if (!wc) return kNoRenderer;
        return SUCCEEDED(wc->RepaintVideo(w, dc)) ? kRepainted : kNotRepainted;
    }
    return kNoRenderer;
}

void VideoPlayer::RepaintFirst(HDC dc) {
    if (!m_graph) return;
    if (auto wc = QueryAs<IVMRWindowlessControl>(m_graph->Renderer(0), IID_IVMRWindowlessControl))
        wc->RepaintVideo(m_windows[0], dc);
}

void VideoPlayer::Reseek() {
    if (!m_graph || !m_graph->Graph() || m_graph->State() == kRunning) return;
    if (auto seeking = QueryAs<IMediaSeeking>(m_graph->Graph(), IID_IMediaSeeking)) {
        LONGLONG pos = 0;
        if (SUCCEEDED(seeking->GetCurrentPosition(&pos)))
            seeking->SetPositions(&pos, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
    }
}

bool VideoPlayer::GetCurrentImage(int channel, CImage& image) {
    if (!m_graph || channel < 0 || channel >= kMaxChannels || !m_graph->Renderer(channel) ||
        m_channelCount < channel + 1)
        return false;
    IBaseFilter* r = m_graph->Renderer(channel);
    BYTE* dib = nullptr;
    if (auto wc = QueryAs<IVMRWindowlessControl>(r, IID_IVMRWindowlessControl)) {
        HRESULT hr = wc->GetCurrentImage(&dib);
        if (FAILED(hr) || !dib) dib = nullptr;
        if (FAILED(hr) && hr != E_NOTIMPL) return false;
    }
    // Where the windowless call is not implemented, the renderer's basic video
    // interface gives the same picture; that platform hands its rows top-down.
    bool topDown = false;
    if (!dib) {
        auto bv = QueryAs<IBasicVideo>(r, IID_IBasicVideo);
        if (!bv) return false;
        long w = 0, h = 0;
        if (FAILED(bv->GetVideoSize(&w, &h)) || w <= 0 || h <= 0 || w > 8192 || h > 8192) return false;
        long size = long(sizeof(BITMAPINFOHEADER)) + w * h * 4;
        dib = static_cast<BYTE*>(CoTaskMemAlloc(size_t(size)));
        HRESULT hr = dib ? bv->GetCurrentImage(&size, reinterpret_cast<long*>(dib)) : E_OUTOFMEMORY;
        if (FAILED(hr)) {
            CoTaskMemFree(dib);
            return false;
        }
        topDown = true;
    }
    const auto* bih = reinterpret_cast<const BITMAPINFOHEADER*>(dib);
    const LONG w = bih->biWidth, h = bih->biHeight < 0 ? -bih->biHeight : bih->biHeight;
    if (bih->biHeight < 0) topDown = true;
    bool ok = false;
    if (w > 0 && h > 0 && bih->biBitCount == 32) {
        const BYTE* pixels = dib + bih->biSize;
        const size_t stride = size_t(w) * 4;
        std::unique_ptr<BYTE[]> rows(new (std::nothrow) BYTE[stride * size_t(h)]);
        if (rows) {
            for (LONG y = 0; y < h; ++y)
                memcpy(rows.get() + size_t(y) * stride, pixels + size_t(topDown ? y : h - 1 - y) * stride, stride);
            HBITMAP bmp = CreateBitmap(w, h, bih->biPlanes ? bih->biPlanes : 1, bih->biBitCount, rows.get());
            if (bmp) {
                image.Destroy();
                image.Attach(bmp);
                ok = true;
            }
        }
    }
    CoTaskMemFree(dib);
    return ok;
}

HRESULT VideoPlayer::SetDecoderParam(int channel, int param, bool on) {
    if (!m_graph || channel < 0 || channel >= kMaxChannels || !m_graph->Decoder(channel)) return S_FALSE;
    ComPtr<IDecoderSettings> params;
    HRESULT hr =
        m_graph->Decoder(channel)->QueryInterface(kIidDecoderParams, reinterpret_cast<void**>(params.GetAddressOf()));
    if (FAILED(hr) || !params) return hr;
    params->SetParam(kParamUnlock, 1);
    return params->SetParam(param, on ? 1 : 0);
}

HRESULT VideoPlayer::SetFlip(int channel, bool on) { return SetDecoderParam(channel, kParamFlip, on); }
HRESULT VideoPlayer::SetMirror(int channel, bool on) { return SetDecoderParam(channel, kParamMirror, on); }

bool VideoPlayer::CheckFilter(const CLSID& clsid) {
    if (!m_graph) return false;
    ComPtr<IBaseFilter> f;
    return SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                      reinterpret_cast<void**>(f.GetAddressOf())));
}

bool VideoPlayer::CheckSourceFilter() { return CheckFilter(kClsidSource); }
bool VideoPlayer::CheckVideoDecoderFilter() { return CheckFilter(kClsidVideoDecoder); }
bool VideoPlayer::CheckAudioDecoderFilter() { return CheckFilter(kClsidAudioDecoder); }
bool VideoPlayer::CheckBrightnessFilter() { return CheckFilter(kClsidBrightness); }

int32_t VideoPlayer::CheckFilters() {
    if (!m_graph) return -1;
    if (!CheckSourceFilter()) return -1;
    if (!CheckVideoDecoderFilter()) return -2;
    if (!CheckAudioDecoderFilter()) return -3;
    if (!CheckBrightnessFilter()) return -4;
    return 1;
}

}  // namespace playback
