#include "fw_wnd.h"
#include <memory>
#include <unordered_map>

namespace {
// Window objects by handle. Windows belong to the user-interface thread; the
// table is only touched there.
std::unordered_map<HWND, CWnd*>& Registry() {
    static std::unordered_map<HWND, CWnd*> table;
    return table;
}
thread_local CWnd* t_creating = nullptr;
thread_local HHOOK t_hook = nullptr;

// The registered message that carries a PostToWindow call (lParam: the call).
UINT RunCallMessage() {
    static const UINT msg = ::RegisterWindowMessageW(L"Tessaro.RunOnWindowThread");
    return msg;
}
using PostedCall = std::function<void()>;
}  // namespace

void MessageMap::On(UINT msg, Handler h) {
    m_entries.push_back({msg, [h = std::move(h)](WPARAM wp, LPARAM lp, LRESULT& r) {
                             r = h(wp, lp);
                             return true;
                         }});
}

void MessageMap::OnFilter(UINT msg, Filter h) { m_entries.push_back({msg, std::move(h)}); }

void MessageMap::OnCommand(UINT id, UINT code, CommandHandler h) {
    OnFilter(WM_COMMAND, [id, code, h = std::move(h)](WPARAM wp, LPARAM, LRESULT& r) {
        if (LOWORD(wp) != id || (code != kAnyCode && HIWORD(wp) != code)) return false;
        h();
        r = 0;
        return true;
    });
}

void MessageMap::OnCommandRange(UINT first, UINT last, RangeHandler h) {
    OnFilter(WM_COMMAND, [first, last, h = std::move(h)](WPARAM wp, LPARAM, LRESULT& r) {
        const UINT id = LOWORD(wp);
        if (id < first || id > last) return false;
        h(id);
        r = 0;
        return true;
    });
}

void MessageMap::OnNotify(UINT id, UINT code, NotifyHandler h) {
    OnFilter(WM_NOTIFY, [id, code, h = std::move(h)](WPARAM, LPARAM lp, LRESULT& r) {
        auto* nm = reinterpret_cast<NMHDR*>(lp);
        if (!nm || nm->idFrom != id || nm->code != code) return false;
        r = h(nm);
        return true;
    });
}

void MessageMap::OnTimer(UINT_PTR id, CommandHandler h) {
    OnFilter(WM_TIMER, [id, h = std::move(h)](WPARAM wp, LPARAM, LRESULT& r) {
        if (wp != id) return false;
        h();
        r = 0;
        return true;
    });
}

void MessageMap::OnSize(SizeHandler h) {
    On(WM_SIZE, [h = std::move(h)](WPARAM type, LPARAM lp) -> LRESULT {
        h(static_cast<UINT>(type), static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
        return 0;
    });
}

bool MessageMap::Dispatch(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) const {
    for (const Entry& e : m_entries)
        if (e.msg == msg && e.handler(wp, lp, result)) return true;
    return false;
}

CWnd::~CWnd() {
    if (m_hWnd) {
        HWND w = m_hWnd;
        UnsubclassWindow();
        if (::IsWindow(w) && !::GetParent(w)) ::DestroyWindow(w);
    }
}

CWnd* CWnd::FromHandlePermanent(HWND w) {
    auto& t = Registry();
    auto it = t.find(w);
    return it == t.end() ? nullptr : it->second;
}

void CWnd::EnsureMessageMap() {
    if (!m_mapBuilt) {
        m_mapBuilt = true;
        DeclareMessageMap(m_map);
    }
}

void CWnd::AttachHandle(HWND w) {
    m_hWnd = w;
    Registry()[w] = this;
    EnsureMessageMap();
    m_oldProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::StaticWndProc)));
}

bool CWnd::SubclassWindow(HWND w) {
    if (!w || m_hWnd || FromHandlePermanent(w)) return false;
    AttachHandle(w);
    PreSubclassWindow();
    return m_oldProc != nullptr;
}

bool CWnd::SubclassDlgItem(UINT id, CWnd* parent) { return parent && SubclassWindow(parent->GetDlgItem(id)); }

HWND CWnd::UnsubclassWindow() {
    HWND w = m_hWnd;
    if (!w) return nullptr;
    if (m_oldProc && ::IsWindow(w) &&
        ::GetWindowLongPtrW(w, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&CWnd::StaticWndProc))
        ::SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_oldProc));
    Registry().erase(w);
    m_hWnd = nullptr;
    m_oldProc = nullptr;
    return w;
}

bool CWnd::DestroyWindow() {
    if (!m_hWnd) return false;
    return ::DestroyWindow(m_hWnd) != 0;
}

LRESULT CALLBACK CWnd::CbtHook(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_CREATEWND && t_creating) {
        CWnd* wnd = t_creating;
        t_creating = nullptr;
        wnd->AttachHandle(reinterpret_cast<HWND>(wp));
    }
    return ::CallNextHookEx(t_hook, code, wp, lp);
}

