// Busy indicator: a borderless 100 x 100 window cycling through twelve
// pictures, drawn by a worker thread every 300 ms while shown.
#pragma once
#include <atomic>
#include "fw_dialog.h"
#include "fw_gdi.h"
#include "worker.h"
#include "bitmap_ids.h"

class CLoadingDlg : public CDialog {
public:
    CLoadingDlg();
    ~CLoadingDlg() override;
    bool CreateModeless(CWnd* parent);
    // Centres the dialog on owner's window rectangle, starts the animation, shows it.
    void ShowBusy(HWND owner);
    void HideBusy();
    void StartAnimation(bool on);

    int FrameIndex() const { return m_frame.load(); }
    bool IsAnimating() const { return m_worker.IsRunning() && !m_worker.StopRequested(); }
    // Resource number of the picture drawn for a frame index.
    static UINT PictureFor(int frameIndex) {
        return frameIndex >= 0 && frameIndex <= 10 ? IDB_BUSY_1 + static_cast<UINT>(frameIndex) : IDB_BUSY_12;
    }

protected:
    BOOL OnInitDialog() override;
    void DeclareMessageMap(MessageMap& map) override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    void Animate(const std::atomic<bool>& stop);
    void DrawPicture();

    CBitmap m_frames[12];
    std::atomic<int> m_frame{0};
    CWorkerThread m_worker;
};
