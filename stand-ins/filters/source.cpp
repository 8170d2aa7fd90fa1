// Stream-parsing source filter: reads a play file (AVI with MJPEG video per
// channel and PCM audio) and offers one output pin per stream, "Video 1",
// "Video 2", ... and "Audio". Each pin has its own streaming thread, so a
// renderer that holds its first picture while paused does not starve the
// others.
//
// Its configuration interface takes, before Load, a flag (false: leave the
// sound out, no "Audio" pin) and two values: the first and the last
// millisecond to play (-1: to the end).
//
// Times: positions and seeks are in recording time (the same place in every
// channel). The duration and the stop position it reports are the recording's
// length with one video stream, and the video streams' lengths added up with
// more (two channels of 60 s report 120 s), the way the camera maker's filter
// reports them; a viewer scales a two-channel duration down for its slider and
// label. A seek beyond the recording's own length ends it at once. When a
// stream has delivered its last sample, its pin's position reads the reported
// duration, so a graph manager that reports the stop position (or the
// renderers' positions) at the end reads "position at least duration" there.
#include <process.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <new>
#include <string>

#include "avi_index.h"
#include "ds_base.h"
#include "filters.h"

namespace {

using ds::Lock;

class SourceFilter;

class SourcePin : public ds::OutputPin, public IMediaSeeking {
public:
    SourcePin(SourceFilter* f, const wchar_t* name, const avi::Stream* stream);
    ~SourcePin() override;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return Pin::QueryInterface(riid, ppv); }
    STDMETHODIMP_(ULONG) AddRef() override { return Pin::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return Pin::Release(); }

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override;
    HRESULT GetMediaType(int index, AM_MEDIA_TYPE* mt) override;
    HRESULT ExtraInterface(REFIID riid, void** ppv) override;
    void BufferProps(ALLOCATOR_PROPERTIES& p) override;
    HRESULT Active() override;
    HRESULT Inactive() override;

    // IMediaSeeking
    STDMETHODIMP GetCapabilities(DWORD* c) override;
    STDMETHODIMP CheckCapabilities(DWORD* c) override;
    STDMETHODIMP IsFormatSupported(const GUID* f) override;
    STDMETHODIMP QueryPreferredFormat(GUID* f) override;
    STDMETHODIMP GetTimeFormat(GUID* f) override;
    STDMETHODIMP IsUsingTimeFormat(const GUID* f) override;
    STDMETHODIMP SetTimeFormat(const GUID* f) override;
    STDMETHODIMP GetDuration(LONGLONG* d) override;
    STDMETHODIMP GetStopPosition(LONGLONG* s) override;
    STDMETHODIMP GetCurrentPosition(LONGLONG* c) override;
    STDMETHODIMP ConvertTimeFormat(LONGLONG* t, const GUID* tf, LONGLONG s, const GUID* sf) override;
    STDMETHODIMP SetPositions(LONGLONG* c, DWORD cf, LONGLONG* s, DWORD sf) override;
    STDMETHODIMP GetPositions(LONGLONG* c, LONGLONG* s) override;
    STDMETHODIMP GetAvailable(LONGLONG* e, LONGLONG* l) override;
    STDMETHODIMP SetRate(double r) override;
    STDMETHODIMP GetRate(double* r) override;
    STDMETHODIMP GetPreroll(LONGLONG* p) override;

private:
    static unsigned __stdcall ThreadMain(void* self);
    void Stream();
    void StartThread();
    void StopThread();
    LONGLONG Duration() const;  // as reported
    LONGLONG PlayEnd() const;   // where the samples end
    REFERENCE_TIME ToStream(REFERENCE_TIME media) const {
        return anchorStream_ + REFERENCE_TIME((media - anchorMedia_) / rate_);
    }

    SourceFilter* src_;
    const avi::Stream* stream_;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    std::atomic<bool> abort_{false};
    CRITICAL_SECTION seekLock_;  // serialises seeks and thread starts
    CRITICAL_SECTION timeLock_;  // rate and the media-to-stream time mapping
    LONGLONG segStart_ = 0;
    std::atomic<LONGLONG> position_{0};
    double rate_ = 1.0;
    REFERENCE_TIME anchorStream_ = 0, anchorMedia_ = 0;
};

