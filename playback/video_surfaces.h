// The video area of the main window: the two channel surfaces the mixing
// renderers draw into, the two photo surfaces (DlgDisplay) that show a still
// picture, which of them is visible, the channel view, and the mirror and
// flip of the second channel kept in mirror.ini.
#pragma once
#include <functional>

#include "fw_controls.h"
#include "fw_dialog.h"
#include "image.h"
#include "mirror_state.h"
#include "skin_button.h"
#include "video_player.h"

// A child dialog (empty template) that draws its picture stretched over its
// client area; mode 3 shows the picture, anything else draws nothing.
class DlgDisplay : public CDialog {
public:
    DlgDisplay();
    bool Create(CWnd* parent);
    // A picture owned elsewhere (none: nullptr), and the display mode.
    void SetPicture(CImage* picture) { m_pPicture = picture; }
    void SetMode(int mode) { m_nMode = mode; }
    CImage* Picture() const { return m_pPicture; }
    int Mode() const { return m_nMode; }
    static constexpr int kShowPicture = 3;

protected:
    void DeclareMessageMap(MessageMap& map) override;

private:
    void OnPaint();
    int m_nReserved1 = 0, m_nReserved2 = 0;
    CImage* m_pPicture = nullptr;
    int m_nMode = 0;
};

// A channel surface (a black static of the main window's template) that the
// mixing renderer draws into. On its own paint it has the renderer put its
// current picture back, so that a paused or stopped picture stays when the
// window is uncovered or repainted whole (the static control would paint it
// over); black when no renderer draws there.
class CVideoSurface : public CStatic {
public:
    // painter(window, dc): false when no renderer draws into the window.
    void SetPainter(std::function<bool(HWND, HDC)> painter) { m_painter = std::move(painter); }

protected:
    void DeclareMessageMap(MessageMap& map) override;

private:
    std::function<bool(HWND, HDC)> m_painter;
};

struct VideoSurfaceControls {
    CVideoSurface& channel1;
    CVideoSurface& channel2;
    CSkinButton& viewToggle;
    CSkinButton& mirror;
    CSkinButton& flip;
};

class VideoSurfaces {
public:
    VideoSurfaces(CWnd& window, VideoSurfaceControls controls, playback::VideoPlayer& player)
        : m_window(window), m_controls(controls), m_player(player) {}

    // Both photo surfaces, created hidden.
    bool Create();
    // Places and shows the surfaces for the view layout, the open recording
    // (photo or video) and whether one is open; mirror and flip are applied
    // first. Nothing is moved in full screen.
    void Layout(int clientW, int clientH, bool fullScreen, bool isPhoto, bool recordingOpen);
    // View layout 1 or 2: the layout, the view mode, the channel-2 flag and the toggle's check.
    void SetViewLayout(int layout);
    int ViewLayout() const { return m_nViewLayout; }
    int ViewMode() const { return m_nViewMode; }
    void SetViewModeValue(int mode) { m_nViewMode = mode; }
    bool ChannelTwoViewed() const { return m_bChannel2View; }

    // Mirror and flip of channel 2.
    int MirrorState() const { return m_Mirror_state; }
    int FlipState() const { return m_Flip_state; }
    void ToggleMirror();
    void ToggleFlip();
    void ClearMirrorFlip();
    void ApplyMirrorFlip();
    // mirror.ini in the program folder (which ends with a backslash).
    void LoadMirrorState(const CString& programFolder);
    void SaveMirrorState(const CString& programFolder) const;

    // The photo: the image shown by the first photo surface.
    CImage& Photo() { return m_photo; }
    void ShowPhotoOnFirstSurface(bool on);
    // Every surface hidden; every surface collapsed to nothing.
    void HideAll();
    // Channel 1's surface shown black at its place before a video is opened
    // in view layout 1, so that the picture the open cues appears at once
    // (a one-channel recording ends in that layout too). Nothing in full
    // screen or in layout 2: which channels the recording has is not known yet.
    void ShowForOpen(int clientW, int clientH, bool fullScreen);
    void CollapseAll();
    // The window that shows the current picture (for full screen).
    CWnd& CurrentPictureWindow(bool isPhoto);
    DlgDisplay& FirstDisplay() { return m_display[0]; }

private:
    CWnd& m_window;
    VideoSurfaceControls m_controls;
    playback::VideoPlayer& m_player;
    DlgDisplay m_display[2];
    CImage m_photo;
    int m_nViewMode = 1;
    int m_nViewLayout = 1;
    bool m_bChannel2View = false;
    int m_Mirror_state = 0, m_Flip_state = 0;
};
