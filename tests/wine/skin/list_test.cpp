// Skinned list: selection colour by custom draw, swallowed keys and column
// resizing, the header check box and its post, the bitmap scrollbar's arrows,
// timers, track paging and thumb drag.
#include <gtest/gtest.h>
#include "skin_host.h"
#include "skin_list.h"
#include "bitmap_ids.h"

namespace {
const COLORREF kBack = RGB(22, 24, 25), kText = RGB(200, 200, 200), kSel = RGB(3, 91, 156);

// Counts the list's rounds of row drawing (its custom-draw prepaint stage).
class CountingList : public CSkinListCtrl {
public:
    int drawings = 0;

protected:
    bool OnChildNotify(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
        if (msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lp)->code == static_cast<UINT>(NM_CUSTOMDRAW) &&
            reinterpret_cast<NMCUSTOMDRAW*>(lp)->dwDrawStage == CDDS_PREPAINT)
            ++drawings;
        return CSkinListCtrl::OnChildNotify(msg, wp, lp, result);
    }
};

class ListTest : public ::testing::Test {
protected:
    void Build(bool checkBox, int rows, UINT id = 1073) {
        ASSERT_TRUE(host.CreateHost(40, 40, 400, 320));
        RECT r{20, 20, 20 + 160, 20 + 246};
        ASSERT_TRUE(list.Create(WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, r, &host, id));
        font.CreateFont(14, FW_NORMAL, L"Tahoma");
        list.SetFont(font);
        list.InitSkin(checkBox, 16);
        list.SetColors(kBack, kText, kSel);
        list.SetExtendedStyle(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP);
        list.InsertColumn(0, L"Name", LVCFMT_LEFT, 100);
        list.InsertColumn(1, L"Type", LVCFMT_LEFT, 60);
        for (int i = 0; i < rows; ++i) {
            wchar_t t[32];
            wsprintfW(t, L"REC_%04d", i);
            list.InsertItem(i, t);
            list.SetItemText(i, 1, L"Normal");
        }
        list.ShowScrollbar(true);
        Pump(50);
    }
    void TearDown() override {
        host.DestroyWindow();
        Pump(20);
    }
    int Top() const { return static_cast<int>(list.SendMessage(LVM_GETTOPINDEX)); }
    RECT RowRect(int i) const {
        RECT r{LVIR_BOUNDS, 0, 0, 0};
        list.SendMessage(LVM_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r));
        return r;
    }
    void Press(HWND w, UINT msg, int x, int y) {
        POINT pt{x, y};
        ::ClientToScreen(w, &pt);
        ::SetCursorPos(pt.x, pt.y);
        ::SendMessageW(w, msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(x, y));
    }

    SkinHost host;
    CountingList list;
    CFont font;
};

TEST_F(ListTest, SelectedRowIsPaintedInTheSkinColourAndStaysSelected) {
    Build(false, 20, 1066);
    list.SetItemState(2, LVIS_SELECTED, LVIS_SELECTED);
    list.Invalidate();
    list.UpdateWindow();
    Pump(30);
    RECT sel = RowRect(2), other = RowRect(4);
    // Background of the text cell of the second column (no text there at its right end).
    const int y = (sel.top + sel.bottom) / 2;
    EXPECT_EQ(kSel, PixelOf(list, 150, y));
    EXPECT_EQ(kBack, PixelOf(list, 150, (other.top + other.bottom) / 2));
    EXPECT_EQ(static_cast<UINT>(LVIS_SELECTED), list.GetItemState(2, LVIS_SELECTED));
    // No native scroll bars, however many rows.
    EXPECT_EQ(0, ::GetWindowLongPtrW(list, GWL_STYLE) & (WS_VSCROLL | WS_HSCROLL));
    // Painting settles: no endless repaint from re-selecting rows.
    Pump(100);
    EXPECT_FALSE(::GetUpdateRect(list, nullptr, FALSE));
}

TEST_F(ListTest, SelectedRowScrolledIntoViewIsColouredAndOthersAreNot) {
    // Rows are coloured one by one only while a selected one is in view: the
    // selection far down shows nothing until the list is scrolled to it.
    Build(false, 60, 1066);
    list.SetItemState(50, LVIS_SELECTED, LVIS_SELECTED);
    list.Invalidate();
    list.UpdateWindow();
    Pump(30);
    ASSERT_LT(Top() + static_cast<int>(list.SendMessage(LVM_GETCOUNTPERPAGE)), 50);
    RECT first = RowRect(Top());
    EXPECT_EQ(kBack, PixelOf(list, 150, (first.top + first.bottom) / 2));
    list.SendMessage(LVM_ENSUREVISIBLE, 50, FALSE);
    list.UpdateWindow();
    Pump(30);
    ASSERT_GT(Top(), 0);
    RECT sel = RowRect(50), other = RowRect(49);
    EXPECT_EQ(kSel, PixelOf(list, 150, (sel.top + sel.bottom) / 2));
    EXPECT_EQ(kBack, PixelOf(list, 150, (other.top + other.bottom) / 2));
    EXPECT_EQ(static_cast<UINT>(LVIS_SELECTED), list.GetItemState(50, LVIS_SELECTED));
    Pump(100);
    EXPECT_FALSE(::GetUpdateRect(list, nullptr, FALSE));
}

