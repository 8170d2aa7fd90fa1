#include "control.h"

#include <mshtml.h>
#include <ocidl.h>
#include <oleauto.h>
#include <windowsx.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <vector>

#include "cdp_util.h"
#include "json.h"
#include "page_session.h"

using Microsoft::WRL::ComPtr;

namespace standin {

const CLSID kBrowserClassId = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
std::atomic<long> g_objects{0};
HMODULE g_module = nullptr;

namespace {

// Automation members of the control (the browser's own dispatch ids), and
// the stand-in's own read-outs for tests.
enum : DISPID {
    kDispNavigate = 104,
    kDispRefresh = -550,
    kDispDocument = 203,
    kDispLocationUrl = 211,
    kDispBusy = 212,
    kDispReadyState = -525,
    kDispNavigations = 0x7F00,    // "StandInNavigations": Navigate calls so far
    kDispFramesPainted = 0x7F01,  // "StandInFramesPainted": new frames painted so far
};
struct Member {
    const wchar_t* name;
    DISPID id;
};
const Member kMembers[] = {
    {L"Navigate", kDispNavigate},
    {L"Refresh", kDispRefresh},
    {L"Document", kDispDocument},
    {L"LocationURL", kDispLocationUrl},
    {L"Busy", kDispBusy},
    {L"ReadyState", kDispReadyState},
    {L"StandInNavigations", kDispNavigations},
    {L"StandInFramesPainted", kDispFramesPainted},
};

const wchar_t kWindowClass[] = L"TessaroStandInBrowser";
const wchar_t kPortVariable[] = L"TESSARO_BROWSER_CDP_PORT";

std::string Utf8(const wchar_t* s, int n = -1) {
    if (!s) return {};
    int len = ::WideCharToMultiByte(CP_UTF8, 0, s, n, nullptr, 0, nullptr, nullptr);
    if (len <= 0) return {};
    std::string out(static_cast<size_t>(len), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, s, n, &out[0], len, nullptr, nullptr);
    if (n < 0 && !out.empty()) out.pop_back();  // the terminator
    return out;
}

BSTR Bstr(const std::string& utf8) {
    int len = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    BSTR b = ::SysAllocStringLen(nullptr, static_cast<UINT>(len));
    if (b && len) ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), b, len);
    return b;
}

// The DevTools port the bench announces to Wine processes; 0 when none.
int DevToolsPort() {
    wchar_t buf[16] = {};
    DWORD n = ::GetEnvironmentVariableW(kPortVariable, buf, 16);
    if (n == 0 || n >= 16) return 0;
    return cdp::ParsePort(Utf8(buf));
}

// The address to load for what Navigate was given: URLs as they are, file
// paths as file URLs of their Unix path (this server runs under Wine).
std::string AddressFor(const wchar_t* text) {
    std::string utf8 = Utf8(text);
    if (cdp::HasUrlScheme(utf8)) return utf8;
    using UnixName = char*(CDECL*)(LPCWSTR);
    auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (unixName) {
        if (char* path = unixName(text)) {
            std::string url = cdp::FileUrlFromUnixPath(path);
            ::HeapFree(::GetProcessHeap(), 0, path);
            return url;
        }
    }
    for (char& c : utf8)
        if (c == '\\') c = '/';
    return "file:///" + utf8;
}

// An argument for a script call as a JavaScript literal.
bool ScriptLiteral(const VARIANT& in, std::string& out) {
    VARIANT v;
    ::VariantInit(&v);
    if (FAILED(::VariantCopyInd(&v, const_cast<VARIANT*>(&in)))) return false;
    bool ok = true;
    switch (v.vt) {
        case VT_EMPTY: out = "undefined"; break;
        case VT_NULL: out = "null"; break;
        case VT_BOOL: out = v.boolVal ? "true" : "false"; break;
        case VT_BSTR: out = json::Quote(Utf8(v.bstrVal, static_cast<int>(::SysStringLen(v.bstrVal)))); break;
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_I8:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_UI8:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_DECIMAL:
            ok = SUCCEEDED(::VariantChangeType(&v, &v, 0, VT_R8));
            if (ok) out = json::Number(v.dblVal);
            break;
        default:
            ok = SUCCEEDED(::VariantChangeType(&v, &v, 0, VT_BSTR));
            if (ok) out = json::Quote(Utf8(v.bstrVal, static_cast<int>(::SysStringLen(v.bstrVal))));
    }
    ::VariantClear(&v);
    return ok;
}

