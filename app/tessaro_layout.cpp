// Skin, layout and display modes of the main window.
#include <array>
#include "mem_dc.h"
#include "tessaro_dlg.h"

namespace {
struct Piece {
    UINT id;
    int x, y, w, h;
    bool stretch;
};

// Control places in normal mode (x, y, width, height).
struct Place {
    UINT id;
    int x, y, w, h;
};
const Place kNormalPlaces[] = {
    {1000, 1067, 2, 17, 17},   {1002, 995, 2, 17, 17},    {1001, 1019, 2, 17, 17},   {1053, 1043, 2, 17, 17},
    {1057, 784, 41, 16, 16},   {1069, 803, 41, 44, 30},   {1058, 854, 41, 16, 16},   {1070, 873, 41, 44, 30},
    {1059, 924, 41, 16, 16},   {1071, 943, 41, 44, 30},   {1060, 994, 41, 16, 16},   {1072, 1013, 41, 44, 30},
    {1021, 790, 38, 270, 27},  {1018, 790, 68, 240, 27},  {1020, 790, 98, 240, 27},  {1019, 790, 128, 240, 27},
    {1011, 28, 459, 571, 9},   {1146, 690, 459, 45, 15},  {1147, 735, 459, 35, 15},  {1051, 322, 500, 100, 14},
    {1026, 493, 503, 51, 15},  {1052, 593, 503, 51, 15},  {1065, 693, 503, 51, 15},  {1023, 140, 528, 630, 108},
    {1015, 37, 573, 90, 18},   {1016, 37, 592, 90, 18},   {1017, 37, 610, 90, 18},   {1061, 987, 598, 19, 18},
    {1062, 1017, 598, 19, 18}, {1063, 1047, 598, 19, 18}, {1064, 785, 600, 190, 15}, {1008, 450, 660, 42, 38},
    {1006, 492, 650, 63, 59},  {1007, 555, 650, 63, 59},  {1009, 618, 660, 42, 38},  {1033, 826, 652, 50, 50},
    {1022, 893, 652, 50, 50},  {1003, 960, 652, 50, 50},  {1024, 1027, 652, 50, 50},
};

// Labels: initial text, colour, bold, single-line vertically centred.
struct LabelSkin {
    UINT id;
    const wchar_t* text;
    COLORREF colour;
    bool bold;
};
const LabelSkin kLabelSkins[] = {
    {1069, L"Normal", RGB(255, 255, 255), false},
    {1070, L"Event", RGB(255, 255, 255), false},
    {1071, L"Park", RGB(255, 255, 255), false},
    {1072, L"Photo", RGB(255, 255, 255), false},
    {1064, L"", RGB(255, 255, 255), false},
    {1146, L"00:00 /", RGB(255, 255, 255), false},
    {1147, L"00:00", RGB(255, 255, 255), false},
    {1015, L"X : 0.0000", RGB(250, 0, 250), false},
    {1016, L"Y : 0.0000", RGB(0, 250, 250), false},
    {1017, L"Z : 0.0000", RGB(250, 250, 0), false},
    {1021, L"0000-00-00 00:00:00 / 0000-00-00 00:00:00", RGB(255, 255, 255), true},
    {1018, L"0000-00-00 00:00:00", RGB(255, 255, 255), true},
    {1019, L"000000", RGB(255, 255, 255), true},
    {1020, L"000000", RGB(255, 255, 255), true},
};
}  // namespace

void CTessaroDlg::LoadSkin() { m_skinBackground.LoadBitmap(197); }

