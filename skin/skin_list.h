// Recording list dressed in the skin: a report-style list view with its own
// selection colour (custom draw), flicker-free painting, no native scroll bars
// and no column resizing; a black column header with an optional check box;
// and a bitmap scrollbar placed beside the list as a sibling window.
#pragma once
#include "fw_controls.h"
#include "fw_gdi.h"
#include "app_messages.h"

// A click on the header's check box posts WM_LIST_HEADER_CHECK to the header's
// owner: wParam low word LIST_HEADER_CHECK_ALL, high word the list's control id;
// lParam 1 unchecked, 2 checked (app_messages.h).

class CVerticalScrollbar : public CStatic {
public:
    bool Create(CWnd* parent, UINT id);
    void SetList(CListCtrl* list) { m_list = list; }
    // Moves the thumb to the list's scroll position, redrawn when it moved
    // (or appeared or went).
    void UpdateThumb();
    bool IsDragging() const { return m_dragging; }
    int ThumbTop() const { return m_thumbTop; }
    int UpHeight() const { return m_upH; }
    int DownHeight() const { return m_downH; }
    int ThumbHeight() const { return m_thumbH; }

    // Scroll position (top row) and limit (largest position) of a list.
    static void ListScroll(HWND list, int& pos, int& limit);

protected:
    void DeclareMessageMap(MessageMap& map) override;

private:
    void LoadImages();
    void Draw(HDC dc);
    void Redraw();
    void Command(WPARAM code);
    int Height() const {
        RECT r = GetClientRect();
        return r.bottom - r.top;
    }
    int MinTop() const { return m_upH; }
    int MaxTop() const { return Height() - m_downH - m_thumbH; }
    static bool In(int x, int y, int left, int top, SIZE s) {
        return x >= left && x < left + s.cx && y >= top && y < top + s.cy;
    }

    CListCtrl* m_list = nullptr;
    CBitmap m_up, m_down, m_thumb, m_track;
    bool m_upPressed = false, m_downPressed = false, m_dragging = false;
    int m_thumbTop = 0;
    bool m_thumbShown = false;  // as last drawn
    bool m_thumbDrawn = false;  // drawn since last hidden
    CBackBuffer m_face;         // the face as last drawn, with its thumb:
    int m_faceThumbTop = -1;
    bool m_faceThumbShown = false;
    int m_upH = 0, m_downH = 0, m_thumbH = 0;
    bool m_loaded = false;
};

class CSkinHeaderCtrl : public CHeaderCtrl {
public:
    CSkinHeaderCtrl();
    ~CSkinHeaderCtrl() override;
    void SetupCheckBox(HWND owner, bool enabled, int listId, int checkSize);
    void SetCheckState(int state);
    int CheckState() const { return m_checkState; }
    int CheckSize() const { return m_checkSize; }
    bool CheckEnabled() const { return m_checkEnabled; }

protected:
    void DeclareMessageMap(MessageMap& map) override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void Paint();
    void DrawFace(const RECT& rc);
    // Paint requests and questions: the header looks as it was drawn after
    // them. Any other message may change it.
    static bool LeavesFaceAsDrawn(UINT msg);

    // The header as last drawn, shown again while nothing has changed it.
    CBackBuffer m_face;
    bool m_faceCurrent = false;
    HIMAGELIST m_images = nullptr;
    CBitmap m_bitmaps[5];
    int m_checkState = 1;
    HWND m_owner = nullptr;
    int m_listId = 0;
    int m_checkSize = 16;
    bool m_checkEnabled = false;
};

class CSkinListCtrl : public CListCtrl {
public:
    // Called once after the list window exists: flat scroll bars off, the
    // scrollbar window created beside the list, the header taken over.
    void InitSkin(bool headerCheckBox, int checkBoxSize);
    void ShowScrollbar(bool show);
    void SetSelectionBackground(COLORREF c) {
        m_selection = c;
        m_rowsCurrent = false;
    }
    void SetHeaderCheck(int state) { m_header.SetCheckState(state); }
    // Background, text background and text colour through the list messages,
    // and the selection colour.
    void SetColors(COLORREF back, COLORREF text, COLORREF selection) {
        SetBkColor(back);
        SetTextBkColor(back);
        SetTextColor(text);
        SetSelectionBackground(selection);
    }

    COLORREF SelectionColor() const { return m_selection; }
    bool HasHeaderCheckBox() const { return m_header.CheckEnabled(); }
    int HeaderHeight() const { return m_headerHeight; }
    CVerticalScrollbar& Scrollbar() { return m_scrollbar; }
    CSkinHeaderCtrl& Header() { return m_header; }

protected:
    void PreSubclassWindow() override;
    void DeclareMessageMap(MessageMap& map) override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
    bool OnChildNotify(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    // A selected row lies in the rows the list shows (partly shown ones too).
    bool SelectedRowInView() const;

private:
    void Paint();
    void SyncThumb() {
        if (m_scrollbar.GetSafeHwnd() && !m_scrollbar.IsDragging()) m_scrollbar.UpdateThumb();
    }
    void LoadHeaderImage();
    // Messages after which the rows look as they were drawn: paint requests
    // and questions. Any other may change them.
    static bool LeavesRowsAsDrawn(UINT msg);

    // The rows as last drawn over the whole client area, shown again as they
    // are while no message has come that may change them (the window
    // uncovered, the main window repainted whole): the list's own drawing of
    // every row is the costly part of its paint.
    CBackBuffer m_rows;
    bool m_rowsCurrent = false;
    bool m_drawingRows = false;  // messages the list gets while drawing its rows
    CVerticalScrollbar m_scrollbar;
    CSkinHeaderCtrl m_header;
    CBitmap m_headerImage;
    COLORREF m_selection = RGB(115, 123, 165);
    int m_headerHeight = 0;
    bool m_placing = false;
};