// Something other than the plain background in r of the list (text drawn there).
bool Drawn(HWND w, const RECT& r, COLORREF back) {
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (PixelOf(w, x, y) != back) return true;
    return false;
}

TEST_F(ListTest, ARowRepaintedAloneLeavesTheOthersAndTheHeaderDrawn) {
    Build(false, 10, 1066);
    list.Invalidate();
    list.UpdateWindow();
    Pump(30);
    RECT five = RowRect(5);
    five.right = 90;
    ASSERT_TRUE(Drawn(list, five, kBack)) << "row text drawn at all";
    RECT head{};
    ::GetClientRect(list.Header(), &head);
    ::MapWindowPoints(list.Header(), list, reinterpret_cast<POINT*>(&head), 2);
    head.right = 90;
    EXPECT_TRUE(Drawn(list, head, RGB(0, 0, 0))) << "the header's column titles";
    RECT three = RowRect(3);
    ::InvalidateRect(list, &three, FALSE);
    list.UpdateWindow();
    Pump(30);
    EXPECT_TRUE(Drawn(list, five, kBack)) << "a row outside the repainted one was wiped";
    EXPECT_TRUE(Drawn(list, head, RGB(0, 0, 0)));
}

TEST_F(ListTest, KeptRowsAreShownAgainUntilSomethingChangesThem) {
    Build(false, 40, 1066);
    list.SetItemState(2, LVIS_SELECTED, LVIS_SELECTED);
    list.Invalidate();
    list.UpdateWindow();
    Pump(30);
    auto mid = [this](int row) {
        RECT r = RowRect(row);
        return (r.top + r.bottom) / 2;
    };
    ASSERT_EQ(kSel, PixelOf(list, 150, mid(2)));
    // Uncovered or repainted whole with nothing changed: the rows as drawn,
    // without drawing them again, also for a part of the list.
    const int drawn = list.drawings;
    list.Invalidate();
    list.UpdateWindow();
    RECT three = RowRect(3);
    ::InvalidateRect(list, &three, FALSE);
    list.UpdateWindow();
    EXPECT_EQ(drawn, list.drawings);
    EXPECT_EQ(kSel, PixelOf(list, 150, mid(2)));
    RECT five = RowRect(5);
    five.right = 90;
    EXPECT_TRUE(Drawn(list, five, kBack));

    // Each kind of change shows at the next repaint.
    list.SetItemState(2, 0, LVIS_SELECTED);
    list.SetItemState(4, LVIS_SELECTED, LVIS_SELECTED);
    list.Invalidate();
    list.UpdateWindow();
    EXPECT_EQ(kBack, PixelOf(list, 150, mid(2))) << "selection moved";
    EXPECT_EQ(kSel, PixelOf(list, 150, mid(4)));
    const COLORREF other = RGB(160, 40, 40);
    list.SetSelectionBackground(other);  // no message reaches the list
    list.Invalidate();
    list.UpdateWindow();
    EXPECT_EQ(other, PixelOf(list, 150, mid(4))) << "selection colour changed";
    RECT six = RowRect(6);
    RECT box{LVIR_ICON, 0, 0, 0};  // the text, right of the check box
    list.SendMessage(LVM_GETITEMRECT, 6, reinterpret_cast<LPARAM>(&box));
    six.left = box.right + 2;
    six.right = 90;
    ASSERT_TRUE(Drawn(list, six, kBack));
    list.SetItemText(6, 0, L"");
    list.Invalidate();
    list.UpdateWindow();
    EXPECT_FALSE(Drawn(list, six, kBack)) << "text removed";
    list.SendMessage(LVM_SCROLL, 0, 10 * (RowRect(1).top - RowRect(0).top));
    list.Invalidate();
    list.UpdateWindow();
    ASSERT_GT(Top(), 4);
    EXPECT_NE(other, PixelOf(list, 150, mid(Top()))) << "scrolled away from the selection";
    // A larger list draws its new part.
    list.MoveWindow(20, 20, 160, 300);
    list.UpdateWindow();
    const int last = Top() + static_cast<int>(list.SendMessage(LVM_GETCOUNTPERPAGE)) - 1;
    RECT low = RowRect(last);
    ASSERT_GT(low.bottom, 246 - 20);
    low.right = 90;
    EXPECT_TRUE(Drawn(list, low, kBack)) << "row in the new part";
}

