// The main window's look and geometry: the skin of every control, the
// background composed from the skin's pieces, the places of the controls, the
// display modes (normal, full screen, maximised) and the map panel's states
// (hidden, shown, expanded). The rules without a window are in layout_rules.h.
#pragma once
#include "fw_gdi.h"
#include "fw_wnd.h"
#include "layout_rules.h"

class CatalogueView;
class SensorReadouts;
struct MainControls;

// What the layout asks of the main window.
class LayoutHost {
public:
    // Places the video surfaces in the video area and decides which is shown.
    virtual void LayoutVideoArea() = 0;
    // Every video surface collapsed to nothing.
    virtual void CollapseVideoWindows() = 0;
    // The surface that shows the current picture (filling the screen in full screen).
    virtual CWnd& CurrentPictureWindow() = 0;
    // A recording (or photo) is open: the play state is not stopped.
    virtual bool RecordingOpen() const = 0;
    // A paused or stopped picture delivered again at its surface's size.
    virtual void RefitVideo() = 0;

protected:
    ~LayoutHost() = default;
};

// The map window as a map panel: any child window with FitBrowser and
// RefreshBrowser (the main window's BBMapDlg). Calls before the window
// exists do nothing.
template <class MapWindow>
class MapWindowPanel : public layout::MapPanel {
public:
    explicit MapWindowPanel(MapWindow& window) : m_window(window) {}
    void Move(const layout::Box& b) override {
        if (m_window.GetSafeHwnd()) m_window.MoveWindow(b.x, b.y, b.w, b.h);
    }
    void Show(bool visible) override {
        if (m_window.GetSafeHwnd()) m_window.ShowWindow(visible ? SW_SHOW : SW_HIDE);
    }
    void FitBrowser() override {
        if (m_window.GetSafeHwnd()) m_window.FitBrowser();
    }
    void RefreshBrowser() override {
        if (m_window.GetSafeHwnd()) m_window.RefreshBrowser();
    }

private:
    MapWindow& m_window;
};

class WindowLayout {
public:
    enum DisplayMode {
        ModeNormal = layout::kModeNormal,
        ModeFullScreen = layout::kModeFullScreen,
        ModeMaximised = layout::kModeMaximised
    };
    using MapState = layout::MapState;
    static constexpr MapState MapHidden = MapState::kHidden;
    static constexpr MapState MapShown = MapState::kShown;
    static constexpr MapState MapExpanded = MapState::kExpanded;

    WindowLayout(CWnd& window, LayoutHost& host, MainControls& controls, CatalogueView& catalogue,
                 SensorReadouts& sensors)
        : m_window(window), m_host(host), m_controls(controls), m_catalogue(catalogue), m_sensors(sensors) {}

    // The map window the layout places (until one is given, nothing is
    // placed). The main window keeps a MapWindowPanel<BBMapDlg> over its map
    // window and hands it over once the window is created.
    void SetMapPanel(layout::MapPanel& panel) { m_map.SetPanel(panel); }

    // Every background piece, loaded once.
    void LoadSkin();
    void ApplySkin(int mirrorState, int flipState);
    void SetToolTips();
    // The window's background, composed off-screen and copied to dc once.
    void PaintSkinBackground(HDC dc);

    void SetDisplayMode(int mode);
    // The mode commands: Full Screen, Maximize (a toggle), and leaving full
    // screen (Escape released, the card removed); each ignored where it does
    // not apply.
    void RequestFullScreen();
    void RequestMaximize();
    void RequestLeaveFullScreen();

    void PlaceNormalControls();
    void PlaceMaximisedControls();
    void PlaceLists(int extra);
    void PlaceLists() { PlaceLists(m_map.State() == MapHidden ? layout::kListsExtraMapHidden : 0); }
    void ShowAllControls();
    void HideAllControls();

    void HideMap();
    void ShowMap();
    // Refused unless both kinds of sensor data are present.
    void ExpandMap(bool gpsValid, bool gsensorPresent);
    // The map panel's part of the video layout (nothing in full screen), and
    // the panel hidden with the playback surfaces.
    void LayoutMapPanel(bool recordingOpen);
    void HideMapPanel() { m_map.HideWithSurfaces(); }

    int DisplayMode() const { return m_displayMode; }
    MapState GetMapState() const { return m_map.State(); }
    bool Draggable() const { return m_draggable; }
    // True inside SetDisplayMode, which delivers a paused picture again itself
    // once everything is placed.
    bool ChangingMode() const { return m_changingMode; }
    void SetDraggable(bool on) { m_draggable = on; }

private:
    // The background's pieces drawn in order into target, for a client area of w x h.
    void ComposePieces(HDC target, int w, int h) const;
    // The composed background for a client size (made when it is not kept).
    HDC Composition(HDC dc, int w, int h);
    void CheckMapButtons();
    void ShowFilters(bool show);
    void ShowGpsLabels(bool show);
    void SetMaximizeImages(bool restore);
    void Repaint();
    SIZE ClientSize() const;

    CWnd& m_window;
    LayoutHost& m_host;
    MainControls& m_controls;
    CatalogueView& m_catalogue;
    SensorReadouts& m_sensors;
    layout::NoMapPanel m_noMapPanel;
    layout::MapPanelLayout m_map{m_noMapPanel};
    CBitmap m_pieces[layout::kPieceCount];
    CBitmap m_filterStrip;  // loaded with the skin, not drawn
    bool m_skinComplete = false;
    // The pieces composed for the two client sizes used last, and the buffer
    // of every paint while a piece is missing.
    struct SkinBuffer {
        CBackBuffer buffer;
        SIZE size{0, 0};
        unsigned number = 0;  // which composition it holds, for the labels' captures
    };
    SkinBuffer m_compositions[2];
    int m_lastComposition = 0;
    unsigned m_compositionsMade = 0;
    CBackBuffer m_fallback;
    int m_displayMode = ModeNormal;
    bool m_draggable = false;
    bool m_changingMode = false;
};
