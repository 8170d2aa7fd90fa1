// Main window: the media graph of the two video channels.
#include "tessaro_dlg.h"

// The player renders channel 1 into surface 1148 and channel 2 into 1149.
void CTessaroDlg::InitMediaGraph() {
    m_playback.Player().Init(2, m_controls.m_channel1.GetSafeHwnd(), m_controls.m_channel2.GetSafeHwnd(), nullptr,
                             nullptr);
}

// Start-up check of the outside playback components; start-up goes on
// whatever is missing.
void CTessaroDlg::CheckMediaComponents() {
    switch (m_playback.Player().CheckFilters()) {
        case -1: AskUser(L"Filter error2", L"Can not find source filter.", false); break;
        case -2: AskUser(L"Filter error", L"Can not find video filter (ffdshow).", false); break;
        default: break;  // a missing audio decoder or brightness filter is not reported
    }
}

// Video part of WM_PAINT: the running picture of channel 1 first, then every
// channel at its window's current size.
void CTessaroDlg::RepaintVideo() {
    playback::VideoPlayer& player = m_playback.Player();
    if (player.GetState() == playback::kRunning) {
        CClientDC dc(m_hWnd);
        if (dc.GetSafeHdc()) player.RepaintFirst(dc);
    }
    player.RepaintAll();
}

// After a resize: a paused or stopped picture is delivered again at the new size.
void CTessaroDlg::RefitVideo() { m_playback.Player().Reseek(); }