// A script value (the protocol's remote object, by value) as a variant.
void ToVariant(const json::Value& remote, VARIANT* out) {
    ::VariantInit(out);
    if (remote["type"].AsString() == "undefined") return;
    const json::Value& value = remote["value"];
    switch (value.type()) {
        case json::Value::Type::Null: out->vt = VT_NULL; break;
        case json::Value::Type::Bool:
            out->vt = VT_BOOL;
            out->boolVal = value.AsBool() ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case json::Value::Type::Number: {
            int64_t i = value.AsInt(INT64_MIN);
            if (i != INT64_MIN && i >= INT32_MIN && i <= INT32_MAX) {
                out->vt = VT_I4;
                out->lVal = static_cast<LONG>(i);
            } else {
                out->vt = VT_R8;
                out->dblVal = value.AsNumber();
            }
            break;
        }
        case json::Value::Type::String:
            out->vt = VT_BSTR;
            out->bstrVal = Bstr(value.AsString());
            break;
        default: out->vt = VT_BSTR; out->bstrVal = Bstr(value.Write());
    }
}

// Script names handed out as dispatch ids, shared by a control's script
// objects, with the ids known to name a function of the current document.
struct ScriptNames {
    std::vector<std::wstring> names;  // dispatch id = index + 1
    unsigned verifiedGeneration = 0;
    std::vector<DISPID> verified;

    DISPID IdFor(const wchar_t* name) {
        for (size_t i = 0; i < names.size(); ++i)
            if (names[i] == name) return static_cast<DISPID>(i + 1);
        names.emplace_back(name);
        return static_cast<DISPID>(names.size());
    }
    const std::wstring* NameFor(DISPID id) const {
        return id >= 1 && static_cast<size_t>(id) <= names.size() ? &names[static_cast<size_t>(id) - 1] : nullptr;
    }
    bool Verified(unsigned generation, DISPID id) const {
        if (generation != verifiedGeneration) return false;
        for (DISPID v : verified)
            if (v == id) return true;
        return false;
    }
    void Verify(unsigned generation, DISPID id) {
        if (generation != verifiedGeneration) verified.clear(), verifiedGeneration = generation;
        verified.push_back(id);
    }
};

// Reference counting shared by the objects of this server.
template <class Base>
class Counted : public Base {
public:
    Counted() { ++g_objects; }
    virtual ~Counted() { --g_objects; }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_refs)); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG n = ::InterlockedDecrement(&m_refs);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }

private:
    LONG m_refs = 1;
};