class SourceFilter : public ds::Filter, public IFileSourceFilter, public ISourceConfig {
public:
    SourceFilter() : Filter(CLSID_StandInSource) {}
    ~SourceFilter() override;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return Filter::QueryInterface(riid, ppv); }
    STDMETHODIMP_(ULONG) AddRef() override { return Filter::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return Filter::Release(); }
    HRESULT ExtraInterface(REFIID riid, void** ppv) override;

    // IFileSourceFilter
    STDMETHODIMP Load(LPCOLESTR path, const AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP GetCurFile(LPOLESTR* path, AM_MEDIA_TYPE* mt) override;

    // ISourceConfig
    STDMETHODIMP SetFlag(BYTE flag) override {
        flag_ = flag != 0;
        return S_OK;
    }
    STDMETHODIMP GetFlag(BYTE* flag) override {
        if (!flag) return E_POINTER;
        *flag = flag_;
        return S_OK;
    }
    STDMETHODIMP GetStreamCount(LONG* n) override {
        if (!n) return E_POINTER;
        *n = LONG(pins.size());
        return S_OK;
    }
    STDMETHODIMP GetFrameCount(LONG stream, LONG* n) override;
    STDMETHODIMP GetValues(LONG* a, LONG* b) override {
        if (!a || !b) return E_POINTER;
        *a = first_;
        *b = last_;
        return S_OK;
    }
    STDMETHODIMP SetValues(LONG a, LONG b) override {
        first_ = a;
        last_ = b;
        return S_OK;
    }

    const uint8_t* Data() const { return view_; }
    LONGLONG Duration() const { return duration_; }
    LONGLONG PlayEnd() const { return playEnd_; }
    LONGLONG FirstTime() const { return std::max<LONGLONG>(0, LONGLONG(first_) * 10000); }

private:
    void Unload();
    bool flag_ = true;
    LONG first_ = 0, last_ = -1;
    std::wstring path_;
    HANDLE file_ = INVALID_HANDLE_VALUE, mapping_ = nullptr;
    const uint8_t* view_ = nullptr;
    avi::File index_;
    LONGLONG playEnd_ = 0;   // media time where the last stream ends (or the last value cuts it)
    LONGLONG duration_ = 0;  // reported: see the top of this file
};

// ------------------------------------------------------------ SourcePin

SourcePin::SourcePin(SourceFilter* f, const wchar_t* name, const avi::Stream* stream)
    : OutputPin(f, name), src_(f), stream_(stream) {
    InitializeCriticalSection(&seekLock_);
    InitializeCriticalSection(&timeLock_);
    segStart_ = f->FirstTime();
    position_ = segStart_;
}

SourcePin::~SourcePin() {
    StopThread();
    DeleteCriticalSection(&seekLock_);
    DeleteCriticalSection(&timeLock_);
}

HRESULT SourcePin::GetMediaType(int index, AM_MEDIA_TYPE* mt) {
    if (index != 0) return VFW_S_NO_MORE_ITEMS;
    *mt = AM_MEDIA_TYPE{};
    const avi::Stream& s = *stream_;
    if (s.video) {
        auto* vih = static_cast<VIDEOINFOHEADER*>(CoTaskMemAlloc(sizeof(VIDEOINFOHEADER)));
        if (!vih) return E_OUTOFMEMORY;
        *vih = VIDEOINFOHEADER{};
        vih->AvgTimePerFrame = REFERENCE_TIME(uint64_t(s.scale) * 10000000 / s.rate);
        vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        vih->bmiHeader.biWidth = s.width;
        vih->bmiHeader.biHeight = s.height;
        vih->bmiHeader.biPlanes = 1;
        vih->bmiHeader.biBitCount = s.bitCount ? s.bitCount : 24;
        vih->bmiHeader.biCompression = s.compression;
        vih->bmiHeader.biSizeImage = DWORD(s.width) * DWORD(std::abs(s.height)) * 3;
        SetRect(&vih->rcSource, 0, 0, s.width, std::abs(s.height));
        vih->rcTarget = vih->rcSource;
        mt->majortype = MEDIATYPE_Video;
        mt->subtype = ds::FourCCGuid(s.compression);
        mt->formattype = FORMAT_VideoInfo;
        mt->bTemporalCompression = FALSE;
        mt->cbFormat = sizeof(VIDEOINFOHEADER);
        mt->pbFormat = reinterpret_cast<BYTE*>(vih);
    } else {
        auto* wf = static_cast<WAVEFORMATEX*>(CoTaskMemAlloc(sizeof(WAVEFORMATEX)));
        if (!wf) return E_OUTOFMEMORY;
        *wf = WAVEFORMATEX{};
        wf->wFormatTag = s.formatTag;
        wf->nChannels = s.channels;
        wf->nSamplesPerSec = s.samplesPerSec;
        wf->nAvgBytesPerSec = s.avgBytesPerSec;
        wf->nBlockAlign = s.blockAlign;
        wf->wBitsPerSample = s.bitsPerSample;
        mt->majortype = MEDIATYPE_Audio;
        mt->subtype = s.formatTag == WAVE_FORMAT_PCM ? MEDIASUBTYPE_PCM : ds::FourCCGuid(s.formatTag);
        mt->formattype = FORMAT_WaveFormatEx;
        mt->bFixedSizeSamples = TRUE;
        mt->lSampleSize = s.blockAlign;
        mt->cbFormat = sizeof(WAVEFORMATEX);
        mt->pbFormat = reinterpret_cast<BYTE*>(wf);
    }
    return S_OK;
}

