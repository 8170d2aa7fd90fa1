#include "fw_controls.h"
#include "fw_app.h"

CString CComboBox::GetLBText(int i) const {
    LRESULT n = SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(i));
    if (n == CB_ERR) return CString();
    std::wstring s(static_cast<size_t>(n) + 1, L'\0');
    SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&s[0]));
    s.resize(static_cast<size_t>(n));
    return CString(std::move(s));
}

bool CListCtrl::Create(DWORD style, const RECT& r, CWnd* parent, UINT id) {
    HWND w = ::CreateWindowExW(0, WC_LISTVIEWW, L"", style | WS_CHILD, r.left, r.top, r.right - r.left,
                               r.bottom - r.top, parent->GetSafeHwnd(),
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), CWinApp::ResourceHandle(), nullptr);
    return w && SubclassWindow(w);
}

int CListCtrl::InsertColumn(int col, const wchar_t* heading, int format, int width) {
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH | LVCF_SUBITEM;
    c.fmt = format;
    c.cx = width;
    c.pszText = const_cast<wchar_t*>(heading);
    c.iSubItem = col;
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNW, static_cast<WPARAM>(col), reinterpret_cast<LPARAM>(&c)));
}

int CListCtrl::InsertItem(int item, const wchar_t* text) {
    LVITEMW it{};
    it.mask = LVIF_TEXT;
    it.iItem = item;
    it.pszText = const_cast<wchar_t*>(text);
    return static_cast<int>(SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&it)));
}

bool CListCtrl::SetItemText(int item, int sub, const wchar_t* text) {
    LVITEMW it{};
    it.iSubItem = sub;
    it.pszText = const_cast<wchar_t*>(text);
    return SendMessage(LVM_SETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it)) != 0;
}

CString CListCtrl::GetItemText(int item, int sub) const {
    std::wstring buf(260, L'\0');
    LVITEMW it{};
    it.iSubItem = sub;
    it.pszText = &buf[0];
    it.cchTextMax = static_cast<int>(buf.size());
    LRESULT n = SendMessage(LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it));
    buf.resize(static_cast<size_t>(n > 0 ? n : 0));
    return CString(std::move(buf));
}

bool CListCtrl::SetItemState(int item, UINT state, UINT mask) {
    LVITEMW it{};
    it.state = state;
    it.stateMask = mask;
    return SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it)) != 0;
}

bool CListCtrl::SetCheck(int item, bool on) {
    return SetItemState(item, INDEXTOSTATEIMAGEMASK(on ? 2 : 1), LVIS_STATEIMAGEMASK);
}

bool CListCtrl::GetCheck(int item) const { return ((GetItemState(item, LVIS_STATEIMAGEMASK) >> 12) - 1) == 1; }

bool CToolTipCtrl::Create(CWnd* parent, DWORD style) {
    HWND w =
        ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, parent->GetSafeHwnd(), nullptr, CWinApp::ResourceHandle(), nullptr);
    return w && SubclassWindow(w);
}

bool CToolTipCtrl::AddTool(CWnd* tool, const wchar_t* text, UINT_PTR id) {
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_SUBCLASS;
    ti.hwnd = tool->GetSafeHwnd();
    ti.uId = id;
    ti.rect = tool->GetClientRect();
    ti.lpszText = const_cast<wchar_t*>(text);
    return SendMessage(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)) != 0;
}

void CToolTipCtrl::UpdateTipText(const wchar_t* text, CWnd* tool, UINT_PTR id) {
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.hwnd = tool->GetSafeHwnd();
    ti.uId = id;
    ti.lpszText = const_cast<wchar_t*>(text);
    SendMessage(TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
}

CString CToolTipCtrl::GetText(CWnd* tool, UINT_PTR id) const {
    wchar_t buf[512] = {};
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.hwnd = tool->GetSafeHwnd();
    ti.uId = id;
    ti.lpszText = buf;
    SendMessage(TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&ti));
    return CString(buf);
}
