// The main window's layout rules: both columns of the place table, controls
// that never overlap or leave the window, the background's pieces and where
// they land, the mode rules and the calls each map state makes on the panel.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "control_ids.h"
#include "layout_rules.h"

using namespace layout;

namespace {

std::string Str(const Box& b) {
    std::ostringstream s;
    s << b.x << "," << b.y << " " << b.w << "x" << b.h;
    return s.str();
}

struct Screen {
    int w, h;
};
const Screen kScreens[] = {{1090, 720}, {1152, 864}, {1200, 900},  {1280, 1024},
                           {1366, 768}, {1600, 900}, {1920, 1080}, {2560, 1440}};

// Records every call the layout makes on the map panel.
class RecordingPanel : public MapPanel {
public:
    std::vector<std::string> calls;
    void Move(const Box& b) override { calls.push_back("move " + Str(b)); }
    void Show(bool v) override { calls.push_back(v ? "show" : "hide"); }
    void FitBrowser() override { calls.push_back("fit"); }
    void RefreshBrowser() override { calls.push_back("refresh"); }
    std::vector<std::string> Take() { return std::exchange(calls, {}); }
};
using Calls = std::vector<std::string>;

}  // namespace

TEST(Places, MaximisedExamples) {
    EXPECT_EQ(Str({1897, 2, 17, 17}), Str(MaximisedPlace(IDC_CLOSE, 1920, 1080)));
    EXPECT_EQ(Str({703, 819, 571, 9}), Str(MaximisedPlace(IDC_POSITION_SLIDER, 1920, 1080)));
    EXPECT_EQ(Str({28, 763, 571, 9}), Str(MaximisedPlace(IDC_POSITION_SLIDER, 1280, 1024)));
    EXPECT_EQ(Str({1565, 819, 45, 15}), Str(MaximisedPlace(IDC_DURATION, 1920, 1080)));
    // The slider moves to the centre once SW - 400 reaches SW/2 + 314 (integer halves).
    EXPECT_EQ(28, MaximisedPositionSliderX(1426));
    EXPECT_EQ(456, MaximisedPositionSliderX(1427));
    EXPECT_EQ(457, MaximisedPositionSliderX(1428));
    EXPECT_EQ(Str({}), Str(NormalPlace(IDC_CHANNEL1_SURFACE)));
    EXPECT_EQ(Str({}), Str(MaximisedPlace(4242, 1920, 1080)));
}

// The maximised formulas at 1090 x 720 give the normal places, except for the
// controls whose two columns differ on purpose: this pins both columns. (The
// graph's two columns differ too, but at this width the maximised one is held
// in the video column, which is its normal place.)
TEST(Places, MaximisedAtTheNormalSizeIsTheNormalLayoutButFour) {
    const std::set<int> differ = {IDC_DURATION, IDC_GPS_TIME, IDC_GPS_LATITUDE, IDC_GPS_LONGITUDE};
    ASSERT_EQ(39u, PlacedControls().size());
    for (int id : PlacedControls()) {
        const Box n = NormalPlace(id), m = MaximisedPlace(id, kNormalWidth, kNormalHeight);
        if (differ.count(id)) {
            EXPECT_NE(Str(n), Str(m)) << id;
        } else {
            EXPECT_EQ(Str(n), Str(m)) << id;
        }
    }
    EXPECT_EQ(Str({140, 528, 630, 108}), Str(NormalPlace(IDC_GSENSOR_GRAPH)));
    // Centred, except on screens too narrow for the graph to stay in the video column.
    EXPECT_EQ(Str({140, 528, 630, 108}), Str(MaximisedPlace(IDC_GSENSOR_GRAPH, 1090, 720)));
    EXPECT_EQ(Str({290, 672, 630, 108}), Str(MaximisedPlace(IDC_GSENSOR_GRAPH, 1240, 864)));
    EXPECT_EQ(Str({310, 672, 630, 108}), Str(MaximisedPlace(IDC_GSENSOR_GRAPH, 1260, 864)));
    EXPECT_EQ(Str({320, 672, 630, 108}), Str(MaximisedPlace(IDC_GSENSOR_GRAPH, 1270, 864)));
    EXPECT_EQ(Str({645, 888, 630, 108}), Str(MaximisedPlace(IDC_GSENSOR_GRAPH, 1920, 1080)));
    EXPECT_EQ(Str({790, 68, 240, 27}), Str(NormalPlace(IDC_GPS_TIME)));
    EXPECT_EQ(Str({790, 70, 240, 27}), Str(MaximisedPlace(IDC_GPS_TIME, 1090, 720)));
}

