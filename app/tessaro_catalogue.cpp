// Main window: choice of the recorder's drive, the catalogue's commands, and
// the reset when the chosen card is removed.
#include <shlobj.h>

#include "app_messages.h"
#include "control_ids.h"
#include "drive_probe.h"
#include "select_drive_dlg.h"
#include "tessaro_dlg.h"

void CTessaroDlg::OnFileOpen() {
    StopPlayback();
    HideVideoWindows();
    ResetGpsReadout();
    SelectDriveDlg dlg(this);
    if (dlg.DoModal() != IDOK) return;
    m_driveRoot = dlg.ChosenRoot();
    m_driveLetter = dlg.ChosenLetter();
    ShowBusy();
    SelectDevice(m_driveRoot);
    m_catalogue.Load(m_krv, m_driveRoot, m_diskNumber);
    EnableDeviceButtons(true);
    HideBusy();
}

void CTessaroDlg::HideVideoWindows() {
    m_controls.m_channel1.ShowWindow(SW_HIDE);
    m_controls.m_channel2.ShowWindow(SW_HIDE);
}

void CTessaroDlg::EnableDeviceButtons(bool on) {
    MainControls& c = m_controls;
    for (CSkinButton* b : {&c.m_btnSave, &c.m_btnPrint, &c.m_btnPlay, &c.m_btnStop, &c.m_btnNext, &c.m_btnPrevious,
                           &c.m_btnChannelView, &c.m_btnMirror, &c.m_btnFlip})
        b->EnableWindow(on ? TRUE : FALSE);
}

void CTessaroDlg::SelectDevice(const CString& root) {
    const int disk = root.IsEmpty() ? -1 : ProbeDiskNumber(root[0]);
    // Disk 0 is the system's own; a number that does not fit the library's
    // byte is not a card either.
    if (disk <= 0 || disk > 255) return;
    unsigned char reset = '0';
    m_krv.SetDevice(&reset);
    m_diskNumber = static_cast<unsigned char>(disk);
    m_krv.SetDevice(&m_diskNumber);
}

void CTessaroDlg::OnTypeFilter(int which) {
    // Buttons in the order Normal, Event, Park, Photo, and their filter codes.
    static const int kCodes[4] = {2, 1, 3, 4};
    CSkinButton* button = m_controls.FilterButton(which);
    if (!button) return;
    button->SetCheck(button->GetCheck() ? 0 : 1);
    m_catalogue.SetTypeFilter(kCodes[which]);
    m_catalogue.BuildLists();
}

void CTessaroDlg::ShowFileListGroup() {
    if (!m_catalogue.ShowFileGroup()) return;
    m_controls.m_btnShowFileGroup.SetCheck(1);
    m_controls.m_btnShowEventList.SetCheck(0);
    m_controls.m_btnFilterNormal.EnableWindow(TRUE);
}

void CTessaroDlg::ShowEventList() {
    if (!m_catalogue.ShowEventList()) return;
    m_controls.m_btnShowEventList.SetCheck(1);
    m_controls.m_btnShowFileGroup.SetCheck(0);
    m_controls.m_btnFilterNormal.EnableWindow(FALSE);
}

void CTessaroDlg::OnRowDoubleClick(UINT listId) {
    // The row becomes the list's current one; the controller stops what
    // plays and opens it.
    if (m_catalogue.OnRowDoubleClick(listId) < 0) return;
    m_playback.ActivateRow();
}

void CTessaroDlg::OnDriveNotify(WPARAM wp, LPARAM lp) {
    // The event code may carry the interrupt-level flag.
    if ((static_cast<DWORD>(lp) & ~static_cast<DWORD>(SHCNE_INTERRUPT)) != SHCNE_DRIVEREMOVED) return;
    auto* items = reinterpret_cast<PCIDLIST_ABSOLUTE*>(wp);
    if (!items || !items[0]) return;
    wchar_t path[MAX_PATH] = {};
    if (!::SHGetPathFromIDListW(items[0], path) || !path[0] || m_driveRoot != path) return;

    if (m_surfaces.ChannelTwoViewed()) {
        SetViewMode(1);
        m_surfaces.SetViewModeValue(1);
    }
    if (m_playback.IsOpen()) {
        StopPlayback();
        HideVideoWindows();
    }
    // A next recording being prepared from the card is given up: its make is
    // stopped and no play file of the card, whole or half made, stays behind.
    AbortNextFile();
    if (m_layout.GetMapState() != WindowLayout::MapShown) ShowMap();
    if (m_catalogue.EventListShown()) ShowFileListGroup();
    m_catalogue.ResetForRemoval();
    if (m_surfaces.MirrorState() || m_surfaces.FlipState()) m_surfaces.ClearMirrorFlip();
    if (m_sensors.Data().GpsValid()) ResetGpsReadout();
    if (m_sensors.Data().GSensorBytes() != 0) ResetGSensorReadout();
    if (m_layout.DisplayMode() == WindowLayout::ModeMaximised)
        OnMaximize();
    else if (m_layout.DisplayMode() == WindowLayout::ModeFullScreen)
        PostMessage(WM_ESCAPE_RELEASED);
    m_catalogue.Release();
    EnableDeviceButtons(false);
}