void CWnd::BeginCreate(CWnd* wnd) {
    t_creating = wnd;
    if (!t_hook) t_hook = ::SetWindowsHookExW(WH_CBT, &CWnd::CbtHook, nullptr, ::GetCurrentThreadId());
}

void CWnd::EndCreate() {
    t_creating = nullptr;
    if (t_hook) {
        ::UnhookWindowsHookEx(t_hook);
        t_hook = nullptr;
    }
}

LRESULT CALLBACK CWnd::StaticWndProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    CWnd* wnd = FromHandlePermanent(w);
    if (!wnd) return ::DefWindowProcW(w, msg, wp, lp);
    if (msg == RunCallMessage()) {
        std::unique_ptr<PostedCall> call(reinterpret_cast<PostedCall*>(lp));
        if (call && *call) (*call)();
        return 0;
    }
    if (msg == WM_NCDESTROY) {
        // Calls still queued for this window are dropped unrun.
        MSG pending;
        while (::PeekMessageW(&pending, w, RunCallMessage(), RunCallMessage(), PM_REMOVE))
            delete reinterpret_cast<PostedCall*>(pending.lParam);
    }
    Current saved = wnd->m_current;
    wnd->m_current = Current{msg, wp, lp};
    LRESULT r = wnd->WindowProc(msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        // The window is gone: give the original procedure its last message and detach.
        WNDPROC old = wnd->m_oldProc;
        Registry().erase(w);
        wnd->m_hWnd = nullptr;
        wnd->m_oldProc = nullptr;
        if (old) ::SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
        return r;
    }
    wnd->m_current = saved;
    return r;
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT result = 0;
    if (DispatchToObjects(msg, wp, lp, result)) return result;
    return DefWindowProc(msg, wp, lp);
}

bool CWnd::DispatchToObjects(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    // Owner-draw and notification messages go to the sending control first.
    HWND child = nullptr;
    if (msg == WM_DRAWITEM && lp) child = reinterpret_cast<DRAWITEMSTRUCT*>(lp)->hwndItem;
    else if (msg == WM_NOTIFY && lp) child = reinterpret_cast<NMHDR*>(lp)->hwndFrom;
    else if (msg == WM_COMMAND && lp) child = reinterpret_cast<HWND>(lp);
    if (child) {
        if (CWnd* c = FromHandlePermanent(child)) {
            if (c->OnChildNotify(msg, wp, lp, result)) return true;
        }
    }
    return m_map.Dispatch(msg, wp, lp, result);
}

LRESULT CWnd::Default() { return DefWindowProc(m_current.msg, m_current.wp, m_current.lp); }

LRESULT CWnd::DefWindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (m_oldProc) return ::CallWindowProcW(m_oldProc, m_hWnd, msg, wp, lp);
    return ::DefWindowProcW(m_hWnd, msg, wp, lp);
}

CString CWnd::GetWindowText() const {
    int n = ::GetWindowTextLengthW(m_hWnd);
    std::wstring s(static_cast<size_t>(n) + 1, L'\0');
    n = ::GetWindowTextW(m_hWnd, &s[0], n + 1);
    s.resize(static_cast<size_t>(n > 0 ? n : 0));
    return CString(std::move(s));
}

POINT CWnd::CentredPosition(int w, int h, HWND alternateOwner) const {
    HWND ref = alternateOwner ? alternateOwner : ::GetWindow(m_hWnd, GW_OWNER);
    RECT area{};
    bool onScreen = false;
    if (ref && ::IsWindowVisible(ref) && !::IsIconic(ref)) {
        ::GetWindowRect(ref, &area);
    } else {
        MONITORINFO mi{};
        mi.cbSize = sizeof mi;
        ::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
        area = mi.rcWork;
        onScreen = true;
    }
    POINT p{area.left + ((area.right - area.left) - w) / 2, area.top + ((area.bottom - area.top) - h) / 2};
    if (onScreen) {
        // A window larger than the screen keeps its top-left corner (title,
        // first controls) on it.
        if (p.x < area.left) p.x = area.left;
        if (p.y < area.top) p.y = area.top;
    }
    return p;
}

void CWnd::CenterWindow(HWND alternateOwner) {
    RECT me = GetWindowRect();
    const POINT p = CentredPosition(me.right - me.left, me.bottom - me.top, alternateOwner);
    ::SetWindowPos(m_hWnd, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LONG_PTR CWnd::ModifyStyle(LONG_PTR remove, LONG_PTR add) {
    LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    LONG_PTR next = (style & ~remove) | add;
    if (next != style) ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, next);
    return style;
}

bool PostToWindow(HWND w, std::function<void()> fn) {
    auto* call = new PostedCall(std::move(fn));
    if (!::IsWindow(w) || !::PostMessageW(w, RunCallMessage(), 0, reinterpret_cast<LPARAM>(call))) {
        delete call;
        return false;
    }
    return true;
}
