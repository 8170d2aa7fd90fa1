#include "ds_base.h"

#include <cwchar>
#include <new>

namespace ds {

std::atomic<long> g_objects{0};

void FreeType(AM_MEDIA_TYPE& mt) {
    if (mt.cbFormat && mt.pbFormat) CoTaskMemFree(mt.pbFormat);
    if (mt.pUnk) mt.pUnk->Release();
    mt = AM_MEDIA_TYPE{};
}

HRESULT CopyType(AM_MEDIA_TYPE& dst, const AM_MEDIA_TYPE& src) {
    dst = src;
    dst.pbFormat = nullptr;
    if (src.cbFormat && src.pbFormat) {
        dst.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(src.cbFormat));
        if (!dst.pbFormat) {
            dst.cbFormat = 0;
            dst.pUnk = nullptr;
            return E_OUTOFMEMORY;
        }
        memcpy(dst.pbFormat, src.pbFormat, src.cbFormat);
    } else {
        dst.cbFormat = 0;
    }
    if (dst.pUnk) dst.pUnk->AddRef();
    return S_OK;
}

AM_MEDIA_TYPE* CreateTypeCopy(const AM_MEDIA_TYPE& src) {
    auto* mt = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!mt) return nullptr;
    if (FAILED(CopyType(*mt, src))) {
        CoTaskMemFree(mt);
        return nullptr;
    }
    return mt;
}

void DeleteType(AM_MEDIA_TYPE* mt) {
    if (!mt) return;
    FreeType(*mt);
    CoTaskMemFree(mt);
}

GUID FourCCGuid(DWORD fourcc) {
    GUID g = {0x00000000, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
    g.Data1 = fourcc;
    return g;
}

namespace {

// IEnumPins over the filter's pins at the time of creation.
class PinEnum : public SingleInterface<IEnumPins, IID_IEnumPins> {
public:
    PinEnum(Filter* f, ULONG pos) : f_(f), pos_(pos) { f_->AddRef(); }
    ~PinEnum() override { f_->Release(); }
    STDMETHODIMP Next(ULONG n, IPin** out, ULONG* got) override {
        if (!out) return E_POINTER;
        ULONG k = 0;
        while (k < n && pos_ < f_->pins.size()) {
            out[k] = f_->pins[pos_++];
            out[k]->AddRef();
            ++k;
        }
        if (got) *got = k;
        return k == n ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG n) override {
        pos_ += n;
        return pos_ <= f_->pins.size() ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        pos_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumPins** e) override {
        if (!e) return E_POINTER;
        *e = new (std::nothrow) PinEnum(f_, pos_);
        return *e ? S_OK : E_OUTOFMEMORY;
    }

private:
    Filter* f_;
    ULONG pos_;
};

// IEnumMediaTypes over what a pin offers.
class TypeEnum : public SingleInterface<IEnumMediaTypes, IID_IEnumMediaTypes> {
public:
    TypeEnum(Pin* p, ULONG pos) : p_(p), pos_(pos) { p_->AddRef(); }
    ~TypeEnum() override { p_->Release(); }
    STDMETHODIMP Next(ULONG n, AM_MEDIA_TYPE** out, ULONG* got) override {
        if (!out) return E_POINTER;
        ULONG k = 0;
        while (k < n) {
            AM_MEDIA_TYPE mt{};
            if (p_->GetMediaType(int(pos_), &mt) != S_OK) break;
            ++pos_;
            out[k] = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
            if (!out[k]) {
                FreeType(mt);
                break;
            }
            *out[k] = mt;  // hands the format block over
            ++k;
        }
        if (got) *got = k;
        return k == n ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG n) override {
        pos_ += n;
        return S_OK;
    }
    STDMETHODIMP Reset() override {
        pos_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumMediaTypes** e) override {
        if (!e) return E_POINTER;
        *e = new (std::nothrow) TypeEnum(p_, pos_);
        return *e ? S_OK : E_OUTOFMEMORY;
    }

private:
    Pin* p_;
    ULONG pos_;
};

bool IsPartial(const AM_MEDIA_TYPE* mt) {
    return mt->majortype == GUID_NULL || mt->subtype == GUID_NULL || mt->formattype == GUID_NULL;
}

bool Matches(const AM_MEDIA_TYPE* partial, const AM_MEDIA_TYPE* mt) {
    if (!partial) return true;
    if (partial->majortype != GUID_NULL && partial->majortype != mt->majortype) return false;
    if (partial->subtype != GUID_NULL && partial->subtype != mt->subtype) return false;
    if (partial->formattype != GUID_NULL && partial->formattype != mt->formattype) return false;
    return true;
}

}  // namespace

// ---------------------------------------------------------------- Pin

Pin::Pin(Filter* filter, PIN_DIRECTION dir, const wchar_t* name) : filter_(filter), dir_(dir) {
    wcsncpy(name_, name, 127);
    name_[127] = 0;
}

Pin::~Pin() {
    connected_.Reset();
    FreeType(mt_);
}

STDMETHODIMP Pin::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IPin) {
        *ppv = static_cast<IPin*>(this);
        AddRef();
        return S_OK;
    }
    HRESULT hr = ExtraInterface(riid, ppv);
    if (FAILED(hr)) *ppv = nullptr;
    return hr;
}
STDMETHODIMP_(ULONG) Pin::AddRef() { return filter_->AddRef(); }
STDMETHODIMP_(ULONG) Pin::Release() { return filter_->Release(); }

