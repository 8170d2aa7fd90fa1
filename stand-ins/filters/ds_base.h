// The small amount of DirectShow plumbing the stand-in filters share: a base
// filter, input and output pins, enumerators, a transform filter with one
// pin each way, and a seeking pass-through. Plain COM, no base-class library.
#pragma once

#define NO_DSHOW_STRSAFE
#include <windows.h>
#include <dshow.h>

#include <wrl/client.h>

#include <atomic>
#include <vector>

namespace ds {

using Microsoft::WRL::ComPtr;

// Takes over a reference the caller already owns (mingw-w64's ComPtr::Attach
// adds a reference of its own).
template <class T>
ComPtr<T> AdoptRef(T* p) {
    ComPtr<T> c;
    *c.GetAddressOf() = p;
    return c;
}

// Media type helpers (AM_MEDIA_TYPE owns its format block via CoTaskMemAlloc).
void FreeType(AM_MEDIA_TYPE& mt);
HRESULT CopyType(AM_MEDIA_TYPE& dst, const AM_MEDIA_TYPE& src);
AM_MEDIA_TYPE* CreateTypeCopy(const AM_MEDIA_TYPE& src);
void DeleteType(AM_MEDIA_TYPE* mt);
GUID FourCCGuid(DWORD fourcc);

// Scoped lock on a critical section.
class Lock {
public:
    explicit Lock(CRITICAL_SECTION& cs) : cs_(cs) { EnterCriticalSection(&cs_); }
    ~Lock() { LeaveCriticalSection(&cs_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    CRITICAL_SECTION& cs_;
};

extern std::atomic<long> g_objects;  // live objects, for DllCanUnloadNow

// IUnknown of a small object that offers one interface (enumerators, the class
// factory): reference counted, deleted at the last Release, counted in g_objects.
template <class Interface, const IID& kIid>
class SingleInterface : public Interface {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == kIid) {
            *ppv = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ULONG(++refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        long r = --refs_;
        if (!r) delete this;
        return ULONG(r);
    }

protected:
    SingleInterface() { ++g_objects; }
    virtual ~SingleInterface() { --g_objects; }

private:
    std::atomic<long> refs_{1};
};

class Filter;

class Pin : public IPin {
public:
    Pin(Filter* filter, PIN_DIRECTION dir, const wchar_t* name);
    virtual ~Pin();

    // IUnknown: the pin lives as long as its filter and shares its count.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IPin
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin** pin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* dir) override;
    STDMETHODIMP QueryId(LPWSTR* id) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** e) override;
    STDMETHODIMP QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }

    // What the pin accepts and offers.
    virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) = 0;
    virtual HRESULT GetMediaType(int index, AM_MEDIA_TYPE* mt) = 0;  // VFW_S_NO_MORE_ITEMS past the end
    virtual HRESULT ExtraInterface(REFIID, void**) { return E_NOINTERFACE; }
    virtual void OnDisconnect() {}
    // Filter state changes (stopped -> paused, any -> stopped).
    virtual HRESULT Active() { return S_OK; }
    virtual HRESULT Inactive() { return S_OK; }

    bool IsConnected() const { return connected_ != nullptr; }
    IPin* Connected() const { return connected_.Get(); }
    const AM_MEDIA_TYPE& Type() const { return mt_; }
    Filter* Owner() const { return filter_; }

protected:
    Filter* filter_;
    PIN_DIRECTION dir_;
    wchar_t name_[128];
    ComPtr<IPin> connected_;
    AM_MEDIA_TYPE mt_{};
};

class OutputPin : public Pin {
public:
    OutputPin(Filter* filter, const wchar_t* name) : Pin(filter, PINDIR_OUTPUT, name) {}
    ~OutputPin() override;

    STDMETHODIMP Connect(IPin* receive, const AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
    STDMETHODIMP EndOfStream() override { return E_UNEXPECTED; }
    STDMETHODIMP BeginFlush() override { return E_UNEXPECTED; }
    STDMETHODIMP EndFlush() override { return E_UNEXPECTED; }
    STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

    HRESULT Active() override;
    HRESULT Inactive() override;
    void OnDisconnect() override;

    // Buffer count and size the allocator is set up with.
    virtual void BufferProps(ALLOCATOR_PROPERTIES& p) = 0;

    HRESULT GetBuffer(IMediaSample** sample);
    // The allocator is ours (the downstream pin offered none), so any sample
    // whose memory outlives the call may be handed over instead of a copy.
    bool OwnAllocator() const { return ownAllocator_; }
    HRESULT Deliver(IMediaSample* sample);
    HRESULT DeliverEndOfStream();
    HRESULT DeliverBeginFlush();
    HRESULT DeliverEndFlush();
    HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

private:
    HRESULT TryConnect(IPin* receive, const AM_MEDIA_TYPE* mt);
    HRESULT DecideAllocator();
    ComPtr<IMemInputPin> input_;
    ComPtr<IMemAllocator> alloc_;
    bool ownAllocator_ = false;
};

class InputPin : public Pin, public IMemInputPin {
public:
    InputPin(Filter* filter, const wchar_t* name);
    ~InputPin() override;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return Pin::QueryInterface(riid, ppv); }
    STDMETHODIMP_(ULONG) AddRef() override { return Pin::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return Pin::Release(); }

