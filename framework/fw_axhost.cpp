#include "fw_axhost.h"

#include <ocidl.h>

using Microsoft::WRL::ComPtr;

namespace {
const wchar_t kHostClass[] = L"TessaroAxHost";

void RegisterHostClass() {
    static bool done = false;
    if (done) return;
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kHostClass;
    done = ::RegisterClassW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}
}  // namespace

// The container side the control talks to: client site, in-place site and
// in-place frame in one object. It outlives the host when the control keeps a
// reference; Detach() cuts it loose.
class CAxHost::Site final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
public:
    explicit Site(CAxHost* host) : m_host(host) {}
    void Detach() { m_host = nullptr; }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IOleClientSite) *ppv = static_cast<IOleClientSite*>(this);
        else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite) *ppv = static_cast<IOleInPlaceSite*>(this);
        else if (riid == IID_IOleInPlaceUIWindow || riid == IID_IOleInPlaceFrame)
            *ppv = static_cast<IOleInPlaceFrame*>(this);
        else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_refs)); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG n = ::InterlockedDecrement(&m_refs);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** mk) override {
        if (mk) *mk = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** c) override {
        if (c) *c = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow (shared by the in-place site and the frame)
    STDMETHODIMP GetWindow(HWND* w) override {
        if (!w) return E_POINTER;
        *w = m_host ? m_host->GetSafeHwnd() : nullptr;
        return *w ? S_OK : E_FAIL;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return m_host && m_host->GetSafeHwnd() ? S_OK : S_FALSE; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                  LPOLEINPLACEFRAMEINFO info) override {
        if (!frame || !doc || !pos || !clip) return E_POINTER;
        *frame = nullptr;
        *doc = nullptr;
        if (!m_host || !m_host->GetSafeHwnd()) return E_FAIL;
        *frame = this;
        AddRef();
        *pos = m_host->GetClientRect();
        *clip = *pos;
        if (info) {
            info->fMDIApp = FALSE;
            info->hwndFrame = ::GetAncestor(m_host->GetSafeHwnd(), GA_ROOT);
            info->haccel = nullptr;
            info->cAccelEntries = 0;
        }
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override {
        if (m_host && m_host->m_inPlace) m_host->m_inPlace->UIDeactivate();
        return S_OK;
    }
    STDMETHODIMP OnPosRectChange(LPCRECT r) override {
        if (!r) return E_POINTER;
        if (m_host && m_host->m_inPlace) m_host->m_inPlace->SetObjectRects(r, r);
        return S_OK;
    }

    // IOleInPlaceUIWindow: no tool space to negotiate.
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* active, LPCOLESTR) override {
        if (m_host) m_host->m_active = active;
        return S_OK;
    }

    // IOleInPlaceFrame: no menus, status line or frame accelerators.
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

private:
    ~Site() = default;
    LONG m_refs = 1;
    CAxHost* m_host;
};

CAxHost::CAxHost() = default;

CAxHost::~CAxHost() {
    DestroyControl();
    // The host window is ours: it goes with the object.
    if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
}

bool CAxHost::CreateControl(REFCLSID clsid, CWnd* parent, const RECT& rect, UINT id, DWORD style) {
    if (m_hWnd || !parent || !parent->GetSafeHwnd()) return false;
    RegisterHostClass();
    BeginCreate(this);
    HWND w =
        ::CreateWindowExW(0, kHostClass, L"", style | WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, rect.left, rect.top,
                          rect.right - rect.left, rect.bottom - rect.top, parent->GetSafeHwnd(),
                          reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
    EndCreate();
    if (!w) {
        if (m_hWnd) UnsubclassWindow();
        return false;
    }

    ComPtr<IOleObject> object;
    HRESULT hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object));
    if (SUCCEEDED(hr)) {
        ComPtr<Site> site = AdoptRef(new Site(this));
        m_site = site;
        DWORD misc = 0;
        object->GetMiscStatus(DVASPECT_CONTENT, &misc);
        if (misc & OLEMISC_SETCLIENTSITEFIRST) object->SetClientSite(site.Get());
        ComPtr<IPersistStreamInit> persist;
        if (SUCCEEDED(object.As(&persist))) persist->InitNew();
        if (!(misc & OLEMISC_SETCLIENTSITEFIRST)) object->SetClientSite(site.Get());
        object->SetHostNames(L"Tessaro", nullptr);
        RECT client = GetClientRect();
        m_object = object;
        hr = object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.Get(), 0, m_hWnd, &client);
        if (SUCCEEDED(hr)) {
            object.As(&m_inPlace);
            if (!m_active) object.As(&m_active);
            object.As(&m_dispatch);
            return true;
        }
        DestroyControl();
    }
    ::DestroyWindow(m_hWnd);
    return false;
}

void CAxHost::DestroyControl() {
    if (!m_object) return;
    ComPtr<IOleObject> object = std::move(m_object);
    ComPtr<IOleInPlaceObject> inPlace = std::move(m_inPlace);
    if (inPlace) inPlace->InPlaceDeactivate();
    object->Close(OLECLOSE_NOSAVE);
    object->SetClientSite(nullptr);
    m_active.Reset();
    m_dispatch.Reset();
    if (m_site) {
        m_site->Detach();
        m_site.Reset();
    }
}

HWND CAxHost::GetControlWindow() const {
    HWND w = nullptr;
    if (m_inPlace) m_inPlace->GetWindow(&w);
    return w;
}

void CAxHost::PlaceControl() {
    if (!m_inPlace) return;
    RECT r = GetClientRect();
    m_inPlace->SetObjectRects(&r, &r);
}

bool CAxHost::TranslateHostedAccelerator(MSG* msg) {
    if (!msg || msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return false;
    ComPtr<IOleInPlaceActiveObject> active = m_active;  // kept alive through the call
    return active && active->TranslateAccelerator(msg) == S_OK;
}

LRESULT CAxHost::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_SIZE: PlaceControl(); break;
        case WM_SETFOCUS:
            if (HWND w = GetControlWindow()) {
                ::SetFocus(w);
                return 0;
            }
            break;
        case WM_ERASEBKGND:
            if (HasControl()) return 1;  // the control covers the whole client area
            break;
        case WM_DESTROY: DestroyControl(); break;
    }
    return CWnd::WindowProc(msg, wp, lp);
}
