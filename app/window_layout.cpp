#include "window_layout.h"

#include "bitmap_ids.h"
#include "catalogue_view.h"
#include "control_ids.h"
#include "main_controls.h"
#include "mem_dc.h"
#include "sensor_readouts.h"

namespace {

// Control places in normal mode (x, y, width, height).
struct Place {
    UINT id;
    int x, y, w, h;
};
const Place kNormalPlaces[] = {
    {IDC_CLOSE, 1067, 2, 17, 17},           {IDC_FULL_SCREEN, 995, 2, 17, 17},
    {IDC_MINIMIZE, 1019, 2, 17, 17},        {IDC_MAXIMIZE, 1043, 2, 17, 17},
    {IDC_FILTER_NORMAL, 784, 41, 16, 16},   {IDC_LABEL_NORMAL, 803, 41, 44, 30},
    {IDC_FILTER_EVENT, 854, 41, 16, 16},    {IDC_LABEL_EVENT, 873, 41, 44, 30},
    {IDC_FILTER_PARK, 924, 41, 16, 16},     {IDC_LABEL_PARK, 943, 41, 44, 30},
    {IDC_FILTER_PHOTO, 994, 41, 16, 16},    {IDC_LABEL_PHOTO, 1013, 41, 44, 30},
    {IDC_TIME_RANGE, 790, 38, 270, 27},     {IDC_GPS_TIME, 790, 68, 240, 27},
    {IDC_GPS_LATITUDE, 790, 98, 240, 27},   {IDC_GPS_LONGITUDE, 790, 128, 240, 27},
    {IDC_POSITION_SLIDER, 28, 459, 571, 9}, {IDC_ELAPSED, 690, 459, 45, 15},
    {IDC_DURATION, 735, 459, 35, 15},       {IDC_VOLUME_SLIDER, 322, 500, 100, 14},
    {IDC_CHANNEL_VIEW, 493, 503, 51, 15},   {IDC_MIRROR, 593, 503, 51, 15},
    {IDC_FLIP, 693, 503, 51, 15},           {IDC_GSENSOR_GRAPH, 140, 528, 630, 108},
    {IDC_GSENSOR_X, 37, 573, 90, 18},       {IDC_GSENSOR_Y, 37, 592, 90, 18},
    {IDC_GSENSOR_Z, 37, 610, 90, 18},       {IDC_MAP_HIDE, 987, 598, 19, 18},
    {IDC_MAP_SHOW, 1017, 598, 19, 18},      {IDC_MAP_EXPAND, 1047, 598, 19, 18},
    {IDC_CLOCK, 785, 600, 190, 15},         {IDC_PREVIOUS, 450, 660, 42, 38},
    {IDC_PLAY, 492, 650, 63, 59},           {IDC_STOP, 555, 650, 63, 59},
    {IDC_NEXT, 618, 660, 42, 38},           {IDC_FILE_OPEN, 826, 652, 50, 50},
    {IDC_PRINT, 893, 652, 50, 50},          {IDC_SAVE, 960, 652, 50, 50},
    {IDC_VERSION, 1027, 652, 50, 50},
};

// The four GPS labels, shown only while the map is expanded.
const UINT kGpsLabels[] = {IDC_TIME_RANGE, IDC_GPS_TIME, IDC_GPS_LONGITUDE, IDC_GPS_LATITUDE};
// Type filters and their labels.
const UINT kFilters[] = {IDC_FILTER_NORMAL, IDC_FILTER_EVENT, IDC_FILTER_PARK, IDC_FILTER_PHOTO,
                         IDC_LABEL_NORMAL,  IDC_LABEL_EVENT,  IDC_LABEL_PARK,  IDC_LABEL_PHOTO};
// Shown by ShowAllControls whatever the map state.
const UINT kAlwaysShown[] = {IDC_MAP_HIDE,  IDC_MAP_SHOW,      IDC_MAP_EXPAND,      IDC_SAVE,       IDC_PRINT,
                             IDC_VERSION,   IDC_PLAY,          IDC_STOP,            IDC_NEXT,       IDC_PREVIOUS,
                             IDC_CHANNEL_VIEW, IDC_MIRROR,     IDC_FLIP,            IDC_POSITION_SLIDER,
                             IDC_VOLUME_SLIDER, IDC_GSENSOR_GRAPH, IDC_GSENSOR_X,   IDC_GSENSOR_Y,  IDC_GSENSOR_Z,
                             IDC_CLOCK,     IDC_ELAPSED,       IDC_DURATION};
const UINT kWindowButtons[] = {IDC_CLOSE, IDC_MINIMIZE, IDC_FULL_SCREEN, IDC_MAXIMIZE};

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
    {&MainControls::m_btnMaximize, IDB_MAXIMIZE_NORMAL, IDB_MAXIMIZE_PRESSED, IDB_MAXIMIZE_HOVER,
     IDB_MAXIMIZE_DISABLED, 0, 0},
    {&MainControls::m_btnMinimize, IDB_MINIMIZE_NORMAL, IDB_MINIMIZE_PRESSED, IDB_MINIMIZE_HOVER,
     IDB_MINIMIZE_DISABLED, 0, 0},
    {&MainControls::m_btnFilterNormal, IDB_CHECK_OFF, IDB_CHECK_ON, 0, IDB_CHECK_DISABLED, IDB_CHECK_OFF, IDB_CHECK_OFF},
    {&MainControls::m_btnFilterEvent, IDB_CHECK_OFF, IDB_CHECK_ON, 0, IDB_CHECK_DISABLED, IDB_CHECK_OFF, IDB_CHECK_OFF},
    {&MainControls::m_btnFilterPark, IDB_CHECK_OFF, IDB_CHECK_ON, 0, IDB_CHECK_DISABLED, IDB_CHECK_OFF, IDB_CHECK_OFF},
    {&MainControls::m_btnFilterPhoto, IDB_CHECK_OFF, IDB_CHECK_ON, 0, IDB_CHECK_DISABLED, IDB_CHECK_OFF, IDB_CHECK_OFF},
    {&MainControls::m_btnMapHide, IDB_MAP_HIDE_NORMAL, IDB_MAP_HIDE_PRESSED, IDB_MAP_HIDE_HOVER,
     IDB_MAP_HIDE_DISABLED, IDB_MAP_HIDE_NORMAL, IDB_MAP_HIDE_NORMAL},
    {&MainControls::m_btnMapShow, IDB_MAP_SHOW_NORMAL, IDB_MAP_SHOW_PRESSED, IDB_MAP_SHOW_HOVER,
     IDB_MAP_SHOW_DISABLED, IDB_MAP_SHOW_NORMAL, IDB_MAP_SHOW_NORMAL},
    {&MainControls::m_btnMapExpand, IDB_MAP_EXPAND_NORMAL, IDB_MAP_EXPAND_PRESSED, IDB_MAP_EXPAND_HOVER,
     IDB_MAP_EXPAND_DISABLED, IDB_MAP_EXPAND_NORMAL, IDB_MAP_EXPAND_NORMAL},
    {&MainControls::m_btnFileOpen, IDB_FILE_OPEN_NORMAL, IDB_FILE_OPEN_PRESSED, IDB_FILE_OPEN_HOVER,
     IDB_FILE_OPEN_DISABLED, 0, 0},
    {&MainControls::m_btnSave, IDB_SAVE_NORMAL, IDB_SAVE_PRESSED, IDB_SAVE_HOVER, IDB_SAVE_DISABLED, 0, 0},
    {&MainControls::m_btnPrint, IDB_PRINT_NORMAL, IDB_PRINT_PRESSED, IDB_PRINT_HOVER, IDB_PRINT_DISABLED, 0, 0},
    {&MainControls::m_btnVersion, IDB_VERSION_NORMAL, IDB_VERSION_PRESSED, IDB_VERSION_HOVER, IDB_VERSION_DISABLED,
     0, 0},
    {&MainControls::m_btnPlay, IDB_PLAY_NORMAL, IDB_PLAY_PRESSED, IDB_PLAY_HOVER, IDB_PLAY_DISABLED, 0, 0},
    {&MainControls::m_btnStop, IDB_STOP_NORMAL, IDB_STOP_PRESSED, IDB_STOP_HOVER, IDB_STOP_DISABLED, 0, 0},
    {&MainControls::m_btnPrevious, IDB_PREVIOUS_NORMAL, IDB_PREVIOUS_PRESSED, IDB_PREVIOUS_HOVER,
     IDB_PREVIOUS_DISABLED, 0, 0},
    {&MainControls::m_btnNext, IDB_NEXT_NORMAL, IDB_NEXT_PRESSED, IDB_NEXT_HOVER, IDB_NEXT_DISABLED, 0, 0},
    {&MainControls::m_btnChannelView, IDB_TOGGLE_OFF, IDB_TOGGLE_ON, 0, IDB_TOGGLE_OFF, IDB_TOGGLE_OFF,
     IDB_TOGGLE_OFF},
    {&MainControls::m_btnMirror, IDB_TOGGLE_OFF, IDB_TOGGLE_ON, 0, IDB_TOGGLE_OFF, IDB_TOGGLE_OFF, IDB_TOGGLE_OFF},
    {&MainControls::m_btnFlip, IDB_TOGGLE_OFF, IDB_TOGGLE_ON, 0, IDB_TOGGLE_OFF, IDB_TOGGLE_OFF, IDB_TOGGLE_OFF},
};