HRESULT SourcePin::CheckMediaType(const AM_MEDIA_TYPE* mt) {
    AM_MEDIA_TYPE mine{};
    if (GetMediaType(0, &mine) != S_OK) return E_FAIL;
    bool ok = mt->majortype == mine.majortype && mt->subtype == mine.subtype;
    ds::FreeType(mine);
    return ok ? S_OK : S_FALSE;
}

HRESULT SourcePin::ExtraInterface(REFIID riid, void** ppv) {
    if (riid == IID_IMediaSeeking) {
        *ppv = static_cast<IMediaSeeking*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

void SourcePin::BufferProps(ALLOCATOR_PROPERTIES& p) {
    uint32_t largest = 1;
    for (const avi::Sample& m : stream_->samples) largest = std::max(largest, m.size);
    p.cBuffers = stream_->video ? 3 : 8;
    p.cbBuffer = long(largest);
    p.cbAlign = 1;
    p.cbPrefix = 0;
}

HRESULT SourcePin::Active() {
    HRESULT hr = OutputPin::Active();
    if (FAILED(hr)) return hr;
    Lock l(seekLock_);
    StartThread();
    return S_OK;
}

HRESULT SourcePin::Inactive() {
    {
        Lock l(seekLock_);
        abort_ = true;
        OutputPin::Inactive();  // a thread waiting for a buffer gives up
        StopThread();
    }
    return S_OK;
}

void SourcePin::StartThread() {
    StopThread();
    abort_ = false;
    {
        Lock t(timeLock_);
        anchorMedia_ = segStart_;
        anchorStream_ = 0;
    }
    position_ = segStart_;
    AddRef();  // the thread holds the filter
    unsigned id = 0;
    thread_ = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadMain, this, 0, &id));
    threadId_ = id;
    if (!thread_) Release();
}

void SourcePin::StopThread() {
    if (!thread_) return;
    abort_ = true;
    // The thread's own last reference can end the filter on that thread.
    if (GetCurrentThreadId() != threadId_) WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
}

unsigned __stdcall SourcePin::ThreadMain(void* self) {
    auto* pin = static_cast<SourcePin*>(self);
    HRESULT co = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    pin->Stream();
    if (SUCCEEDED(co)) CoUninitialize();
    pin->Release();
    return 0;
}

LONGLONG SourcePin::Duration() const { return src_->Duration(); }
LONGLONG SourcePin::PlayEnd() const { return src_->PlayEnd(); }

void SourcePin::Stream() {
    const avi::Stream& s = *stream_;
    const LONGLONG seg = segStart_;
    const LONGLONG end = PlayEnd();
    DeliverNewSegment(seg, end, rate_);
    size_t i = 0;
    if (s.video) {
        i = s.keyBefore(seg);
    } else {
        while (i < s.samples.size() && s.samples[i].stop <= seg) ++i;
    }
    bool first = true;
    for (; i < s.samples.size(); ++i) {
        if (abort_) return;
        const avi::Sample& m = s.samples[i];
        if (m.start >= end) break;
        if (!m.present(src_->Data())) continue;
        IMediaSample* ms = nullptr;
        if (FAILED(GetBuffer(&ms)) || !ms) return;
        BYTE* buf = nullptr;
        ms->GetPointer(&buf);
        const uint8_t* data = src_->Data() + m.offset;
        uint32_t size = m.size;
        REFERENCE_TIME t0 = m.start, t1 = m.stop;
        if (s.audio && m.start < seg && m.stop > m.start) {
            // Cut the part before the requested time off the first chunk.
            uint64_t skip = uint64_t(seg - m.start) * s.avgBytesPerSec / 10000000;
            skip -= skip % s.blockAlign;
            skip = std::min<uint64_t>(skip, size);
            data += skip;
            size -= uint32_t(skip);
            t0 = seg;
        }
        size = std::min<uint32_t>(size, uint32_t(ms->GetSize()));
        memcpy(buf, data, size);
        ms->SetActualDataLength(long(size));
        bool preroll = s.video && m.stop <= seg;
        REFERENCE_TIME a, b;
        {
            Lock t(timeLock_);
            a = ToStream(std::max<REFERENCE_TIME>(t0, seg));
            b = ToStream(t1);
        }
        ms->SetTime(&a, &b);
        ms->SetSyncPoint(m.key);
        ms->SetPreroll(preroll);
        ms->SetDiscontinuity(first);
        first = false;
        HRESULT hr = Deliver(ms);
        ms->Release();
        if (hr != S_OK) return;
        if (!preroll) position_ = std::min<LONGLONG>(t1, end);
    }
    if (!abort_) {
        position_ = Duration();
        DeliverEndOfStream();
    }
}