STDMETHODIMP Pin::Disconnect() {
    Lock l(filter_->lock);
    if (filter_->State() != State_Stopped) return VFW_E_NOT_STOPPED;
    if (!connected_) return S_FALSE;
    OnDisconnect();
    connected_.Reset();
    FreeType(mt_);
    return S_OK;
}

STDMETHODIMP Pin::ConnectedTo(IPin** pin) {
    if (!pin) return E_POINTER;
    Lock l(filter_->lock);
    *pin = connected_.Get();
    if (!connected_) return VFW_E_NOT_CONNECTED;
    connected_->AddRef();
    return S_OK;
}

STDMETHODIMP Pin::ConnectionMediaType(AM_MEDIA_TYPE* mt) {
    if (!mt) return E_POINTER;
    Lock l(filter_->lock);
    if (!connected_) {
        *mt = AM_MEDIA_TYPE{};
        return VFW_E_NOT_CONNECTED;
    }
    return CopyType(*mt, mt_);
}

STDMETHODIMP Pin::QueryPinInfo(PIN_INFO* info) {
    if (!info) return E_POINTER;
    info->pFilter = filter_;
    filter_->AddRef();
    info->dir = dir_;
    wcscpy(info->achName, name_);
    return S_OK;
}

STDMETHODIMP Pin::QueryDirection(PIN_DIRECTION* dir) {
    if (!dir) return E_POINTER;
    *dir = dir_;
    return S_OK;
}

STDMETHODIMP Pin::QueryId(LPWSTR* id) {
    if (!id) return E_POINTER;
    size_t n = (wcslen(name_) + 1) * sizeof(wchar_t);
    *id = static_cast<LPWSTR>(CoTaskMemAlloc(n));
    if (!*id) return E_OUTOFMEMORY;
    memcpy(*id, name_, n);
    return S_OK;
}

STDMETHODIMP Pin::QueryAccept(const AM_MEDIA_TYPE* mt) {
    if (!mt) return E_POINTER;
    return CheckMediaType(mt) == S_OK ? S_OK : S_FALSE;
}

STDMETHODIMP Pin::EnumMediaTypes(IEnumMediaTypes** e) {
    if (!e) return E_POINTER;
    *e = new (std::nothrow) TypeEnum(this, 0);
    return *e ? S_OK : E_OUTOFMEMORY;
}

// ---------------------------------------------------------------- OutputPin

OutputPin::~OutputPin() { OnDisconnect(); }

void OutputPin::OnDisconnect() {
    alloc_.Reset();
    input_.Reset();
    ownAllocator_ = false;
}

