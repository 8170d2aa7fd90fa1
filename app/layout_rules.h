// The main window's geometry and mode rules, without a window: where every
// control sits in normal and maximised mode, the pieces of the skinned
// background with their destinations, the map panel's places, which display
// mode a command leads to, and the map panel's three states with the calls
// they make on the panel. The window (window_layout.cpp) carries them out.
#pragma once
#include <vector>

namespace layout {

struct Box {
    int x = 0, y = 0, w = 0, h = 0;
    bool operator==(const Box& o) const { return x == o.x && y == o.y && w == o.w && h == o.h; }
    bool operator!=(const Box& o) const { return !(*this == o); }
    bool Overlaps(const Box& o) const { return x < o.x + o.w && o.x < x + w && y < o.y + o.h && o.y < y + h; }
    bool Inside(int width, int height) const { return x >= 0 && y >= 0 && x + w <= width && y + h <= height; }
};

enum DisplayMode { kModeNormal = 1, kModeFullScreen = 2, kModeMaximised = 3 };
enum class MapState { kHidden, kShown, kExpanded };

// The window's size in normal mode (its main background image's size).
constexpr int kNormalWidth = 1090, kNormalHeight = 720;
// Extra height of the lists while the map is hidden.
constexpr int kListsExtraMapHidden = 266;

// Every control with a place of its own, in the order of the place table.
const std::vector<int>& PlacedControls();
// Normal-mode place of a placed control; maximised place on a screen sw x sh.
// Both are empty boxes for any other id.
Box NormalPlace(int id);
Box MaximisedPlace(int id, int sw, int sh);
// The position slider's maximised x: 28 on screens too narrow for it to sit
// centred left of the elapsed time, else centred.
int MaximisedPositionSliderX(int sw);

// Controls that ShowAllControls makes visible for a map state (File Open
// included in every state), and the four GPS labels shown only while the map
// is expanded.
std::vector<int> VisibleControls(MapState map);
const std::vector<int>& GpsLabels();

// The pieces of the background, in drawing order. Each names its image by
// piece; a stretched piece is scaled onto its box, a copied one is drawn at
// its own size at the box's corner (the box then has the image's size).
enum Piece {
    kPieceWindow,         // 197
    kPieceBorderLeft,     // 215
    kPieceBorderRight,    // 216
    kPieceTitleMiddle,    // 217
    kPieceBottomBar,      // 233
    kPiecePositionBar,    // 226
    kPieceControlBar,     // 227
    kPieceTitleLeft,      // 214
    kPieceTitleRight,     // 218
    kPieceFilterPanel,    // 219
    kPieceControlLeft,    // 221
    kPieceControlVolume,  // 222
    kPieceControlView,    // 223
    kPieceControlMirror,  // 224
    kPieceControlFlip,    // 225
    kPieceGSensorPanel,   // 228
    kPieceMapButtons,     // 230
    kPieceBottomLeft,     // 231
    kPieceBottomRight,    // 232
    kPieceBottomMiddle,   // 332
    kPieceVideoArea,      // 234
    kPieceMapPanel,       // 235
    kPieceDigitBlank,     // 285
    kPieceCount
};
struct PieceDraw {
    Piece piece;
    Box dest;
    bool stretch;
};
// The draws of the background over a client area of w x h: 23 steps, the
// last one drawing the blank digit in each of the three speed cells.
std::vector<PieceDraw> BackgroundDraws(int w, int h);
// Size of each piece's image.
Box PieceSize(Piece piece);

// Where the map panel stands while shown and while expanded, in a client
// area of w x h.
Box MapShownPlace(int w, int h);
Box MapExpandedPlace(int w, int h);

// The display mode a request leads to, or 0 when the request is ignored.
// Maximize toggles normal and maximised on a screen of at least 1090 x 720;
// Full Screen comes from normal or maximised; leaving full screen (Escape
// released, the card removed) returns to normal.
int ModeAfterMaximize(int mode, int sw, int sh);
int ModeAfterFullScreen(int mode);
int ModeAfterLeaveFullScreen(int mode);

// The map window as the layout places it: moved, shown or hidden, its browser
// fitted to it and its page refreshed. The main window hands over its map
// window; a panel that does nothing stands in until there is one.
class MapPanel {
public:
    virtual ~MapPanel() = default;
    virtual void Move(const Box& place) = 0;
    virtual void Show(bool visible) = 0;
    virtual void FitBrowser() = 0;
    virtual void RefreshBrowser() = 0;
};

class NoMapPanel : public MapPanel {
public:
    void Move(const Box&) override {}
    void Show(bool) override {}
    void FitBrowser() override {}
    void RefreshBrowser() override {}
};

// The map panel's state (hidden, shown, expanded) and the calls each change
// and each layout makes on the panel. The window does the rest of each
// change (lists, type filters, GPS labels, button checks).
class MapPanelLayout {
public:
    explicit MapPanelLayout(MapPanel& panel) : m_panel(&panel) {}
    void SetPanel(MapPanel& panel) { m_panel = &panel; }
    MapState State() const { return m_state; }
    void Reset(MapState state) { m_state = state; }

    // The three map commands in a client area of w x h; false (and no call)
    // when the state is already the one asked for, or, for Expand, unless
    // the open recording has a valid GPS sentence and G-sensor data.
    bool Hide();
    bool Show(int w, int h, bool recordingOpen);
    bool Expand(int w, int h, bool recordingOpen, bool gpsValid, bool gsensorPresent);

    // The panel's place when the display mode changes: hidden in full screen
    // and while the map is hidden; otherwise moved to its place, fitted and
    // refreshed (its visibility is the video layout's to decide).
    void PlaceForMode(int mode, int w, int h);
    // The video layout's step (after an open, and at the end of a change to
    // normal or maximised mode): moved when shown, visible while a recording
    // is open and the map not hidden, fitted and refreshed.
    void AfterVideoLayout(int w, int h, bool recordingOpen);
    // Hidden together with the playback surfaces.
    void HideWithSurfaces() { m_panel->Show(false); }

private:
    void MoveTo(const Box& place);

    MapPanel* m_panel;
    MapState m_state = MapState::kShown;
};

}  // namespace layout
