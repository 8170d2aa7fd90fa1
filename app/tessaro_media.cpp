// Main window: the media graph of the two video channels.
#include "tessaro_dlg.h"

// The player renders channel 1 into host 1148 and channel 2 into host 1149.
void CTessaroDlg::InitMediaGraph() {
    m_player.Init(2, m_videoHost1.GetSafeHwnd(), m_videoHost2.GetSafeHwnd(), nullptr, nullptr);
}

// Start-up check of the outside playback components; start-up goes on
// whatever is missing.
void CTessaroDlg::CheckMediaComponents() {
    switch (m_player.CheckFilters()) {
        case -1: AskUser(L"Filter error2", L"Can not find source filter.", false); break;
        case -2: AskUser(L"Filter error", L"Can not find video filter (ffdshow).", false); break;
        default: break;  // a missing audio decoder or brightness filter is not reported
    }
}

// Video part of WM_PAINT: the running picture of channel 1 first, then every
// channel at its window's current size.
void CTessaroDlg::RepaintVideo() {
    if (m_player.GetState() == playback::kRunning) {
        if (HDC dc = ::GetDC(m_hWnd)) {
            m_player.RepaintFirst(dc);
            ::ReleaseDC(m_hWnd, dc);
        }
    }
    m_player.RepaintAll();
}

// After a resize: a paused or stopped picture is delivered again at the new size.
void CTessaroDlg::RefitVideo() { m_player.Reseek(); }
