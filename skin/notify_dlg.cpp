#include "notify_dlg.h"
#include "mem_dc.h"
#include "resource.h"

NotifyDlg::NotifyDlg(CWnd* parent) : CDialog(IDD_NOTIFY, parent) {}

NotifyDlg::~NotifyDlg() {
    if (m_backOld) ::SelectObject(m_back, m_backOld);
}

void NotifyDlg::BindControls() {
    Bind(1135, m_yes);
    Bind(1136, m_no);
    Bind(1137, m_titleLabel);
    Bind(1138, m_messageLabel);
}

void NotifyDlg::DeclareMessageMap(MessageMap& map) {
    map.OnCommand(1135, BN_CLICKED, [this] { EndDialog(1); });
    map.OnCommand(1136, BN_CLICKED, [this] { EndDialog(2); });
    map.On(WM_ERASEBKGND, [this](WPARAM wp, LPARAM) { return OnEraseBackground(reinterpret_cast<HDC>(wp)); });
    // The close message (from the window manager) must not end the dialog either.
    map.On(WM_CLOSE, [](WPARAM, LPARAM) -> LRESULT { return 0; });
}

BOOL NotifyDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 400, 200, SWP_NOMOVE | SWP_NOZORDER);
    CenterWindow(m_parent ? m_parent->GetSafeHwnd() : nullptr);
    m_yes.SetSkinImages(380, 381, 381, 0, 0, 0, 2, 0, 0);
    m_no.SetSkinImages(376, 377, 377, 0, 0, 0, 2, 0, 0);
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
        if (picture.LoadBitmap(374)) mem.StretchBitmap(picture, 0, 0, rc.right, rc.bottom);
        if (m_backOld) ::SelectObject(m_back, m_backOld);
        m_backOld = nullptr;
        m_backBitmap.DeleteObject();
        if (m_back.CreateCompatibleDC(dc)) {
            m_backBitmap.CreateCompatibleBitmap(dc, rc.right, rc.bottom);
            m_backOld = ::SelectObject(m_back, m_backBitmap);
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