// Controls shown together never overlap and never leave the client area, in
// normal mode and maximised on every screen size, for every map state.
TEST(Places, NothingOverlapsOrIsCut) {
    for (MapState map : {MapState::kHidden, MapState::kShown, MapState::kExpanded}) {
        const std::vector<int> shown = VisibleControls(map);
        auto check = [&](const char* what, int w, int h, auto place) {
            for (size_t i = 0; i < shown.size(); ++i) {
                const Box a = place(shown[i]);
                EXPECT_TRUE(a.Inside(w, h)) << what << " " << w << "x" << h << " control " << shown[i] << " " << Str(a);
                for (size_t j = i + 1; j < shown.size(); ++j)
                    EXPECT_FALSE(a.Overlaps(place(shown[j])))
                        << what << " " << w << "x" << h << " controls " << shown[i] << " and " << shown[j];
            }
        };
        check("normal", kNormalWidth, kNormalHeight, [](int id) { return NormalPlace(id); });
        for (const Screen& s : kScreens)
            check("maximised", s.w, s.h, [&](int id) { return MaximisedPlace(id, s.w, s.h); });
    }
}

TEST(Visibility, FiltersOrGpsLabelsAndFileOpenAlways) {
    const auto has = [](const std::vector<int>& v, int id) { return std::find(v.begin(), v.end(), id) != v.end(); };
    for (MapState map : {MapState::kHidden, MapState::kShown, MapState::kExpanded}) {
        const std::vector<int> v = VisibleControls(map);
        const bool expanded = map == MapState::kExpanded;
        EXPECT_TRUE(has(v, IDC_FILE_OPEN));
        for (int id : {IDC_FILTER_NORMAL, IDC_FILTER_PHOTO, IDC_LABEL_NORMAL, IDC_LABEL_PHOTO})
            EXPECT_EQ(!expanded, has(v, id)) << id;
        for (int id : GpsLabels()) EXPECT_EQ(expanded, has(v, id)) << id;
        EXPECT_EQ(std::set<int>(v.begin(), v.end()).size(), v.size());
    }
    // Every placed control is shown in some map state.
    std::vector<int> all = VisibleControls(MapState::kShown);
    all.insert(all.end(), GpsLabels().begin(), GpsLabels().end());
    EXPECT_EQ(std::set<int>(PlacedControls().begin(), PlacedControls().end()), std::set<int>(all.begin(), all.end()));
}

TEST(Background, TwentyThreeStepsAtTheNormalSize) {
    const std::vector<PieceDraw> d = BackgroundDraws(1090, 720);
    ASSERT_EQ(25u, d.size());  // step 23 draws the blank digit three times
    const struct {
        Piece piece;
        Box dest;
        bool stretch;
    } want[] = {
        {kPieceWindow, {0, 0, 1090, 720}, true},         {kPieceBorderLeft, {0, 51, 10, 720}, true},
        {kPieceBorderRight, {1080, 51, 10, 720}, true},  {kPieceTitleMiddle, {0, 0, 1090, 24}, true},
        {kPieceBottomBar, {0, 650, 1090, 70}, true},     {kPiecePositionBar, {10, 454, 760, 20}, true},
        {kPieceControlBar, {10, 474, 760, 50}, true},    {kPieceTitleLeft, {0, 0, 133, 24}, false},
        {kPieceTitleRight, {948, 0, 142, 24}, false},    {kPieceFilterPanel, {775, 31, 305, 61}, false},
        {kPieceControlLeft, {10, 474, 265, 50}, false},  {kPieceControlVolume, {295, 484, 130, 35}, false},
        {kPieceControlView, {465, 484, 80, 35}, false},  {kPieceControlMirror, {554, 484, 95, 35}, false},
        {kPieceControlFlip, {654, 484, 95, 35}, false},  {kPieceGSensorPanel, {10, 528, 126, 108}, false},
        {kPieceMapButtons, {775, 583, 305, 53}, false},  {kPieceBottomLeft, {0, 650, 417, 70}, false},
        {kPieceBottomRight, {739, 650, 351, 70}, false}, {kPieceBottomMiddle, {417, 650, 322, 70}, true},
        {kPieceVideoArea, {10, 24, 760, 431}, true},     {kPieceMapPanel, {775, 330, 305, 253}, false},
        {kPieceDigitBlank, {37, 478, 24, 34}, false},    {kPieceDigitBlank, {61, 478, 24, 34}, false},
        {kPieceDigitBlank, {85, 478, 24, 34}, false},
    };
    for (size_t i = 0; i < d.size(); ++i) {
        EXPECT_EQ(want[i].piece, d[i].piece) << "draw " << i;
        EXPECT_EQ(Str(want[i].dest), Str(d[i].dest)) << "draw " << i;
        EXPECT_EQ(want[i].stretch, d[i].stretch) << "draw " << i;
    }
    // At the normal size every stretched piece but the borders is drawn at its own size.
    for (const PieceDraw& p : d) {
        const bool resized = p.piece == kPieceBorderLeft || p.piece == kPieceBorderRight ||
                             p.piece == kPieceTitleMiddle || p.piece == kPieceBottomBar ||
                             p.piece == kPieceBottomMiddle;
        if (!resized) {
            EXPECT_EQ(PieceSize(p.piece).w, p.dest.w) << p.piece;
        }
    }
}