void CTessaroDlg::ApplySkin() {
    struct Skin {
        CSkinButton* b;
        UINT n, p, h, d, f, m;
    };
    const Skin skins[] = {
        {&m_btnClose, 236, 238, 237, 239, 0, 0},         {&m_btnFullScreen, 248, 250, 249, 251, 0, 0},
        {&m_btnMaximize, 240, 242, 241, 243, 0, 0},      {&m_btnMinimise, 244, 246, 245, 247, 0, 0},
        {&m_btnNormal, 271, 270, 0, 272, 271, 271},      {&m_btnEvent, 271, 270, 0, 272, 271, 271},
        {&m_btnPark, 271, 270, 0, 272, 271, 271},        {&m_btnPhoto, 271, 270, 0, 272, 271, 271},
        {&m_btnMapHide, 273, 275, 274, 276, 273, 273},   {&m_btnMapShow, 281, 283, 282, 284, 281, 281},
        {&m_btnMapExpand, 277, 279, 278, 280, 277, 277}, {&m_btnFileOpen, 262, 263, 264, 265, 0, 0},
        {&m_btnSave, 343, 345, 344, 346, 0, 0},          {&m_btnPrint, 347, 349, 348, 350, 0, 0},
        {&m_btnVersion, 324, 326, 325, 327, 0, 0},       {&m_btnPlay, 296, 298, 297, 299, 0, 0},
        {&m_btnStop, 304, 306, 305, 307, 0, 0},          {&m_btnPrevious, 308, 310, 309, 311, 0, 0},
        {&m_btnNext, 312, 314, 313, 315, 0, 0},          {&m_btnView, 198, 200, 0, 198, 198, 198},
        {&m_btnMirror, 198, 200, 0, 198, 198, 198},      {&m_btnFlip, 198, 200, 0, 198, 198, 198},
    };
    for (const Skin& s : skins) s.b->SetSkinImages(s.n, s.p, s.h, s.d, s.f, s.m, 2, 0, 0);
    // Sliders: channel first (the window takes its size), then the thumb.
    m_sliderPosition.SetChannelImages(202, 213, false);
    m_sliderPosition.SetThumbImages(203, 204, true, RGB(255, 0, 255));
    m_sliderPosition.SetFocusRectOption(false);
    m_sliderPosition.SetRange(0, 0);
    m_sliderPosition.SetPosition(0);
    m_sliderVolume.SetChannelImages(207, 208, false);
    m_sliderVolume.SetThumbImages(351, 352, true, RGB(255, 0, 255));
    m_sliderVolume.SetFocusRectOption(false);
    m_sliderVolume.SetRange(0, 10);
    for (CSkinButton* b : {&m_btnNormal, &m_btnEvent, &m_btnPark, &m_btnPhoto}) b->SetCheck(1);
    for (int i = 0; i < 4; ++i) m_filterChecked[i] = true;
    m_btnMapHide.SetCheck(0);
    m_btnMapShow.SetCheck(1);
    m_btnMapExpand.SetCheck(0);
    m_mapState = MapShown;
    m_btnView.SetCheck(0);
    m_btnMirror.SetCheck(m_mirrorState == 1);
    m_btnFlip.SetCheck(m_flipState == 1);
    m_showFileGroup = true;
    m_showEventList = false;

    for (const LabelSkin& l : kLabelSkins) {
        for (int i = 0; i < 14; ++i) {
            if (kLabelIds[i] != l.id) continue;
            CTPStatic& label = m_labels[i];
            label.SetLabelFont(L"Arial", 10);
            label.SetFontWeight(l.bold ? 700 : 400);
            label.SetLabelTextColor(l.colour);
            if (l.bold) label.AddTextFormat(DT_VCENTER | DT_SINGLELINE);
            label.SetWindowText(l.text);
        }
    }
    for (CSkinButton* b : {&m_btnPlay, &m_btnStop, &m_btnPrevious, &m_btnNext, &m_btnSave, &m_btnPrint, &m_btnMirror,
                           &m_btnFlip, &m_btnView})
        b->EnableWindow(FALSE);
    Invalidate();
}

void CTessaroDlg::SetToolTips() {
    const std::pair<CSkinButton*, const wchar_t*> tips[] = {
        {&m_btnClose, L"close"},
        {&m_btnMinimise, L"minimization"},
        {&m_btnFullScreen, L"Full Screen"},
        {&m_btnMaximize, L"Maximize"},
        {&m_btnPlay, L"Play"},
        {&m_btnStop, L"Stop"},
        {&m_btnNext, L"Next"},
        {&m_btnPrevious, L"Previous"},
        {&m_btnFileOpen, L"File Open"},
        {&m_btnSave, L"Save"},
        {&m_btnPrint, L"Print"},
        {&m_btnVersion, L"Version"},
        {&m_btnMapHide, L"GPS Hide"},
        {&m_btnMapShow, L"GPS Show"},
        {&m_btnMapExpand, L"GPS Expand"},
    };
    for (const auto& t : tips) t.first->SetTipText(t.second);
}

void CTessaroDlg::PlaceNormalControls() {
    for (const Place& p : kNormalPlaces)
        if (HWND w = GetDlgItem(p.id)) ::MoveWindow(w, p.x, p.y, p.w, p.h, TRUE);
    const int gps = m_mapState == MapExpanded ? SW_SHOW : SW_HIDE;
    for (UINT id : {1021u, 1018u, 1019u, 1020u}) ::ShowWindow(GetDlgItem(id), gps);
}

