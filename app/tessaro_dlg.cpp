#include "tessaro_dlg.h"
#include <shlobj.h>
#include <shellapi.h>
#include "app_messages.h"
#include "control_ids.h"
#include "notify_dlg.h"
#include "resource.h"
#include "fw_file.h"
#include "tessaro_app.h"

CTessaroDlg::CTessaroDlg() : CDialog(IDD_TESSARO_DIALOG) {
    m_hIcon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

CTessaroDlg::~CTessaroDlg() {
    if (m_shellNotifyId) ::SHChangeNotifyDeregister(m_shellNotifyId);
    if (m_loading.GetSafeHwnd()) m_loading.DestroyWindow();
    m_krv.Release();
}

void CTessaroDlg::BindControls() { m_controls.Bind(*this); }

void CTessaroDlg::DeclareMessageMap(MessageMap& map) {
    map.On(WM_CREATE, [this](WPARAM, LPARAM) { return OnCreate(); });

    // Command table.
    map.OnCommand(IDC_CLOSE, [this] { OnCloseCommand(); });
    map.OnCommand(IDC_MINIMIZE, [this] { ShowWindow(SW_MINIMIZE); });
    map.OnCommand(IDC_FULL_SCREEN, [this] { OnFullScreen(); });
    map.OnCommand(IDC_MAXIMIZE, [this] { OnMaximize(); });
    map.OnCommand(IDC_FILE_OPEN, [this] { OnFileOpen(); });
    map.OnCommand(IDC_SAVE, [this] { OnSave(); });
    map.OnCommand(IDC_PRINT, [this] { OnPrint(); });
    map.OnCommand(IDC_VERSION, [this] { OnVersion(); });
    map.OnCommand(IDC_PLAY, [this] { m_playback.OnPlay(); });
    map.OnCommand(IDC_PAUSE, [this] { m_playback.OnPause(); });
    map.OnCommand(IDC_STOP, [this] { m_playback.OnStop(); });
    map.OnCommand(IDC_PREVIOUS, [this] { m_playback.OnPrevious(); });
    map.OnCommand(IDC_NEXT, [this] { m_playback.OnNext(); });
    map.OnCommand(IDC_CHANNEL_VIEW, [this] { OnViewToggle(); });
    // The both-channels layout is not one the video area handles: no visible effect.
    map.OnCommand(IDC_VIEW_ALL, [] {});
    map.OnCommand(IDC_MIRROR, [this] { OnMirror(); });
    map.OnCommand(IDC_FLIP, [this] { OnFlip(); });
    map.OnCommand(IDC_SOUND, [] {});  // the hidden sound button has no action
    map.OnCommandRange(IDC_FILTER_NORMAL, IDC_FILTER_PHOTO,
                       [this](UINT id) { OnTypeFilter(static_cast<int>(id - IDC_FILTER_NORMAL)); });
    map.OnCommand(IDC_SHOW_FILE_GROUP, [this] { ShowFileListGroup(); });
    map.OnCommand(IDC_SHOW_EVENT_LIST, [this] { ShowEventList(); });
    map.OnCommand(IDC_MAP_HIDE, [this] { HideMap(); });
    map.OnCommand(IDC_MAP_SHOW, [this] { ShowMap(); });
    map.OnCommand(IDC_MAP_EXPAND, [this] { ExpandMap(); });

    // List notifications.
    auto consume = [](NMHDR*) -> LRESULT { return 0; };
    map.OnNotify(IDC_DATE_LIST, NM_CLICK, [this](NMHDR*) -> LRESULT {
        m_catalogue.OnDateClick();
        return 0;
    });
    map.OnNotify(IDC_HOUR_LIST, NM_CLICK, [this](NMHDR*) -> LRESULT {
        m_catalogue.OnHourClick();
        return 0;
    });
    map.OnNotify(IDC_FILE_LIST, NM_DBLCLK, [this](NMHDR*) -> LRESULT {
        OnRowDoubleClick(IDC_FILE_LIST);
        return 0;
    });
    map.OnNotify(IDC_EVENT_LIST, NM_DBLCLK, [this](NMHDR*) -> LRESULT {
        OnRowDoubleClick(IDC_EVENT_LIST);
        return 0;
    });
    map.OnNotify(IDC_FILE_LIST, NM_CLICK, consume);
    map.OnNotify(IDC_DATE_LIST, NM_DBLCLK, consume);
    map.OnNotify(IDC_HOUR_LIST, NM_DBLCLK, consume);
    // Column resizing ends silently in every list header.
    map.OnFilter(WM_NOTIFY, [](WPARAM, LPARAM lp, LRESULT& r) {
        auto* nm = reinterpret_cast<NMHDR*>(lp);
        if (nm->code != HDN_ENDTRACKW && nm->code != HDN_ENDTRACKA) return false;
        r = 0;
        return true;
    });

    // Private messages.
    map.On(WM_LIST_HEADER_CHECK, [this](WPARAM wp, LPARAM lp) -> LRESULT {
        OnListHeaderCheck(wp, lp);
        return 0;
    });
    // Nobody sends the dialog manager's reposition request here; it must not
    // move the window.
    map.On(DM_REPOSITION, [](WPARAM, LPARAM) -> LRESULT { return 0; });
    map.On(WM_ESCAPE_RELEASED, [this](WPARAM, LPARAM) -> LRESULT {
        OnEscapeReleased();
        return 0;
    });
    map.On(WM_DRIVE_NOTIFY, [this](WPARAM wp, LPARAM lp) -> LRESULT {
        OnDriveNotify(wp, lp);
        return 0;
    });
    map.On(WM_SPACE_RELEASED, [this](WPARAM, LPARAM) -> LRESULT {
        OnSpaceReleased();
        return 0;
    });
    map.On(WM_PREVIOUS_REQUEST, [this](WPARAM, LPARAM) -> LRESULT {
        if (ShownListCount() > 0) m_playback.OnPrevious();
        return 0;
    });
    map.On(WM_NEXT_REQUEST, [this](WPARAM, LPARAM) -> LRESULT {
        if (ShownListCount() > 0) m_playback.OnNext();
        return 0;
    });
    map.On(WM_FULLSCREEN_REQUEST, [this](WPARAM, LPARAM) -> LRESULT {
        OnFullScreen();
        return 0;
    });
    map.On(WM_MAXIMIZE_REQUEST, [this](WPARAM, LPARAM) -> LRESULT {
        OnMaximize();
        return 0;
    });
    map.On(WM_SLIDER_MOVING, [this](WPARAM id, LPARAM) -> LRESULT {
        OnSliderMoving(static_cast<UINT>(id));
        return 0;
    });

    // Timers.
    map.OnTimer(TIMER_CLOCK, [this] { UpdateClock(); });
    map.OnTimer(TIMER_PLAYBACK_TICK, [this] { OnPlaybackTimer(); });
    map.OnTimer(TIMER_WAIT_PREFETCH, [this] { m_playback.OnNextFileWait(); });

    // Other window messages.
    map.OnSize([this](UINT type, int cx, int cy) {
        Default();
        OnSize(type, cx, cy);
    });
    map.On(WM_ERASEBKGND, [this](WPARAM wp, LPARAM) -> LRESULT {
        m_layout.PaintSkinBackground(reinterpret_cast<HDC>(wp));
        return TRUE;
    });
    map.On(WM_PAINT, [this](WPARAM, LPARAM) { return OnPaint(); });
    map.On(WM_QUERYDRAGICON, [this](WPARAM, LPARAM) -> LRESULT { return reinterpret_cast<LRESULT>(m_hIcon); });
    map.On(WM_LBUTTONDOWN, [this](WPARAM, LPARAM lp) { return OnBackgroundPress(lp); });
}

LRESULT CTessaroDlg::OnCreate() {
    if (Default() == -1) return -1;
    return m_catalogue.Create(this) ? 0 : -1;
}

BOOL CTessaroDlg::OnInitDialog() {
    // 1. Default initialisation and the icons.
    CDialog::OnInitDialog();
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    // 2. Skin bitmaps.
    m_layout.LoadSkin();
    m_sensors.LoadDigits();
    // 3. Title, size, show, centre.
    SetWindowText(L"ORVEN Quovix");
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 1090, 720, SWP_NOMOVE | SWP_NOZORDER);
    ShowWindow(SW_SHOW);
    CenterWindow();
    // 4. Drive arrival and removal notifications.
    RegisterDriveNotifications();
    // 5. Program folder.
    wchar_t exe[MAX_PATH] = {};
    DWORD n = ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    CString path(std::wstring(exe, n < MAX_PATH ? n : 0));
    size_t slash = path.rfind(L'\\');
    m_programFolder = slash == std::wstring::npos ? CString() : CString(path.substr(0, slash + 1));
    m_playback.SetProgramFolder(m_programFolder);
    // 6. Play files left behind by earlier runs.
    DeleteStalePlayFiles();
    // 7. Volume control.
    InitVolumeControl();
    // 8. Start values: no drive, no sensor data (the catalogue and layout
    //    objects start with their own start values).
    m_layout.SetDraggable(true);
    m_driveRoot.Empty();
    m_driveLetter = 0;
    // 9. Mirror and flip.
    LoadMirrorState();
    // 10. Playback start values: channel 1 shown, no type filter yet.
    m_surfaces.SetViewModeValue(1);
    m_catalogue.SetFilterSet(0);
    // 11. Device library.
    if (!m_krv.Load(L"")) AskUser(L"KRV error", L"Can not find library.", false);
    // 12. Display surfaces and the map window.
    CreateSurfacesAndMap();
    // 13. List columns.
    m_catalogue.InsertColumns();
    // 14. Video hosts and the media graph.
    m_controls.m_channel1.MoveWindow(0, 0, 0, 0);
    InitMediaGraph();
    // 15. Media components.
    CheckMediaComponents();
    // 16. Skin and initial layout (the winmm mixer keeps its own range).
    ApplySkin();
    if (m_hasMixer) m_volume->ReapplySliderRange();
    // 17. Places, sensor displays, tool-tips, stopped state, filter set, visibility.
    PlaceNormalControls();
    m_layout.PlaceLists();
    ResetGpsReadout();
    ResetGSensorReadout();
    SetToolTips();
    StopPlayback();
    m_catalogue.SetFilterSet(catalogue::kFilterAll);
    ShowAllControls();
    // 18. Background drag.
    m_layout.SetDraggable(true);
    // 19. Buttons that are never shown.
    for (CSkinButton* b : {&m_controls.m_btnShowFileGroup, &m_controls.m_btnShowEventList, &m_controls.m_btnPause}) {
        b->ShowWindow(SW_HIDE);
        b->EnableWindow(FALSE);
    }
    // 20. Busy window.
    m_loading.CreateModeless(this);
    // 21. Clock.
    SetTimer(TIMER_CLOCK, 500);
    UpdateClock();
    return TRUE;
}