// The document's script object: the page's global functions by name.
class ScriptObject final : public Counted<IDispatch> {
public:
    ScriptObject(std::shared_ptr<PageSession> session, std::shared_ptr<ScriptNames> names, unsigned generation)
        : m_session(std::move(session)), m_names(std::move(names)), m_generation(generation) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        if (!n) return E_POINTER;
        *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }

    // Succeeds only for a global function of the loaded document.
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids) return E_POINTER;
        for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        if (count != 1 || !names[0] || !Current()) return DISP_E_UNKNOWNNAME;
        DISPID id = m_names->IdFor(names[0]);
        if (!m_names->Verified(m_generation, id)) {
            json::Value exists;
            if (m_session->Evaluate(cdp::FunctionExistsExpression(Utf8(names[0])), &exists, nullptr) !=
                    PageSession::EvalResult::Ok ||
                !exists["value"].AsBool() || !Current())
                return DISP_E_UNKNOWNNAME;
            m_names->Verify(m_generation, id);
        }
        ids[0] = id;
        return S_OK;
    }

    // Calls the function with the arguments in script order (the reverse of
    // rgvarg) and returns when the page has run it.
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override {
        if (result) ::VariantInit(result);
        if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        const std::wstring* name = m_names->NameFor(id);
        if (!name || !(flags & DISPATCH_METHOD) || !Current()) return DISP_E_MEMBERNOTFOUND;
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        if (!params) params = &none;
        if (params->cNamedArgs) return DISP_E_NONAMEDARGS;
        if (params->cArgs && !params->rgvarg) return E_POINTER;
        std::vector<std::string> args;
        for (UINT i = params->cArgs; i-- > 0;) {
            std::string literal;
            if (!ScriptLiteral(params->rgvarg[i], literal)) {
                if (argError) *argError = i;
                return DISP_E_TYPEMISMATCH;
            }
            args.push_back(std::move(literal));
        }
        json::Value value;
        std::string error;
        switch (m_session->Evaluate(cdp::FunctionCallExpression(Utf8(name->c_str()), args), &value, &error)) {
            case PageSession::EvalResult::Ok:
                if (result) ToVariant(value, result);
                return S_OK;
            case PageSession::EvalResult::Exception:
                if (exception) {
                    *exception = EXCEPINFO{};
                    exception->bstrSource = ::SysAllocString(L"JavaScript");
                    exception->bstrDescription = Bstr(error);
                    exception->scode = E_FAIL;
                }
                return DISP_E_EXCEPTION;
            case PageSession::EvalResult::NoPage: return DISP_E_MEMBERNOTFOUND;
            default: return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
        }
    }

private:
    // The document this object belongs to is still the loaded one.
    bool Current() const { return m_session->Loaded() && m_session->Generation() == m_generation; }

    std::shared_ptr<PageSession> m_session;
    std::shared_ptr<ScriptNames> m_names;
    unsigned m_generation;
};

// The base of the document object: every member of IHTMLDocument2 that the
// stand-in does not provide.
class DocumentStubs : public IHTMLDocument2 {
public:
#include "document_stubs.inc"  // NOLINT: generated from <mshtml.h>
};

// The loaded document: its script object, title, address and state.
class DocumentObject final : public Counted<DocumentStubs> {
public:
    DocumentObject(std::shared_ptr<PageSession> session, std::shared_ptr<ScriptNames> names)
        : m_session(std::move(session)), m_names(std::move(names)), m_generation(m_session->Generation()) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IHTMLDocument || riid == IID_IHTMLDocument2) {
            *ppv = static_cast<IHTMLDocument2*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        if (!n) return E_POINTER;
        *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) override {
        for (UINT i = 0; ids && i < count; ++i) ids[i] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }

    STDMETHODIMP get_Script(IDispatch** p) override {
        if (!p) return E_POINTER;
        *p = new ScriptObject(m_session, m_names, m_generation);
        return S_OK;
    }
    STDMETHODIMP get_title(BSTR* p) override {
        if (!p) return E_POINTER;
        *p = nullptr;
        json::Value title;
        if (m_session->Generation() != m_generation ||
            m_session->Evaluate("document.title", &title, nullptr) != PageSession::EvalResult::Ok)
            return E_FAIL;
        *p = Bstr(title["value"].AsString());
        return S_OK;
    }
    STDMETHODIMP get_URL(BSTR* p) override {
        if (!p) return E_POINTER;
        *p = Bstr(m_session->Url());
        return S_OK;
    }
    STDMETHODIMP get_readyState(BSTR* p) override {
        if (!p) return E_POINTER;
        *p = ::SysAllocString(m_session->Loaded() ? L"complete" : L"loading");
        return S_OK;
    }

private:
    std::shared_ptr<PageSession> m_session;
    std::shared_ptr<ScriptNames> m_names;
    unsigned m_generation;
};

