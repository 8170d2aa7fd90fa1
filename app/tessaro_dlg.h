// The main window, CTessaroDlg: the single owner of the viewer's state and the
// router of its commands, private messages and timers.
//
// Shape. Each subsystem is a class of its own that this window holds as a
// member, from construction to destruction; the window keeps the named
// operations the rest of the program calls (OpenFile, StopPlayback,
// SetDisplayMode, BuildSensorTables, ...), and each of them hands over to its
// subsystem in a line or two. Subsystems do not reach each other: what one
// needs of another goes through the window's named operations (or through a
// narrow host interface the window implements for that subsystem). Rules that
// need no window (state machines, parsing, geometry, formats) live in plain
// C++ beside the subsystem and are tested natively.
//   m_controls    the template's controls, bound to their objects (main_controls.h)
//   m_catalogue   the four recording lists and the entry table (catalogue/)
//   m_sensors     GPS and G-sensor tables, their labels, graph and speed digits (sensors/)
//   m_surfaces    channel and photo surfaces, channel view, mirror and flip (playback/)
//   m_playback    the playback controller, its media graph and prefetch (playback/)
//   m_volume      the system volume behind the volume slider (playback/)
//   m_map         the map window with its browser (sensors/map_dlg.h)
//   m_layout      skin, places, display modes and map states (app/window_layout.h)
// Export (export/) keeps no state between commands: Print, Save and Version
// call its operations.
#pragma once
#include "catalogue_view.h"
#include "fw_dialog.h"
#include "krv_library.h"
#include "loading_dlg.h"
#include "main_controls.h"
#include "map_dlg.h"
#include "playback_controller.h"
#include "sensor_readouts.h"
#include "tick_log.h"
#include "video_surfaces.h"
#include "volume_mixer.h"
#include "window_layout.h"

class CTessaroDlg : public CDialog, private PlaybackHost, private LayoutHost {
public:
    CTessaroDlg();
    ~CTessaroDlg() override;

    BOOL PreTranslateMessage(MSG* msg) override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

    // The skinned question dialog: 1 for yes (or the single button), 2 for no.
    int AskUser(const wchar_t* title, const wchar_t* message, bool twoButtons);
    // Entries of the list that is shown (file list or event list).
    int ShownListCount() const { return m_catalogue.ShownListCount(); }
    // The clock line for a local time.
    static CString ClockText(const SYSTEMTIME& t);

    // Skin, layout and display modes (app/window_layout.h).
    void ApplySkin();
    void SetToolTips();
    void SetDisplayMode(int mode);
    void PlaceNormalControls();
    void PlaceLists(int extra);
    void ShowAllControls();
    void HideAllControls();
    void HideMap();
    void ShowMap();
    void ExpandMap();

    // Playback (playback/playback_controller.h).
    bool OpenFile(int step) { return m_playback.OpenFile(step); }
    void StartPlayback() { m_playback.StartPlayback(); }
    void StopPlayback() { m_playback.StopPlayback(); }
    void SetPaused(int direction) { m_playback.SetPaused(direction); }
    void AbortNextFile() { m_playback.AbortNextFile(); }

    // Video surfaces, views, mirror and flip (playback/video_surfaces.h).
    void LayoutVideoArea() override;
    void SetViewMode(int layout) override;
    void ApplyMirrorFlip() { m_surfaces.ApplyMirrorFlip(); }
    void LoadMirrorState() { m_surfaces.LoadMirrorState(m_programFolder); }
    void SaveMirrorState() { m_surfaces.SaveMirrorState(m_programFolder); }
    void HidePlaybackSurfaces() override;
    void ShowSurfaceForOpen(bool on) override;

    // Sensor readouts (sensors/sensor_readouts.h).
    void BuildSensorTables(const uint8_t* gsensorBlock, const uint8_t* gpsBlock, int64_t durationMs) override;
    void ResetGpsReadout() override;
    void ResetGSensorReadout() override;
    void UpdateGpsReadout(int64_t positionMs) override;
    void UpdateGSensorReadout(int64_t positionMs) override;
    void SendPositionToMap();
    const sensors::SensorData& SensorData() const { return m_sensors.Data(); }
    // The map window's page (1 map, 2 no connection, 3 no GPS data).
    void LoadMapPage(int kind) override;

protected:
    void BindControls() override;
    BOOL OnInitDialog() override;
    void DeclareMessageMap(MessageMap& map) override;

private:
    // Window creation and initialisation.
    LRESULT OnCreate();
    void RegisterDriveNotifications();
    void DeleteStalePlayFiles();
    void UpdateClock();