void Show(CWnd& window, UINT id, bool show) { ::ShowWindow(window.GetDlgItem(id), show ? SW_SHOW : SW_HIDE); }

}  // namespace

void WindowLayout::LoadSkin() { m_background.LoadBitmap(IDB_WINDOW_BACKGROUND); }

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
    m_mapState = MapShown;
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
        {&c.m_btnClose, L"close"},          {&c.m_btnMinimize, L"minimization"}, {&c.m_btnFullScreen, L"Full Screen"},
        {&c.m_btnMaximize, L"Maximize"},    {&c.m_btnPlay, L"Play"},             {&c.m_btnStop, L"Stop"},
        {&c.m_btnNext, L"Next"},            {&c.m_btnPrevious, L"Previous"},     {&c.m_btnFileOpen, L"File Open"},
        {&c.m_btnSave, L"Save"},            {&c.m_btnPrint, L"Print"},           {&c.m_btnVersion, L"Version"},
        {&c.m_btnMapHide, L"GPS Hide"},     {&c.m_btnMapShow, L"GPS Show"},      {&c.m_btnMapExpand, L"GPS Expand"},
    };
    for (const auto& t : tips) t.first->SetTipText(t.second);
}

void WindowLayout::PlaceNormalControls() {
    for (const Place& p : kNormalPlaces)
        if (HWND w = m_window.GetDlgItem(p.id)) ::MoveWindow(w, p.x, p.y, p.w, p.h, TRUE);
    for (UINT id : kGpsLabels) Show(m_window, id, m_mapState == MapExpanded);
}