STDMETHODIMP OutputPin::Connect(IPin* receive, const AM_MEDIA_TYPE* mt) {
    if (!receive) return E_POINTER;
    Lock l(filter_->lock);
    if (connected_) return VFW_E_ALREADY_CONNECTED;
    if (filter_->State() != State_Stopped) return VFW_E_NOT_STOPPED;
    if (mt && !IsPartial(mt)) return TryConnect(receive, mt);
    // Our own types first, then what the other pin offers.
    for (int i = 0;; ++i) {
        AM_MEDIA_TYPE t{};
        if (GetMediaType(i, &t) != S_OK) break;
        HRESULT hr = Matches(mt, &t) ? TryConnect(receive, &t) : E_FAIL;
        FreeType(t);
        if (hr == S_OK) return S_OK;
    }
    ComPtr<IEnumMediaTypes> e;
    if (SUCCEEDED(receive->EnumMediaTypes(&e)) && e) {
        AM_MEDIA_TYPE* t = nullptr;
        while (e->Next(1, &t, nullptr) == S_OK && t) {
            HRESULT hr = Matches(mt, t) ? TryConnect(receive, t) : E_FAIL;
            DeleteType(t);
            t = nullptr;
            if (hr == S_OK) return S_OK;
        }
    }
    return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT OutputPin::TryConnect(IPin* receive, const AM_MEDIA_TYPE* mt) {
    if (CheckMediaType(mt) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
    HRESULT hr = receive->ReceiveConnection(this, mt);
    if (hr != S_OK) return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
    connected_ = receive;
    CopyType(mt_, *mt);
    hr = DecideAllocator();
    if (FAILED(hr)) {
        receive->Disconnect();
        OnDisconnect();
        connected_.Reset();
        FreeType(mt_);
    }
    return hr;
}

HRESULT OutputPin::DecideAllocator() {
    HRESULT hr =
        connected_->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(input_.ReleaseAndGetAddressOf()));
    if (FAILED(hr)) return hr;
    ALLOCATOR_PROPERTIES want{}, got{};
    BufferProps(want);
    ALLOCATOR_PROPERTIES req{};
    if (SUCCEEDED(input_->GetAllocatorRequirements(&req))) {
        if (req.cBuffers > want.cBuffers) want.cBuffers = req.cBuffers;
        if (req.cbAlign > want.cbAlign) want.cbAlign = req.cbAlign;
        want.cbPrefix = req.cbPrefix;
    }
    // Some renderers offer no allocator of their own: make a plain one then.
    for (int attempt = 0; attempt < 2; ++attempt) {
        ComPtr<IMemAllocator> a;
        if (attempt == 0) {
            if (FAILED(input_->GetAllocator(&a)) || !a) continue;
        } else if (FAILED(CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                           reinterpret_cast<void**>(a.GetAddressOf())))) {
            break;
        }
        if (SUCCEEDED(a->SetProperties(&want, &got)) && got.cbBuffer >= want.cbBuffer &&
            SUCCEEDED(input_->NotifyAllocator(a.Get(), FALSE))) {
            alloc_ = std::move(a);
            ownAllocator_ = attempt == 1;
            return S_OK;
        }
    }
    return VFW_E_NO_ALLOCATOR;
}

HRESULT OutputPin::Active() { return alloc_ ? alloc_->Commit() : S_OK; }
HRESULT OutputPin::Inactive() { return alloc_ ? alloc_->Decommit() : S_OK; }

HRESULT OutputPin::GetBuffer(IMediaSample** sample) {
    if (!alloc_) return VFW_E_NO_ALLOCATOR;
    return alloc_->GetBuffer(sample, nullptr, nullptr, 0);
}
HRESULT OutputPin::Deliver(IMediaSample* sample) { return input_ ? input_->Receive(sample) : VFW_E_NOT_CONNECTED; }
HRESULT OutputPin::DeliverEndOfStream() { return connected_ ? connected_->EndOfStream() : S_OK; }
HRESULT OutputPin::DeliverBeginFlush() { return connected_ ? connected_->BeginFlush() : S_OK; }
HRESULT OutputPin::DeliverEndFlush() { return connected_ ? connected_->EndFlush() : S_OK; }
HRESULT OutputPin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    return connected_ ? connected_->NewSegment(start, stop, rate) : S_OK;
}

// ---------------------------------------------------------------- InputPin

InputPin::InputPin(Filter* filter, const wchar_t* name) : Pin(filter, PINDIR_INPUT, name) {}
InputPin::~InputPin() { OnDisconnect(); }

void InputPin::OnDisconnect() { alloc_.Reset(); }

