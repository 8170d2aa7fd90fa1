// The main window's look and geometry: the skin of every control, the
// background composed from the skin's pieces, the places of the controls, the
// display modes (normal, full screen, maximised) and the map panel's states
// (hidden, shown, expanded).
#pragma once
#include "fw_gdi.h"
#include "fw_wnd.h"

class CatalogueView;
class SensorReadouts;
struct MainControls;

class WindowLayout {
public:
    enum DisplayMode { ModeNormal = 1, ModeFullScreen = 2, ModeMaximised = 3 };
    enum MapState { MapHidden, MapShown, MapExpanded };

    WindowLayout(CWnd& window, MainControls& controls, CatalogueView& catalogue, SensorReadouts& sensors)
        : m_window(window), m_controls(controls), m_catalogue(catalogue), m_sensors(sensors) {}

    void LoadSkin();
    void ApplySkin(int mirrorState, int flipState);
    void SetToolTips();
    // The window's background, composed off-screen and copied to dc once.
    void PaintBackground(HDC dc);
    void SetDisplayMode(int mode);
    void PlaceNormalControls();
    void PlaceLists(int extra);
    void PlaceLists() { PlaceLists(m_mapState == MapHidden ? 266 : 0); }
    void ShowAllControls();
    void HideAllControls();
    void HideMap();
    void ShowMap();
    // Refused unless both kinds of sensor data are present.
    void ExpandMap(bool gpsValid, bool gsensorPresent);

    int DisplayMode() const { return m_displayMode; }
    MapState GetMapState() const { return m_mapState; }
    bool Draggable() const { return m_draggable; }
    void SetDraggable(bool on) { m_draggable = on; }

private:
    void CheckMapButtons();

    CWnd& m_window;
    MainControls& m_controls;
    CatalogueView& m_catalogue;
    SensorReadouts& m_sensors;
    CBitmap m_background;
    int m_displayMode = ModeNormal;
    bool m_draggable = false;
    MapState m_mapState = MapShown;
};
