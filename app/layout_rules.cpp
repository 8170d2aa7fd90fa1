#include "layout_rules.h"

#include <algorithm>

#include "control_ids.h"

namespace layout {

namespace {

// A maximised coordinate: a fixed offset from 0, from the screen's half, or
// from its far edge.
enum Anchor { kFromStart, kFromHalf, kFromEnd };
struct Coord {
    Anchor anchor;
    int offset;
    int Of(int size) const {
        return anchor == kFromStart ? offset : anchor == kFromHalf ? size / 2 + offset : size + offset;
    }
};
constexpr Coord S(int v) { return {kFromStart, v}; }
constexpr Coord M(int v) { return {kFromHalf, v}; }
constexpr Coord E(int v) { return {kFromEnd, v}; }

struct PlaceRow {
    int id;
    Box normal;
    Coord mx, my;  // maximised corner; the size is the normal one but where given below
    int mw;        // maximised width (the duration label's differs)
};

// clang-format off
const PlaceRow kPlaces[] = {
    {IDC_CLOSE,           {1067, 2, 17, 17},    E(-23),  S(2),    17},
    {IDC_FULL_SCREEN,     {995, 2, 17, 17},     E(-95),  S(2),    17},
    {IDC_MINIMIZE,        {1019, 2, 17, 17},    E(-71),  S(2),    17},
    {IDC_MAXIMIZE,        {1043, 2, 17, 17},    E(-47),  S(2),    17},
    {IDC_FILTER_NORMAL,   {784, 41, 16, 16},    E(-306), S(41),   16},
    {IDC_LABEL_NORMAL,    {803, 41, 44, 30},    E(-287), S(41),   44},
    {IDC_FILTER_EVENT,    {854, 41, 16, 16},    E(-236), S(41),   16},
    {IDC_LABEL_EVENT,     {873, 41, 44, 30},    E(-217), S(41),   44},
    {IDC_FILTER_PARK,     {924, 41, 16, 16},    E(-166), S(41),   16},
    {IDC_LABEL_PARK,      {943, 41, 44, 30},    E(-147), S(41),   44},
    {IDC_FILTER_PHOTO,    {994, 41, 16, 16},    E(-96),  S(41),   16},
    {IDC_LABEL_PHOTO,     {1013, 41, 44, 30},   E(-77),  S(41),   44},
    {IDC_TIME_RANGE,      {790, 38, 270, 27},   E(-300), S(38),   270},
    {IDC_GPS_TIME,        {790, 68, 240, 27},   E(-300), S(70),   240},
    {IDC_GPS_LATITUDE,    {790, 98, 240, 27},   E(-300), S(100),  240},
    {IDC_GPS_LONGITUDE,   {790, 128, 240, 27},  E(-300), S(130),  240},
    {IDC_POSITION_SLIDER, {28, 459, 571, 9},    S(0),    E(-261), 571},  // x: MaximisedPositionSliderX
    {IDC_ELAPSED,         {690, 459, 45, 15},   E(-400), E(-261), 45},
    {IDC_DURATION,        {735, 459, 35, 15},   E(-355), E(-261), 45},
    {IDC_VOLUME_SLIDER,   {322, 500, 100, 14},  M(-223), E(-220), 100},
    {IDC_CHANNEL_VIEW,    {493, 503, 51, 15},   M(-52),  E(-217), 51},
    {IDC_MIRROR,          {593, 503, 51, 15},   M(48),   E(-217), 51},
    {IDC_FLIP,            {693, 503, 51, 15},   M(148),  E(-217), 51},
    {IDC_GSENSOR_GRAPH,   {140, 528, 630, 108}, M(-315), E(-192), 630},
    {IDC_GSENSOR_X,       {37, 573, 90, 18},    M(-508), E(-147), 90},
    {IDC_GSENSOR_Y,       {37, 592, 90, 18},    M(-508), E(-128), 90},
    {IDC_GSENSOR_Z,       {37, 610, 90, 18},    M(-508), E(-110), 90},
    {IDC_MAP_HIDE,        {987, 598, 19, 18},   E(-103), E(-122), 19},
    {IDC_MAP_SHOW,        {1017, 598, 19, 18},  E(-73),  E(-122), 19},
    {IDC_MAP_EXPAND,      {1047, 598, 19, 18},  E(-43),  E(-122), 19},
    {IDC_CLOCK,           {785, 600, 190, 15},  E(-305), E(-120), 190},
    {IDC_PREVIOUS,        {450, 660, 42, 38},   M(-95),  E(-60),  42},
    {IDC_PLAY,            {492, 650, 63, 59},   M(-53),  E(-70),  63},
    {IDC_STOP,            {555, 650, 63, 59},   M(10),   E(-70),  63},
    {IDC_NEXT,            {618, 660, 42, 38},   M(73),   E(-60),  42},
    {IDC_FILE_OPEN,       {826, 652, 50, 50},   E(-264), E(-68),  50},
    {IDC_PRINT,           {893, 652, 50, 50},   E(-197), E(-68),  50},
    {IDC_SAVE,            {960, 652, 50, 50},   E(-130), E(-68),  50},
    {IDC_VERSION,         {1027, 652, 50, 50},  E(-63),  E(-68),  50},
};
// clang-format on

const PlaceRow* FindPlace(int id) {
    for (const PlaceRow& r : kPlaces)
        if (r.id == id) return &r;
    return nullptr;
}

const std::vector<int> kGpsLabels = {IDC_TIME_RANGE, IDC_GPS_TIME, IDC_GPS_LONGITUDE, IDC_GPS_LATITUDE};
const int kWindowButtons[] = {IDC_CLOSE, IDC_MINIMIZE, IDC_FULL_SCREEN, IDC_MAXIMIZE};
const int kFilters[] = {IDC_FILTER_NORMAL, IDC_FILTER_EVENT, IDC_FILTER_PARK, IDC_FILTER_PHOTO,
                        IDC_LABEL_NORMAL,  IDC_LABEL_EVENT,  IDC_LABEL_PARK,  IDC_LABEL_PHOTO};
const int kAlwaysShown[] = {IDC_MAP_HIDE,  IDC_MAP_SHOW,        IDC_MAP_EXPAND,    IDC_SAVE,
                            IDC_PRINT,     IDC_VERSION,         IDC_PLAY,          IDC_STOP,
                            IDC_NEXT,      IDC_PREVIOUS,        IDC_CHANNEL_VIEW,  IDC_MIRROR,
                            IDC_FLIP,      IDC_POSITION_SLIDER, IDC_VOLUME_SLIDER, IDC_GSENSOR_GRAPH,
                            IDC_GSENSOR_X, IDC_GSENSOR_Y,       IDC_GSENSOR_Z,     IDC_CLOCK,
                            IDC_ELAPSED,   IDC_DURATION,        IDC_FILE_OPEN};

// Image sizes of the pieces, in the order of the Piece enumeration.
const Box kPieceSizes[kPieceCount] = {
    {0, 0, 1090, 720}, {0, 0, 10, 599}, {0, 0, 10, 599},  {0, 0, 412, 24},  {0, 0, 11, 70},  {0, 0, 760, 20},
    {0, 0, 760, 50},   {0, 0, 133, 24}, {0, 0, 142, 24},  {0, 0, 305, 61},  {0, 0, 265, 50}, {0, 0, 130, 35},
    {0, 0, 80, 35},    {0, 0, 95, 35},  {0, 0, 95, 35},   {0, 0, 126, 108}, {0, 0, 305, 53}, {0, 0, 417, 70},
    {0, 0, 351, 70},   {0, 0, 5, 70},   {0, 0, 760, 431}, {0, 0, 305, 253}, {0, 0, 24, 34},
};

}  // namespace

const std::vector<int>& PlacedControls() {
    static const std::vector<int> ids = [] {
        std::vector<int> v;
        for (const PlaceRow& r : kPlaces) v.push_back(r.id);
        return v;
    }();
    return ids;
}

Box NormalPlace(int id) {
    const PlaceRow* r = FindPlace(id);
    return r ? r->normal : Box{};
}

int MaximisedPositionSliderX(int sw) { return sw - 400 < sw / 2 + 314 ? 28 : sw / 2 - 257; }

Box MaximisedPlace(int id, int sw, int sh) {
    const PlaceRow* r = FindPlace(id);
    if (!r) return {};
    int x = r->mx.Of(sw);
    if (id == IDC_POSITION_SLIDER) x = MaximisedPositionSliderX(sw);
    // Centred on screens narrower than 1270 pixels, the graph would reach into
    // the right-hand column (and over the clock): it ends with the video column.
    if (id == IDC_GSENSOR_GRAPH) x = std::min(x, sw - 320 - r->mw);
    return {x, r->my.Of(sh), r->mw, r->normal.h};
}

std::vector<int> VisibleControls(MapState map) {
    std::vector<int> v(std::begin(kWindowButtons), std::end(kWindowButtons));
    if (map == MapState::kExpanded) v.insert(v.end(), kGpsLabels.begin(), kGpsLabels.end());
    else v.insert(v.end(), std::begin(kFilters), std::end(kFilters));
    v.insert(v.end(), std::begin(kAlwaysShown), std::end(kAlwaysShown));
    return v;
}

const std::vector<int>& GpsLabels() { return kGpsLabels; }

Box PieceSize(Piece piece) { return piece >= 0 && piece < kPieceCount ? kPieceSizes[piece] : Box{}; }

std::vector<PieceDraw> BackgroundDraws(int W, int H) {
    auto stretch = [](Piece p, int x, int y, int w, int h) { return PieceDraw{p, {x, y, w, h}, true}; };
    auto copy = [](Piece p, int x, int y) {
        const Box s = kPieceSizes[p];
        return PieceDraw{p, {x, y, s.w, s.h}, false};
    };
    const int half = W / 2;
    return {
        stretch(kPieceWindow, 0, 0, W, H),
        stretch(kPieceBorderLeft, 0, 51, 10, H),
        stretch(kPieceBorderRight, W - 10, 51, 10, H),
        stretch(kPieceTitleMiddle, 0, 0, W, 24),
        stretch(kPieceBottomBar, 0, H - 70, W, 70),
        stretch(kPiecePositionBar, 10, H - 266, W - 330, 20),
        stretch(kPieceControlBar, 10, H - 246, W - 330, 50),
        copy(kPieceTitleLeft, 0, 0),
        copy(kPieceTitleRight, W - 142, 0),
        copy(kPieceFilterPanel, W - 315, 31),
        copy(kPieceControlLeft, 10, H - 246),
        copy(kPieceControlVolume, half - 250, H - 236),
        copy(kPieceControlView, half - 80, H - 236),
        copy(kPieceControlMirror, half + 9, H - 236),
        copy(kPieceControlFlip, half + 109, H - 236),
        copy(kPieceGSensorPanel, half - 535, H - 192),
        copy(kPieceMapButtons, W - 315, H - 137),
        copy(kPieceBottomLeft, 0, H - 70),
        copy(kPieceBottomRight, W - 351, H - 70),
        stretch(kPieceBottomMiddle, 417, H - 70, W - 768, 70),
        stretch(kPieceVideoArea, 10, 24, W - 330, H - 289),
        copy(kPieceMapPanel, W - 315, H - 390),
        copy(kPieceDigitBlank, 37, H - 242),
        copy(kPieceDigitBlank, 61, H - 242),
        copy(kPieceDigitBlank, 85, H - 242),
    };
}

Box MapShownPlace(int w, int h) { return {w - 315, h - 390, 305, 253}; }
Box MapExpandedPlace(int w, int h) { return {w - 315, 175, 305, h - 312}; }

int ModeAfterMaximize(int mode, int sw, int sh) {
    if (sw < kNormalWidth || sh < kNormalHeight) return 0;
    if (mode == kModeNormal) return kModeMaximised;
    if (mode == kModeMaximised) return kModeNormal;
    return 0;
}

int ModeAfterFullScreen(int mode) { return mode == kModeNormal || mode == kModeMaximised ? kModeFullScreen : 0; }

int ModeAfterLeaveFullScreen(int mode) { return mode == kModeFullScreen ? kModeNormal : 0; }

void MapPanelLayout::MoveTo(const Box& place) {
    m_panel->Move(place);
    m_panel->FitBrowser();
}

bool MapPanelLayout::Hide() {
    if (m_state == MapState::kHidden) return false;
    m_state = MapState::kHidden;
    m_panel->Show(false);
    m_panel->FitBrowser();
    return true;
}

bool MapPanelLayout::Show(int w, int h, bool recordingOpen) {
    if (m_state == MapState::kShown) return false;
    m_state = MapState::kShown;
    m_panel->Move(MapShownPlace(w, h));
    m_panel->Show(recordingOpen);
    m_panel->FitBrowser();
    m_panel->RefreshBrowser();
    return true;
}

bool MapPanelLayout::Expand(int w, int h, bool recordingOpen, bool gpsValid, bool gsensorPresent) {
    if (!gpsValid || !gsensorPresent || m_state == MapState::kExpanded) return false;
    m_state = MapState::kExpanded;
    m_panel->Move(MapExpandedPlace(w, h));
    m_panel->Show(recordingOpen);
    m_panel->FitBrowser();
    m_panel->RefreshBrowser();
    return true;
}

void MapPanelLayout::PlaceForMode(int mode, int w, int h) {
    if (mode == kModeFullScreen || m_state == MapState::kHidden) {
        m_panel->Show(false);
        return;
    }
    MoveTo(m_state == MapState::kShown ? MapShownPlace(w, h) : MapExpandedPlace(w, h));
    m_panel->RefreshBrowser();
}

void MapPanelLayout::AfterVideoLayout(int w, int h, bool recordingOpen) {
    if (m_state == MapState::kShown) m_panel->Move(MapShownPlace(w, h));
    m_panel->Show(recordingOpen && m_state != MapState::kHidden);
    m_panel->FitBrowser();
    m_panel->RefreshBrowser();
}

}  // namespace layout