TEST(Background, HalvesAreTruncated) {
    const std::vector<PieceDraw> d = BackgroundDraws(1921, 1081);
    EXPECT_EQ(Str({710, 845, 130, 35}), Str(d[11].dest));  // 1921 / 2 = 960
    EXPECT_EQ(Str({425, 889, 126, 108}), Str(d[15].dest));
}

// On every screen the panels lie on their bars and inside the window, so
// nothing is cut or left floating.
TEST(Background, PanelsSitOnTheirBarsOnEveryScreen) {
    for (const Screen& s : kScreens) {
        const std::vector<PieceDraw> d = BackgroundDraws(s.w, s.h);
        const Box controlBar = d[6].dest, bottomBar = d[4].dest;
        // The side borders run from y 51 for the window's height (the bottom bar covers their ends).
        for (const PieceDraw& p : d)
            if (p.piece != kPieceBorderLeft && p.piece != kPieceBorderRight) {
                EXPECT_TRUE(p.dest.Inside(s.w, s.h)) << s.w << "x" << s.h << " piece " << p.piece;
            }
        for (int i = 10; i <= 14; ++i) {
            const Box b = d[i].dest;
            EXPECT_TRUE(b.x >= controlBar.x && b.x + b.w <= controlBar.x + controlBar.w && b.y >= controlBar.y &&
                        b.y + b.h <= controlBar.y + controlBar.h)
                << s.w << "x" << s.h << " piece " << d[i].piece;
        }
        for (int i = 17; i <= 19; ++i) EXPECT_EQ(bottomBar.y, d[i].dest.y);
        // The bottom bar's ends and its stretched middle meet edge to edge.
        EXPECT_EQ(d[17].dest.x + d[17].dest.w, d[19].dest.x);
        EXPECT_EQ(d[19].dest.x + d[19].dest.w, d[18].dest.x);
        // The map panel rests on the map button panel, which ends above the bottom bar.
        EXPECT_EQ(d[21].dest.y + d[21].dest.h, d[16].dest.y);
        EXPECT_LE(d[16].dest.y + d[16].dest.h, bottomBar.y);
        // The speed cells lie in the control bar's left end.
        for (int i = 22; i <= 24; ++i) EXPECT_TRUE(d[i].dest.y >= d[10].dest.y && d[i].dest.x + 24 <= 275);
    }
}

TEST(Modes, MaximizeFullScreenAndLeaving) {
    EXPECT_EQ(kModeMaximised, ModeAfterMaximize(kModeNormal, 1920, 1080));
    EXPECT_EQ(kModeNormal, ModeAfterMaximize(kModeMaximised, 1920, 1080));
    EXPECT_EQ(kModeMaximised, ModeAfterMaximize(kModeNormal, 1090, 720));
    EXPECT_EQ(0, ModeAfterMaximize(kModeNormal, 1024, 768));
    EXPECT_EQ(0, ModeAfterMaximize(kModeNormal, 1089, 1200));
    EXPECT_EQ(0, ModeAfterMaximize(kModeNormal, 1600, 719));
    EXPECT_EQ(0, ModeAfterMaximize(kModeMaximised, 1024, 768));
    EXPECT_EQ(0, ModeAfterMaximize(kModeFullScreen, 1920, 1080));
    EXPECT_EQ(kModeFullScreen, ModeAfterFullScreen(kModeNormal));
    EXPECT_EQ(kModeFullScreen, ModeAfterFullScreen(kModeMaximised));
    EXPECT_EQ(0, ModeAfterFullScreen(kModeFullScreen));
    EXPECT_EQ(kModeNormal, ModeAfterLeaveFullScreen(kModeFullScreen));
    EXPECT_EQ(0, ModeAfterLeaveFullScreen(kModeNormal));
    EXPECT_EQ(0, ModeAfterLeaveFullScreen(kModeMaximised));
}