STDMETHODIMP SourcePin::GetCapabilities(DWORD* c) {
    if (!c) return E_POINTER;
    *c = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards | AM_SEEKING_CanSeekBackwards |
         AM_SEEKING_CanGetCurrentPos | AM_SEEKING_CanGetStopPos | AM_SEEKING_CanGetDuration;
    return S_OK;
}
STDMETHODIMP SourcePin::CheckCapabilities(DWORD* c) {
    if (!c) return E_POINTER;
    DWORD mine;
    GetCapabilities(&mine);
    DWORD asked = *c;
    *c &= mine;
    return *c == asked ? S_OK : (*c ? S_FALSE : E_FAIL);
}
STDMETHODIMP SourcePin::IsFormatSupported(const GUID* f) {
    if (!f) return E_POINTER;
    return *f == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}
STDMETHODIMP SourcePin::QueryPreferredFormat(GUID* f) {
    if (!f) return E_POINTER;
    *f = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
}
STDMETHODIMP SourcePin::GetTimeFormat(GUID* f) { return QueryPreferredFormat(f); }
STDMETHODIMP SourcePin::IsUsingTimeFormat(const GUID* f) { return IsFormatSupported(f); }
STDMETHODIMP SourcePin::SetTimeFormat(const GUID* f) {
    if (!f) return E_POINTER;
    return *f == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG;
}
STDMETHODIMP SourcePin::GetDuration(LONGLONG* d) {
    if (!d) return E_POINTER;
    *d = Duration();
    return S_OK;
}
STDMETHODIMP SourcePin::GetStopPosition(LONGLONG* s) { return GetDuration(s); }
STDMETHODIMP SourcePin::GetCurrentPosition(LONGLONG* c) {
    if (!c) return E_POINTER;
    *c = position_;
    return S_OK;
}
STDMETHODIMP SourcePin::ConvertTimeFormat(LONGLONG* t, const GUID* tf, LONGLONG s, const GUID* sf) {
    if (!t) return E_POINTER;
    if ((tf && *tf != TIME_FORMAT_MEDIA_TIME) || (sf && *sf != TIME_FORMAT_MEDIA_TIME)) return E_INVALIDARG;
    *t = s;
    return S_OK;
}
STDMETHODIMP SourcePin::SetPositions(LONGLONG* c, DWORD cf, LONGLONG*, DWORD) {
    DWORD how = cf & AM_SEEKING_PositioningBitsMask;
    if (how == AM_SEEKING_NoPositioning) return S_OK;
    if (!c) return E_POINTER;
    Lock l(seekLock_);
    LONGLONG t = how == AM_SEEKING_RelativePositioning ? segStart_ + *c : *c;
    t = std::max<LONGLONG>(0, std::min<LONGLONG>(t, PlayEnd()));
    if (thread_) {
        // Flush what is on its way, then start over at the new place.
        DeliverBeginFlush();
        abort_ = true;
        OutputPin::Inactive();
        StopThread();
        OutputPin::Active();
        DeliverEndFlush();
        segStart_ = t;
        StartThread();
    } else {
        segStart_ = t;
        position_ = t;
    }
    if (cf & AM_SEEKING_ReturnTime) *c = t;
    return S_OK;
}
STDMETHODIMP SourcePin::GetPositions(LONGLONG* c, LONGLONG* s) {
    if (c) *c = position_;
    if (s) *s = Duration();
    return S_OK;
}
STDMETHODIMP SourcePin::GetAvailable(LONGLONG* e, LONGLONG* l) {
    if (e) *e = 0;
    if (l) *l = PlayEnd();
    return S_OK;
}
STDMETHODIMP SourcePin::SetRate(double r) {
    if (r <= 0) return E_INVALIDARG;
    Lock t(timeLock_);
    // Samples from here on are spaced for the new rate.
    REFERENCE_TIME now = position_;
    anchorStream_ = ToStream(now);
    anchorMedia_ = now;
    rate_ = r;
    return S_OK;
}
STDMETHODIMP SourcePin::GetRate(double* r) {
    if (!r) return E_POINTER;
    *r = rate_;
    return S_OK;
}
STDMETHODIMP SourcePin::GetPreroll(LONGLONG* p) {
    if (!p) return E_POINTER;
    *p = 0;
    return S_OK;
}