int Modifiers() {
    int m = 0;
    if (::GetKeyState(VK_MENU) < 0) m |= 1;
    if (::GetKeyState(VK_CONTROL) < 0) m |= 2;
    if (::GetKeyState(VK_SHIFT) < 0) m |= 8;
    return m;
}

int ButtonsOf(WPARAM wp) {
    int b = 0;
    if (wp & MK_LBUTTON) b |= 1;
    if (wp & MK_RBUTTON) b |= 2;
    if (wp & MK_MBUTTON) b |= 4;
    return b;
}

// DOM key and code of a key for Input.dispatchKeyEvent.
void KeyOf(int vk, std::string& key, std::string& code) {
    if (cdp::KeyNames(vk, key, code)) return;
    if (vk >= 'A' && vk <= 'Z') {
        key = std::string(1, static_cast<char>(::GetKeyState(VK_SHIFT) < 0 ? vk : vk - 'A' + 'a'));
        code = "Key" + std::string(1, static_cast<char>(vk));
    } else if (vk >= '0' && vk <= '9') {
        key = std::string(1, static_cast<char>(vk));
        code = "Digit" + key;
    } else {
        key = "Unidentified";
        code.clear();
    }
}

// Keys the control takes before the dialog manager would move the focus
// with them or press a button: they go to the page.
bool IsNavigationKey(WPARAM vk) {
    switch (vk) {
        case VK_TAB:
        case VK_RETURN:
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_HOME:
        case VK_END: return true;
    }
    return false;
}

