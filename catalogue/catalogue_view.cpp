#include "catalogue_view.h"

#include <windowsx.h>

#include "control_ids.h"
#include "drive_probe.h"
#include "krv_library.h"

using catalogue::ListId;

namespace {

const COLORREF kListBack = RGB(22, 24, 25);
const COLORREF kListText = RGB(200, 200, 200);
const COLORREF kListSelection = RGB(3, 91, 156);
constexpr int kCheckBoxSize = 16;

// The device library as the catalogue model's entry source.
class LibrarySource : public catalogue::EntrySource {
public:
    explicit LibrarySource(KrvLibrary& krv) : m_krv(krv) {}
    void GetFileFlag() override {
        unsigned char flagA = 0, flagB = 0;
        unsigned short flagC = 0;
        unsigned int flagD[4] = {};
        m_krv.GetFileFlag(&flagA, &flagB, &flagC, flagD);
    }
    int GetFileCnt(uint8_t type) override { return m_krv.GetFileCnt(type); }
    int GetFileList(uint8_t type, int count, unsigned char* records, int32_t* first, int32_t* second) override {
        return m_krv.GetFileList(type, count, records, reinterpret_cast<int*>(first), reinterpret_cast<int*>(second));
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

bool CatalogueView::Create(CWnd* owner) {
    const DWORD style = WS_VISIBLE | WS_CHILD | LVS_REPORT;
    const RECT empty{0, 0, 0, 0};
    if (!m_listFile.Create(style, empty, owner, IDC_FILE_LIST) ||
        !m_listDate.Create(style, empty, owner, IDC_DATE_LIST) ||
        !m_listHour.Create(style, empty, owner, IDC_HOUR_LIST) ||
        !m_listEvent.Create(style, empty, owner, IDC_EVENT_LIST))
        return false;
    m_listFont.CreateFont(14, FW_NORMAL, L"Tahoma");
    for (CSkinListCtrl* list : {&m_listDate, &m_listHour, &m_listFile}) {
        list->SetFont(m_listFont);
        list->InitSkin(false, kCheckBoxSize);
        list->SetColors(kListBack, kListText, kListSelection);
    }
    const DWORD ex = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP;
    m_listFile.SetExtendedStyle(ex);
    m_listEvent.SetFont(m_listFont);
    m_listEvent.SetColors(kListBack, kListText, kListSelection);
    m_listEvent.InitSkin(true, kCheckBoxSize);
    m_listEvent.SetExtendedStyle(ex);
    return true;
}

void CatalogueView::InsertColumns() {
    const int c = LVCFMT_CENTER;
    m_listDate.InsertColumn(0, L"Date", c, 73);
    m_listHour.InsertColumn(0, L"Hour", c, 39);
    m_listFile.InsertColumn(0, L"", c, 20);
    m_listFile.InsertColumn(1, L"Min/Sec", c, 70);
    m_listFile.InsertColumn(2, L"Rec type", c, 70);
    m_listFile.InsertColumn(kNameColumn, L"", c, 0);
    m_listFile.InsertColumn(kTypeColumn, L"", c, 0);
    int order[5] = {1, 2, 0, 3, 4};
    m_listFile.SendMessage(LVM_SETCOLUMNORDERARRAY, 5, reinterpret_cast<LPARAM>(order));
    m_listEvent.InsertColumn(0, L"", c, 20);
    m_listEvent.InsertColumn(1, L"Event", c, 70);
    m_listEvent.InsertColumn(2, L"DateTime", c, 204);
    m_listEvent.InsertColumn(kNameColumn, L"", c, 0);
    m_listEvent.InsertColumn(kTypeColumn, L"", c, 0);
}

void CatalogueView::Load(KrvLibrary& krv, const CString& driveRoot, unsigned diskNumber) {
    m_table.Release();
    LibrarySource source(krv);
    const uint64_t freeBytes = driveRoot.IsEmpty() ? 0 : DriveFreeBytes(driveRoot);
    m_table.Fill(source, diskNumber, freeBytes);
    BuildLists();
}

void CatalogueView::BuildLists() {
    CSkinListCtrl* lists[] = {&m_listDate, &m_listHour, &m_listFile, &m_listEvent};
    for (CSkinListCtrl* l : lists) {
        l->SetRedraw(false);
        l->DeleteAllItems();
    }
    const catalogue::ListContents c = catalogue::BuildLists(m_table, m_filter, m_selDate, m_selHour);
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
    if (m_table.Filled() > 0)
        SelectRow(0);
    else
        m_currentEntry = catalogue::kNone;
    // Drawn now, not when the queue runs dry: the lists show as soon as the
    // load ends.
    for (CSkinListCtrl* l : lists) {
        l->SetRedraw(true);
        l->Invalidate();
        l->UpdateWindow();
    }
}

void CatalogueView::SelectRow(int row) {
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

void CatalogueView::ClearRowMarks() {
    CSkinListCtrl* list = ShownList();
    if (!list) return;
    list->SetItemState(-1, 0, LVIS_SELECTED | LVIS_DROPHILITED);
    list->Invalidate();
}

void CatalogueView::MarkOpenedRow(int row) {
    CSkinListCtrl* list = ShownList();
    if (!list || row < 0 || row >= list->GetItemCount()) return;
    list->SetItemState(row, LVIS_SELECTED | LVIS_DROPHILITED | LVIS_FOCUSED,
                       LVIS_SELECTED | LVIS_DROPHILITED | LVIS_FOCUSED);
    list->EnsureVisible(row);
    if (list == &m_listEvent)
        m_selEvent = row;
    else
        m_selFile = row;
}

void CatalogueView::EnableLists(bool on) {
    if (m_listsEnabled == on) return;
    m_listsEnabled = on;
    for (CSkinListCtrl* l : {&m_listDate, &m_listHour, &m_listFile, &m_listEvent}) l->EnableWindow(on ? TRUE : FALSE);
}

bool CatalogueView::ShowFileGroup() {
    if (m_showFileGroup) return false;
    m_showFileGroup = true;
    m_showEventList = false;
    ShowList(m_listDate, true);
    ShowList(m_listHour, true);
    ShowList(m_listFile, true);
    ShowList(m_listEvent, false);
    m_selEvent = catalogue::kNone;
    return true;
}

bool CatalogueView::ShowEventList() {
    if (m_showEventList) return false;
    m_showEventList = true;
    m_showFileGroup = false;
    ShowList(m_listDate, false);
    ShowList(m_listHour, false);
    ShowList(m_listFile, false);
    ShowList(m_listEvent, true);
    m_selFile = m_selDate = m_selHour = 0;
    return true;
}

bool CatalogueView::OnDateClick() {
    const int row = RowAtMessagePos(m_listDate);
    if (row < 0) return false;
    m_selDate = row;
    m_selHour = 0;
    m_listHour.DeleteAllItems();
    BuildLists();
    return true;
}

bool CatalogueView::OnHourClick() {
    const int row = RowAtMessagePos(m_listHour);
    if (row < 0) return false;
    m_selHour = row;
    m_listFile.DeleteAllItems();
    BuildLists();
    return true;
}

int CatalogueView::OnRowDoubleClick(UINT listId) {
    CSkinListCtrl* list = List(listId);
    if (!list) return -1;
    const int row = RowAtMessagePos(*list);
    if (row < 0) return -1;
    if (list == &m_listEvent)
        m_selEvent = row;
    else
        m_selFile = row;
    return row;
}

void CatalogueView::CheckListAndBelow(UINT listId, bool checked) {
    ListId id;
    switch (listId) {
        case IDC_DATE_LIST: id = ListId::Date; break;
        case IDC_HOUR_LIST: id = ListId::Hour; break;
        case IDC_FILE_LIST: id = ListId::File; break;
        case IDC_EVENT_LIST: id = ListId::Event; break;
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

void CatalogueView::ResetForRemoval() {
    for (CSkinListCtrl* l : {&m_listDate, &m_listHour, &m_listFile, &m_listEvent}) l->DeleteAllItems();
    m_selFile = m_selDate = m_selHour = 0;
    m_selEvent = catalogue::kNone;
    m_currentEntry = catalogue::kNone;
}

CSkinListCtrl* CatalogueView::ShownList() {
    if (m_showFileGroup) return &m_listFile;
    if (m_showEventList) return &m_listEvent;
    return nullptr;
}

int CatalogueView::ShownListCount() const {
    if (m_showFileGroup) return m_listFile.GetItemCount();
    if (m_showEventList) return m_listEvent.GetItemCount();
    return 0;
}

std::vector<CString> CatalogueView::CheckedFileNames() const {
    std::vector<CString> names;
    const int n = m_listFile.GetItemCount();
    for (int i = 0; i < n; ++i)
        if (m_listFile.GetCheck(i)) names.push_back(m_listFile.GetItemText(i, kNameColumn));
    return names;
}

void CatalogueView::UncheckFileList() { CheckAllRows(m_listFile, false); }

void CatalogueView::Place(int w, int h, int extra) {
    const int height = h + extra - 474;
    m_listDate.MoveWindow(w - 315, 71, 73, height);
    m_listHour.MoveWindow(w - 231, 71, 39, height);
    m_listFile.MoveWindow(w - 181, 71, 160, height);
    m_listEvent.MoveWindow(w - 315, 71, 294, height);
    for (CSkinListCtrl* l : {&m_listDate, &m_listHour, &m_listFile, &m_listEvent}) l->SetRedraw(true);
    ShowList(m_listDate, m_showFileGroup);
    ShowList(m_listHour, m_showFileGroup);
    ShowList(m_listFile, m_showFileGroup);
    ShowList(m_listEvent, m_showEventList);
}

void CatalogueView::Collapse() {
    for (CSkinListCtrl* l : {&m_listDate, &m_listHour, &m_listFile, &m_listEvent}) {
        l->MoveWindow(0, 0, 0, 0);
        l->ShowScrollbar(false);
        l->SetRedraw(true);
    }
}

void CatalogueView::HideAll() {
    for (CSkinListCtrl* l : {&m_listDate, &m_listHour, &m_listFile, &m_listEvent}) ShowList(*l, false);
}

CSkinListCtrl* CatalogueView::List(UINT listId) {
    switch (listId) {
        case IDC_DATE_LIST: return &m_listDate;
        case IDC_HOUR_LIST: return &m_listHour;
        case IDC_FILE_LIST: return &m_listFile;
        case IDC_EVENT_LIST: return &m_listEvent;
        default: return nullptr;
    }
}
