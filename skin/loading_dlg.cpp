#include "loading_dlg.h"
#include "mem_dc.h"
#include "resource.h"

CLoadingDlg::CLoadingDlg() : CDialog(IDD_LOADING) {}

CLoadingDlg::~CLoadingDlg() { StartAnimation(false); }

bool CLoadingDlg::CreateModeless(CWnd* parent) { return Create(IDD_LOADING, parent); }

BOOL CLoadingDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    for (int i = 0; i < 12; ++i) m_frames[i].LoadBitmap(IDB_BUSY_1 + static_cast<UINT>(i));
    return TRUE;
}

void CLoadingDlg::DeclareMessageMap(MessageMap& map) {
    // The worker draws the pictures; nothing is erased.
    map.On(WM_ERASEBKGND, [](WPARAM, LPARAM) -> LRESULT { return TRUE; });
}

void CLoadingDlg::ShowBusy(HWND owner) {
    RECT r{};
    ::GetWindowRect(owner, &r);
    int w = r.right - r.left, h = r.bottom - r.top;
    ::SetWindowPos(m_hWnd, nullptr, r.left + w / 2 - 50, r.top + h / 2 - 50, 100, 100, SWP_NOZORDER | SWP_NOACTIVATE);
    // Shown before the worker starts, so that its first picture (IDB_BUSY_2) lands on
    // a visible window instead of being lost on a hidden one.
    ::ShowWindow(m_hWnd, SW_SHOWNA);
    StartAnimation(true);
}

void CLoadingDlg::HideBusy() {
    ::ShowWindow(m_hWnd, SW_HIDE);
    StartAnimation(false);
}

void CLoadingDlg::StartAnimation(bool on) {
    // One animation at a time: a running one is stopped and waited out first
    // (it notices the stop within 10 ms).
    m_worker.RequestStop();
    m_worker.Join();
    m_frame = 0;
    if (on) m_worker.Start([this](const std::atomic<bool>& stop) { Animate(stop); });
}

void CLoadingDlg::Animate(const std::atomic<bool>& stop) {
    while (!stop.load()) {
        int next = m_frame.load() + 1;
        m_frame = next > 11 ? 0 : next;
        DrawPicture();
        // Sleep in short steps so that a stop is noticed quickly.
        for (int t = 0; t < 30 && !stop.load(); ++t) ::Sleep(10);
    }
}

void CLoadingDlg::DrawPicture() {
    HWND w = m_hWnd;
    if (!w) return;
    HDC dc = ::GetDC(w);
    if (!dc) return;
    RECT rc{};
    ::GetClientRect(w, &rc);
    {
        QxMemDC mem(dc, &rc, true);
        int f = m_frame.load();
        const CBitmap& pic = m_frames[(f >= 0 && f <= 10) ? f : 11];
        mem.StretchBitmap(pic, 0, 0, rc.right, rc.bottom);
    }
    ::ReleaseDC(w, dc);
}