void WindowLayout::PlaceLists(int extra) {
    RECT rc = m_window.GetClientRect();
    m_catalogue.Place(rc.right, rc.bottom, extra);
}

void WindowLayout::ShowAllControls() {
    for (UINT id : kWindowButtons) Show(m_window, id, true);
    const bool expanded = m_mapState == MapExpanded;
    for (UINT id : kFilters) Show(m_window, id, !expanded);
    if (!expanded) Show(m_window, IDC_FILE_OPEN, true);
    for (UINT id : kGpsLabels) Show(m_window, id, expanded);
    for (UINT id : kAlwaysShown) Show(m_window, id, true);
}

void WindowLayout::HideAllControls() {
    m_catalogue.HideAll();
    for (UINT id : kWindowButtons) Show(m_window, id, false);
    for (UINT id : kFilters) Show(m_window, id, false);
    Show(m_window, IDC_FILE_OPEN, false);
    for (UINT id : kGpsLabels) Show(m_window, id, false);
    for (UINT id : kAlwaysShown) Show(m_window, id, false);
}

void WindowLayout::CheckMapButtons() {
    m_controls.m_btnMapHide.SetCheck(m_mapState == MapHidden);
    m_controls.m_btnMapShow.SetCheck(m_mapState == MapShown);
    m_controls.m_btnMapExpand.SetCheck(m_mapState == MapExpanded);
}

// The map panel's own places arrive with the map window; until then the map
// states keep the flags, the button checks and the lists in step.
void WindowLayout::HideMap() {
    if (m_mapState == MapHidden) return;
    m_mapState = MapHidden;
    CheckMapButtons();
    PlaceLists(266);
}

void WindowLayout::ShowMap() {
    if (m_mapState == MapShown) return;
    m_mapState = MapShown;
    CheckMapButtons();
    PlaceLists(0);
}

void WindowLayout::ExpandMap(bool gpsValid, bool gsensorPresent) {
    if (!gpsValid || !gsensorPresent || m_mapState == MapExpanded) return;
}

void WindowLayout::SetDisplayMode(int mode) {
    m_displayMode = mode;
    if (mode == ModeNormal) {
        m_window.MoveWindow(0, 0, 1090, 720);
        m_window.CenterWindow();
        PlaceLists();
        ShowAllControls();
        PlaceNormalControls();
    }
    m_window.Invalidate();
}

void WindowLayout::PaintBackground(HDC dc) {
    RECT rc = m_window.GetClientRect();
    QxMemDC mem(dc, &rc, true);
    mem.StretchBitmap(m_background, 0, 0, rc.right, rc.bottom);
    m_sensors.PaintSpeed(mem, rc.bottom, m_displayMode == ModeFullScreen);
    for (int i = 0; i < MainControls::kLabelCount; ++i) m_controls.Labels()[i]->CaptureBackground(mem);
}
