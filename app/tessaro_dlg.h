// The main window: owns every other object of the viewer, initialises them in
// order, and routes commands, private messages and timers.
#pragma once
#include "fw_dialog.h"
#include "fw_controls.h"
#include "fw_gdi.h"
#include "bitmap_slider.h"
#include "catalogue_model.h"
#include "krv_library.h"
#include "loading_dlg.h"
#include "skin_button.h"
#include "skin_list.h"
#include "tp_static.h"
#include "video_player.h"

// Private messages.
enum : UINT {
    WM_LIST_HEADER_CHECK = 0x0401,  // list header check box (low word sub-code, high word list id)
    WM_NOTHING_0402 = 0x0402,
    WM_ESCAPE_RELEASED = 0x040D,
    WM_DRIVE_NOTIFY = 0x040E,
    WM_SPACE_RELEASED = 0x0425,
    WM_PREVIOUS_REQUEST = 0x0428,
    WM_NEXT_REQUEST = 0x0429,
    WM_FULLSCREEN_REQUEST = 0x042A,
    WM_MAXIMIZE_REQUEST = 0x042B,
    WM_UPDATE_MAP = 0x0464,
    WM_SLIDER_MOVED = 0x28D1,
};
enum : UINT { WM_LIST_MSG = 0x040F, WM_LIST_CHECK = 0x0410 };

// Timers.
enum : UINT_PTR { TIMER_PLAYBACK = 6302, TIMER_CLOCK = 6303, TIMER_WAIT_PREFETCH = 6405 };

class CTessaroDlg : public CDialog {
public:
    enum DisplayMode { ModeNormal = 1, ModeFullScreen = 2, ModeMaximised = 3 };
    enum MapState { MapHidden, MapShown, MapExpanded };

    CTessaroDlg();
    ~CTessaroDlg() override;

    BOOL PreTranslateMessage(MSG* msg) override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

    // The skinned question dialog: 1 for yes (or the single button), 2 for no.
    int AskUser(const wchar_t* title, const wchar_t* message, bool twoButtons);
    void ShowBusy();
    void HideBusy();

    // Number of entries of the list that is shown (file list or event list).
    int ShownListCount() const;
    // The clock line for a local time.
    static CString ClockText(const SYSTEMTIME& t);

protected:
    void BindControls() override;
    BOOL OnInitDialog() override;
    void DeclareMessageMap(MessageMap& map) override;

private:
    // Window creation and initialisation.
    LRESULT OnCreate(WPARAM wp, LPARAM lp);
    void RegisterDriveNotifications();
    void DeleteStalePlayFiles();
    void UpdateClock();

    // Commands and messages of the main window itself.
    void OnCloseCommand();
    void OnMinimise();
    void OnEscapeReleased();
    void OnSpaceReleased();
    void OnSize(UINT type, int cx, int cy);
    LRESULT OnPaint(WPARAM wp, LPARAM lp);
    LRESULT OnBackgroundPress(WPARAM wp, LPARAM lp);
    LRESULT OnListHeaderCheck(WPARAM wp, LPARAM lp);
    LRESULT OnSliderMoved(WPARAM wp, LPARAM lp);

    // Skin, layout and display modes.
    void LoadSkin();
    LRESULT PaintSkinBackground(HDC dc);
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
    void OnFullScreen();
    void OnMaximize();

    // Device and catalogue.
    void OnFileOpen();
    void OnDriveNotify(WPARAM wp, LPARAM lp);
    void InsertListColumns();
    void OnTypeFilter(int which);
    void ShowFileListGroup();
    void ShowEventList();
    void OnDateListClick();
    void OnHourListClick();
    void OnFileListDoubleClick();
    void CheckListAndBelow(UINT listId, bool checked);