TEST_F(ListTest, ScrollbarThumbIsDrawnWhereTheListIs) {
    Build(false, 200, 1066);
    CVerticalScrollbar& bar = list.Scrollbar();
    int tw, th;
    auto thumb = ResourcePixels(IDB_SCROLL_THUMB, tw, th);
    auto thumbAt = [&](int top) {
        int same = 0;
        for (int y = 0; y < th; ++y)
            for (int x = 0; x < tw; ++x) same += PixelOf(bar, x, top + y) == thumb[static_cast<size_t>(y) * tw + x];
        return same == tw * th;
    };
    ::RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const int first = bar.ThumbTop();
    EXPECT_TRUE(thumbAt(first));
    list.SendMessage(LVM_ENSUREVISIBLE, 199, FALSE);
    list.UpdateWindow();  // the list's paint moves the thumb
    Pump(20);
    ASSERT_GT(bar.ThumbTop(), first + th);
    EXPECT_TRUE(thumbAt(bar.ThumbTop()));
    EXPECT_FALSE(thumbAt(first));
    ::RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_TRUE(thumbAt(bar.ThumbTop())) << "repainted as it was";
    EXPECT_FALSE(thumbAt(first));
}

TEST_F(ListTest, KeysAndColumnResizingAreSwallowed) {
    Build(false, 60, 1066);
    list.SetItemState(0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ::SetFocus(list);
    for (UINT vk : {VK_DOWN, VK_END, VK_NEXT, VK_HOME, VK_UP}) {
        list.SendMessage(WM_KEYDOWN, vk, 1);
        list.SendMessage(WM_KEYUP, vk, 1);
    }
    Pump(20);
    EXPECT_EQ(0, Top());
    EXPECT_EQ(0, list.GetNextItem(-1, LVNI_SELECTED));
    // Dragging the divider between the columns leaves the widths alone.
    HWND header = list.GetHeaderCtrl();
    const int before = static_cast<int>(list.SendMessage(LVM_GETCOLUMNWIDTH, 0));
    Press(header, WM_LBUTTONDOWN, before, 8);
    Press(header, WM_MOUSEMOVE, before + 30, 8);
    Press(header, WM_LBUTTONUP, before + 30, 8);
    ::SendMessageW(header, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(before, 8));
    ::SendMessageW(header, WM_LBUTTONUP, 0, MAKELPARAM(before, 8));
    Pump(20);
    EXPECT_EQ(before, static_cast<int>(list.SendMessage(LVM_GETCOLUMNWIDTH, 0)));
}

TEST_F(ListTest, HeaderCheckBoxTogglesAndPosts) {
    Build(true, 5, 1073);
    HWND header = list.GetHeaderCtrl();
    Press(header, WM_LBUTTONDOWN, 10, 10);
    Press(header, WM_LBUTTONUP, 10, 10);
    Pump(20);
    EXPECT_EQ(2, list.Header().CheckState());
    Press(header, WM_LBUTTONDOWN, 10, 10);
    Press(header, WM_LBUTTONUP, 10, 10);
    Press(header, WM_LBUTTONDOWN, 20, 10);  // outside the box
    Press(header, WM_LBUTTONUP, 20, 10);
    Pump(20);
    EXPECT_EQ(1, list.Header().CheckState());
    auto posts = host.Of(0x0401);
    ASSERT_EQ(2u, posts.size());
    EXPECT_EQ(1039u, LOWORD(posts[0].wp));
    EXPECT_EQ(1073u, HIWORD(posts[0].wp));
    EXPECT_EQ(2, posts[0].lp);
    EXPECT_EQ(1, posts[1].lp);
    // The box shows the state: the two pictures differ somewhere inside it.
    list.SetHeaderCheck(2);
    ::UpdateWindow(header);
    std::vector<COLORREF> checked, unchecked;
    for (int y = 2; y < 18; ++y)
        for (int x = 2; x < 18; ++x) checked.push_back(PixelOf(header, x, y));
    list.SetHeaderCheck(1);
    ::UpdateWindow(header);
    for (int y = 2; y < 18; ++y)
        for (int x = 2; x < 18; ++x) unchecked.push_back(PixelOf(header, x, y));
    EXPECT_NE(checked, unchecked);
}

TEST_F(ListTest, HeaderWithoutCheckBoxPostsNothing) {
    Build(false, 5, 1066);
    HWND header = list.GetHeaderCtrl();
    COLORREF before = PixelOf(header, 10, 10);
    Press(header, WM_LBUTTONDOWN, 10, 10);
    Press(header, WM_LBUTTONUP, 10, 10);
    ::UpdateWindow(header);
    Pump(20);
    EXPECT_EQ(2, list.Header().CheckState());
    EXPECT_TRUE(host.Of(0x0401).empty());
    EXPECT_EQ(before, PixelOf(header, 10, 10));
}

TEST_F(ListTest, ScrollbarSitsBesideTheListBelowTheHeader) {
    Build(false, 100, 1066);
    CVerticalScrollbar& bar = list.Scrollbar();
    RECT r = bar.GetWindowRect();
    ::MapWindowPoints(nullptr, host, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(180, r.left);
    EXPECT_EQ(20 + 20, r.top);
    EXPECT_EQ(11, r.right - r.left);
    EXPECT_EQ(246 - 20, r.bottom - r.top);
    // It follows the list when the layout moves or hides it.
    list.MoveWindow(30, 40, 160, 200);
    r = bar.GetWindowRect();
    ::MapWindowPoints(nullptr, host, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(190, r.left);
    EXPECT_EQ(60, r.top);
    list.ShowWindow(SW_HIDE);
    EXPECT_FALSE(bar.IsWindowVisible());
    list.ShowWindow(SW_SHOW);
    EXPECT_TRUE(bar.IsWindowVisible());
}

TEST_F(ListTest, HeldArrowScrollsAfter250msThenEvery50ms) {
    Build(false, 200, 1066);
    CVerticalScrollbar& bar = list.Scrollbar();
    const int H = bar.GetClientRect().bottom;
    Press(bar, WM_LBUTTONDOWN, 5, H - 5);  // down arrow
    Pump(200);
    EXPECT_EQ(0, Top()) << "scrolled before the delay";
    Pump(350);  // 550 ms held: about (550 - 250) / 50 = 6 lines
    const int held = Top();
    EXPECT_GE(held, 3);
    EXPECT_LE(held, 8);
    Press(bar, WM_LBUTTONUP, 5, H - 5);  // released over the arrow: one more line
    Pump(100);
    EXPECT_EQ(held + 1, Top());
    EXPECT_GT(bar.ThumbTop(), bar.UpHeight());
}

TEST_F(ListTest, TrackPagesAndThumbDragReachesTheEnd) {
    Build(false, 200, 1066);
    CVerticalScrollbar& bar = list.Scrollbar();
    const int H = bar.GetClientRect().bottom;
    const int page = static_cast<int>(list.SendMessage(LVM_GETCOUNTPERPAGE));
    Press(bar, WM_LBUTTONDOWN, 5, H / 2);
    Press(bar, WM_LBUTTONUP, 5, H / 2);
    Pump(20);
    EXPECT_EQ(page, Top()) << "a click below the thumb pages down";
    // Press on the up arrow, move off and release on the track below the thumb: pages down.
    Press(bar, WM_LBUTTONDOWN, 5, 3);
    Press(bar, WM_MOUSEMOVE, 5, H - 20);
    Press(bar, WM_LBUTTONUP, 5, H - 20);
    Pump(20);
    EXPECT_EQ(2 * page, Top());
    // Drag the thumb to the bottom: the last rows show; the thumb stays on the track.
    const int t = bar.ThumbTop() + 3;
    Press(bar, WM_LBUTTONDOWN, 5, t);
    Press(bar, WM_MOUSEMOVE, 5, H + 40);
    Pump(10);
    EXPECT_EQ(H - bar.DownHeight() - bar.ThumbHeight(), bar.ThumbTop());
    Press(bar, WM_LBUTTONUP, 5, H + 40);
    Pump(20);
    EXPECT_EQ(200 - page, Top());
    EXPECT_EQ(H - bar.DownHeight() - bar.ThumbHeight(), bar.ThumbTop());
}

TEST_F(ListTest, ListWhoseRowsFitShowsNoThumb) {
    Build(false, 3, 1066);
    CVerticalScrollbar& bar = list.Scrollbar();
    bar.UpdateThumb();
    const int H = bar.GetClientRect().bottom;
    // Below the up arrow the track shows, not the thumb image.
    int tw, th;
    auto thumb = ResourcePixels(IDB_SCROLL_THUMB, tw, th);
    int same = 0;
    for (int y = 0; y < th; ++y)
        for (int x = 0; x < tw; ++x)
            same += PixelOf(bar, x, bar.UpHeight() + y) == thumb[static_cast<size_t>(y) * tw + x];
    EXPECT_LT(same, tw * th);
    // The arrows still answer; the list stays where it is.
    Press(bar, WM_LBUTTONDOWN, 5, H - 5);
    Press(bar, WM_LBUTTONUP, 5, H - 5);
    Pump(20);
    EXPECT_EQ(0, Top());
}
}  // namespace
