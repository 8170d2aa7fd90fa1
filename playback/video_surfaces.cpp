#include "video_surfaces.h"

#include <string>

#include "resource.h"

// ------------------------------------------------------------ DlgDisplay

DlgDisplay::DlgDisplay() : CDialog(IDD_DISPLAY) {}

bool DlgDisplay::Create(CWnd* parent) {
    if (!CDialog::Create(IDD_DISPLAY, parent)) return false;
    ShowWindow(SW_HIDE);
    return true;
}

void DlgDisplay::DeclareMessageMap(MessageMap& map) {
    map.On(WM_PAINT, [this](WPARAM, LPARAM) -> LRESULT {
        OnPaint();
        return 0;
    });
}

void DlgDisplay::OnPaint() {
    CPaintDC paint(m_hWnd);
    RECT rc = GetClientRect();
    if (m_nMode != kShowPicture || !m_pPicture || m_pPicture->IsNull()) return;
    CClientDC dc(m_hWnd);
    ::SetStretchBltMode(dc, COLORONCOLOR);
    m_pPicture->Draw(dc, 0, 0, rc.right, rc.bottom);
}

// ------------------------------------------------------------ CVideoSurface

void CVideoSurface::DeclareMessageMap(MessageMap& map) {
    map.On(WM_ERASEBKGND, [](WPARAM, LPARAM) -> LRESULT { return TRUE; });
    map.On(WM_PAINT, [this](WPARAM, LPARAM) -> LRESULT {
        CSelfPaintDC dc(m_hWnd, true);
        if (!dc.GetSafeHdc()) return 0;
        if (!m_painter || !m_painter(m_hWnd, dc)) {
            RECT rc = GetClientRect();
            ::FillRect(dc, &rc, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
        }
        return 0;
    });
}

// ------------------------------------------------------------ VideoSurfaces

bool VideoSurfaces::Create() {
    // A renderer that cannot draw its picture again leaves what it drew last.
    auto painter = [this](HWND w, HDC dc) { return m_player.RepaintWindow(w, dc) != playback::VideoPlayer::kNoRenderer; };
    m_controls.channel1.SetPainter(painter);
    m_controls.channel2.SetPainter(painter);
    return m_display[0].Create(&m_window) && m_display[1].Create(&m_window);
}

void VideoSurfaces::Layout(int w, int h, bool fullScreen, bool isPhoto, bool recordingOpen) {
    ApplyMirrorFlip();
    if (fullScreen) return;
    const int x = 10, y = 24, vw = w - 330, vh = h - 290;
    if (m_nViewLayout == 1 && isPhoto) {
        m_display[0].MoveWindow(x, y, vw, vh);
        m_display[0].ShowWindow(SW_SHOW);
        m_display[0].Invalidate();
        m_controls.channel1.ShowWindow(SW_HIDE);
        m_controls.channel2.ShowWindow(SW_HIDE);
        return;
    }
    CStatic& shown = m_nViewLayout == 2 ? m_controls.channel2 : m_controls.channel1;
    CStatic& other = m_nViewLayout == 2 ? m_controls.channel1 : m_controls.channel2;
    shown.MoveWindow(x, y, vw, vh);
    other.MoveWindow(x, y, vw, vh);
    shown.ShowWindow(recordingOpen ? SW_SHOW : SW_HIDE);
    // A surface just shown gets its black fill now, not after the renderer
    // has put the first picture on it.
    if (recordingOpen) shown.UpdateWindow();
    other.ShowWindow(SW_HIDE);
    m_display[0].ShowWindow(SW_HIDE);
    m_display[1].ShowWindow(SW_HIDE);
}

void VideoSurfaces::ShowForOpen(int w, int h, bool fullScreen) {
    if (fullScreen || m_nViewLayout != 1) return;
    m_display[0].ShowWindow(SW_HIDE);
    m_controls.channel1.MoveWindow(10, 24, w - 330, h - 290);
    m_controls.channel1.ShowWindow(SW_SHOW);
    m_controls.channel1.UpdateWindow();
}

void VideoSurfaces::SetViewLayout(int layout) {
    m_nViewLayout = layout;
    // The toggle's view mode always names the channel shown: a layout forced
    // back to channel 1 (a one-channel recording, a photo) leaves no stale
    // mode 2 behind, under which the next toggle click would do nothing and
    // Mirror and Flip would act on a channel that is not shown.
    m_nViewMode = layout;
    m_bChannel2View = layout == 2;
    m_controls.viewToggle.SetCheck(m_bChannel2View ? 1 : 0);
    m_controls.viewToggle.Invalidate();
}

void VideoSurfaces::ToggleMirror() {
    m_Mirror_state = mirror::NextState(m_Mirror_state);
    m_controls.mirror.SetCheck(m_Mirror_state == 1 ? 1 : 0);
    ApplyMirrorFlip();
}

void VideoSurfaces::ToggleFlip() {
    m_Flip_state = mirror::NextState(m_Flip_state);
    m_controls.flip.SetCheck(m_Flip_state == 1 ? 1 : 0);
    ApplyMirrorFlip();
}

void VideoSurfaces::ClearMirrorFlip() {
    m_Mirror_state = m_Flip_state = 0;
    ApplyMirrorFlip();
    m_controls.mirror.SetCheck(0);
    m_controls.flip.SetCheck(0);
}

void VideoSurfaces::ApplyMirrorFlip() {
    if (!m_player.Graph()) return;
    m_player.SetMirror(1, mirror::IsOn(m_Mirror_state));
    m_player.SetFlip(1, mirror::IsOn(m_Flip_state));
}

namespace {
const wchar_t kSection[] = L"Mirror";
const wchar_t kMirrorKey[] = L"m_Mirror_state";
const wchar_t kFlipKey[] = L"m_Flip_state";

int ReadState(const CString& file, const wchar_t* key) {
    wchar_t text[260] = {};
    ::GetPrivateProfileStringW(kSection, key, L"", text, 260, file);
    std::string narrow;
    for (const wchar_t* p = text; *p; ++p) narrow += *p < 128 ? static_cast<char>(*p) : '?';
    return mirror::StateFromText(narrow.c_str());
}
}  // namespace

void VideoSurfaces::LoadMirrorState(const CString& programFolder) {
    const CString file = programFolder + L"\\mirror.ini";
    if (::GetFileAttributesW(file) == INVALID_FILE_ATTRIBUTES) {
        m_Mirror_state = m_Flip_state = 0;
        return;
    }
    m_Mirror_state = ReadState(file, kMirrorKey);
    m_Flip_state = ReadState(file, kFlipKey);
}

void VideoSurfaces::SaveMirrorState(const CString& programFolder) const {
    const CString file = programFolder + L"\\mirror.ini";
    ::WritePrivateProfileStringW(kSection, kMirrorKey, CString::Formatted(L"%d", m_Mirror_state), file);
    ::WritePrivateProfileStringW(kSection, kFlipKey, CString::Formatted(L"%d", m_Flip_state), file);
}

void VideoSurfaces::ShowPhotoOnFirstSurface(bool on) {
    m_display[0].SetPicture(on ? &m_photo : nullptr);
    m_display[0].SetMode(on ? DlgDisplay::kShowPicture : 0);
}

void VideoSurfaces::HideAll() {
    m_controls.channel1.ShowWindow(SW_HIDE);
    m_controls.channel2.ShowWindow(SW_HIDE);
    m_display[0].ShowWindow(SW_HIDE);
    m_display[1].ShowWindow(SW_HIDE);
}

void VideoSurfaces::CollapseAll() {
    m_controls.channel1.MoveWindow(0, 0, 0, 0);
    m_controls.channel2.MoveWindow(0, 0, 0, 0);
    m_display[0].MoveWindow(0, 0, 0, 0);
    m_display[1].MoveWindow(0, 0, 0, 0);
}

CWnd& VideoSurfaces::CurrentPictureWindow(bool isPhoto) {
    if (m_nViewLayout == 2) return m_controls.channel2;
    return isPhoto ? static_cast<CWnd&>(m_display[0]) : m_controls.channel1;
}