HRESULT InputPin::ExtraInterface(REFIID riid, void** ppv) {
    if (riid == IID_IMemInputPin) {
        *ppv = static_cast<IMemInputPin*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP InputPin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt) {
    if (!connector || !mt) return E_POINTER;
    Lock l(filter_->lock);
    if (connected_) return VFW_E_ALREADY_CONNECTED;
    if (filter_->State() != State_Stopped) return VFW_E_NOT_STOPPED;
    PIN_DIRECTION d;
    if (FAILED(connector->QueryDirection(&d)) || d != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
    if (CheckMediaType(mt) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
    connected_ = connector;
    CopyType(mt_, *mt);
    HRESULT hr = CompleteConnect();
    if (FAILED(hr)) {
        connected_.Reset();
        FreeType(mt_);
    }
    return hr;
}

STDMETHODIMP InputPin::EndOfStream() { return S_OK; }
STDMETHODIMP InputPin::BeginFlush() {
    flushing_ = true;
    return S_OK;
}
STDMETHODIMP InputPin::EndFlush() {
    flushing_ = false;
    return S_OK;
}
STDMETHODIMP InputPin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

STDMETHODIMP InputPin::GetAllocator(IMemAllocator** alloc) {
    if (!alloc) return E_POINTER;
    Lock l(filter_->lock);
    if (!alloc_) {
        HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                      reinterpret_cast<void**>(alloc_.GetAddressOf()));
        if (FAILED(hr)) return hr;
    }
    *alloc = alloc_.Get();
    alloc_->AddRef();
    return S_OK;
}

STDMETHODIMP InputPin::NotifyAllocator(IMemAllocator* alloc, BOOL) {
    if (!alloc) return E_POINTER;
    Lock l(filter_->lock);
    alloc_ = alloc;
    return S_OK;
}

STDMETHODIMP InputPin::Receive(IMediaSample*) { return S_OK; }

STDMETHODIMP InputPin::ReceiveMultiple(IMediaSample** samples, long n, long* done) {
    if (!samples || !done) return E_POINTER;
    HRESULT hr = S_OK;
    *done = 0;
    while (*done < n && (hr = Receive(samples[*done])) == S_OK) ++*done;
    return hr;
}

// ---------------------------------------------------------------- Filter

Filter::Filter(const CLSID& clsid) : clsid_(clsid) {
    InitializeCriticalSection(&lock);
    ++g_objects;
}

Filter::~Filter() {
    for (Pin* p : pins) delete p;
    clock_.Reset();
    DeleteCriticalSection(&lock);
    --g_objects;
}

STDMETHODIMP Filter::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IPersist || riid == IID_IMediaFilter || riid == IID_IBaseFilter) {
        *ppv = static_cast<IBaseFilter*>(this);
        AddRef();
        return S_OK;
    }
    HRESULT hr = ExtraInterface(riid, ppv);
    if (FAILED(hr)) *ppv = nullptr;
    return hr;
}
STDMETHODIMP_(ULONG) Filter::AddRef() { return ULONG(++refs_); }
STDMETHODIMP_(ULONG) Filter::Release() {
    long r = --refs_;
    if (!r) delete this;
    return ULONG(r);
}

STDMETHODIMP Filter::GetClassID(CLSID* id) {
    if (!id) return E_POINTER;
    *id = clsid_;
    return S_OK;
}

STDMETHODIMP Filter::Stop() {
    Lock l(lock);
    if (state_ == State_Stopped) return S_OK;
    for (Pin* p : pins) p->Inactive();
    state_ = State_Stopped;
    return S_OK;
}

STDMETHODIMP Filter::Pause() {
    Lock l(lock);
    if (state_ == State_Stopped) {
        for (Pin* p : pins)
            if (p->IsConnected()) {
                HRESULT hr = p->Active();
                if (FAILED(hr)) return hr;
            }
    }
    state_ = State_Paused;
    return S_OK;
}

STDMETHODIMP Filter::Run(REFERENCE_TIME start) {
    Lock l(lock);
    if (state_ == State_Stopped) {
        for (Pin* p : pins)
            if (p->IsConnected()) p->Active();
    }
    start_ = start;
    state_ = State_Running;
    return S_OK;
}

STDMETHODIMP Filter::GetState(DWORD, FILTER_STATE* state) {
    if (!state) return E_POINTER;
    *state = state_;
    return S_OK;
}

STDMETHODIMP Filter::SetSyncSource(IReferenceClock* clock) {
    Lock l(lock);
    clock_ = clock;
    return S_OK;
}

STDMETHODIMP Filter::GetSyncSource(IReferenceClock** clock) {
    if (!clock) return E_POINTER;
    Lock l(lock);
    *clock = clock_.Get();
    if (clock_) clock_->AddRef();
    return S_OK;
}

