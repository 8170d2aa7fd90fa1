// Main window: choice of the recorder's drive and the recording catalogue.
#include "tessaro_dlg.h"
#include <shlobj.h>
#include <windowsx.h>
#include "drive_probe.h"
#include "select_drive_dlg.h"

using catalogue::ListId;

namespace {

// The device library as the catalogue's entry source.
class LibrarySource : public catalogue::EntrySource {
public:
    explicit LibrarySource(KrvLibrary& krv) : m_krv(krv) {}
    void GetFileFlag() override {
        unsigned char a = 0, b = 0;
        unsigned short c = 0;
        unsigned int d[4] = {};
        m_krv.GetFileFlag(&a, &b, &c, d);
    }
    int GetFileCnt(uint8_t type) override { return m_krv.GetFileCnt(type); }
    int GetFileList(uint8_t type, int count, unsigned char* records, int32_t* a, int32_t* b) override {
        return m_krv.GetFileList(type, count, records, reinterpret_cast<int*>(a), reinterpret_cast<int*>(b));
    }

private:
    KrvLibrary& m_krv;
};

void ShowList(CSkinListCtrl& list, bool show) {
    list.ShowWindow(show ? SW_SHOW : SW_HIDE);
    list.ShowScrollbar(show);
}

CString Wide(const std::string& s) { return CString::FromAnsi(s.c_str()); }

// Row under the cursor of the click being handled, or -1 below the last row.
int RowAtMessagePos(const CListCtrl& list) {
    DWORD pos = ::GetMessagePos();
    LVHITTESTINFO hit{};
    hit.pt = {GET_X_LPARAM(pos), GET_Y_LPARAM(pos)};
    ::ScreenToClient(list, &hit.pt);
    return static_cast<int>(list.SendMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
}

// Ticks or clears every row's check box in one request.
void CheckAllRows(CListCtrl& list, bool checked) {
    LVITEMW item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    list.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
}

void AppendRow(CListCtrl& list, int row, std::initializer_list<CString> cells) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    int sub = 0;
    for (const CString& text : cells) {
        item.iSubItem = sub++;
        item.pszText = const_cast<wchar_t*>(text.c_str());
        if (item.iSubItem == 0) {
            row = static_cast<int>(list.SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
            if (row < 0) return;
            item.iItem = row;
        } else {
            list.SendMessage(LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        }
    }
}

}  // namespace

void CTessaroDlg::OnFileOpen() {
    StopPlayback();
    HideVideoWindows();
    ClearSensorDisplays();
    SelectDriveDlg dlg(this);
    if (dlg.DoModal() != IDOK) return;
    m_driveRoot = dlg.ChosenRoot();
    m_driveLetter = dlg.ChosenLetter();
    ShowBusy();
    SelectDevice(m_driveRoot);
    LoadCatalogue();
    EnableDeviceButtons(true);
    HideBusy();
}

void CTessaroDlg::HideVideoWindows() {
    m_videoHost1.ShowWindow(SW_HIDE);
    m_videoHost2.ShowWindow(SW_HIDE);
}

void CTessaroDlg::EnableDeviceButtons(bool on) {
    for (CSkinButton* b : {&m_btnSave, &m_btnPrint, &m_btnPlay, &m_btnStop, &m_btnNext, &m_btnPrevious, &m_btnView,
                           &m_btnMirror, &m_btnFlip})
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

void CTessaroDlg::LoadCatalogue() {
    ReleaseCatalogue();
    FillFromDevice();
    BuildLists();
}

void CTessaroDlg::ReleaseCatalogue() { m_entryTable.Release(); }

bool CTessaroDlg::FillFromDevice() {
    LibrarySource source(m_krv);
    const uint64_t freeBytes = m_driveRoot.IsEmpty() ? 0 : DriveFreeBytes(m_driveRoot);
    return m_entryTable.Fill(source, m_diskNumber, freeBytes);
}

void CTessaroDlg::BuildLists() {
    CSkinListCtrl* lists[] = {&m_listDate, &m_listHour, &m_listFile, &m_listEvent};
    for (CSkinListCtrl* l : lists) {
        l->SetRedraw(false);
        l->DeleteAllItems();
    }
    const catalogue::ListContents c = catalogue::BuildLists(m_entryTable, m_typeFilter, m_selDate, m_selHour);
    auto reserve = [](CListCtrl& l, size_t n) { l.SendMessage(LVM_SETITEMCOUNT, static_cast<WPARAM>(n)); };
    reserve(m_listDate, c.dates.size());
    reserve(m_listHour, c.hours.size());
    reserve(m_listFile, c.files.size());
    reserve(m_listEvent, c.events.size());
    int row = 0;
    for (const std::string& d : c.dates) AppendRow(m_listDate, row++, {Wide(d)});
    row = 0;
    for (const std::string& h : c.hours) AppendRow(m_listHour, row++, {Wide(h)});
    row = 0;
    for (const catalogue::FileRow& f : c.files) {
        CString type = Wide(f.typeText);
        AppendRow(m_listFile, row++, {CString(), Wide(f.minSec), type, Wide(f.name), type});
    }
    row = 0;
    for (const catalogue::EventRow& e : c.events) {
        CString type = Wide(e.typeText);
        AppendRow(m_listEvent, row++, {CString(), type, Wide(e.dateTime), Wide(e.name), type});
    }
    m_currentEntry = 0;
    EnableLists(true);
    if (m_entryTable.Filled() > 0) SelectRow(0);
    else m_currentEntry = -1;
    // Drawn now, not when the queue runs dry: the lists show as soon as the
    // load ends.
    for (CSkinListCtrl* l : lists) {
        l->SetRedraw(true);
        l->Invalidate();
        l->UpdateWindow();
    }
}

void CTessaroDlg::SelectRow(int row) {
    auto mark = [](CListCtrl& list, int i) {
        if (i < 0 || i >= list.GetItemCount()) return;
        list.SetItemState(i, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        list.EnsureVisible(i);
    };
    if (m_showFileGroup) {
        mark(m_listDate, m_selDate);
        mark(m_listHour, m_selHour);
        mark(m_listFile, row);
        m_selFile = row;
    } else if (m_showEventList) {
        mark(m_listEvent, row);
        m_selEvent = row;
    }
}

void CTessaroDlg::EnableLists(bool on) {
    if (m_listsEnabled == on) return;
    m_listsEnabled = on;
    for (CSkinListCtrl* l : {&m_listDate, &m_listHour, &m_listFile, &m_listEvent}) l->EnableWindow(on ? TRUE : FALSE);
}

void CTessaroDlg::SetTypeFilter(int code) { m_typeFilter = catalogue::ApplyFilterCode(m_typeFilter, code); }

void CTessaroDlg::OnTypeFilter(int which) {
    // Buttons in the order Normal, Event, Park, Photo, and their filter codes.
    static const int kCodes[4] = {2, 1, 3, 4};
    CSkinButton* buttons[4] = {&m_btnNormal, &m_btnEvent, &m_btnPark, &m_btnPhoto};
    if (which < 0 || which > 3) return;
    m_filterChecked[which] = !m_filterChecked[which];
    buttons[which]->SetCheck(m_filterChecked[which] ? 1 : 0);
    SetTypeFilter(kCodes[which]);
    BuildLists();
}

void CTessaroDlg::InsertListColumns() {
    const int c = LVCFMT_CENTER;
    m_listDate.InsertColumn(0, L"Date", c, 73);
    m_listHour.InsertColumn(0, L"Hour", c, 39);
    m_listFile.InsertColumn(0, L"", c, 20);
    m_listFile.InsertColumn(1, L"Min/Sec", c, 70);
    m_listFile.InsertColumn(2, L"Rec type", c, 70);
    m_listFile.InsertColumn(3, L"", c, 0);
    m_listFile.InsertColumn(4, L"", c, 0);
    int order[5] = {1, 2, 0, 3, 4};
    m_listFile.SendMessage(LVM_SETCOLUMNORDERARRAY, 5, reinterpret_cast<LPARAM>(order));
    m_listEvent.InsertColumn(0, L"", c, 20);
    m_listEvent.InsertColumn(1, L"Event", c, 70);
    m_listEvent.InsertColumn(2, L"DateTime", c, 204);
    m_listEvent.InsertColumn(3, L"", c, 0);
    m_listEvent.InsertColumn(4, L"", c, 0);
}

void CTessaroDlg::ShowFileListGroup() {
    if (m_showFileGroup) return;
    m_showFileGroup = true;
    m_showEventList = false;
    m_btnListGroup.SetCheck(1);
    m_btnEventGroup.SetCheck(0);
    ShowList(m_listDate, true);
    ShowList(m_listHour, true);
    ShowList(m_listFile, true);
    ShowList(m_listEvent, false);
    m_btnNormal.EnableWindow(TRUE);
    m_selEvent = -1;
}

void CTessaroDlg::ShowEventList() {
    if (m_showEventList) return;
    m_showEventList = true;
    m_showFileGroup = false;
    m_btnEventGroup.SetCheck(1);
    m_btnListGroup.SetCheck(0);
    ShowList(m_listDate, false);
    ShowList(m_listHour, false);
    ShowList(m_listFile, false);
    ShowList(m_listEvent, true);
    m_btnNormal.EnableWindow(FALSE);
    m_selFile = m_selDate = m_selHour = 0;
}

void CTessaroDlg::OnDateListClick() {
    const int row = RowAtMessagePos(m_listDate);
    if (row < 0) return;
    m_selDate = row;
    m_selHour = 0;
    m_listHour.DeleteAllItems();
    BuildLists();
}

void CTessaroDlg::OnHourListClick() {
    const int row = RowAtMessagePos(m_listHour);
    if (row < 0) return;
    m_selHour = row;
    m_listFile.DeleteAllItems();
    BuildLists();
}

void CTessaroDlg::OnFileListDoubleClick() {
    CSkinListCtrl& list = m_showEventList ? m_listEvent : m_listFile;
    const int row = RowAtMessagePos(list);
    if (row < 0) return;
    if (m_showEventList) m_selEvent = row;
    else m_selFile = row;
    // The playback controller stops what plays and opens the selected row.
    StopPlayback();
    OnPlay();
}

void CTessaroDlg::CheckListAndBelow(UINT listId, bool checked) {
    ListId id;
    switch (listId) {
        case 1067: id = ListId::Date; break;
        case 1068: id = ListId::Hour; break;
        case 1066: id = ListId::File; break;
        case 1073: id = ListId::Event; break;
        default: return;
    }
    const catalogue::HeaderCascade c = catalogue::CascadeFor(id, m_showFileGroup);
    const int box = checked ? 2 : 1;
    if (c.dateRows) CheckAllRows(m_listDate, checked);
    if (c.hourHeader) m_listHour.SetHeaderCheck(box);
    if (c.hourRows) CheckAllRows(m_listHour, checked);
    if (c.fileHeader) m_listFile.SetHeaderCheck(box);
    if (c.fileRows) CheckAllRows(m_listFile, checked);
    if (c.eventRows) CheckAllRows(m_listEvent, checked);
    const int rows = m_showFileGroup ? m_listFile.GetItemCount() : m_listEvent.GetItemCount();
    m_checkAll = checked && rows > 0;
}

void CTessaroDlg::OnDriveNotify(WPARAM wp, LPARAM lp) {
    // The event code may carry the interrupt-level flag.
    if ((static_cast<DWORD>(lp) & ~static_cast<DWORD>(SHCNE_INTERRUPT)) != SHCNE_DRIVEREMOVED) return;
    auto* items = reinterpret_cast<PCIDLIST_ABSOLUTE*>(wp);
    if (!items || !items[0]) return;
    wchar_t path[MAX_PATH] = {};
    if (!::SHGetPathFromIDListW(items[0], path) || !path[0] || m_driveRoot != path) return;

    if (m_viewMode == 2) OnViewToggle();
    if (m_playing) {
        StopPlayback();
        HideVideoWindows();
    }
    if (m_mapState != MapShown) ShowMap();
    if (m_showEventList) ShowFileListGroup();
    for (CSkinListCtrl* l : {&m_listDate, &m_listHour, &m_listFile, &m_listEvent}) l->DeleteAllItems();
    m_selFile = m_selDate = m_selHour = 0;
    m_selEvent = -1;
    m_currentEntry = -1;
    if (m_mirrorState || m_flipState) {
        m_mirrorState = m_flipState = 0;
        m_btnMirror.SetCheck(0);
        m_btnFlip.SetCheck(0);
    }
    if (m_gpsPresent || m_gsensorPresent) ClearSensorDisplays();
    if (m_displayMode == ModeMaximised) OnMaximize();
    else if (m_displayMode == ModeFullScreen) PostMessage(WM_ESCAPE_RELEASED);
    ReleaseCatalogue();
    EnableDeviceButtons(false);
}