    // Commands and messages of the window itself.
    void OnCloseCommand();
    void OnEscapeReleased();
    void OnSpaceReleased();
    void OnSize(UINT type, int cx, int cy);
    LRESULT OnPaint();
    LRESULT OnBackgroundPress(LPARAM lp);
    void OnListHeaderCheck(WPARAM wp, LPARAM lp);
    void OnSliderMoving(UINT sliderId);
    void OnFullScreen();
    void OnMaximize();

    // Device and catalogue (tessaro_catalogue.cpp).
    void OnFileOpen();
    void SelectDevice(const CString& root);
    void OnDriveNotify(WPARAM wp, LPARAM lp);
    void OnTypeFilter(int which);
    void ShowFileListGroup();
    void ShowEventList();
    void OnRowDoubleClick(UINT listId);
    void EnableDeviceButtons(bool on);
    void HideVideoWindows();

    // Playback and views (tessaro_playback.cpp).
    void OnViewToggle();
    void OnMirror();
    void OnFlip();
    void ShowTurnedPicture();
    void InitVolumeControl();
    void OnPlaybackTimer();
    void CreateSurfacesAndMap();
    void CreateMapWindow();
    void ForwardMapPosition();
    // PlaybackHost.
    void ShowBusy() override { m_loading.ShowBusy(m_hWnd); }
    void HideBusy() override { m_loading.HideBusy(); }
    void Notify(const wchar_t* title, const wchar_t* text) override { AskUser(title, text, false); }
    bool ChannelTwoViewed() const override { return m_surfaces.ChannelTwoViewed(); }
    CImage& PhotoImage() override { return m_surfaces.Photo(); }
    void ShowPhoto(bool on) override { m_surfaces.ShowPhotoOnFirstSurface(on); }
    bool IsNormalMode() const override { return m_layout.DisplayMode() == WindowLayout::ModeNormal; }
    void SetMovable(bool on) override { m_layout.SetDraggable(on); }
    // LayoutHost (LayoutVideoArea above, RefitVideo below).
    void CollapseVideoWindows() override { m_surfaces.CollapseAll(); }
    CWnd& CurrentPictureWindow() override { return m_surfaces.CurrentPictureWindow(m_playback.PhotoOpen()); }
    bool RecordingOpen() const override { return m_playback.IsOpen(); }

    // Print, Save and Version (tessaro_export.cpp, export/).
    void OnPrint();
    void OnSave();
    void OnVersion();

    // Media graph (tessaro_media.cpp).
    void InitMediaGraph();
    void CheckMediaComponents();
    void RepaintVideo();
    void RefitVideo() override;

    HICON m_hIcon = nullptr;
    MainControls m_controls;
    CLoadingDlg m_loading;

    // Device.
    KrvLibrary m_krv;
    wchar_t m_driveLetter = 0;
    CString m_driveRoot;
    unsigned char m_diskNumber = 0;

    // Subsystems.
    CatalogueView m_catalogue;
    SensorReadouts m_sensors{*this,
                             {m_controls.m_lblGSensorX, m_controls.m_lblGSensorY, m_controls.m_lblGSensorZ,
                              m_controls.m_lblGpsTime, m_controls.m_lblGpsLongitude, m_controls.m_lblGpsLatitude,
                              m_controls.m_lblTimeRange},
                             m_controls.m_graph};
    PlaybackController m_playback{*this,
                                  *this,
                                  {m_controls.m_btnPlay, m_controls.m_btnStop, m_controls.m_btnPrint,
                                   m_controls.m_btnChannelView, m_controls.m_btnMirror, m_controls.m_btnFlip,
                                   m_controls.m_btnMapHide, m_controls.m_btnMapShow, m_controls.m_btnMapExpand,
                                   m_controls.m_sldPosition, m_controls.m_lblElapsed, m_controls.m_lblDuration},
                                  m_catalogue,
                                  m_krv};
    VideoSurfaces m_surfaces{*this,
                             {m_controls.m_channel1, m_controls.m_channel2, m_controls.m_btnChannelView,
                              m_controls.m_btnMirror, m_controls.m_btnFlip},
                             m_playback.Player()};
    std::unique_ptr<VolumeMixer> m_volume;
    BBMapDlg m_map;
    MapWindowPanel<BBMapDlg> m_mapPanel{m_map};
    bool m_hasMixer = false;
    WindowLayout m_layout{*this, *this, m_controls, m_catalogue, m_sensors};

    // The program folder, with a trailing backslash.
    CString m_programFolder;
    ULONG m_shellNotifyId = 0;
    // Tick timing for the benchmark (TESSARO_TICK_LOG, tick_log.h).
    CTickLog m_tickLog;
};