void CTessaroDlg::RegisterDriveNotifications() {
    PIDLIST_ABSOLUTE desktop = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(m_hWnd, CSIDL_DESKTOP, &desktop)) || !desktop) return;
    SHChangeNotifyEntry entry{desktop, TRUE};
    m_shellNotifyId = ::SHChangeNotifyRegister(m_hWnd, SHCNRF_InterruptLevel | SHCNRF_ShellLevel,
                                               SHCNE_DRIVEADD | SHCNE_DRIVEREMOVED, WM_DRIVE_NOTIFY, 1, &entry);
    ::CoTaskMemFree(desktop);
}

void CTessaroDlg::DeleteStalePlayFiles() {
    if (!m_programFolder.IsEmpty()) DeleteFilesMatching(m_programFolder, L"*.avi");
}

CString CTessaroDlg::ClockText(const SYSTEMTIME& t) {
    return CString::Formatted(L"Time : %04d-%02d-%02d %02d:%02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                              t.wSecond);
}

void CTessaroDlg::UpdateClock() {
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    m_controls.m_lblClock.SetWindowText(ClockText(t));
}

int CTessaroDlg::AskUser(const wchar_t* title, const wchar_t* message, bool twoButtons) {
    NotifyDlg dlg(this);
    dlg.SetTitle(title);
    dlg.SetMessage(message);
    dlg.SetTwoButtons(twoButtons ? 1 : 0);
    return static_cast<int>(dlg.DoModal());
}

BOOL CTessaroDlg::PreTranslateMessage(MSG* msg) {
    if (msg->message == WM_SYSKEYDOWN && msg->wParam == VK_F4) return TRUE;
    if (msg->message == WM_KEYDOWN) {
        switch (msg->wParam) {
            case VK_ESCAPE:
            case VK_RETURN:
            case VK_SPACE:
            case VK_CANCEL:
            case VK_LEFT:
            case VK_RIGHT:
            case VK_PRIOR:
            case VK_NEXT: return TRUE;
        }
    }
    return CDialog::PreTranslateMessage(msg);
}

LRESULT CTessaroDlg::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_UPDATE_MAP) {
        CTickLog::Span map(m_tickLog, CTickLog::kMap);
        ForwardMapPosition();
    }
    return CDialog::WindowProc(msg, wp, lp);
}

