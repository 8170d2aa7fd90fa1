// Windows with message maps. A CWnd is attached to a window handle by
// subclassing: every message goes through WindowProc, which looks the message up
// in the object's message map and otherwise hands it to the window's original
// procedure.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <functional>
#include <vector>
#include "fw_string.h"

class CWnd;

// Table of handlers, filled once per window object by DeclareMessageMap. A
// message goes to the first entry that matches it, in the order the entries
// were added: a derived class adds its own entries first and then calls its
// base's DeclareMessageMap. A message no entry consumes gets the window's
// default processing.
class MessageMap {
public:
    using Handler = std::function<LRESULT(WPARAM, LPARAM)>;
    // A handler that may decline: false hands the message on to the later
    // entries and then to the default processing.
    using Filter = std::function<bool(WPARAM, LPARAM, LRESULT&)>;
    using CommandHandler = std::function<void()>;
    using RangeHandler = std::function<void(UINT id)>;
    using NotifyHandler = std::function<LRESULT(NMHDR*)>;
    using SizeHandler = std::function<void(UINT type, int cx, int cy)>;

    // Any window message, consumed.
    void On(UINT msg, Handler h);
    // Any window message; the handler decides whether it consumes it.
    void OnFilter(UINT msg, Filter h);
    // WM_COMMAND from a control or menu id (any notification code unless one is given).
    void OnCommand(UINT id, CommandHandler h) { OnCommand(id, kAnyCode, std::move(h)); }
    void OnCommand(UINT id, UINT code, CommandHandler h);
    // WM_COMMAND from any id in [first, last], handed the id.
    void OnCommandRange(UINT first, UINT last, RangeHandler h);
    // WM_NOTIFY from a control id with a notification code.
    void OnNotify(UINT id, UINT code, NotifyHandler h);
    // WM_TIMER of one timer id; other timers go on down the table.
    void OnTimer(UINT_PTR id, CommandHandler h);
    // WM_SIZE with its type and new client size; the handler calls the
    // window's Default() itself when it wants the default processing first.
    void OnSize(SizeHandler h);

    bool Empty() const { return m_entries.empty(); }
    bool Dispatch(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) const;

private:
    static constexpr UINT kAnyCode = ~0u;
    struct Entry {
        UINT msg;
        Filter handler;
    };
    std::vector<Entry> m_entries;
};

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }
    static CWnd* FromHandlePermanent(HWND w);

    // Attaches this object to an existing window by subclassing it.
    bool SubclassWindow(HWND w);
    bool SubclassDlgItem(UINT id, CWnd* parent);
    HWND UnsubclassWindow();
    bool DestroyWindow();

    // The object's message processing. The default looks the message up in the
    // message map, gives owner-draw and notification messages to the control
    // that sent them first, and otherwise calls Default().
    virtual LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp);
    // Called for messages from the message loop before they are dispatched;
    // TRUE consumes the message.
    virtual BOOL PreTranslateMessage(MSG* msg) { return FALSE; }
    // A hosted ActiveX control's chance at a key message aimed at it, before
    // the enclosing dialog's own key handling (CAxHost); true consumes it.
    virtual bool TranslateHostedAccelerator(MSG* msg) { return false; }
    // A child's chance to handle a message its parent received on its behalf
    // (WM_DRAWITEM, WM_NOTIFY, WM_COMMAND). true: handled, result set.
    virtual bool OnChildNotify(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) { return false; }
    // Offers a message to the sending child (OnChildNotify) and to the message
    // map; true when one of them handled it.
    bool DispatchToObjects(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    // Default processing of the message being handled now.
    LRESULT Default();
    LRESULT DefWindowProc(UINT msg, WPARAM wp, LPARAM lp);

    // Thin conveniences over the platform calls.
    HWND GetDlgItem(UINT id) const { return ::GetDlgItem(m_hWnd, static_cast<int>(id)); }
    UINT GetDlgCtrlID() const { return static_cast<UINT>(::GetDlgCtrlID(m_hWnd)); }
    void SetWindowText(const wchar_t* s) { ::SetWindowTextW(m_hWnd, s); }
    CString GetWindowText() const;
    BOOL ShowWindow(int cmd) { return ::ShowWindow(m_hWnd, cmd); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL EnableWindow(BOOL on = TRUE) { return ::EnableWindow(m_hWnd, on); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    void MoveWindow(int x, int y, int w, int h, BOOL repaint = TRUE) { ::MoveWindow(m_hWnd, x, y, w, h, repaint); }
    void MoveWindow(const RECT& r, BOOL repaint = TRUE) {
        MoveWindow(r.left, r.top, r.right - r.left, r.bottom - r.top, repaint);
    }
    RECT GetClientRect() const {
        RECT r{};
        ::GetClientRect(m_hWnd, &r);
        return r;
    }
    RECT GetWindowRect() const {
        RECT r{};
        ::GetWindowRect(m_hWnd, &r);
        return r;
    }
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    void CenterWindow(HWND alternateOwner = nullptr);
    // Where a window of w x h stands centred on its visible owner (or the
    // alternate one), else on the work area of its monitor; on a work area
    // smaller than the window, at the area's left or top edge.
    POINT CentredPosition(int w, int h, HWND alternateOwner = nullptr) const;
    LRESULT SendMessage(UINT m, WPARAM w = 0, LPARAM l = 0) const { return ::SendMessageW(m_hWnd, m, w, l); }
    BOOL PostMessage(UINT m, WPARAM w = 0, LPARAM l = 0) const { return ::PostMessageW(m_hWnd, m, w, l); }
    UINT_PTR SetTimer(UINT_PTR id, UINT ms) { return ::SetTimer(m_hWnd, id, ms, nullptr); }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    void SetFont(HFONT f, BOOL redraw = TRUE) { SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(f), redraw); }
    LONG_PTR ModifyStyle(LONG_PTR remove, LONG_PTR add);

protected:
    // Called once a window has been attached by subclassing.
    virtual void PreSubclassWindow() {}
    // Fills the message map; called once when the object is attached.
    virtual void DeclareMessageMap(MessageMap& map) {}
    // Hook used while a window of ours is being created, so that the object
    // sees its very first messages (WM_NCCREATE, WM_CREATE).
    static void BeginCreate(CWnd* wnd);
    static void EndCreate();
    void AttachHandle(HWND w);

    HWND m_hWnd = nullptr;

private:
    static LRESULT CALLBACK StaticWndProc(HWND w, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK CbtHook(int code, WPARAM wp, LPARAM lp);
    void EnsureMessageMap();

    WNDPROC m_oldProc = nullptr;
    MessageMap m_map;
    bool m_mapBuilt = false;
    struct Current {
        UINT msg;
        WPARAM wp;
        LPARAM lp;
    };
    Current m_current{};
};

// Runs fn on the thread of window w, from its message queue: the way a worker
// hands a result or a call back to the window thread. False (and fn dropped
// unrun) when w is gone. Calls still queued when the window is destroyed are
// dropped unrun.
bool PostToWindow(HWND w, std::function<void()> fn);