TEST(MapStates, CommandsAndTheirRefusals) {
    RecordingPanel panel;
    MapPanelLayout map(panel);
    EXPECT_EQ(MapState::kShown, map.State());
    EXPECT_FALSE(map.Show(1090, 720, true));  // already shown
    EXPECT_TRUE(panel.Take().empty());

    EXPECT_TRUE(map.Hide());
    EXPECT_EQ((Calls{"hide", "fit"}), panel.Take());
    EXPECT_FALSE(map.Hide());
    EXPECT_TRUE(panel.Take().empty());

    // With no recording open, Show places the panel but leaves it invisible.
    EXPECT_TRUE(map.Show(1090, 720, false));
    EXPECT_EQ((Calls{"move 775,330 305x253", "hide", "fit", "refresh"}), panel.Take());

    // Expand needs a valid GPS sentence and G-sensor data.
    EXPECT_FALSE(map.Expand(1090, 720, true, true, false));
    EXPECT_FALSE(map.Expand(1090, 720, true, false, true));
    EXPECT_TRUE(panel.Take().empty());
    EXPECT_EQ(MapState::kShown, map.State());
    EXPECT_TRUE(map.Expand(1090, 720, true, true, true));
    EXPECT_EQ((Calls{"move 775,175 305x408", "show", "fit", "refresh"}), panel.Take());
    EXPECT_FALSE(map.Expand(1090, 720, true, true, true));
    EXPECT_TRUE(panel.Take().empty());

    // Maximised on 1920 x 1080.
    EXPECT_TRUE(map.Show(1920, 1080, true));
    EXPECT_EQ((Calls{"move 1605,690 305x253", "show", "fit", "refresh"}), panel.Take());
    EXPECT_TRUE(map.Expand(1920, 1080, true, true, true));
    EXPECT_EQ((Calls{"move 1605,175 305x768", "show", "fit", "refresh"}), panel.Take());
    EXPECT_EQ(MapState::kExpanded, map.State());
}

TEST(MapStates, PlacesPerDisplayMode) {
    RecordingPanel panel;
    MapPanelLayout map(panel);
    map.PlaceForMode(kModeNormal, 1090, 720);
    EXPECT_EQ((Calls{"move 775,330 305x253", "fit", "refresh"}), panel.Take());
    map.PlaceForMode(kModeMaximised, 1920, 1080);
    EXPECT_EQ((Calls{"move 1605,690 305x253", "fit", "refresh"}), panel.Take());
    map.PlaceForMode(kModeFullScreen, 1920, 1080);
    EXPECT_EQ((Calls{"hide"}), panel.Take());

    map.Reset(MapState::kExpanded);
    map.PlaceForMode(kModeNormal, 1090, 720);
    EXPECT_EQ((Calls{"move 775,175 305x408", "fit", "refresh"}), panel.Take());
    map.PlaceForMode(kModeMaximised, 1280, 1024);
    EXPECT_EQ((Calls{"move 965,175 305x712", "fit", "refresh"}), panel.Take());
    map.PlaceForMode(kModeFullScreen, 1280, 1024);
    EXPECT_EQ((Calls{"hide"}), panel.Take());

    map.Reset(MapState::kHidden);
    for (int mode : {kModeNormal, kModeMaximised, kModeFullScreen}) {
        map.PlaceForMode(mode, 1920, 1080);
        EXPECT_EQ((Calls{"hide"}), panel.Take()) << mode;
    }
}

TEST(MapStates, TheVideoLayoutsStep) {
    RecordingPanel panel;
    MapPanelLayout map(panel);
    map.AfterVideoLayout(1090, 720, true);
    EXPECT_EQ((Calls{"move 775,330 305x253", "show", "fit", "refresh"}), panel.Take());
    map.AfterVideoLayout(1090, 720, false);
    EXPECT_EQ((Calls{"move 775,330 305x253", "hide", "fit", "refresh"}), panel.Take());
    map.Reset(MapState::kExpanded);  // the expanded place is left as it is
    map.AfterVideoLayout(1090, 720, true);
    EXPECT_EQ((Calls{"show", "fit", "refresh"}), panel.Take());
    map.Reset(MapState::kHidden);
    map.AfterVideoLayout(1090, 720, true);
    EXPECT_EQ((Calls{"hide", "fit", "refresh"}), panel.Take());
    map.HideWithSurfaces();
    EXPECT_EQ((Calls{"hide"}), panel.Take());

    // A panel handed over later takes the calls from then on.
    RecordingPanel other;
    map.SetPanel(other);
    map.Reset(MapState::kShown);
    map.AfterVideoLayout(1920, 1080, true);
    EXPECT_TRUE(panel.Take().empty());
    EXPECT_EQ((Calls{"move 1605,690 305x253", "show", "fit", "refresh"}), other.Take());
}