void CTessaroDlg::OnCloseCommand() {
    if (AskUser(L"Close", L"Do you want to close PC viewer?", true) != 1) return;
    StopPlayback();
    SaveMirrorState();
    SendMessage(WM_CLOSE);
    ::ExitProcess(0);
}

void CTessaroDlg::OnEscapeReleased() { m_layout.RequestLeaveFullScreen(); }

void CTessaroDlg::OnSpaceReleased() {
    if (ShownListCount() > 0) m_playback.OnPlay();
}

void CTessaroDlg::OnSize(UINT type, int, int cy) {
    // A paused or stopped picture is delivered again at the new size (by the
    // display mode change itself when this size comes from one).
    if (m_layout.ChangingMode()) return;
    RefitVideo();
    if (type == SIZE_MINIMIZED || m_layout.DisplayMode() != WindowLayout::ModeNormal || cy >= 720) return;
    RECT r = GetWindowRect();
    MoveWindow(r.left, r.top, 1090, 720);
    RefitVideo();
    Invalidate();
}

LRESULT CTessaroDlg::OnPaint() {
    if (::IsIconic(m_hWnd)) {
        CPaintDC dc(m_hWnd);
        SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()));
        int cx = ::GetSystemMetrics(SM_CXICON), cy = ::GetSystemMetrics(SM_CYICON);
        RECT r = GetClientRect();
        ::DrawIcon(dc, (r.right - cx + 1) / 2, (r.bottom - cy + 1) / 2, m_hIcon);
        return 0;
    }
    RepaintVideo();
    return Default();
}