STDMETHODIMP Filter::EnumPins(IEnumPins** e) {
    if (!e) return E_POINTER;
    *e = new (std::nothrow) PinEnum(this, 0);
    return *e ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP Filter::FindPin(LPCWSTR id, IPin** pin) {
    if (!id || !pin) return E_POINTER;
    for (Pin* p : pins) {
        PIN_INFO info;
        p->QueryPinInfo(&info);
        info.pFilter->Release();
        if (!wcscmp(info.achName, id)) {
            *pin = p;
            p->AddRef();
            return S_OK;
        }
    }
    *pin = nullptr;
    return VFW_E_NOT_FOUND;
}

STDMETHODIMP Filter::QueryFilterInfo(FILTER_INFO* info) {
    if (!info) return E_POINTER;
    wcscpy(info->achName, name_);
    info->pGraph = graph_;
    if (graph_) graph_->AddRef();
    return S_OK;
}

STDMETHODIMP Filter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
    Lock l(lock);
    graph_ = graph;
    name_[0] = 0;
    if (name) {
        wcsncpy(name_, name, 127);
        name_[127] = 0;
    }
    return S_OK;
}

void Filter::Notify(long code, LONG_PTR p1, LONG_PTR p2) {
    IFilterGraph* g = graph_;
    if (!g) return;
    ComPtr<IMediaEventSink> sink;
    if (SUCCEEDED(g->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(sink.GetAddressOf()))))
        sink->Notify(code, p1, p2);
}

// ---------------------------------------------------------------- SeekingPassThru

ComPtr<IMediaSeeking> SeekingPassThru::Upstream() {
    ComPtr<IMediaSeeking> s;
    if (IPin* up = input_->Connected())
        up->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(s.GetAddressOf()));
    return s;
}

// Hands a call to the upstream pin's seeking interface.
template <class Call>
HRESULT SeekingPassThru::Pass(Call call) {
    ComPtr<IMediaSeeking> s = Upstream();
    return s ? call(s.Get()) : E_NOTIMPL;
}

STDMETHODIMP SeekingPassThru::GetCapabilities(DWORD* c) {
    return Pass([&](IMediaSeeking* s) { return s->GetCapabilities(c); });
}
STDMETHODIMP SeekingPassThru::CheckCapabilities(DWORD* c) {
    return Pass([&](IMediaSeeking* s) { return s->CheckCapabilities(c); });
}
STDMETHODIMP SeekingPassThru::IsFormatSupported(const GUID* f) {
    return Pass([&](IMediaSeeking* s) { return s->IsFormatSupported(f); });
}
STDMETHODIMP SeekingPassThru::QueryPreferredFormat(GUID* f) {
    return Pass([&](IMediaSeeking* s) { return s->QueryPreferredFormat(f); });
}
STDMETHODIMP SeekingPassThru::GetTimeFormat(GUID* f) {
    return Pass([&](IMediaSeeking* s) { return s->GetTimeFormat(f); });
}
STDMETHODIMP SeekingPassThru::IsUsingTimeFormat(const GUID* f) {
    return Pass([&](IMediaSeeking* s) { return s->IsUsingTimeFormat(f); });
}
STDMETHODIMP SeekingPassThru::SetTimeFormat(const GUID* f) {
    return Pass([&](IMediaSeeking* s) { return s->SetTimeFormat(f); });
}
STDMETHODIMP SeekingPassThru::GetDuration(LONGLONG* d) {
    return Pass([&](IMediaSeeking* s) { return s->GetDuration(d); });
}
STDMETHODIMP SeekingPassThru::GetStopPosition(LONGLONG* p) {
    return Pass([&](IMediaSeeking* s) { return s->GetStopPosition(p); });
}
STDMETHODIMP SeekingPassThru::GetCurrentPosition(LONGLONG* c) {
    return Pass([&](IMediaSeeking* s) { return s->GetCurrentPosition(c); });
}
STDMETHODIMP SeekingPassThru::ConvertTimeFormat(LONGLONG* t, const GUID* tf, LONGLONG v, const GUID* sf) {
    return Pass([&](IMediaSeeking* s) { return s->ConvertTimeFormat(t, tf, v, sf); });
}
STDMETHODIMP SeekingPassThru::SetPositions(LONGLONG* c, DWORD cf, LONGLONG* p, DWORD pf) {
    return Pass([&](IMediaSeeking* s) { return s->SetPositions(c, cf, p, pf); });
}
STDMETHODIMP SeekingPassThru::GetPositions(LONGLONG* c, LONGLONG* p) {
    return Pass([&](IMediaSeeking* s) { return s->GetPositions(c, p); });
}
STDMETHODIMP SeekingPassThru::GetAvailable(LONGLONG* e, LONGLONG* l) {
    return Pass([&](IMediaSeeking* s) { return s->GetAvailable(e, l); });
}
STDMETHODIMP SeekingPassThru::SetRate(double r) {
    return Pass([&](IMediaSeeking* s) { return s->SetRate(r); });
}
STDMETHODIMP SeekingPassThru::GetRate(double* r) {
    return Pass([&](IMediaSeeking* s) { return s->GetRate(r); });
}
STDMETHODIMP SeekingPassThru::GetPreroll(LONGLONG* p) {
    return Pass([&](IMediaSeeking* s) { return s->GetPreroll(p); });
}

