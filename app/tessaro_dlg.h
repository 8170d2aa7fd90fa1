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
//   m_playback    the playback controller and its media graph (playback/)
//   m_layout      skin, places, display modes and map states (app/window_layout.h)
// and, as they arrive, the sensor readouts and G-sensor graph (sensors/), the
// map window (sensors/), the video surfaces with mirror and flip and the
// volume control (playback/), and export (export/).
#pragma once
#include "catalogue_view.h"
#include "fw_dialog.h"
#include "krv_library.h"
#include "loading_dlg.h"
#include "main_controls.h"
#include "playback_controller.h"
#include "window_layout.h"

class CTessaroDlg : public CDialog {
public:
    CTessaroDlg();
    ~CTessaroDlg() override;

    BOOL PreTranslateMessage(MSG* msg) override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

    // The skinned question dialog: 1 for yes (or the single button), 2 for no.
    int AskUser(const wchar_t* title, const wchar_t* message, bool twoButtons);
    void ShowBusy();
    void HideBusy();
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
    void StopPlayback();

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

    // Playback, surfaces, volume, sensors, map, export: the subsystems still
    // to come (tessaro_pending.cpp).
    void OnPlay();
    void OnPrevious();
    void OnNext();
    void OnViewToggle();
    void OnMirror();
    void OnFlip();
    void InitVolumeControl();
    void ReadMirrorSettings();
    void SaveMirrorSettings();
    void CreateSurfacesAndMap();
    void ClearSensorDisplays();
    void ForwardMapPosition();
    void OnPrint();
    void OnSave();
    void OnVersion();

    // Media graph (tessaro_media.cpp).
    void InitMediaGraph();
    void CheckMediaComponents();
    void RepaintVideo();
    void RefitVideo();

    HICON m_hIcon = nullptr;
    MainControls m_controls;
    CLoadingDlg m_loading;

    // Subsystems.
    CatalogueView m_catalogue;
    PlaybackController m_playback;
    WindowLayout m_layout{*this, m_controls, m_catalogue};

    // Device.
    KrvLibrary m_krv;
    wchar_t m_driveLetter = 0;
    CString m_driveRoot;
    unsigned char m_diskNumber = 0;

    // Mirror and flip of channel 2, the channel shown, the playback rate.
    int m_Mirror_state = 0, m_Flip_state = 0;
    int m_nViewMode = 1;
    float m_fPlayRate = 1.0f;
    bool m_hasMixer = false;

    // Sensor data present for the open recording.
    bool m_gpsPresent = false, m_gsensorPresent = false;

    // The program folder, with a trailing backslash.
    CString m_programFolder;
    ULONG m_shellNotifyId = 0;
};
