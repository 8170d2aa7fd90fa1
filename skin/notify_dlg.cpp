#include "notify_dlg.h"
#include "mem_dc.h"
#include "resource.h"
#include "bitmap_ids.h"
#include "control_ids.h"

NotifyDlg::NotifyDlg(CWnd* parent) : CDialog(IDD_NOTIFY, parent) {}

NotifyDlg::~NotifyDlg() = default;

void NotifyDlg::BindControls() {
    Bind(IDC_NOTIFY_YES, m_yes);
    Bind(IDC_NOTIFY_NO, m_no);
    Bind(IDC_NOTIFY_TITLE, m_titleLabel);
    Bind(IDC_NOTIFY_MESSAGE, m_messageLabel);
}

void NotifyDlg::DeclareMessageMap(MessageMap& map) {
    map.OnCommand(IDC_NOTIFY_YES, BN_CLICKED, [this] { EndDialog(1); });
    map.OnCommand(IDC_NOTIFY_NO, BN_CLICKED, [this] { EndDialog(2); });
    map.On(WM_ERASEBKGND, [this](WPARAM wp, LPARAM) { return OnEraseBackground(reinterpret_cast<HDC>(wp)); });
    // The close message (from the window manager) must not end the dialog either.
    map.On(WM_CLOSE, [](WPARAM, LPARAM) -> LRESULT { return 0; });
}

BOOL NotifyDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 400, 200, SWP_NOMOVE | SWP_NOZORDER);
    CenterWindow(m_parent ? m_parent->GetSafeHwnd() : nullptr);
    m_yes.SetSkinImages(IDB_OK_NORMAL, IDB_OK_PRESSED, IDB_OK_PRESSED, 0, 0, 0, 2, 0, 0);
    m_no.SetSkinImages(IDB_NO_NORMAL, IDB_NO_PRESSED, IDB_NO_PRESSED, 0, 0, 0, 2, 0, 0);
    if (m_twoButtons) {
        m_yes.MoveWindow(40, 156, 150, 32);
        m_no.MoveWindow(210, 156, 150, 32);
    } else {
        m_yes.MoveWindow(125, 156, 150, 32);
        m_no.ShowWindow(SW_HIDE);
    }
    m_titleLabel.SetWindowText(m_title);
    m_titleLabel.SetLabelTextColor(RGB(255, 255, 255));
    m_titleLabel.SetLabelFont(L"Arial", 10);
    m_titleLabel.SetFontWeight(700);
    m_titleLabel.AddTextFormat(DT_VCENTER | DT_SINGLELINE);
    m_titleLabel.MoveWindow(10, 10, 390, 25);
    m_messageLabel.SetWindowText(m_message);
    m_messageLabel.SetLabelTextColor(RGB(0, 0, 0));
    m_messageLabel.SetLabelFont(L"Arial", 10);
    m_messageLabel.AddTextFormat(DT_VCENTER);
    m_messageLabel.MoveWindow(30, 60, 350, 60);
    return TRUE;
}

LRESULT NotifyDlg::OnEraseBackground(HDC dc) {
    RECT rc = GetClientRect();
    if (!(m_compose & 1) && m_back.GetSafeHdc()) {
        ::BitBlt(dc, 0, 0, rc.right, rc.bottom, m_back, 0, 0, SRCCOPY);
        return TRUE;
    }
    {
        QxMemDC mem(dc, &rc, true);
        CBitmap picture;
        if (picture.LoadBitmap(IDB_DIALOG_BACKGROUND)) mem.StretchBitmap(picture, 0, 0, rc.right, rc.bottom);
        m_back.Release();
        if (m_back.Ensure(dc, rc.right, rc.bottom)) {
            ::BitBlt(m_back, 0, 0, rc.right, rc.bottom, mem, 0, 0, SRCCOPY);
            m_titleLabel.CaptureBackground(m_back);
            m_messageLabel.CaptureBackground(m_back);
        }
    }
    ::BitBlt(dc, 0, 0, rc.right, rc.bottom, m_back, 0, 0, SRCCOPY);
    m_compose ^= 1;
    return TRUE;
}

bool NotifyDlg::IsSwallowedKey(const MSG& msg) {
    if (msg.message == WM_SYSKEYDOWN && msg.wParam == VK_F4) return true;
    if (msg.message == WM_KEYDOWN || msg.message == WM_KEYUP || msg.message == WM_CHAR) {
        switch (msg.wParam) {
            case VK_ESCAPE:
            case VK_RETURN:
            case VK_SPACE:
            case VK_CANCEL: return true;
        }
    }
    return false;
}

BOOL NotifyDlg::PreTranslateMessage(MSG* msg) {
    if (IsSwallowedKey(*msg)) return TRUE;
    return CDialog::PreTranslateMessage(msg);
}