    STDMETHODIMP Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
    STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // IMemInputPin
    STDMETHODIMP GetAllocator(IMemAllocator** alloc) override;
    STDMETHODIMP NotifyAllocator(IMemAllocator* alloc, BOOL readOnly) override;
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP ReceiveMultiple(IMediaSample** samples, long n, long* done) override;
    STDMETHODIMP ReceiveCanBlock() override { return S_OK; }

    HRESULT ExtraInterface(REFIID riid, void** ppv) override;
    void OnDisconnect() override;
    virtual HRESULT CompleteConnect() { return S_OK; }
    bool Flushing() const { return flushing_; }

protected:
    ComPtr<IMemAllocator> alloc_;
    std::atomic<bool> flushing_{false};
};

class Filter : public IBaseFilter {
public:
    Filter(const CLSID& clsid);
    virtual ~Filter();

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetClassID(CLSID* id) override;
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;
    STDMETHODIMP GetState(DWORD ms, FILTER_STATE* state) override;
    STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;
    STDMETHODIMP EnumPins(IEnumPins** e) override;
    STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
    STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }

    virtual HRESULT ExtraInterface(REFIID, void**) { return E_NOINTERFACE; }
    FILTER_STATE State() const { return state_; }
    IFilterGraph* Graph() const { return graph_; }
    // Tells the graph about an event (through IMediaEventSink).
    void Notify(long code, LONG_PTR p1, LONG_PTR p2);

    std::vector<Pin*> pins;
    CRITICAL_SECTION lock;

protected:
    std::atomic<long> refs_{1};
    CLSID clsid_;
    FILTER_STATE state_ = State_Stopped;
    ComPtr<IReferenceClock> clock_;
    IFilterGraph* graph_ = nullptr;  // not counted: the graph holds us
    wchar_t name_[128] = {};
    REFERENCE_TIME start_ = 0;
};

// IMediaSeeking that hands every call to the upstream pin's IMediaSeeking
// (transform filters' output pins).
class SeekingPassThru : public IMediaSeeking {
public:
    SeekingPassThru(Pin* owner, Pin* input) : owner_(owner), input_(input) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return owner_->QueryInterface(riid, ppv); }
    STDMETHODIMP_(ULONG) AddRef() override { return owner_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return owner_->Release(); }
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
    ComPtr<IMediaSeeking> Upstream();  // null when not connected
    template <class Call>
    HRESULT Pass(Call call);
    Pin* owner_;
    Pin* input_;
};

// A filter with one input and one output pin that turns each input sample
// into one output sample.
class TransformFilter : public Filter {
public:
    explicit TransformFilter(const CLSID& clsid);
    ~TransformFilter() override;

    STDMETHODIMP Stop() override;

    virtual HRESULT CheckInput(const AM_MEDIA_TYPE* mt) = 0;
    // Output types offered for the connected input type.
    virtual HRESULT OutputType(int index, AM_MEDIA_TYPE* mt) = 0;
    virtual HRESULT CheckOutput(const AM_MEDIA_TYPE* mt) = 0;
    virtual long OutputSize() = 0;
    virtual HRESULT Transform(IMediaSample* in, IMediaSample* out) = 0;
    // True when the input sample can go downstream as it is.
    virtual bool PassThrough(IMediaSample*) { return false; }

    HRESULT Receive(IMediaSample* sample);

    class In;
    class Out;
    In* input;
    Out* output;
    CRITICAL_SECTION streamLock;
};

class TransformFilter::In : public InputPin {
public:
    In(TransformFilter* f) : InputPin(f, L"In"), tf_(f) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override { return tf_->CheckInput(mt); }
    HRESULT GetMediaType(int, AM_MEDIA_TYPE*) override { return VFW_S_NO_MORE_ITEMS; }
    STDMETHODIMP Receive(IMediaSample* s) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME a, REFERENCE_TIME b, double r) override;

private:
    TransformFilter* tf_;
};

class TransformFilter::Out : public OutputPin {
public:
    Out(TransformFilter* f, Pin* in) : OutputPin(f, L"Out"), tf_(f), seeking_(this, in) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override;
    HRESULT GetMediaType(int i, AM_MEDIA_TYPE* mt) override;
    HRESULT ExtraInterface(REFIID riid, void** ppv) override;
    void BufferProps(ALLOCATOR_PROPERTIES& p) override;

private:
    TransformFilter* tf_;
    SeekingPassThru seeking_;
};

// Class factory and registration.
using CreateFn = HRESULT (*)(IUnknown** out);
struct ClassEntry {
    const CLSID* clsid;
    const wchar_t* name;
    CreateFn create;
    bool onlyWhenMissing;  // registered only where the platform lacks the class
};
extern const ClassEntry kClasses[];
extern const int kClassCount;

}  // namespace ds
