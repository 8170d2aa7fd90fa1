// The recording catalogue on screen: the entry table read from the device
// library and the four lists the main window shows it in (dates, hours, the
// files of the selected hour, and every non-Normal recording), with the type
// filter, the selections, the list group shown, the header check boxes and
// the reset after the card is removed. What the lists hold is decided by the
// portable catalogue model; this class puts it into the list views.
#pragma once
#include <string>
#include <vector>

#include "catalogue_model.h"
#include "fw_gdi.h"
#include "skin_list.h"

class KrvLibrary;

class CatalogueView {
public:
    // The list views are made by the owner's window creation; false fails it.
    bool Create(CWnd* owner);
    void InsertColumns();

    // Release, fill from the device (the drive's root text and the card's disk
    // number) and build the lists.
    void Load(KrvLibrary& krv, const CString& driveRoot, unsigned diskNumber);
    void Release() { m_table.Release(); }
    void BuildLists();
    // Filter codes as the model reads them (0 all, 1 Event, 2 Normal, 3 Park, 4 Photo).
    void SetTypeFilter(int code) { m_filter = catalogue::ApplyFilterCode(m_filter, code); }
    void SetFilterSet(unsigned set) { m_filter = set; }
    // Marks a row of the shown group selected and focused, scrolled into view.
    void SelectRow(int row);
    // The playback controller's marks: every row of the shown list unselected
    // and not drop-highlighted; and the row opened selected, drop-highlighted,
    // scrolled into view and made the list's current row.
    void ClearRowMarks();
    void MarkOpenedRow(int row);
    void EnableLists(bool on);

    // List groups. False when the group was already the shown one.
    bool ShowFileGroup();
    bool ShowEventList();
    bool FileGroupShown() const { return m_showFileGroup; }
    bool EventListShown() const { return m_showEventList; }

    // Clicks: a date or hour row re-selects and rebuilds; false below the last row.
    bool OnDateClick();
    bool OnHourClick();
    // A double click on the shown list's row: selects it and returns it, -1
    // below the last row.
    int OnRowDoubleClick(UINT listId);
    // A header check box: tick or clear that list and the lists below it.
    void CheckListAndBelow(UINT listId, bool checked);
    // After the chosen card was removed: lists emptied, selections reset.
    void ResetForRemoval();

    // The list the playback controller and export read: the file list while
    // the date group is shown, the event list while the event list is, none otherwise.
    CSkinListCtrl* ShownList();
    int ShownListCount() const;
    int SelectedRow() const { return m_showFileGroup ? m_selFile : m_showEventList ? m_selEvent : -1; }
    // Columns of a list row that carry the recording's name and type text.
    static constexpr int kNameColumn = 3, kTypeColumn = 4;
    // Names of the ticked rows of the file list, in list order; and clearing the ticks.
    std::vector<CString> CheckedFileNames() const;
    void UncheckFileList();

    // Layout: the four lists at their places for a client area of w x h with
    // extra height (266 when the map is hidden); the shown group made visible.
    void Place(int w, int h, int extra);
    // All four lists collapsed (the map expanded over them).
    void Collapse();
    void HideAll();

    const catalogue::EntryTable& Table() const { return m_table; }
    unsigned FilterSet() const { return m_filter; }
    int CurrentEntry() const { return m_currentEntry; }
    bool CheckAll() const { return m_checkAll; }

private:
    CSkinListCtrl* List(UINT listId);

    CSkinListCtrl m_listDate, m_listHour, m_listFile, m_listEvent;
    CFont m_listFont;
    catalogue::EntryTable m_table;
    unsigned m_filter = 0;
    int m_selDate = 0, m_selHour = 0, m_selFile = 0, m_selEvent = catalogue::kNone;
    int m_currentEntry = catalogue::kNone;
    bool m_showFileGroup = true, m_showEventList = false;
    bool m_checkAll = false;
    bool m_listsEnabled = true;
};