// ---------------------------------------------------------------- TransformFilter

TransformFilter::TransformFilter(const CLSID& clsid) : Filter(clsid) {
    InitializeCriticalSection(&streamLock);
    input = new In(this);
    output = new Out(this, input);
    pins.push_back(input);
    pins.push_back(output);
}

TransformFilter::~TransformFilter() { DeleteCriticalSection(&streamLock); }

STDMETHODIMP TransformFilter::Stop() {
    // Unblock a delivery in progress before the allocator goes away.
    input->InputPin::BeginFlush();
    HRESULT hr;
    {
        Lock s(streamLock);
        hr = Filter::Stop();
    }
    input->InputPin::EndFlush();
    return hr;
}

HRESULT TransformFilter::Receive(IMediaSample* sample) {
    Lock s(streamLock);
    if (input->Flushing() || state_ == State_Stopped) return S_FALSE;
    if (!output->IsConnected()) return S_OK;
    if (sample->IsPreroll() == S_OK) return S_OK;
    if (output->OwnAllocator() && PassThrough(sample)) return output->Deliver(sample);
    ComPtr<IMediaSample> out;
    HRESULT hr = output->GetBuffer(&out);
    if (FAILED(hr)) return hr == VFW_E_NOT_COMMITTED ? S_FALSE : hr;
    REFERENCE_TIME a, b;
    hr = sample->GetTime(&a, &b);
    if (hr == S_OK || hr == VFW_S_NO_STOP_TIME) out->SetTime(&a, hr == S_OK ? &b : nullptr);
    else out->SetTime(nullptr, nullptr);
    out->SetSyncPoint(TRUE);
    out->SetDiscontinuity(sample->IsDiscontinuity() == S_OK);
    out->SetPreroll(FALSE);
    hr = Transform(sample, out.Get());
    if (hr == S_OK) hr = output->Deliver(out.Get());
    else if (hr == S_FALSE) hr = S_OK;  // nothing to show for this one
    return hr;
}

STDMETHODIMP TransformFilter::In::Receive(IMediaSample* s) {
    if (!s) return E_POINTER;
    return tf_->Receive(s);
}
STDMETHODIMP TransformFilter::In::EndOfStream() {
    Lock s(tf_->streamLock);
    if (flushing_) return S_OK;
    return tf_->output->DeliverEndOfStream();
}
STDMETHODIMP TransformFilter::In::BeginFlush() {
    InputPin::BeginFlush();
    tf_->output->DeliverBeginFlush();
    return S_OK;
}
STDMETHODIMP TransformFilter::In::EndFlush() {
    Lock s(tf_->streamLock);  // waits for the delivery the flush unblocked
    InputPin::EndFlush();
    return tf_->output->DeliverEndFlush();
}
STDMETHODIMP TransformFilter::In::NewSegment(REFERENCE_TIME a, REFERENCE_TIME b, double r) {
    return tf_->output->DeliverNewSegment(a, b, r);
}

HRESULT TransformFilter::Out::CheckMediaType(const AM_MEDIA_TYPE* mt) {
    if (!tf_->input->IsConnected()) return VFW_E_NOT_CONNECTED;
    return tf_->CheckOutput(mt);
}
HRESULT TransformFilter::Out::GetMediaType(int i, AM_MEDIA_TYPE* mt) {
    if (!tf_->input->IsConnected()) return VFW_S_NO_MORE_ITEMS;
    return tf_->OutputType(i, mt);
}
HRESULT TransformFilter::Out::ExtraInterface(REFIID riid, void** ppv) {
    if (riid == IID_IMediaSeeking) {
        *ppv = static_cast<IMediaSeeking*>(&seeking_);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}
void TransformFilter::Out::BufferProps(ALLOCATOR_PROPERTIES& p) {
    p.cBuffers = 2;
    p.cbBuffer = tf_->OutputSize();
    p.cbAlign = 16;
    p.cbPrefix = 0;
}

}  // namespace ds