// ------------------------------------------------------------ SourceFilter

SourceFilter::~SourceFilter() {
    for (ds::Pin* p : pins) delete p;
    pins.clear();
    Unload();
}

void SourceFilter::Unload() {
    if (view_) UnmapViewOfFile(view_);
    if (mapping_) CloseHandle(mapping_);
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    view_ = nullptr;
    mapping_ = nullptr;
    file_ = INVALID_HANDLE_VALUE;
}

HRESULT SourceFilter::ExtraInterface(REFIID riid, void** ppv) {
    if (riid == IID_IFileSourceFilter) {
        *ppv = static_cast<IFileSourceFilter*>(this);
    } else if (riid == IID_ISourceConfig) {
        *ppv = static_cast<ISourceConfig*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP SourceFilter::Load(LPCOLESTR path, const AM_MEDIA_TYPE*) {
    if (!path) return E_POINTER;
    Lock l(lock);
    if (view_ || !pins.empty()) return E_UNEXPECTED;
    file_ = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(GetLastError());
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file_, &size) || size.QuadPart < 12) {
        Unload();
        return VFW_E_INVALID_FILE_FORMAT;
    }
    mapping_ = CreateFileMappingW(file_, nullptr, PAGE_READONLY, 0, 0, nullptr);
    view_ = mapping_ ? static_cast<const uint8_t*>(MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0)) : nullptr;
    if (!view_) {
        Unload();
        return VFW_E_INVALID_FILE_FORMAT;
    }
    if (!avi::parse(view_, size_t(size.QuadPart), index_)) {
        Unload();
        return VFW_E_INVALID_FILE_FORMAT;
    }
    playEnd_ = index_.duration();
    if (last_ >= 0) playEnd_ = std::min<LONGLONG>(playEnd_, LONGLONG(last_) * 10000);
    // The sound pin comes first: a graph builder that offers pins in order to
    // the sound renderer then finds it at once, without trying the pictures.
    for (const avi::Stream& s : index_.streams) {
        if (s.audio && flag_ && !s.samples.empty()) {
            pins.push_back(new SourcePin(this, L"Audio", &s));
            break;
        }
    }
    int videos = 0;
    LONGLONG videoSum = 0;
    for (const avi::Stream& s : index_.streams) {
        if (s.video && !s.samples.empty()) {
            wchar_t name[32];
            swprintf(name, 32, L"Video %d", ++videos);
            pins.push_back(new SourcePin(this, name, &s));
            videoSum += std::min<LONGLONG>(s.duration(), playEnd_);
        }
    }
    // Never less than where the samples end, so that a position within the
    // recording is always below the duration.
    duration_ = videos >= 2 ? std::max(videoSum, playEnd_) : playEnd_;
    path_ = path;
    return S_OK;
}

STDMETHODIMP SourceFilter::GetCurFile(LPOLESTR* path, AM_MEDIA_TYPE* mt) {
    if (!path) return E_POINTER;
    *path = nullptr;
    if (path_.empty()) return E_FAIL;
    size_t n = (path_.size() + 1) * sizeof(wchar_t);
    *path = static_cast<LPOLESTR>(CoTaskMemAlloc(n));
    if (!*path) return E_OUTOFMEMORY;
    memcpy(*path, path_.c_str(), n);
    if (mt) *mt = AM_MEDIA_TYPE{};
    return S_OK;
}

STDMETHODIMP SourceFilter::GetFrameCount(LONG stream, LONG* n) {
    if (!n) return E_POINTER;
    if (stream < 0 || size_t(stream) >= index_.streams.size()) return E_INVALIDARG;
    *n = LONG(index_.streams[size_t(stream)].samples.size());
    return S_OK;
}

}  // namespace

HRESULT CreateSourceFilter(IUnknown** out) {
    auto* f = new (std::nothrow) SourceFilter();
    if (!f) return E_OUTOFMEMORY;
    *out = static_cast<IBaseFilter*>(f);
    return S_OK;
}