LRESULT CTessaroDlg::OnBackgroundPress(LPARAM lp) {
    if (m_layout.Draggable()) {
        POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        ::ClientToScreen(m_hWnd, &pt);
        PostMessage(WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(pt.x, pt.y));
    }
    return Default();
}

void CTessaroDlg::OnListHeaderCheck(WPARAM wp, LPARAM lp) {
    // LIST_HEADER_CHECK asks for nothing.
    if (LOWORD(wp) == LIST_HEADER_CHECK_ALL) m_catalogue.CheckListAndBelow(HIWORD(wp), lp == 2);
}

void CTessaroDlg::OnSliderMoving(UINT sliderId) {
    if (sliderId == IDC_POSITION_SLIDER) m_playback.OnPositionSlider();
    else if (sliderId == IDC_VOLUME_SLIDER && m_hasMixer) m_volume->ApplySlider();
}

// Skin, layout and display modes.
void CTessaroDlg::ApplySkin() { m_layout.ApplySkin(m_surfaces.MirrorState(), m_surfaces.FlipState()); }
void CTessaroDlg::SetToolTips() { m_layout.SetToolTips(); }
void CTessaroDlg::SetDisplayMode(int mode) { m_layout.SetDisplayMode(mode); }
void CTessaroDlg::PlaceNormalControls() { m_layout.PlaceNormalControls(); }
void CTessaroDlg::PlaceLists(int extra) { m_layout.PlaceLists(extra); }
void CTessaroDlg::ShowAllControls() { m_layout.ShowAllControls(); }
void CTessaroDlg::HideAllControls() { m_layout.HideAllControls(); }
void CTessaroDlg::HideMap() { m_layout.HideMap(); }
void CTessaroDlg::ShowMap() { m_layout.ShowMap(); }
void CTessaroDlg::ExpandMap() { m_layout.ExpandMap(m_sensors.Data().GpsValid(), m_sensors.Data().GSensorBytes() != 0); }
void CTessaroDlg::OnFullScreen() { m_layout.RequestFullScreen(); }
void CTessaroDlg::OnMaximize() { m_layout.RequestMaximize(); }