    // Playback, surfaces, volume, sensors, map, export.
    void OnPlay();
    void StopPlayback();
    void OnPrevious();
    void OnNext();
    void OnViewToggle();
    void OnViewAll();
    void OnMirror();
    void OnFlip();
    void InitVolumeControl();
    void ReadMirrorSettings();
    void SaveMirrorSettings();
    void CreateSurfacesAndMap();
    void InitMediaGraph();
    void CheckMediaComponents();
    void ClearSensorDisplays();
    void ForwardMapPosition();
    void RepaintVideo();
    void RefitVideo();
    void OnPrint();
    void OnSave();
    void OnVersion();

    // Controls.
    CSkinListCtrl m_listDate, m_listHour, m_listFile, m_listEvent;
    CFont m_listFont;
    struct ButtonBinding {
        UINT id;
        CSkinButton* button;
    };
    CSkinButton m_btnClose, m_btnMinimise, m_btnFullScreen, m_btnMaximize, m_btnFileOpen, m_btnSave, m_btnPrint,
        m_btnVersion, m_btnPlay, m_btnStop, m_btnPrevious, m_btnNext, m_btnView, m_btnViewAll, m_btnMirror, m_btnFlip,
        m_btnSound, m_btnNormal, m_btnEvent, m_btnPark, m_btnPhoto, m_btnListGroup, m_btnEventGroup, m_btnMapHide,
        m_btnMapShow, m_btnMapExpand, m_btnHidden1049, m_btnHidden1056, m_btnHidden1010, m_btnHidden1025,
        m_btnHidden1150, m_btnHidden1151;
    CBitmapSlider m_sliderPosition, m_sliderVolume;
    CStatic m_graph, m_videoHost1, m_videoHost2;
    CTPStatic m_labels[14];
    static const UINT kLabelIds[14];
    CLoadingDlg m_loading;
    HICON m_hIcon = nullptr;

    // Skin.
    CBitmap m_skinBackground;

    // Display state.
    int m_displayMode = ModeNormal;
    bool m_draggable = false;
    bool m_showFileGroup = false;
    bool m_showEventList = false;
    bool m_filterChecked[4] = {};
    MapState m_mapState = MapShown;
    bool m_needRepaint = false;

    // Catalogue.
    unsigned m_typeFilter = 0;
    int m_selDate = 0, m_selHour = 0, m_selFile = 0, m_selEvent = -1, m_currentEntry = -1;

    // Device.
    KrvLibrary m_krv;
    wchar_t m_driveLetter = 0;
    CString m_driveRoot;
    unsigned char m_diskNumber = 0;

    // Playback.
    bool m_recordingOpen = false;
    bool m_playing = false;
    int m_viewMode = 1;
    int m_mirrorState = 0, m_flipState = 0;
    double m_rate = 1.0;
    CString m_playFilePath;
    bool m_hasMixer = false;

    // Sensor data.
    bool m_gpsPresent = false, m_gsensorPresent = false;
    CString m_latText, m_lngText;

    // Paths.
    CString m_programFolder;
    ULONG m_shellNotifyId = 0;

    // Catalogue: the entry table from the device and the operations over it
    // and the four lists (tessaro_catalogue.cpp).
public:
    // Selected row of the shown list (file index or event index).
    int SelectedRow() const { return m_showFileGroup ? m_selFile : m_showEventList ? m_selEvent : -1; }
    const catalogue::EntryTable& CatalogueTable() const { return m_entryTable; }

private:
    void SelectDevice(const CString& root);
    void LoadCatalogue();
    void ReleaseCatalogue();
    bool FillFromDevice();
    void BuildLists();
    void SetTypeFilter(int code);
    void SelectRow(int row);
    void EnableLists(bool on);
    void EnableDeviceButtons(bool on);
    void HideVideoWindows();
    catalogue::EntryTable m_entryTable;
    bool m_checkAll = false;
    bool m_listsEnabled = true;

    // Media graph: the two channel windows' player (tessaro_media.cpp).
    playback::VideoPlayer m_player;
};
