#include "tessaro_dlg.h"
#include <shlobj.h>
#include <shellapi.h>
#include "notify_dlg.h"
#include "resource.h"
#include "tessaro_app.h"

const UINT CTessaroDlg::kLabelIds[14] = {1015, 1016, 1017, 1018, 1019, 1020, 1021,
                                         1064, 1146, 1147, 1069, 1070, 1071, 1072};

namespace {
const COLORREF kListBack = RGB(22, 24, 25);
const COLORREF kListText = RGB(200, 200, 200);
const COLORREF kListSelection = RGB(3, 91, 156);
}  // namespace

CTessaroDlg::CTessaroDlg() : CDialog(IDD_TESSARO_DIALOG) {
    m_hIcon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

CTessaroDlg::~CTessaroDlg() {
    if (m_shellNotifyId) ::SHChangeNotifyDeregister(m_shellNotifyId);
    if (m_loading.GetSafeHwnd()) m_loading.DestroyWindow();
    m_krv.Release();
}

void CTessaroDlg::BindControls() {
    const ButtonBinding buttons[] = {
        {1000, &m_btnClose},      {1001, &m_btnMinimise},   {1002, &m_btnFullScreen}, {1053, &m_btnMaximize},
        {1033, &m_btnFileOpen},   {1003, &m_btnSave},       {1022, &m_btnPrint},      {1024, &m_btnVersion},
        {1006, &m_btnPlay},       {1007, &m_btnStop},       {1008, &m_btnPrevious},   {1009, &m_btnNext},
        {1026, &m_btnView},       {1027, &m_btnViewAll},    {1052, &m_btnMirror},     {1065, &m_btnFlip},
        {1050, &m_btnSound},      {1057, &m_btnNormal},     {1058, &m_btnEvent},      {1059, &m_btnPark},
        {1060, &m_btnPhoto},      {1054, &m_btnListGroup},  {1055, &m_btnEventGroup}, {1061, &m_btnMapHide},
        {1062, &m_btnMapShow},    {1063, &m_btnMapExpand},  {1049, &m_btnHidden1049}, {1056, &m_btnHidden1056},
        {1010, &m_btnHidden1010}, {1025, &m_btnHidden1025}, {1150, &m_btnHidden1150}, {1151, &m_btnHidden1151},
    };
    for (const auto& b : buttons) Bind(b.id, *b.button);
    Bind(1011, m_sliderPosition);
    Bind(1051, m_sliderVolume);
    Bind(1023, m_graph);
    Bind(1148, m_videoHost1);
    Bind(1149, m_videoHost2);
    for (int i = 0; i < 14; ++i) Bind(kLabelIds[i], m_labels[i]);
}

void CTessaroDlg::DeclareMessageMap(MessageMap& map) {
    map.On(WM_CREATE, [this](WPARAM wp, LPARAM lp) { return OnCreate(wp, lp); });

    // Command table.
    map.OnCommand(1000, [this] { OnCloseCommand(); });
    map.OnCommand(1001, [this] { OnMinimise(); });
    map.OnCommand(1002, [this] { OnFullScreen(); });
    map.OnCommand(1053, [this] { OnMaximize(); });
    map.OnCommand(1033, [this] { OnFileOpen(); });
    map.OnCommand(1003, [this] { OnSave(); });
    map.OnCommand(1022, [this] { OnPrint(); });
    map.OnCommand(1024, [this] { OnVersion(); });
    map.OnCommand(1006, [this] { OnPlay(); });
    map.OnCommand(1007, [this] { StopPlayback(); });
    map.OnCommand(1008, [this] { OnPrevious(); });
    map.OnCommand(1009, [this] { OnNext(); });
    map.OnCommand(1026, [this] { OnViewToggle(); });
    map.OnCommand(1027, [this] { OnViewAll(); });
    map.OnCommand(1052, [this] { OnMirror(); });
    map.OnCommand(1065, [this] { OnFlip(); });
    map.OnCommand(1050, [] { /* the hidden sound button has no action */ });
    map.OnCommand(1057, [this] { OnTypeFilter(0); });
    map.OnCommand(1058, [this] { OnTypeFilter(1); });
    map.OnCommand(1059, [this] { OnTypeFilter(2); });
    map.OnCommand(1060, [this] { OnTypeFilter(3); });
    map.OnCommand(1054, [this] { ShowFileListGroup(); });
    map.OnCommand(1055, [this] { ShowEventList(); });
    map.OnCommand(1061, [this] { HideMap(); });
    map.OnCommand(1062, [this] { ShowMap(); });
    map.OnCommand(1063, [this] { ExpandMap(); });

    // List notifications.
    map.OnNotify(1067, NM_CLICK, [this](NMHDR*) -> LRESULT {
        OnDateListClick();
        return 0;
    });
    map.OnNotify(1068, NM_CLICK, [this](NMHDR*) -> LRESULT {
        OnHourListClick();
        return 0;
    });
    map.OnNotify(1066, NM_DBLCLK, [this](NMHDR*) -> LRESULT {
        OnFileListDoubleClick();
        return 0;
    });
    map.OnNotify(1073, NM_DBLCLK, [this](NMHDR*) -> LRESULT {
        OnFileListDoubleClick();
        return 0;
    });
    map.OnNotify(1066, NM_CLICK, [](NMHDR*) -> LRESULT { return 0; });
    map.OnNotify(1067, NM_DBLCLK, [](NMHDR*) -> LRESULT { return 0; });
    map.OnNotify(1068, NM_DBLCLK, [](NMHDR*) -> LRESULT { return 0; });
    map.On(WM_NOTIFY, [this](WPARAM, LPARAM lp) -> LRESULT {
        auto* nm = reinterpret_cast<NMHDR*>(lp);
        // Column resizing ends silently in every list header.
        if (nm->code == HDN_ENDTRACKW || nm->code == HDN_ENDTRACKA) return 0;
        return Default();
    });

    // Private messages.
    map.On(WM_LIST_HEADER_CHECK, [this](WPARAM wp, LPARAM lp) { return OnListHeaderCheck(wp, lp); });
    map.On(WM_NOTHING_0402, [](WPARAM, LPARAM) -> LRESULT { return 0; });
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
        if (ShownListCount() > 0) OnPrevious();
        return 0;
    });
    map.On(WM_NEXT_REQUEST, [this](WPARAM, LPARAM) -> LRESULT {
        if (ShownListCount() > 0) OnNext();
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
    map.On(WM_SLIDER_MOVED, [this](WPARAM wp, LPARAM lp) { return OnSliderMoved(wp, lp); });

    // Timers.
    map.On(WM_TIMER, [this](WPARAM id, LPARAM) -> LRESULT {
        if (id == TIMER_CLOCK) UpdateClock();
        // 6302 (playback tick) and 6405 (waiting for a prefetch) belong to the
        // playback controller and are not armed before it exists.
        return 0;
    });

    // Other window messages.
    map.On(WM_SIZE, [this](WPARAM type, LPARAM lp) -> LRESULT {
        Default();
        OnSize(static_cast<UINT>(type), static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
        return 0;
    });
    map.On(WM_ERASEBKGND, [this](WPARAM wp, LPARAM) { return PaintSkinBackground(reinterpret_cast<HDC>(wp)); });
    map.On(WM_PAINT, [this](WPARAM wp, LPARAM lp) { return OnPaint(wp, lp); });
    map.On(WM_QUERYDRAGICON, [this](WPARAM, LPARAM) -> LRESULT { return reinterpret_cast<LRESULT>(m_hIcon); });
    map.On(WM_LBUTTONDOWN, [this](WPARAM wp, LPARAM lp) { return OnBackgroundPress(wp, lp); });
}

LRESULT CTessaroDlg::OnCreate(WPARAM, LPARAM) {
    if (Default() == -1) return -1;
    const DWORD style = WS_VISIBLE | WS_CHILD | LVS_REPORT;
    const RECT empty{0, 0, 0, 0};
    if (!m_listFile.Create(style, empty, this, 1066) || !m_listDate.Create(style, empty, this, 1067) ||
        !m_listHour.Create(style, empty, this, 1068) || !m_listEvent.Create(style, empty, this, 1073))
        return -1;
    m_listFont.CreateFont(14, FW_NORMAL, L"Tahoma");
    for (CSkinListCtrl* list : {&m_listDate, &m_listHour, &m_listFile}) {
        list->SetFont(m_listFont);
        list->InitSkin(false, 16);
        list->SetColors(kListBack, kListText, kListSelection);
    }
    const DWORD ex = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP;
    m_listFile.SetExtendedStyle(ex);
    m_listEvent.SetFont(m_listFont);
    m_listEvent.SetColors(kListBack, kListText, kListSelection);
    m_listEvent.InitSkin(true, 16);
    m_listEvent.SetExtendedStyle(ex);
    return 0;
}

BOOL CTessaroDlg::OnInitDialog() {
    // 1. Default initialisation and the icons.
    CDialog::OnInitDialog();
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    // 2. Skin bitmaps.
    LoadSkin();
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
    // 6. Play files left behind by earlier runs.
    DeleteStalePlayFiles();
    // 7. Volume control.
    InitVolumeControl();
    // 8. Start values.
    m_displayMode = ModeNormal;
    m_draggable = true;
    m_driveRoot.Empty();
    m_driveLetter = 0;
    m_gpsPresent = m_gsensorPresent = false;
    m_selFile = 0;
    m_selEvent = -1;
    m_selDate = 0;
    m_selHour = 0;
    m_currentEntry = -1;
    // 9. Mirror and flip.
    ReadMirrorSettings();
    // 10. Playback start values.
    m_viewMode = 1;
    m_playing = false;
    m_typeFilter = 0;
    m_displayMode = ModeNormal;
    m_rate = 1.0;
    m_playFilePath.Empty();
    // 11. Device library.
    if (!m_krv.Load(L"")) AskUser(L"KRV error", L"Can not find library.", false);
    // 12. Display surfaces and the map window.
    CreateSurfacesAndMap();
    // 13. List columns.
    InsertListColumns();
    // 14. Video hosts and the media graph.
    m_videoHost1.MoveWindow(0, 0, 0, 0);
    InitMediaGraph();
    // 15. Media components.
    CheckMediaComponents();
    // 16. Skin and initial layout.
    ApplySkin();
    // 17. Places, sensor displays, tool-tips, stopped state, filter set, visibility.
    PlaceNormalControls();
    PlaceLists(m_mapState == MapHidden ? 266 : 0);
    ClearSensorDisplays();
    SetToolTips();
    StopPlayback();
    m_typeFilter = 0xF;
    ShowAllControls();
    // 18. Background drag.
    m_draggable = true;
    // 19. Buttons that are never shown.
    for (CSkinButton* b :
         {&m_btnHidden1049, &m_btnHidden1056, &m_btnListGroup, &m_btnEventGroup, &m_btnHidden1010, &m_btnHidden1025}) {
        b->ShowWindow(SW_HIDE);
        b->EnableWindow(FALSE);
    }
    m_btnHidden1151.MoveWindow(0, 0, 30, 25);
    m_btnHidden1150.MoveWindow(35, 0, 30, 25);
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
    if (m_programFolder.IsEmpty()) return;
    CString pattern = CString::Formatted(L"%s*.avi", m_programFolder.c_str());
    WIN32_FIND_DATAW fd;
    HANDLE h = ::FindFirstFileW(pattern, &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ::DeleteFileW((m_programFolder + fd.cFileName).c_str());
    } while (::FindNextFileW(h, &fd));
    ::FindClose(h);
}

CString CTessaroDlg::ClockText(const SYSTEMTIME& t) {
    return CString::Formatted(L"Time : %04d-%02d-%02d %02d:%02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                              t.wSecond);
}

void CTessaroDlg::UpdateClock() {
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    ::SetDlgItemTextW(m_hWnd, 1064, ClockText(t));
}

int CTessaroDlg::AskUser(const wchar_t* title, const wchar_t* message, bool twoButtons) {
    NotifyDlg dlg(this);
    dlg.SetTitle(title);
    dlg.SetMessage(message);
    dlg.SetTwoButtons(twoButtons ? 1 : 0);
    return static_cast<int>(dlg.DoModal());
}

void CTessaroDlg::ShowBusy() { m_loading.ShowBusy(m_hWnd); }
void CTessaroDlg::HideBusy() { m_loading.HideBusy(); }

int CTessaroDlg::ShownListCount() const {
    if (m_showFileGroup) return m_listFile.GetItemCount();
    if (m_showEventList) return m_listEvent.GetItemCount();
    return 0;
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
    if (msg == WM_UPDATE_MAP) ForwardMapPosition();
    return CDialog::WindowProc(msg, wp, lp);
}

void CTessaroDlg::OnCloseCommand() {
    if (AskUser(L"Close", L"Do you want to close PC viewer?", true) != 1) return;
    StopPlayback();
    SaveMirrorSettings();
    SendMessage(WM_CLOSE);
    ::ExitProcess(0);
}

void CTessaroDlg::OnMinimise() { ShowWindow(SW_MINIMIZE); }

void CTessaroDlg::OnEscapeReleased() {
    if (m_displayMode != ModeFullScreen) return;
    m_draggable = true;
    SetDisplayMode(ModeNormal);
}

void CTessaroDlg::OnSpaceReleased() {
    if (ShownListCount() > 0) OnPlay();
}

void CTessaroDlg::OnSize(UINT type, int, int cy) {
    if (type == SIZE_MINIMIZED || m_displayMode != ModeNormal || cy >= 720) return;
    RECT r = GetWindowRect();
    MoveWindow(r.left, r.top, 1090, 720);
    RefitVideo();
    Invalidate();
}

LRESULT CTessaroDlg::OnPaint(WPARAM, LPARAM) {
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

LRESULT CTessaroDlg::OnBackgroundPress(WPARAM, LPARAM lp) {
    if (m_draggable) {
        POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        ::ClientToScreen(m_hWnd, &pt);
        PostMessage(WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(pt.x, pt.y));
    }
    return Default();
}

LRESULT CTessaroDlg::OnListHeaderCheck(WPARAM wp, LPARAM lp) {
    const UINT sub = LOWORD(wp);
    const UINT listId = HIWORD(wp);
    if (sub == WM_LIST_MSG) CheckListAndBelow(listId, lp == 2);
    return 0;  // WM_LIST_CHECK: nothing
}

LRESULT CTessaroDlg::OnSliderMoved(WPARAM wp, LPARAM) {
    // 1011 seeks the media graph, 1051 sets the volume: both arrive with the
    // playback and volume controls.
    return 0;
}
