#include "window_layout.h"

#include "bitmap_ids.h"
#include "catalogue_view.h"
#include "control_ids.h"
#include "main_controls.h"
#include "sensor_readouts.h"

namespace {

using layout::Box;

// The image of each background piece, in the order of layout::Piece.
const UINT kPieceBitmaps[layout::kPieceCount] = {
    IDB_WINDOW_BACKGROUND, IDB_BORDER_LEFT,        IDB_BORDER_RIGHT,     IDB_TITLE_MIDDLE,       IDB_BOTTOM_BAR,
    IDB_POSITION_BAR,      IDB_CONTROL_BAR,        IDB_TITLE_LEFT,       IDB_TITLE_RIGHT,        IDB_FILTER_PANEL,
    IDB_CONTROL_BAR_LEFT,  IDB_CONTROL_BAR_VOLUME, IDB_CONTROL_BAR_VIEW, IDB_CONTROL_BAR_MIRROR, IDB_CONTROL_BAR_FLIP,
    IDB_GSENSOR_PANEL,     IDB_MAP_BUTTON_PANEL,   IDB_BOTTOM_BAR_LEFT,  IDB_BOTTOM_BAR_RIGHT,   IDB_BOTTOM_BAR_MIDDLE,
    IDB_VIDEO_AREA,        IDB_MAP_PANEL,          IDB_DIGIT_BLANK,
};

// Type filters and their labels.
const UINT kFilters[] = {IDC_FILTER_NORMAL, IDC_FILTER_EVENT, IDC_FILTER_PARK, IDC_FILTER_PHOTO,
                         IDC_LABEL_NORMAL,  IDC_LABEL_EVENT,  IDC_LABEL_PARK,  IDC_LABEL_PHOTO};

// Labels: initial text, colour, bold (bold ones are single-line, vertically centred).
struct LabelSkin {
    CTPStatic MainControls::*label;
    const wchar_t* text;
    COLORREF colour;
    bool bold;
};
const COLORREF kWhite = RGB(255, 255, 255);
const LabelSkin kLabelSkins[] = {
    {&MainControls::m_lblNormal, L"Normal", kWhite, false},
    {&MainControls::m_lblEvent, L"Event", kWhite, false},
    {&MainControls::m_lblPark, L"Park", kWhite, false},
    {&MainControls::m_lblPhoto, L"Photo", kWhite, false},
    {&MainControls::m_lblClock, L"", kWhite, false},
    {&MainControls::m_lblElapsed, L"00:00 /", kWhite, false},
    {&MainControls::m_lblDuration, L"00:00", kWhite, false},
    {&MainControls::m_lblGSensorX, L"X : 0.0000", RGB(250, 0, 250), false},
    {&MainControls::m_lblGSensorY, L"Y : 0.0000", RGB(0, 250, 250), false},
    {&MainControls::m_lblGSensorZ, L"Z : 0.0000", RGB(250, 250, 0), false},
    {&MainControls::m_lblTimeRange, L"0000-00-00 00:00:00 / 0000-00-00 00:00:00", kWhite, true},
    {&MainControls::m_lblGpsTime, L"0000-00-00 00:00:00", kWhite, true},
    {&MainControls::m_lblGpsLongitude, L"000000", kWhite, true},
    {&MainControls::m_lblGpsLatitude, L"000000", kWhite, true},
};

// Button skins: images normal, pressed, hover, disabled, focus, mask.
struct ButtonSkin {
    CSkinButton MainControls::*button;
    UINT normal, pressed, hover, disabled, focus, mask;
};
const ButtonSkin kButtonSkins[] = {
    {&MainControls::m_btnClose, IDB_CLOSE_NORMAL, IDB_CLOSE_PRESSED, IDB_CLOSE_HOVER, IDB_CLOSE_DISABLED, 0, 0},
    {&MainControls::m_btnFullScreen, IDB_FULL_SCREEN_NORMAL, IDB_FULL_SCREEN_PRESSED, IDB_FULL_SCREEN_HOVER,
     IDB_FULL_SCREEN_DISABLED, 0, 0},
    {&MainControls::m_btnMaximize, IDB_MAXIMIZE_NORMAL, IDB_MAXIMIZE_PRESSED, IDB_MAXIMIZE_HOVER, IDB_MAXIMIZE_DISABLED,
     0, 0},
    {&MainControls::m_btnMinimize, IDB_MINIMIZE_NORMAL, IDB_MINIMIZE_PRESSED, IDB_MINIMIZE_HOVER, IDB_MINIMIZE_DISABLED,
     0, 0},
    {&MainControls::m_btnFilterNormal, IDB_CHECK_OFF, IDB_CHECK_ON, 0, IDB_CHECK_DISABLED, IDB_CHECK_OFF,
     IDB_CHECK_OFF},
    {&MainControls::m_btnFilterEvent, IDB_CHECK_OFF, IDB_CHECK_ON, 0, IDB_CHECK_DISABLED, IDB_CHECK_OFF, IDB_CHECK_OFF},
    {&MainControls::m_btnFilterPark, IDB_CHECK_OFF, IDB_CHECK_ON, 0, IDB_CHECK_DISABLED, IDB_CHECK_OFF, IDB_CHECK_OFF},
    {&MainControls::m_btnFilterPhoto, IDB_CHECK_OFF, IDB_CHECK_ON, 0, IDB_CHECK_DISABLED, IDB_CHECK_OFF, IDB_CHECK_OFF},
    {&MainControls::m_btnMapHide, IDB_MAP_HIDE_NORMAL, IDB_MAP_HIDE_PRESSED, IDB_MAP_HIDE_HOVER, IDB_MAP_HIDE_DISABLED,
     IDB_MAP_HIDE_NORMAL, IDB_MAP_HIDE_NORMAL},
    {&MainControls::m_btnMapShow, IDB_MAP_SHOW_NORMAL, IDB_MAP_SHOW_PRESSED, IDB_MAP_SHOW_HOVER, IDB_MAP_SHOW_DISABLED,
     IDB_MAP_SHOW_NORMAL, IDB_MAP_SHOW_NORMAL},
    {&MainControls::m_btnMapExpand, IDB_MAP_EXPAND_NORMAL, IDB_MAP_EXPAND_PRESSED, IDB_MAP_EXPAND_HOVER,
     IDB_MAP_EXPAND_DISABLED, IDB_MAP_EXPAND_NORMAL, IDB_MAP_EXPAND_NORMAL},
    {&MainControls::m_btnFileOpen, IDB_FILE_OPEN_NORMAL, IDB_FILE_OPEN_PRESSED, IDB_FILE_OPEN_HOVER,
     IDB_FILE_OPEN_DISABLED, 0, 0},
    {&MainControls::m_btnSave, IDB_SAVE_NORMAL, IDB_SAVE_PRESSED, IDB_SAVE_HOVER, IDB_SAVE_DISABLED, 0, 0},
    {&MainControls::m_btnPrint, IDB_PRINT_NORMAL, IDB_PRINT_PRESSED, IDB_PRINT_HOVER, IDB_PRINT_DISABLED, 0, 0},
    {&MainControls::m_btnVersion, IDB_VERSION_NORMAL, IDB_VERSION_PRESSED, IDB_VERSION_HOVER, IDB_VERSION_DISABLED, 0,
     0},
    {&MainControls::m_btnPlay, IDB_PLAY_NORMAL, IDB_PLAY_PRESSED, IDB_PLAY_HOVER, IDB_PLAY_DISABLED, 0, 0},
    {&MainControls::m_btnStop, IDB_STOP_NORMAL, IDB_STOP_PRESSED, IDB_STOP_HOVER, IDB_STOP_DISABLED, 0, 0},
    {&MainControls::m_btnPrevious, IDB_PREVIOUS_NORMAL, IDB_PREVIOUS_PRESSED, IDB_PREVIOUS_HOVER, IDB_PREVIOUS_DISABLED,
     0, 0},
    {&MainControls::m_btnNext, IDB_NEXT_NORMAL, IDB_NEXT_PRESSED, IDB_NEXT_HOVER, IDB_NEXT_DISABLED, 0, 0},
    {&MainControls::m_btnChannelView, IDB_TOGGLE_OFF, IDB_TOGGLE_ON, 0, IDB_TOGGLE_OFF, IDB_TOGGLE_OFF, IDB_TOGGLE_OFF},
    {&MainControls::m_btnMirror, IDB_TOGGLE_OFF, IDB_TOGGLE_ON, 0, IDB_TOGGLE_OFF, IDB_TOGGLE_OFF, IDB_TOGGLE_OFF},
    {&MainControls::m_btnFlip, IDB_TOGGLE_OFF, IDB_TOGGLE_ON, 0, IDB_TOGGLE_OFF, IDB_TOGGLE_OFF, IDB_TOGGLE_OFF},
};

// Moves, shows and hides many controls of a window in one batch; a control
// already at its place, or already shown or hidden, is left alone. The
// window's background under them is erased with its next paint, not once per
// control.
class ControlBatch {
public:
    ControlBatch(CWnd& window, int count) : m_window(window), m_dwp(::BeginDeferWindowPos(count)) {}
    ~ControlBatch() {
        if (m_dwp) ::EndDeferWindowPos(m_dwp);
    }
    void Move(UINT id, const Box& b) {
        HWND control = m_window.GetDlgItem(id);
        if (!control) return;
        RECT r{};
        ::GetWindowRect(control, &r);
        ::MapWindowPoints(nullptr, m_window, reinterpret_cast<POINT*>(&r), 2);
        if (r.left != b.x || r.top != b.y || r.right - r.left != b.w || r.bottom - r.top != b.h) Set(control, b, 0);
    }
    void Show(UINT id, bool show) {
        HWND control = m_window.GetDlgItem(id);
        if (control && ((::GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0) != show)
            Set(control, {}, SWP_NOMOVE | SWP_NOSIZE | (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
    }

private:
    void Set(HWND control, const Box& b, UINT extra) {
        const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_DEFERERASE | extra;
        if (m_dwp) m_dwp = ::DeferWindowPos(m_dwp, control, nullptr, b.x, b.y, b.w, b.h, flags);
        if (!m_dwp) ::SetWindowPos(control, nullptr, b.x, b.y, b.w, b.h, flags);
    }

    CWnd& m_window;
    HDWP m_dwp;
};

}  // namespace

void WindowLayout::ApplySkin(int mirrorState, int flipState) {
    MainControls& c = m_controls;
    for (const ButtonSkin& s : kButtonSkins)
        (c.*s.button).SetSkinImages(s.normal, s.pressed, s.hover, s.disabled, s.focus, s.mask, 2, 0, 0);
    // Sliders: channel first (the window takes its size), then the thumb.
    c.m_sldPosition.SetChannelImages(IDB_POSITION_CHANNEL, IDB_POSITION_CHANNEL_ACTIVE, false);
    c.m_sldPosition.SetThumbImages(IDB_POSITION_THUMB, IDB_POSITION_THUMB_ACTIVE, true, RGB(255, 0, 255));
    c.m_sldPosition.SetFocusRectOption(false);
    c.m_sldPosition.SetRange(0, 0);
    c.m_sldPosition.SetPosition(0);
    c.m_sldVolume.SetChannelImages(IDB_VOLUME_CHANNEL, IDB_VOLUME_CHANNEL_ACTIVE, false);
    c.m_sldVolume.SetThumbImages(IDB_VOLUME_THUMB, IDB_VOLUME_THUMB_ACTIVE, true, RGB(255, 0, 255));
    c.m_sldVolume.SetFocusRectOption(false);
    c.m_sldVolume.SetRange(0, 10);
    for (int i = 0; i < 4; ++i) c.FilterButton(i)->SetCheck(1);
    m_map.Reset(MapShown);
    CheckMapButtons();
    c.m_btnChannelView.SetCheck(0);
    c.m_btnMirror.SetCheck(mirrorState == 1);
    c.m_btnFlip.SetCheck(flipState == 1);

    for (const LabelSkin& l : kLabelSkins) {
        CTPStatic& label = c.*l.label;
        label.SetLabelFont(L"Arial", 10);
        label.SetFontWeight(l.bold ? FW_BOLD : FW_NORMAL);
        label.SetLabelTextColor(l.colour);
        if (l.bold) label.AddTextFormat(DT_VCENTER | DT_SINGLELINE);
        label.SetWindowText(l.text);
    }
    for (CSkinButton* b : {&c.m_btnPlay, &c.m_btnStop, &c.m_btnPrevious, &c.m_btnNext, &c.m_btnSave, &c.m_btnPrint,
                           &c.m_btnMirror, &c.m_btnFlip, &c.m_btnChannelView})
        b->EnableWindow(FALSE);
    m_window.Invalidate();
}

void WindowLayout::SetToolTips() {
    MainControls& c = m_controls;
    const std::pair<CSkinButton*, const wchar_t*> tips[] = {
        {&c.m_btnClose, L"close"},
        {&c.m_btnMinimize, L"minimization"},
        {&c.m_btnFullScreen, L"Full Screen"},
        {&c.m_btnMaximize, L"Maximize"},
        {&c.m_btnPlay, L"Play"},
        {&c.m_btnStop, L"Stop"},
        {&c.m_btnNext, L"Next"},
        {&c.m_btnPrevious, L"Previous"},
        {&c.m_btnFileOpen, L"File Open"},
        {&c.m_btnSave, L"Save"},
        {&c.m_btnPrint, L"Print"},
        {&c.m_btnVersion, L"Version"},
        {&c.m_btnMapHide, L"GPS Hide"},
        {&c.m_btnMapShow, L"GPS Show"},
        {&c.m_btnMapExpand, L"GPS Expand"},
    };
    for (const auto& t : tips) t.first->SetTipText(t.second);
}

// ------------------------------------------------------------ background

void WindowLayout::LoadSkin() {
    m_skinComplete = true;
    for (int i = 0; i < layout::kPieceCount; ++i) m_skinComplete &= m_pieces[i].LoadBitmap(kPieceBitmaps[i]);
    m_filterStrip.LoadBitmap(IDB_FILTER_STRIP);
}

void WindowLayout::ComposePieces(HDC target, int w, int h) const {
    CDC source;
    if (!source.CreateCompatibleDC(target)) return;
    const HGDIOBJ old = ::GetCurrentObject(source, OBJ_BITMAP);
    const int oldMode = ::SetStretchBltMode(target, COLORONCOLOR);
    for (const layout::PieceDraw& d : layout::BackgroundDraws(w, h)) {
        // A piece that could not be loaded is left out: what lies beneath shows.
        const CBitmap& image = m_pieces[d.piece];
        if (!image) continue;
        ::SelectObject(source, image);
        const Box size = layout::PieceSize(d.piece);
        if (d.stretch && (d.dest.w != size.w || d.dest.h != size.h))
            ::StretchBlt(target, d.dest.x, d.dest.y, d.dest.w, d.dest.h, source, 0, 0, size.w, size.h, SRCCOPY);
        else ::BitBlt(target, d.dest.x, d.dest.y, size.w, size.h, source, 0, 0, SRCCOPY);
    }
    ::SetStretchBltMode(target, oldMode);
    ::SelectObject(source, old);
}

HDC WindowLayout::Composition(HDC dc, int w, int h) {
    for (int i = 0; i < 2; ++i) {
        SkinBuffer& b = m_compositions[i];
        if (b.buffer.IsValid() && b.size.cx == w && b.size.cy == h) {
            m_lastComposition = i;
            return b.buffer;
        }
    }
    const int slot = m_lastComposition == 0 ? 1 : 0;
    SkinBuffer& b = m_compositions[slot];
    b.size = {0, 0};
    if (!b.buffer.Ensure(dc, w, h)) return nullptr;
    ComposePieces(b.buffer, w, h);
    b.size = {w, h};
    b.number = ++m_compositionsMade;
    m_lastComposition = slot;
    return b.buffer;
}

void WindowLayout::PaintSkinBackground(HDC dc) {
    const RECT rc = m_window.GetClientRect();
    const int w = rc.right, h = rc.bottom;
    // The off-screen buffer over the client area. With every piece loaded,
    // the pieces cover it whole and depend only on the client size: they are
    // composed once per size (the two sizes last used are kept, normal and
    // maximised), and only the speed cells are drawn again on every paint.
    // With a piece missing, every paint composes anew over a copy of dc, which
    // shows where that piece would be.
    HDC frame = nullptr;
    unsigned number = 0;  // the composition's number; 0: composed for this paint only
    if (m_skinComplete) {
        frame = Composition(dc, w, h);
        number = m_compositions[m_lastComposition].number;
    } else if (m_fallback.Ensure(dc, w, h)) {
        frame = m_fallback;
        ::BitBlt(frame, 0, 0, w, h, dc, 0, 0, SRCCOPY);
        ComposePieces(frame, w, h);
    }
    if (!frame) return;
    m_sensors.PaintSpeed(frame, h, m_displayMode == ModeFullScreen);
    // The labels take their backgrounds from a kept composition once (the
    // speed cells lie under none of them), again after they moved.
    for (int i = 0; i < MainControls::kLabelCount; ++i) m_controls.Labels()[i]->CaptureBackground(frame, number);
    // One copy to the screen, of the part that is to be painted.
    RECT clip{0, 0, w, h};
    if (::GetClipBox(dc, &clip) == NULLREGION) return;
    ::BitBlt(dc, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top, frame, clip.left, clip.top,
             SRCCOPY);
}

// ------------------------------------------------------------ display modes

SIZE WindowLayout::ClientSize() const {
    const RECT rc = m_window.GetClientRect();
    return {rc.right, rc.bottom};
}

void WindowLayout::SetMaximizeImages(bool restore) {
    CSkinButton& b = m_controls.m_btnMaximize;
    if (restore)
        b.SetSkinImages(IDB_RESTORE_NORMAL, IDB_RESTORE_PRESSED, IDB_RESTORE_HOVER, IDB_RESTORE_DISABLED, 0, 0, 2, 0,
                        0);
    else
        b.SetSkinImages(IDB_MAXIMIZE_NORMAL, IDB_MAXIMIZE_PRESSED, IDB_MAXIMIZE_HOVER, IDB_MAXIMIZE_DISABLED, 0, 0, 2,
                        0, 0);
    b.Invalidate();
}

// The window's background again. The children are left alone: each control
// shown or moved paints itself.
void WindowLayout::Repaint() {
    ::RedrawWindow(m_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_NOCHILDREN);
}

void WindowLayout::SetDisplayMode(int mode) {
    // The mode is stored first: the resize handler's normal-mode height guard
    // reads it while the window changes size.
    m_displayMode = mode;
    m_draggable = mode == ModeNormal;
    const int sw = ::GetSystemMetrics(SM_CXSCREEN), sh = ::GetSystemMetrics(SM_CYSCREEN);
    // The controls are moved, shown and hidden with the window's drawing off
    // (each visible control's move would otherwise clip, copy and invalidate
    // on its own, and a list's move re-lays it out twice); all of it is
    // painted once below.
    ::SendMessageW(m_window, WM_SETREDRAW, FALSE, 0);
    m_changingMode = true;
    if (mode == ModeFullScreen) {
        HideAllControls();
        m_map.PlaceForMode(mode, sw, sh);
        m_host.CurrentPictureWindow().MoveWindow(0, 0, sw, sh);
        m_window.MoveWindow(0, 0, sw, sh);
    } else if (mode == ModeNormal) {
        m_host.CollapseVideoWindows();
        // 1090 x 720, centred on the screen, in one move.
        const POINT at = m_window.CentredPosition(layout::kNormalWidth, layout::kNormalHeight);
        m_window.MoveWindow(at.x, at.y, layout::kNormalWidth, layout::kNormalHeight);
        const SIZE c = ClientSize();
        m_map.PlaceForMode(mode, c.cx, c.cy);
        if (m_map.State() != MapExpanded) PlaceLists();
        ShowAllControls();
        PlaceNormalControls();
        m_host.LayoutVideoArea();
        SetMaximizeImages(false);
    } else if (mode == ModeMaximised) {
        m_window.MoveWindow(0, 0, sw, sh);
        const SIZE c = ClientSize();
        m_map.PlaceForMode(mode, c.cx, c.cy);
        if (m_map.State() != MapExpanded) PlaceLists();
        m_host.LayoutVideoArea();
        PlaceMaximisedControls();
        SetMaximizeImages(true);
    }
    m_changingMode = false;
    ::SendMessageW(m_window, WM_SETREDRAW, TRUE, 0);
    // The whole window painted at once; then a paused picture is delivered
    // again at its surface's new size.
    ::RedrawWindow(m_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    m_host.RefitVideo();
}

void WindowLayout::RequestFullScreen() {
    if (const int next = layout::ModeAfterFullScreen(m_displayMode)) SetDisplayMode(next);
}

void WindowLayout::RequestMaximize() {
    const int sw = ::GetSystemMetrics(SM_CXSCREEN), sh = ::GetSystemMetrics(SM_CYSCREEN);
    if (const int next = layout::ModeAfterMaximize(m_displayMode, sw, sh)) SetDisplayMode(next);
}

void WindowLayout::RequestLeaveFullScreen() {
    if (const int next = layout::ModeAfterLeaveFullScreen(m_displayMode)) SetDisplayMode(next);
}

// ------------------------------------------------------------ places and visibility

void WindowLayout::PlaceNormalControls() {
    {
        const auto& ids = layout::PlacedControls();
        ControlBatch batch(m_window, static_cast<int>(ids.size()));
        for (int id : ids) batch.Move(static_cast<UINT>(id), layout::NormalPlace(id));
    }
    ShowGpsLabels(m_map.State() == MapExpanded);
}

void WindowLayout::PlaceMaximisedControls() {
    const SIZE c = ClientSize();
    const auto& ids = layout::PlacedControls();
    ControlBatch batch(m_window, static_cast<int>(ids.size()));
    for (int id : ids) batch.Move(static_cast<UINT>(id), layout::MaximisedPlace(id, c.cx, c.cy));
}

void WindowLayout::PlaceLists(int extra) {
    const SIZE c = ClientSize();
    m_catalogue.Place(c.cx, c.cy, extra);
}

void WindowLayout::ShowAllControls() {
    const MapState map = m_map.State();
    const std::vector<int> shown = layout::VisibleControls(map);
    ControlBatch batch(m_window, static_cast<int>(shown.size()) + 8);
    if (map == MapExpanded)
        for (UINT id : kFilters) batch.Show(id, false);
    else
        for (int id : layout::GpsLabels()) batch.Show(static_cast<UINT>(id), false);
    for (int id : shown) batch.Show(static_cast<UINT>(id), true);
}

void WindowLayout::HideAllControls() {
    m_catalogue.HideAll();
    const std::vector<int> shown = layout::VisibleControls(MapShown);
    ControlBatch batch(m_window, static_cast<int>(shown.size()) + 4);
    for (int id : shown) batch.Show(static_cast<UINT>(id), false);
    for (int id : layout::GpsLabels()) batch.Show(static_cast<UINT>(id), false);
}

void WindowLayout::ShowFilters(bool show) {
    ControlBatch batch(m_window, 9);
    for (UINT id : kFilters) batch.Show(id, show);
    if (show) batch.Show(IDC_FILE_OPEN, true);
}

void WindowLayout::ShowGpsLabels(bool show) {
    ControlBatch batch(m_window, 4);
    for (int id : layout::GpsLabels()) batch.Show(static_cast<UINT>(id), show);
}

// ------------------------------------------------------------ map states

void WindowLayout::CheckMapButtons() {
    const MapState map = m_map.State();
    for (auto [button, state] :
         {std::pair{&m_controls.m_btnMapHide, MapHidden}, std::pair{&m_controls.m_btnMapShow, MapShown},
          std::pair{&m_controls.m_btnMapExpand, MapExpanded}}) {
        button->SetCheck(map == state);
        button->Invalidate();
    }
}

void WindowLayout::HideMap() {
    const bool wasExpanded = m_map.State() == MapExpanded;
    if (!m_map.Hide()) return;
    CheckMapButtons();
    if (wasExpanded) {
        ShowFilters(true);
        Repaint();
    }
    PlaceLists(layout::kListsExtraMapHidden);
    ShowGpsLabels(false);
}

void WindowLayout::ShowMap() {
    const bool wasExpanded = m_map.State() == MapExpanded;
    const SIZE c = ClientSize();
    if (!m_map.Show(c.cx, c.cy, m_host.RecordingOpen())) return;
    CheckMapButtons();
    if (wasExpanded) {
        ShowFilters(true);
        Repaint();
    }
    PlaceLists(0);
    ShowGpsLabels(false);
}

void WindowLayout::ExpandMap(bool gpsValid, bool gsensorPresent) {
    const SIZE c = ClientSize();
    if (!m_map.Expand(c.cx, c.cy, m_host.RecordingOpen(), gpsValid, gsensorPresent)) return;
    CheckMapButtons();
    m_catalogue.Collapse();
    ShowFilters(false);
    ShowGpsLabels(true);
    Repaint();
}

void WindowLayout::LayoutMapPanel(bool recordingOpen) {
    if (m_displayMode == ModeFullScreen) return;
    const SIZE c = ClientSize();
    m_map.AfterVideoLayout(c.cx, c.cy, recordingOpen);
}