void CTessaroDlg::PlaceLists(int extra) {
    RECT rc = GetClientRect();
    const int W = rc.right, H = rc.bottom, h = H + extra - 474;
    m_listDate.MoveWindow(W - 315, 71, 73, h);
    m_listHour.MoveWindow(W - 231, 71, 39, h);
    m_listFile.MoveWindow(W - 181, 71, 160, h);
    m_listEvent.MoveWindow(W - 315, 71, 294, h);
    for (CSkinListCtrl* l : {&m_listDate, &m_listHour, &m_listFile, &m_listEvent}) l->SetRedraw(true);
    const int group = m_showFileGroup ? SW_SHOW : SW_HIDE;
    m_listDate.ShowWindow(group);
    m_listHour.ShowWindow(group);
    m_listFile.ShowWindow(group);
    m_listEvent.ShowWindow(m_showEventList ? SW_SHOW : SW_HIDE);
}

void CTessaroDlg::ShowAllControls() {
    for (UINT id : {1000u, 1001u, 1002u, 1053u}) ::ShowWindow(GetDlgItem(id), SW_SHOW);
    const bool expanded = m_mapState == MapExpanded;
    for (UINT id : {1057u, 1058u, 1059u, 1060u, 1069u, 1070u, 1071u, 1072u})
        ::ShowWindow(GetDlgItem(id), expanded ? SW_HIDE : SW_SHOW);
    if (!expanded) ::ShowWindow(GetDlgItem(1033), SW_SHOW);
    for (UINT id : {1021u, 1018u, 1019u, 1020u}) ::ShowWindow(GetDlgItem(id), expanded ? SW_SHOW : SW_HIDE);
    for (UINT id : {1061u, 1062u, 1063u, 1003u, 1022u, 1024u, 1006u, 1007u, 1009u, 1008u, 1026u,
                    1052u, 1065u, 1011u, 1051u, 1023u, 1015u, 1016u, 1017u, 1064u, 1146u, 1147u})
        ::ShowWindow(GetDlgItem(id), SW_SHOW);
}

void CTessaroDlg::HideAllControls() {
    for (CSkinListCtrl* l : {&m_listDate, &m_listHour, &m_listFile, &m_listEvent}) l->ShowWindow(SW_HIDE);
    for (UINT id : {1000u, 1001u, 1002u, 1053u, 1057u, 1058u, 1059u, 1060u, 1069u, 1070u, 1071u, 1072u, 1033u,
                    1021u, 1018u, 1019u, 1020u, 1061u, 1062u, 1063u, 1003u, 1022u, 1024u, 1006u, 1007u, 1009u,
                    1008u, 1026u, 1052u, 1065u, 1011u, 1051u, 1023u, 1015u, 1016u, 1017u, 1064u, 1146u, 1147u})
        ::ShowWindow(GetDlgItem(id), SW_HIDE);
}

// Map states and display modes arrive with the map window and the video
// surfaces; until then they keep the flags and the button checks in step.
void CTessaroDlg::HideMap() {
    if (m_mapState == MapHidden) return;
    m_mapState = MapHidden;
    m_btnMapHide.SetCheck(1);
    m_btnMapShow.SetCheck(0);
    m_btnMapExpand.SetCheck(0);
    PlaceLists(266);
}

void CTessaroDlg::ShowMap() {
    if (m_mapState == MapShown) return;
    m_mapState = MapShown;
    m_btnMapHide.SetCheck(0);
    m_btnMapShow.SetCheck(1);
    m_btnMapExpand.SetCheck(0);
    PlaceLists(0);
}

void CTessaroDlg::ExpandMap() {
    // Needs a valid GPS sentence and G-sensor data of an open recording.
    if (!m_gpsPresent || !m_gsensorPresent || m_mapState == MapExpanded) return;
}

void CTessaroDlg::SetDisplayMode(int mode) {
    m_displayMode = mode;
    if (mode == ModeNormal) {
        MoveWindow(0, 0, 1090, 720);
        CenterWindow();
        PlaceLists(m_mapState == MapHidden ? 266 : 0);
        ShowAllControls();
        PlaceNormalControls();
    }
    Invalidate();
}

void CTessaroDlg::OnFullScreen() {
    // Full-screen mode comes with the video surfaces.
}

void CTessaroDlg::OnMaximize() {
    // Maximised mode comes with the full layout of the skin.
}

LRESULT CTessaroDlg::PaintSkinBackground(HDC dc) {
    RECT rc = GetClientRect();
    {
        QxMemDC mem(dc, &rc, true);
        mem.StretchBitmap(m_skinBackground, 0, 0, rc.right, rc.bottom);
        for (CTPStatic& label : m_labels) label.CaptureBackground(mem);
    }
    return TRUE;
}
