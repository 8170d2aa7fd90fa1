#include "select_drive_dlg.h"
#include "mem_dc.h"
#include "resource.h"
#include "bitmap_ids.h"
#include "control_ids.h"

SelectDriveDlg::SelectDriveDlg(CWnd* parent) : CDialog(IDD_SELECT_DRIVE, parent) {}

SelectDriveDlg::~SelectDriveDlg() = default;

void SelectDriveDlg::BindControls() {
    Bind(IDOK, m_ok);
    Bind(IDC_DRIVE_CANCEL, m_cancel);
    Bind(IDC_DRIVE_TITLE, m_title);
    Bind(IDC_DRIVE_LABEL, m_driveLabel);
    Bind(IDC_DRIVE_LIST, m_drives);
}

void SelectDriveDlg::DeclareMessageMap(MessageMap& map) {
    map.OnCommand(IDC_DRIVE_CANCEL, BN_CLICKED, [this] { EndDialog(IDCANCEL); });
    map.OnCommand(IDC_DRIVE_LIST, CBN_DROPDOWN, [this] { FillDriveList(); });
    map.On(WM_ERASEBKGND, [this](WPARAM wp, LPARAM) { return OnEraseBackground(reinterpret_cast<HDC>(wp)); });
}

BOOL SelectDriveDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 400, 200, SWP_NOMOVE | SWP_NOZORDER);
    CenterWindow(m_parent ? m_parent->GetSafeHwnd() : nullptr);

    m_cancel.SetSkinImages(IDB_CANCEL_NORMAL, IDB_CANCEL_PRESSED, IDB_CANCEL_PRESSED, 0, 0, 0, 2, 0, 0);
    m_cancel.MoveWindow(210, 156, 150, 32);
    m_ok.SetSkinImages(IDB_OK_NORMAL, IDB_OK_PRESSED, IDB_OK_PRESSED, 0, 0, 0, 2, 0, 0);
    m_ok.MoveWindow(40, 156, 150, 32);
    m_drives.MoveWindow(170, 60, 210, 100);
    m_title.MoveWindow(10, 5, 390, 25);
    m_title.SetWindowText(L"Select black box drive.");
    m_title.SetLabelFont(L"Arial", 10);
    m_title.SetFontWeight(700);
    m_title.SetLabelTextColor(RGB(255, 255, 255));
    m_title.AddTextFormat(DT_VCENTER | DT_SINGLELINE);
    m_driveLabel.MoveWindow(50, 60, 100, 25);
    m_driveLabel.SetWindowText(L"Drive  : ");
    m_driveLabel.SetLabelFont(L"Arial", 10);
    m_driveLabel.SetLabelTextColor(RGB(0, 0, 0));
    m_driveLabel.AddTextFormat(DT_VCENTER | DT_SINGLELINE);

    FillDriveList();
    if (m_letterCount == 0) EndDialog(IDCANCEL);
    return TRUE;
}

void SelectDriveDlg::FillDriveList() {
    m_drives.ResetContent();
    // A card reader without a card must not make the system ask for one.
    UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS);
    m_letterCount = RemovableRoots(
        ::GetLogicalDrives(), [](const wchar_t* root) { return ::GetDriveTypeW(root) == DRIVE_REMOVABLE; }, m_letters);
    ::SetErrorMode(oldMode);
    // Roots are added in letter order, so the sorted list keeps the letter
    // array's order.
    for (int i = 0; i < m_letterCount; ++i) {
        wchar_t root[4] = {m_letters[i], L':', L'\\', 0};
        m_drives.AddString(root);
    }
    if (m_letterCount > 0) m_drives.SetCurSel(0);
}

void SelectDriveDlg::OnOK() {
    int sel = m_drives.GetCurSel();
    if (sel >= 0 && sel < m_letterCount) {
        m_chosenLetter = m_letters[sel];
        m_chosenRoot = m_drives.GetLBText(sel);
    }
    EndDialog(IDOK);
}

LRESULT SelectDriveDlg::OnEraseBackground(HDC dc) {
    RECT rc = GetClientRect();
    if (!m_back.IsValid()) {
        if (!m_back.Ensure(dc, rc.right, rc.bottom)) return TRUE;
        CBitmap picture;
        if (picture.LoadBitmap(IDB_DIALOG_BACKGROUND)) {
            CDC target(m_back);
            target.StretchBitmap(picture, 0, 0, rc.right, rc.bottom);
        }
        m_title.CaptureBackground(m_back);
        m_driveLabel.CaptureBackground(m_back);
    }
    ::BitBlt(dc, 0, 0, rc.right, rc.bottom, m_back, 0, 0, SRCCOPY);
    return TRUE;
}