class BrowserControl final : public Counted<IOleObject>,
                             public IOleInPlaceObject,
                             public IOleInPlaceActiveObject,
                             public IDispatch {
public:
    BrowserControl()
        : m_session(PageSession::Start(DevToolsPort(), 300, 150)), m_names(std::make_shared<ScriptNames>()) {}
    ~BrowserControl() override {
        InPlaceDeactivate();
        m_session->Stop();
    }

    // IUnknown (one count for every interface)
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IOleObject) *ppv = static_cast<IOleObject*>(this);
        else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceObject) *ppv = static_cast<IOleInPlaceObject*>(this);
        else if (riid == IID_IOleInPlaceActiveObject) *ppv = static_cast<IOleInPlaceActiveObject*>(this);
        else if (riid == IID_IDispatch) *ppv = static_cast<IDispatch*>(this);
        else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return Counted<IOleObject>::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return Counted<IOleObject>::Release(); }

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override {
        if (!site) InPlaceDeactivate();
        m_site = site;
        return S_OK;
    }
    STDMETHODIMP GetClientSite(IOleClientSite** site) override {
        if (!site) return E_POINTER;
        *site = m_site.Get();
        if (*site) (*site)->AddRef();
        return S_OK;
    }
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP Close(DWORD) override {
        InPlaceDeactivate();
        m_session->Stop();
        return S_OK;
    }
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** mk) override {
        if (mk) *mk = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject** d) override {
        if (d) *d = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT rect) override {
        switch (verb) {
            case OLEIVERB_PRIMARY:
            case OLEIVERB_SHOW:
            case OLEIVERB_OPEN:
            case OLEIVERB_INPLACEACTIVATE: return Activate(site, parent, rect, false);
            case OLEIVERB_UIACTIVATE: return Activate(site, parent, rect, true);
            case OLEIVERB_HIDE:
                if (m_window) ::ShowWindow(m_window, SW_HIDE);
                return S_OK;
            default: return OLEOBJ_S_INVALIDVERB;
        }
    }
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** e) override {
        if (e) *e = nullptr;
        return OLEOBJ_E_NOVERBS;
    }
    STDMETHODIMP Update() override { return S_OK; }
    STDMETHODIMP IsUpToDate() override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID* id) override {
        if (!id) return E_POINTER;
        *id = kBrowserClassId;
        return S_OK;
    }
    STDMETHODIMP GetUserType(DWORD, LPOLESTR* s) override {
        if (s) *s = nullptr;
        return OLE_S_USEREG;
    }
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override {
        if (!size) return E_POINTER;
        if (aspect != DVASPECT_CONTENT) return E_FAIL;
        m_extent = *size;
        return S_OK;
    }
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override {
        if (!size) return E_POINTER;
        if (aspect != DVASPECT_CONTENT) return E_FAIL;
        *size = m_extent;
        return S_OK;
    }
    STDMETHODIMP Advise(IAdviseSink*, DWORD* c) override {
        if (c) *c = 0;
        return OLE_E_ADVISENOTSUPPORTED;
    }
    STDMETHODIMP Unadvise(DWORD) override { return OLE_E_NOCONNECTION; }
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** e) override {
        if (e) *e = nullptr;
        return OLE_E_ADVISENOTSUPPORTED;
    }
    STDMETHODIMP GetMiscStatus(DWORD, DWORD* status) override {
        if (!status) return E_POINTER;
        *status = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
                  OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE;
        return S_OK;
    }
    STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleWindow
    STDMETHODIMP GetWindow(HWND* w) override {
        if (!w) return E_POINTER;
        *w = m_window;
        return m_window ? S_OK : E_FAIL;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceObject
    STDMETHODIMP InPlaceDeactivate() override {
        if (!m_window) return S_OK;
        UIDeactivate();
        m_session->SetWindow(nullptr);
        HWND w = m_window;
        m_window = nullptr;
        ::SetWindowLongPtrW(w, GWLP_USERDATA, 0);
        ::DestroyWindow(w);
        ComPtr<IOleInPlaceSite> site = std::move(m_inPlaceSite);
        m_frame.Reset();
        if (site) site->OnInPlaceDeactivate();
        return S_OK;
    }
    STDMETHODIMP UIDeactivate() override {
        if (!m_uiActive) return S_OK;
        m_uiActive = false;
        if (m_frame) m_frame->SetActiveObject(nullptr, nullptr);
        if (m_inPlaceSite) m_inPlaceSite->OnUIDeactivate(FALSE);
        return S_OK;
    }
    STDMETHODIMP SetObjectRects(LPCRECT pos, LPCRECT) override {
        if (!pos) return E_POINTER;
        if (m_window)
            ::SetWindowPos(m_window, nullptr, pos->left, pos->top, pos->right - pos->left, pos->bottom - pos->top,
                           SWP_NOZORDER | SWP_NOACTIVATE);
        return S_OK;
    }
    STDMETHODIMP ReactivateAndUndo() override { return INPLACE_E_NOTUNDOABLE; }

    // IOleInPlaceActiveObject
    STDMETHODIMP TranslateAccelerator(LPMSG msg) override {
        if (!msg || !m_window || (msg->hwnd != m_window && !::IsChild(m_window, msg->hwnd))) return S_FALSE;
        if (msg->message == WM_KEYDOWN && msg->wParam == VK_F5) {
            m_session->Reload();
            return S_OK;
        }
        if ((msg->message == WM_KEYDOWN || msg->message == WM_KEYUP) && IsNavigationKey(msg->wParam)) {
            ForwardKey(msg->message == WM_KEYDOWN ? "rawKeyDown" : "keyUp", static_cast<int>(msg->wParam));
            return S_OK;
        }
        return S_FALSE;
    }
    STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        if (!n) return E_POINTER;
        *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids) return E_POINTER;
        for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        if (count < 1 || !names[0]) return DISP_E_UNKNOWNNAME;
        for (const Member& m : kMembers) {
            if (::_wcsicmp(m.name, names[0]) == 0) {
                ids[0] = m.id;
                return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
            }
        }
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT* argError) override {
        if (result) ::VariantInit(result);
        if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        if (!params) params = &none;
        if (params->cArgs && !params->rgvarg) return E_POINTER;
        const bool method = flags & DISPATCH_METHOD, get = flags & DISPATCH_PROPERTYGET;
        switch (id) {
            case kDispNavigate: {
                if (!method) return DISP_E_MEMBERNOTFOUND;
                if (params->cArgs < 1 || params->cArgs > 5) return DISP_E_BADPARAMCOUNT;
                VARIANT url;
                ::VariantInit(&url);
                HRESULT hr = ::VariantCopyInd(&url, &params->rgvarg[params->cArgs - 1]);
                if (SUCCEEDED(hr)) hr = ::VariantChangeType(&url, &url, 0, VT_BSTR);
                if (FAILED(hr)) {
                    ::VariantClear(&url);
                    if (argError) *argError = params->cArgs - 1;
                    return DISP_E_TYPEMISMATCH;
                }
                m_session->Navigate(AddressFor(url.bstrVal ? url.bstrVal : L""));
                ::VariantClear(&url);
                return S_OK;
            }
            case kDispRefresh:
                if (!method) return DISP_E_MEMBERNOTFOUND;
                m_session->Reload();
                return S_OK;
            case kDispDocument:
                if (!get) return DISP_E_MEMBERNOTFOUND;
                if (result) {
                    result->vt = VT_DISPATCH;
                    result->pdispVal = m_session->HasDocument() ? new DocumentObject(m_session, m_names) : nullptr;
                }
                return S_OK;
            case kDispLocationUrl:
                if (!get) return DISP_E_MEMBERNOTFOUND;
                if (result) {
                    result->vt = VT_BSTR;
                    result->bstrVal = Bstr(m_session->Url());
                }
                return S_OK;
            case kDispBusy:
                if (!get) return DISP_E_MEMBERNOTFOUND;
                if (result) {
                    result->vt = VT_BOOL;
                    result->boolVal = m_session->Busy() ? VARIANT_TRUE : VARIANT_FALSE;
                }
                return S_OK;
            case kDispReadyState:
                if (!get) return DISP_E_MEMBERNOTFOUND;
                if (result) {
                    result->vt = VT_I4;
                    result->lVal = ReadyState();
                }
                return S_OK;
            case kDispNavigations:
            case kDispFramesPainted:
                if (!get) return DISP_E_MEMBERNOTFOUND;
                if (result) {
                    result->vt = VT_I4;
                    result->lVal = id == kDispNavigations ? m_session->Navigations() : m_session->FramesPainted();
                }
                return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    LONG ReadyState() const {
        if (m_session->Navigations() == 0) return READYSTATE_UNINITIALIZED;
        if (m_session->Loaded() && !m_session->Busy()) return READYSTATE_COMPLETE;
        return m_session->HasDocument() ? READYSTATE_INTERACTIVE : READYSTATE_LOADING;
    }

    HRESULT Activate(IOleClientSite* site, HWND parent, LPCRECT rect, bool ui) {
        if (site && site != m_site.Get()) m_site = site;
        if (!m_window) {
            if (!m_site) return E_UNEXPECTED;
            ComPtr<IOleInPlaceSite> inPlace;
            if (FAILED(m_site.As(&inPlace))) return E_NOINTERFACE;
            if (inPlace->CanInPlaceActivate() != S_OK) return E_FAIL;
            inPlace->OnInPlaceActivate();
            HWND siteWindow = nullptr;
            if (SUCCEEDED(inPlace->GetWindow(&siteWindow)) && siteWindow) parent = siteWindow;
            RECT pos = rect ? *rect : RECT{0, 0, 0, 0}, clip = pos;
            OLEINPLACEFRAMEINFO info{};
            info.cb = sizeof info;
            ComPtr<IOleInPlaceFrame> frame;
            ComPtr<IOleInPlaceUIWindow> doc;
            if (FAILED(inPlace->GetWindowContext(&frame, &doc, &pos, &clip, &info)) && rect) pos = *rect;
            if (!parent || !CreateControlWindow(parent, pos)) {
                inPlace->OnInPlaceDeactivate();
                return E_FAIL;
            }
            m_inPlaceSite = inPlace;
            m_frame = frame;
        }
        ::ShowWindow(m_window, SW_SHOWNA);
        if (ui && !m_uiActive) {
            m_uiActive = true;
            if (m_inPlaceSite) m_inPlaceSite->OnUIActivate();
            if (m_frame) m_frame->SetActiveObject(this, L"Browser");
            ::SetFocus(m_window);
        }
        return S_OK;
    }

    bool CreateControlWindow(HWND parent, const RECT& pos) {
        static const bool registered = [] {
            WNDCLASSW wc{};
            wc.style = CS_DBLCLKS;
            wc.lpfnWndProc = &BrowserControl::WindowProcedure;
            wc.hInstance = g_module;
            wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
            wc.lpszClassName = kWindowClass;
            return ::RegisterClassW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
        }();
        if (!registered) return false;
        m_window = ::CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP, pos.left, pos.top,
                                     pos.right - pos.left, pos.bottom - pos.top, parent, nullptr, g_module, this);
        if (!m_window) return false;
        m_session->SetViewport(pos.right - pos.left, pos.bottom - pos.top);
        m_session->SetWindow(m_window);
        return true;
    }

    void ForwardKey(const char* type, int vk) {
        std::string key, code;
        KeyOf(vk, key, code);
        m_session->DispatchInput("Input.dispatchKeyEvent", json::ObjectWriter()
                                                               .Add("type", type)
                                                               .Add("windowsVirtualKeyCode", vk)
                                                               .Add("key", key)
                                                               .Add("code", code)
                                                               .Add("modifiers", Modifiers())
                                                               .Done());
    }

    void ForwardMouse(const char* type, int x, int y, const char* button, int buttons, int clicks, double deltaX = 0,
                      double deltaY = 0) {
        json::ObjectWriter w;
        w.Add("type", type).Add("x", x).Add("y", y).Add("modifiers", Modifiers()).Add("buttons", buttons);
        w.Add("button", button).Add("clickCount", clicks);
        if (deltaX || deltaY) w.Add("deltaX", deltaX).Add("deltaY", deltaY);
        m_session->DispatchInput("Input.dispatchMouseEvent", w.Done());
    }

    LRESULT OnMessage(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
        switch (msg) {
            case WM_PAINT: {
                PAINTSTRUCT ps;
                HDC dc = ::BeginPaint(w, &ps);
                RECT client;
                ::GetClientRect(w, &client);
                m_session->Paint(dc, client);
                ::EndPaint(w, &ps);
                return 0;
            }
            case WM_PRINTCLIENT: {
                RECT client;
                ::GetClientRect(w, &client);
                m_session->Paint(reinterpret_cast<HDC>(wp), client);
                return 0;
            }
            case WM_ERASEBKGND: return 1;
            case WM_SIZE:
                m_session->SetViewport(LOWORD(lp), HIWORD(lp));
                ::InvalidateRect(w, nullptr, FALSE);
                return 0;
            case WM_GETDLGCODE: return DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTTAB;
            case WM_MOUSEACTIVATE: ::SetFocus(w); return MA_ACTIVATE;
            case WM_SETFOCUS:
                if (!m_uiActive) Activate(nullptr, nullptr, nullptr, true);
                return 0;
            case WM_LBUTTONDOWN:
            case WM_RBUTTONDOWN:
            case WM_MBUTTONDOWN:
            case WM_LBUTTONDBLCLK:
            case WM_RBUTTONDBLCLK:
            case WM_MBUTTONDBLCLK: {
                ::SetCapture(w);
                const bool dbl = msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDBLCLK || msg == WM_MBUTTONDBLCLK;
                const char* button = (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK)   ? "left"
                                     : (msg == WM_RBUTTONDOWN || msg == WM_RBUTTONDBLCLK) ? "right"
                                                                                          : "middle";
                ForwardMouse("mousePressed", GET_X_LPARAM(lp), GET_Y_LPARAM(lp), button, ButtonsOf(wp), dbl ? 2 : 1);
                return 0;
            }
            case WM_LBUTTONUP:
            case WM_RBUTTONUP:
            case WM_MBUTTONUP: {
                const char* button = msg == WM_LBUTTONUP ? "left" : msg == WM_RBUTTONUP ? "right" : "middle";
                ForwardMouse("mouseReleased", GET_X_LPARAM(lp), GET_Y_LPARAM(lp), button, ButtonsOf(wp), 1);
                if (!(wp & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) && ::GetCapture() == w) ::ReleaseCapture();
                return 0;
            }
            case WM_MOUSEMOVE: {
                int buttons = ButtonsOf(wp);
                const char* button = buttons & 1 ? "left" : buttons & 2 ? "right" : buttons & 4 ? "middle" : "none";
                ForwardMouse("mouseMoved", GET_X_LPARAM(lp), GET_Y_LPARAM(lp), button, buttons, 0);
                return 0;
            }
            case WM_MOUSEWHEEL:
            case WM_MOUSEHWHEEL: {
                POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
                ::ScreenToClient(w, &p);
                double delta = GET_WHEEL_DELTA_WPARAM(wp);
                // A wheel turned away from the user scrolls up (negative deltaY).
                if (msg == WM_MOUSEWHEEL) ForwardMouse("mouseWheel", p.x, p.y, "none", 0, 0, 0, -delta);
                else ForwardMouse("mouseWheel", p.x, p.y, "none", 0, 0, delta, 0);
                return 0;
            }
            case WM_KEYDOWN:
            case WM_SYSKEYDOWN:
                if (msg == WM_KEYDOWN) ForwardKey("rawKeyDown", static_cast<int>(wp));
                break;
            case WM_KEYUP: ForwardKey("keyUp", static_cast<int>(wp)); return 0;
            case WM_CHAR: {
                wchar_t c = static_cast<wchar_t>(wp);
                if (c < 0x20) return 0;  // control characters are keys, not text
                std::string text = Utf8(&c, 1);
                m_session->DispatchInput("Input.dispatchKeyEvent", json::ObjectWriter()
                                                                       .Add("type", "char")
                                                                       .Add("key", text)
                                                                       .Add("text", text)
                                                                       .Add("unmodifiedText", text)
                                                                       .Add("modifiers", Modifiers())
                                                                       .Done());
                return 0;
            }
        }
        return ::DefWindowProcW(w, msg, wp, lp);
    }

    static LRESULT CALLBACK WindowProcedure(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_NCCREATE) {
            auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
            ::SetWindowLongPtrW(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        }
        auto* self = reinterpret_cast<BrowserControl*>(::GetWindowLongPtrW(w, GWLP_USERDATA));
        if (!self) return ::DefWindowProcW(w, msg, wp, lp);
        ComPtr<IOleObject> keep(self);  // alive through the message
        return self->OnMessage(w, msg, wp, lp);
    }

    std::shared_ptr<PageSession> m_session;
    std::shared_ptr<ScriptNames> m_names;
    ComPtr<IOleClientSite> m_site;
    ComPtr<IOleInPlaceSite> m_inPlaceSite;
    ComPtr<IOleInPlaceFrame> m_frame;
    HWND m_window = nullptr;
    bool m_uiActive = false;
    SIZEL m_extent{8000, 6000};
};

}  // namespace

HRESULT CreateBrowserControl(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    auto* control = new (std::nothrow) BrowserControl();
    if (!control) return E_OUTOFMEMORY;
    HRESULT hr = control->QueryInterface(riid, ppv);
    control->Release();
    return hr;
}

void ReleaseWindowClass() { ::UnregisterClassW(kWindowClass, g_module); }

}  // namespace standin
