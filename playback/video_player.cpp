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

template <class T>
void SafeRelease(T*& p) {
    if (p) p->Release();
    p = nullptr;
}

template <class T>
HRESULT Query(IUnknown* from, REFIID iid, T** out) {
    *out = nullptr;
    if (!from) return E_POINTER;
    return from->QueryInterface(iid, reinterpret_cast<void**>(out));
}

// Calls fn(pin, info) for each pin of a filter, in enumeration order, until it returns false.
template <class Fn>
void ForEachPin(IBaseFilter* f, Fn fn) {
    IEnumPins* e = nullptr;
    if (!f || FAILED(f->EnumPins(&e)) || !e) return;
    IPin* pin = nullptr;
    bool more = true;
    while (more && e->Next(1, &pin, nullptr) == S_OK && pin) {
        PIN_INFO info{};
        if (SUCCEEDED(pin->QueryPinInfo(&info))) {
            SafeRelease(info.pFilter);
            more = fn(pin, info);
        }
        SafeRelease(pin);
    }
    e->Release();
}

bool IsConnected(IPin* pin) {
    IPin* other = nullptr;
    if (pin->ConnectedTo(&other) == S_OK && other) {
        other->Release();
        return true;
    }
    return false;
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

int AudioPinScore(bool isPcm) { return isPcm ? 1001 : 1; }

// ------------------------------------------------------------ PlaybackGraph

PlaybackGraph::PlaybackGraph(int channels, const HWND* w, bool flag) : channelCount(channels), sourceFlag(flag) {
    comInit_ = SUCCEEDED(CoInitialize(nullptr));
    for (int k = 0; k < kMaxChannels; ++k) windows[k] = w ? w[k] : nullptr;
    valid = true;
    state = kCreated;
    rate = 1.0f;
}

PlaybackGraph::~PlaybackGraph() {
    Stop();  // filters are removed from a stopped graph only
    TearDown();
    SafeRelease(source_);
    if (comInit_) CoUninitialize();
}

HRESULT PlaybackGraph::AddFilter(const CLSID& clsid, const wchar_t* name, IBaseFilter** out) {
    *out = nullptr;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, reinterpret_cast<void**>(out));
    if (FAILED(hr)) return hr;
    hr = graph_->AddFilter(*out, name);
    if (FAILED(hr)) SafeRelease(*out);
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
            if (graph_->Connect(out, in) == S_OK) {
                done = true;
                return false;
            }
            return ++attempts < 3;
        });
        return !done && attempts < 3;
    });
}

HRESULT PlaybackGraph::SetUpRenderer(int k) {
    IBaseFilter* r = renderers_[k];
    IVMRFilterConfig* config = nullptr;
    HRESULT hr = Query(r, IID_IVMRFilterConfig, &config);
    if (FAILED(hr)) return hr;
    if (!config) return kNotLoadable;
    config->SetRenderingMode(VMRMode_Windowless);
    config->Release();
    IVMRWindowlessControl* wc = nullptr;
    hr = Query(r, IID_IVMRWindowlessControl, &wc);
    if (FAILED(hr)) return hr;
    if (!wc) return kNotLoadable;
    RECT rc{};
    GetClientRect(windows[k], &rc);
    wc->SetVideoPosition(nullptr, &rc);
    wc->SetVideoClippingWindow(windows[k]);
    wc->SetAspectRatioMode(VMR_ARMODE_NONE);
    wc->Release();
    return S_OK;
}

static void SetRenderingPrefs(IBaseFilter* r) {
    IVMRFilterConfig* config = nullptr;
    if (SUCCEEDED(Query(r, IID_IVMRFilterConfig, &config)) && config) {
        config->SetRenderingPrefs(RenderPrefs_ForceOffscreen);
        config->Release();
    }
}

void PlaybackGraph::CacheDuration() {
    IMediaSeeking* seeking = nullptr;
    if (SUCCEEDED(Query(graph_, IID_IMediaSeeking, &seeking)) && seeking) {
        LONGLONG d = 0;
        if (SUCCEEDED(seeking->GetDuration(&d))) durationCache = d;
        seeking->Release();
    }
}

