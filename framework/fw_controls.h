// The platform controls the windows use, as thin objects over their handles.
#pragma once
#include "fw_wnd.h"

class CButton : public CWnd {
public:
    void SetCheck(int state) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(state)); }
    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
};

class CStatic : public CWnd {};

class CComboBox : public CWnd {
public:
    int AddString(const wchar_t* s) {
        return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s)));
    }
    int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
    int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    void SetCurSel(int i) { SendMessage(CB_SETCURSEL, static_cast<WPARAM>(i)); }
    void ResetContent() { SendMessage(CB_RESETCONTENT); }
    CString GetLBText(int i) const;
};

class CProgressCtrl : public CWnd {
public:
    void SetRange(int lo, int hi) { SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(lo), hi); }
    void SetPos(int pos) { SendMessage(PBM_SETPOS, static_cast<WPARAM>(pos)); }
    int GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS)); }
};

class CHeaderCtrl : public CWnd {
public:
    int GetItemCount() const { return static_cast<int>(SendMessage(HDM_GETITEMCOUNT)); }
};

class CListCtrl : public CWnd {
public:
    // Creates the list view as a child window.
    bool Create(DWORD style, const RECT& r, CWnd* parent, UINT id);
    DWORD SetExtendedStyle(DWORD ex) { return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, ex)); }
    DWORD GetExtendedStyle() const { return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE)); }
    int InsertColumn(int col, const wchar_t* heading, int format, int width);
    int InsertItem(int item, const wchar_t* text);
    bool SetItemText(int item, int sub, const wchar_t* text);
    CString GetItemText(int item, int sub) const;
    int GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
    bool DeleteAllItems() { return SendMessage(LVM_DELETEALLITEMS) != 0; }
    bool SetCheck(int item, bool on);
    bool GetCheck(int item) const;
    bool SetItemState(int item, UINT state, UINT mask);
    UINT GetItemState(int item, UINT mask) const {
        return static_cast<UINT>(SendMessage(LVM_GETITEMSTATE, static_cast<WPARAM>(item), mask));
    }
    int GetNextItem(int start, int flags) const {
        return static_cast<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(start), flags));
    }
    bool EnsureVisible(int item) { return SendMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(item), FALSE) != 0; }
    void SetBkColor(COLORREF c) { SendMessage(LVM_SETBKCOLOR, 0, static_cast<LPARAM>(c)); }
    void SetTextBkColor(COLORREF c) { SendMessage(LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(c)); }
    void SetTextColor(COLORREF c) { SendMessage(LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(c)); }
    HWND GetHeaderCtrl() const { return reinterpret_cast<HWND>(SendMessage(LVM_GETHEADER)); }
    void SetRedraw(bool on) { SendMessage(WM_SETREDRAW, on ? TRUE : FALSE); }
};

class CToolTipCtrl : public CWnd {
public:
    // Creates the tool-tip window owned by parent.
    bool Create(CWnd* parent, DWORD style = 0);
    bool AddTool(CWnd* tool, const wchar_t* text, UINT_PTR id = 0);
    void UpdateTipText(const wchar_t* text, CWnd* tool, UINT_PTR id = 0);
    void Activate(bool on) { SendMessage(TTM_ACTIVATE, on ? TRUE : FALSE); }
    void RelayEvent(MSG* msg) { SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg)); }
    CString GetText(CWnd* tool, UINT_PTR id = 0) const;
};