HRESULT PlaybackGraph::CreateAudio(int score, const wchar_t* decoderName) {
    if (score <= 0) return S_OK;
    if (score < 1000) {
        HRESULT hr = AddFilter(kClsidAudioDecoder, decoderName, &audioDecoder_);
        if (FAILED(hr)) return hr;
    }
    // Without a sound device the picture plays on its own.
    AddFilter(kClsidSoundRenderer, L"DirectSound Audio Renderer", &audioRenderer_);
    return S_OK;
}

void PlaybackGraph::ConnectAudio(int score) {
    if (!audioRenderer_) return;
    if (score > 999) {
        Connect(source_, audioRenderer_);
    } else if (score > 0) {
        Connect(source_, audioDecoder_);
        Connect(audioDecoder_, audioRenderer_);
    }
}

HRESULT PlaybackGraph::SeekTo(LONGLONG t) {
    IMediaSeeking* seeking = nullptr;
    HRESULT hr = Query(graph_, IID_IMediaSeeking, &seeking);
    if (FAILED(hr) || !seeking) return hr;
    LONGLONG pos = t;
    hr = seeking->SetPositions(&pos, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
    // A graph manager that has seen the end of the stream may go on reporting
    // the end after a seek until it is stopped: stop it, seek again and return
    // to the state it was in.
    LONGLONG now = t;
    if (SUCCEEDED(hr) && state != kRunning && SUCCEEDED(seeking->GetCurrentPosition(&now)) && now != t) {
        IMediaControl* control = nullptr;
        if (SUCCEEDED(Query(graph_, IID_IMediaControl, &control)) && control) {
            control->Stop();
            pos = t;
            hr = seeking->SetPositions(&pos, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
            if (state == kPaused) control->Pause();
            control->Release();
        }
    }
    seeking->Release();
    return hr;
}

void PlaybackGraph::StopWhenReady() {
    IMediaControl* control = nullptr;
    if (FAILED(Query(graph_, IID_IMediaControl, &control)) || !control) return;
    // What StopWhenReady does (pause until every renderer holds its first
    // picture, then stop), done here on this thread: one graph manager finishes
    // it on a worker thread of its own that can outlive the graph's filters.
    if (SUCCEEDED(control->Pause())) {
        DWORD until = GetTickCount() + kSettleMs;
        OAFilterState fs = State_Paused;
        while (control->GetState(20, &fs) == VFW_S_STATE_INTERMEDIATE && int(until - GetTickCount()) > 0) {}
    }
    control->Stop();
    control->Release();
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
    if (FAILED(hr = AddFilter(kClsidVideoDecoder, kDecoderNames[0], &decoders_[0]))) return hr;
    if (FAILED(hr = AddFilter(kClsidConverter, kConverterNames[0], &converters_[0]))) return hr;
    if (FAILED(hr = AddFilter(kClsidMixingRenderer, L"Mixing Renderer9", &renderers_[0]))) return hr;
    if (FAILED(hr = SetUpRenderer(0)) || hr == kNotLoadable) return hr;
    durationCache = 0;
    SetRenderingPrefs(renderers_[0]);
    Connect(source_, decoders_[0]);
    Connect(decoders_[0], converters_[0]);
    Connect(converters_[0], renderers_[0]);
    StopWhenReady();
    state = kStopped;
    built = true;
    CacheDuration();
    return S_OK;
}

HRESULT PlaybackGraph::BuildChannels(int score) {
    HRESULT hr = CreateAudio(score, L"CoreAAC Decoder");
    if (FAILED(hr)) return hr;
    ConnectAudio(score);
    for (int k = 0; k < kMaxChannels && k < channelCount && k < videoStreamCount; ++k) {
        if (FAILED(hr = AddFilter(kClsidVideoDecoder, kDecoderNames[k], &decoders_[k]))) return hr;
        if (FAILED(hr = AddFilter(kClsidConverter, kConverterNames[k], &converters_[k]))) return hr;
        if (FAILED(hr = AddFilter(kClsidMixingRenderer, kRendererNames[k], &renderers_[k]))) return hr;
        if (FAILED(hr = SetUpRenderer(k)) || hr == kNotLoadable) return hr;
        SetRenderingPrefs(renderers_[k]);
        durationCache = 0;
        Connect(source_, decoders_[k]);
        Connect(decoders_[k], converters_[k]);
        Connect(converters_[k], renderers_[k]);
    }
    StopWhenReady();
    state = kStopped;
    CacheDuration();
    built = true;
    return S_OK;
}

HRESULT PlaybackGraph::Build(const wchar_t* path, int32_t a, int32_t b) {
    if (built) TearDown();
    if (!path) return kNotLoadable;
    if (source_) {
        source_->Stop();
        SafeRelease(source_);
    }
    wcsncpy(filePath, path, 259);
    filePath[259] = 0;
    HRESULT hr = CoCreateInstance(kClsidFilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                  reinterpret_cast<void**>(&graph_));
    if (FAILED(hr)) return hr;
    if (FAILED(hr = AddFilter(kClsidSource, L"QXStreamParseFilter", &source_))) return hr;

    ISourceSettings* settings = nullptr;
    if (SUCCEEDED(Query(source_, kIidSourceSettings, &settings)) && settings) {
        settings->SetFlag(BYTE(sourceFlag ? 1 : 0));
        settings->SetValues(a, b);
        settings->Release();
    }
    IFileSourceFilter* file = nullptr;
    if (FAILED(Query(source_, IID_IFileSourceFilter, &file)) || !file) return kNotLoadable;
    HRESULT load = file->Load(path, nullptr);
    file->Release();
    if (FAILED(load) || load == VFW_E_INVALID_FILE_FORMAT) return kNotLoadable;

    videoStreamCount = 0;
    int score = 0;
    ForEachPin(source_, [&](IPin* pin, const PIN_INFO& info) {
        if (info.dir != PINDIR_OUTPUT) return true;
        if (wcsstr(info.achName, L"Video")) ++videoStreamCount;
        if (wcsstr(info.achName, L"Audio")) {
            bool pcm = false;
            IEnumMediaTypes* e = nullptr;
            if (SUCCEEDED(pin->EnumMediaTypes(&e)) && e) {
                AM_MEDIA_TYPE* mt = nullptr;
                if (e->Next(1, &mt, nullptr) == S_OK && mt) {
                    pcm = mt->subtype == kSubtypePcm;
                    if (mt->cbFormat && mt->pbFormat) CoTaskMemFree(mt->pbFormat);
                    if (mt->pUnk) mt->pUnk->Release();
                    CoTaskMemFree(mt);
                }
                e->Release();
            }
            score += AudioPinScore(pcm);
        }
        return true;
    });
    if (videoStreamCount == 1) return BuildOneChannel(score);
    if (videoStreamCount >= 2) return BuildChannels(score);
    return load;
}

void PlaybackGraph::RemoveAndRelease(IBaseFilter*& f) {
    if (!f) return;
    graph_->RemoveFilter(f);
    SafeRelease(f);
}

void PlaybackGraph::TearDown() {
    if (!graph_) return;
    IMediaEventEx* events = nullptr;
    if (SUCCEEDED(Query(graph_, IID_IMediaEventEx, &events)) && events) {
        events->SetNotifyWindow(0, 0, 0);
        events->Release();
    }
    state = kStopped;
    RemoveAndRelease(audioRenderer_);
    for (auto& r : renderers_) RemoveAndRelease(r);
    for (auto& d : decoders_) RemoveAndRelease(d);
    RemoveAndRelease(audioDecoder_);
    RemoveAndRelease(source_);
    for (auto& c : converters_) RemoveAndRelease(c);

    // Whatever the graph added on its own while connecting.
    IEnumFilters* e = nullptr;
    IBaseFilter* rest[32] = {};
    int n = 0;
    if (SUCCEEDED(graph_->EnumFilters(&e)) && e) {
        IBaseFilter* f = nullptr;
        while (n < 32 && e->Next(1, &f, nullptr) == S_OK && f) rest[n++] = f;
        e->Release();
    }
    for (int i = 0; i < n; ++i) {
        ForEachPin(rest[i], [&](IPin* pin, const PIN_INFO&) {
            IPin* other = nullptr;
            if (pin->ConnectedTo(&other) == VFW_E_NOT_CONNECTED || !other) return true;
            graph_->Disconnect(other);
            graph_->Disconnect(pin);
            other->Release();
            return true;
        });
        graph_->RemoveFilter(rest[i]);
        rest[i]->Release();
    }
    SafeRelease(graph_);
    built = false;
}

HRESULT PlaybackGraph::Run() {
    if (!valid) return -1;
    if (state != kPaused && state != kStopped) return VFW_E_WRONG_STATE;
    if (!graph_) return E_POINTER;
    IMediaSeeking* seeking = nullptr;
    if (SUCCEEDED(Query(graph_, IID_IMediaSeeking, &seeking)) && seeking) {
        LONGLONG pos = 0, dur = 0;
        if (SUCCEEDED(seeking->GetCurrentPosition(&pos)) && SUCCEEDED(seeking->GetDuration(&dur)) && pos == dur)
            SeekTo(0);
        if (rate == 1.0f) {
            seeking->SetRate(1.0);
        } else {
            rate = ClampRate(rate);
            seeking->SetRate(rate);
        }
        seeking->Release();
    }
    IMediaControl* control = nullptr;
    HRESULT hr = Query(graph_, IID_IMediaControl, &control);
    if (SUCCEEDED(hr) && control) {
        hr = control->Run();
        control->Release();
    }
    state = kRunning;
    IBasicAudio* audio = nullptr;
    if (SUCCEEDED(Query(graph_, IID_IBasicAudio, &audio)) && audio) {
        audio->put_Balance(0);
        audio->Release();
    }
    return hr;
}

HRESULT PlaybackGraph::Pause() {
    if (!valid) return -1;
    if (state != kRunning) return S_OK;
    IMediaSeeking* seeking = nullptr;
    LONGLONG before = -1, after = -1;
    if (SUCCEEDED(Query(graph_, IID_IMediaSeeking, &seeking)) && seeking &&
        FAILED(seeking->GetCurrentPosition(&before)))
        before = -1;
    IMediaControl* control = nullptr;
    HRESULT hr = Query(graph_, IID_IMediaControl, &control);
    if (SUCCEEDED(hr) && control) {
        hr = control->Pause();
        control->Release();
    }
    state = kPaused;
    // Some graph managers forget the running time on pausing and report the
    // place playback last started from: put them (and the picture) back where
    // playback was.
    if (seeking) {
        if (before >= 0 && SUCCEEDED(seeking->GetCurrentPosition(&after)) && after != before)
            seeking->SetPositions(&before, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
        seeking->Release();
    }
    return hr;
}

HRESULT PlaybackGraph::Stop() {
    if (!valid) return -1;
    if (state != kRunning && state != kPaused) return VFW_E_WRONG_STATE;
    IMediaControl* control = nullptr;
    HRESULT hr = Query(graph_, IID_IMediaControl, &control);
    if (SUCCEEDED(hr) && control) {
        hr = control->Stop();
        control->Release();
    }
    state = kStopped;
    return hr;
}

// ------------------------------------------------------------ VideoPlayer

VideoPlayer::VideoPlayer() {
    d3d9_ = LoadLibraryW(L"d3d9.dll");
    using Create9 = IUnknown*(WINAPI*)(UINT);
    if (auto create = d3d9_ ? reinterpret_cast<Create9>(GetProcAddress(d3d9_, "Direct3DCreate9")) : nullptr)
        d3dKeeper_ = create(32);  // D3D_SDK_VERSION
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
    SafeRelease(d3dKeeper_);
    if (d3d9_) FreeLibrary(d3d9_);
}

void VideoPlayer::DestroyGraph() {
    delete graph_;  // tears the graph down
    graph_ = nullptr;
}

void VideoPlayer::Init(int channels, HWND w1, HWND w2, HWND w3, HWND w4) {
    channelCount_ = channels;
    windows_[0] = w1;
    windows_[1] = w2;
    windows_[2] = w3;
    windows_[3] = w4;
    if (!graph_) graph_ = new PlaybackGraph(channelCount_, windows_, true);
}

bool VideoPlayer::Open(const wchar_t* path, int32_t a, int32_t b) {
    if (!windows_[0] || !path) return false;
    if (graph_) {
        graph_->Stop();
        SeekMs(0);
        DestroyGraph();
    }
    graph_ = new PlaybackGraph(channelCount_, windows_, sourceFlag_);
    if (graph_->Build(path, a, b) == kNotLoadable) {
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
    if (graph_) graph_->Run();
}
void VideoPlayer::Pause() {
    if (graph_) graph_->Pause();
}
void VideoPlayer::Stop() {
    if (graph_) graph_->Stop();
}

void VideoPlayer::SeekMs(int64_t ms) {
    if (!graph_ || !graph_->Graph()) return;
    graph_->SeekTo(ms * 10000);
}

int64_t VideoPlayer::GetPositionMs() {
    if (!graph_ || !graph_->Graph()) return 0;
    IMediaSeeking* seeking = nullptr;
    LONGLONG pos = 0;
    if (SUCCEEDED(Query(graph_->Graph(), IID_IMediaSeeking, &seeking)) && seeking) {
        if (FAILED(seeking->GetCurrentPosition(&pos))) pos = 0;
        seeking->Release();
    }
    return pos / 10000;
}

int64_t VideoPlayer::GetDurationMs() {
    if (!graph_) return 0;
    if (!graph_->durationCache && graph_->Graph()) {
        IMediaSeeking* seeking = nullptr;
        if (SUCCEEDED(Query(graph_->Graph(), IID_IMediaSeeking, &seeking)) && seeking) {
            LONGLONG d = 0;
            if (SUCCEEDED(seeking->GetDuration(&d))) graph_->durationCache = d;
            seeking->Release();
        }
    }
    return graph_->durationCache / 10000;
}

int32_t VideoPlayer::GetState() const { return graph_ ? graph_->state : -1; }
int32_t VideoPlayer::GetVideoStreamCount() const { return graph_ ? graph_->videoStreamCount : 0; }

void VideoPlayer::SetRate(float rate) {
    if (!graph_) return;
    int32_t was = graph_->state;
    graph_->Pause();
    graph_->rate = rate;
    if (was == kRunning) graph_->Run();
}

void VideoPlayer::SetSourceFlag(bool flag) {
    sourceFlag_ = flag;
    if (graph_) graph_->sourceFlag = flag;
}

void VideoPlayer::RepaintAll() {
    if (!graph_) return;
    for (int k = 0; k < kMaxChannels && k < channelCount_ && k < graph_->videoStreamCount; ++k) {
        IVMRWindowlessControl* wc = nullptr;
        if (FAILED(Query(graph_->Renderer(k), IID_IVMRWindowlessControl, &wc)) || !wc) continue;
        RECT rc{};
        GetClientRect(windows_[k], &rc);
        wc->SetVideoPosition(nullptr, &rc);
        if (HDC dc = GetDC(windows_[k])) {
            wc->RepaintVideo(windows_[k], dc);
            ReleaseDC(windows_[k], dc);
        }
        wc->Release();
    }
}

void VideoPlayer::RepaintFirst(HDC dc) {
    if (!graph_) return;
    IVMRWindowlessControl* wc = nullptr;
    if (SUCCEEDED(Query(graph_->Renderer(0), IID_IVMRWindowlessControl, &wc)) && wc) {
        wc->RepaintVideo(windows_[0], dc);
        wc->Release();
    }
}

void VideoPlayer::Reseek() {
    if (!graph_ || !graph_->Graph() || graph_->state == kRunning) return;
    IMediaSeeking* seeking = nullptr;
    if (SUCCEEDED(Query(graph_->Graph(), IID_IMediaSeeking, &seeking)) && seeking) {
        LONGLONG pos = 0;
        if (SUCCEEDED(seeking->GetCurrentPosition(&pos)))
            seeking->SetPositions(&pos, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
        seeking->Release();
    }
}

bool VideoPlayer::GetCurrentImage(int channel, CImage& image) {
    if (!graph_ || channel < 0 || channel >= kMaxChannels || !graph_->Renderer(channel) || channelCount_ < channel + 1)
        return false;
    IBaseFilter* r = graph_->Renderer(channel);
    BYTE* dib = nullptr;
    bool fromWindowless = false;
    IVMRWindowlessControl* wc = nullptr;
    if (SUCCEEDED(Query(r, IID_IVMRWindowlessControl, &wc)) && wc) {
        HRESULT hr = wc->GetCurrentImage(&dib);
        wc->Release();
        if (SUCCEEDED(hr) && dib) fromWindowless = true;
        else dib = nullptr;
        if (FAILED(hr) && hr != E_NOTIMPL) return false;
    }
    // Where the windowless call is not implemented, the renderer's basic video
    // interface gives the same picture; that platform hands its rows top-down.
    bool topDown = false;
    if (!dib) {
        IBasicVideo* bv = nullptr;
        if (FAILED(Query(r, IID_IBasicVideo, &bv)) || !bv) return false;
        long w = 0, h = 0;
        if (FAILED(bv->GetVideoSize(&w, &h)) || w <= 0 || h <= 0 || w > 8192 || h > 8192) {
            bv->Release();
            return false;
        }
        long size = long(sizeof(BITMAPINFOHEADER)) + w * h * 4;
        dib = static_cast<BYTE*>(CoTaskMemAlloc(size_t(size)));
        HRESULT hr = dib ? bv->GetCurrentImage(&size, reinterpret_cast<long*>(dib)) : E_OUTOFMEMORY;
        bv->Release();
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
        BYTE* rows = new (std::nothrow) BYTE[stride * size_t(h)];
        if (rows) {
            for (LONG y = 0; y < h; ++y)
                memcpy(rows + size_t(y) * stride, pixels + size_t(topDown ? y : h - 1 - y) * stride, stride);
            HBITMAP bmp = CreateBitmap(w, h, bih->biPlanes ? bih->biPlanes : 1, bih->biBitCount, rows);
            delete[] rows;
            if (bmp) {
                image.Destroy();
                image.Attach(bmp);
                ok = true;
            }
        }
    }
    CoTaskMemFree(dib);
    (void)fromWindowless;
    return ok;
}

HRESULT VideoPlayer::SetDecoderParam(int channel, int param, bool on) {
    if (!graph_ || channel < 0 || channel >= kMaxChannels || !graph_->Decoder(channel)) return S_FALSE;
    IDecoderSettings* params = nullptr;
    HRESULT hr = Query(graph_->Decoder(channel), kIidDecoderParams, &params);
    if (FAILED(hr) || !params) return hr;
    params->SetParam(kParamUnlock, 1);
    hr = params->SetParam(param, on ? 1 : 0);
    params->Release();
    return hr;
}

HRESULT VideoPlayer::SetFlip(int channel, bool on) { return SetDecoderParam(channel, kParamFlip, on); }
HRESULT VideoPlayer::SetMirror(int channel, bool on) { return SetDecoderParam(channel, kParamMirror, on); }

bool VideoPlayer::CheckFilter(const CLSID& clsid) {
    if (!graph_) return false;
    IBaseFilter* f = nullptr;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, reinterpret_cast<void**>(&f))))
        return false;
    f->Release();
    return true;
}

bool VideoPlayer::CheckSourceFilter() { return CheckFilter(kClsidSource); }
bool VideoPlayer::CheckVideoDecoderFilter() { return CheckFilter(kClsidVideoDecoder); }
bool VideoPlayer::CheckAudioDecoderFilter() { return CheckFilter(kClsidAudioDecoder); }
bool VideoPlayer::CheckBrightnessFilter() { return CheckFilter(kClsidBrightness); }

int32_t VideoPlayer::CheckFilters() {
    if (!graph_) return -1;
    if (!CheckSourceFilter()) return -1;
    if (!CheckVideoDecoderFilter()) return -2;
    if (!CheckAudioDecoderFilter()) return -3;
    if (!CheckBrightnessFilter()) return -4;
    return 1;
}

}  // namespace playback
