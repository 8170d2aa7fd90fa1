// Skin button: window shape from the mask, state precedence, tiling, held-drag
// and double clicks, draw-mode clamping. Real windows, real messages, pixels
// read back from the screen.
#include <gtest/gtest.h>
#include "skin_button.h"
#include "skin_host.h"
#include "bitmap_ids.h"

namespace {
const COLORREF kMagenta = RGB(255, 0, 255);

class ButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.CreateHost(40, 40, 320, 200));
        Pump(50);
    }
    void TearDown() override {
        host.DestroyWindow();
        Pump(20);
    }

    CSkinButton& Make(CSkinButton& b, int x, int y, int w, int h, UINT id) {
        HWND w0 = MakeChild(host, L"BUTTON", BS_PUSHBUTTON, x, y, w, h, id);
        EXPECT_TRUE(b.SubclassWindow(w0));
        return b;
    }
    // True when the button's client pixels equal the bitmap resource tiled from (0, 0).
    ::testing::AssertionResult ShowsTiled(HWND button, UINT image) {
        int iw, ih;
        auto px = ResourcePixels(image, iw, ih);
        if (px.empty()) return ::testing::AssertionFailure() << "no bitmap " << image;
        RECT r;
        ::GetClientRect(button, &r);
        HRGN rgn = ::CreateRectRgn(0, 0, 0, 0);
        bool shaped = ::GetWindowRgn(button, rgn) != ERROR;
        for (int y = 0; y < r.bottom; ++y)
            for (int x = 0; x < r.right; ++x) {
                if (shaped && !::PtInRegion(rgn, x, y)) continue;
                COLORREF want = px[static_cast<size_t>(y % ih) * iw + x % iw];
                COLORREF got = PixelOf(button, x, y);
                if (want != got) {
                    ::DeleteObject(rgn);
                    return ::testing::AssertionFailure() << "image " << image << " pixel (" << x << "," << y << ") is "
                                                         << std::hex << got << " not " << want;
                }
            }
        ::DeleteObject(rgn);
        return ::testing::AssertionSuccess();
    }
    void Click(HWND w, int x, int y, UINT msg) {
        ::SendMessageW(w, msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(x, y));
    }

    SkinHost host;
};

TEST_F(ButtonTest, MaskShapesTheWindowAndNoMagentaReachesTheScreen) {
    // The mirror / flip / channel buttons of the main window and the type filters.
    struct Case {
        UINT normal, pressed;
        int w, h;
    };
    for (Case c : {Case{198, 200, 51, 15}, Case{271, 270, 16, 16}, Case{273, 275, 19, 18}}) {
        CSkinButton b;
        Make(b, 30, 30, 60, 30, 2000);
        b.SetSkinImages(c.normal, c.pressed, 0, c.normal, c.normal, c.normal, 2, 0, 0);
        // The layout moves the buttons after skinning them.
        b.MoveWindow(30, 30, c.w, c.h);
        ::RedrawWindow(host, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Pump(50);
        int iw, ih;
        auto mask = ResourcePixels(c.normal, iw, ih);
        ASSERT_EQ(c.w, iw);
        HRGN rgn = ::CreateRectRgn(0, 0, 0, 0);
        ASSERT_EQ(COMPLEXREGION, ::GetWindowRgn(b, rgn)) << c.normal;
        int keyed = 0;
        for (int y = 0; y < ih; ++y)
            for (int x = 0; x < iw; ++x) {
                bool key = mask[static_cast<size_t>(y) * iw + x] == kMagenta;
                keyed += key;
                EXPECT_EQ(!key, ::PtInRegion(rgn, x, y) != FALSE) << c.normal << " at " << x << "," << y;
                // What the screen shows there: the host's background, never the key colour.
                COLORREF shown = PixelOf(host, 30 + x, 30 + y);
                EXPECT_NE(kMagenta, shown) << c.normal << " shows magenta at " << x << "," << y;
                if (key) {
                    EXPECT_EQ(SkinHost::kBack, shown) << c.normal << " at " << x << "," << y;
                }
            }
        ::DeleteObject(rgn);
        EXPECT_GT(keyed, 0) << "bitmap " << c.normal << " has no magenta corners";
        // Checking and unchecking redraws through the shape as well.
        b.SetCheck(1);
        Pump(30);
        b.SetCheck(0);
        Pump(30);
        for (int y = 0; y < ih; ++y)
            for (int x = 0; x < iw; ++x)
                if (mask[static_cast<size_t>(y) * iw + x] == kMagenta) {
                    EXPECT_EQ(SkinHost::kBack, PixelOf(host, 30 + x, 30 + y)) << "after SetCheck at " << x << "," << y;
                }
        b.DestroyWindow();
    }
}

TEST_F(ButtonTest, PressedWinsOverHoverAndDisabledWinsOverChecked) {
    CSkinButton b;
    Make(b, 20, 20, 17, 17, 2001);
    b.SetSkinImages(IDB_CLOSE_NORMAL, IDB_CLOSE_PRESSED, IDB_CLOSE_HOVER, IDB_CLOSE_DISABLED, 0, 0, 2, 0, 0);
    Pump(30);
    EXPECT_TRUE(ShowsTiled(b, 236));
    // The mouse over it: hover image.
    RECT wr = b.GetWindowRect();
    ::SetCursorPos(wr.left + 8, wr.top + 8);
    ::SendMessageW(b, WM_MOUSEMOVE, 0, MAKELPARAM(8, 8));
    Pump(30);
    ASSERT_TRUE(b.IsHover());
    EXPECT_TRUE(ShowsTiled(b, 237));
    // Checked with the mouse over it: pressed image.
    b.SetCheck(1);
    Pump(30);
    EXPECT_TRUE(ShowsTiled(b, 238));
    // Disabled and checked: disabled image.
    b.EnableWindow(FALSE);
    Pump(30);
    EXPECT_TRUE(ShowsTiled(b, 239));
    // Clicking never changes the check; only BM_SETCHECK does.
    b.EnableWindow(TRUE);
    EXPECT_EQ(1, b.GetCheck());
    b.SetCheck(0);
    EXPECT_EQ(0, b.GetCheck());
}

TEST_F(ButtonTest, MissingDisabledImageFallsBackToNormal) {
    CSkinButton b;
    Make(b, 20, 20, 17, 17, 2002);
    b.SetSkinImages(IDB_CLOSE_NORMAL, 0, 0, 0, 0, 0, 2, 0, 0);
    b.EnableWindow(FALSE);
    Pump(30);
    EXPECT_TRUE(ShowsTiled(b, 236));
    // Pressed without a pressed image: the button face colour.
    b.EnableWindow(TRUE);
    b.SetCheck(1);
    Pump(30);
    EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), PixelOf(b, 8, 8));
}

TEST_F(ButtonTest, TiledModeRepeatsAndCutsTheImage) {
    CSkinButton b;
    Make(b, 10, 10, 40, 30, 2003);  // 17 x 17 image: two whole copies and a cut third across
    b.SetSkinImages(IDB_FULL_SCREEN_NORMAL, IDB_FULL_SCREEN_PRESSED, IDB_FULL_SCREEN_HOVER, IDB_FULL_SCREEN_DISABLED, 0, 0, 2, 0, 0);
    Pump(30);
    EXPECT_TRUE(ShowsTiled(b, 248));
}

TEST_F(ButtonTest, HeldDragOffGivesNoClickAndDoubleClickGivesTwo) {
    CSkinButton b;
    Make(b, 50, 50, 50, 50, 2004);
    b.SetSkinImages(IDB_FILE_OPEN_NORMAL, IDB_FILE_OPEN_PRESSED, IDB_FILE_OPEN_HOVER, IDB_FILE_OPEN_DISABLED, 0, 0, 2, 0, 0);
    Pump(30);
    RECT wr = b.GetWindowRect();
    ::SetCursorPos(wr.left + 25, wr.top + 25);
    Click(b, 25, 25, WM_LBUTTONDOWN);
    Pump(20);
    EXPECT_EQ(b.GetSafeHwnd(), ::GetCapture());
    EXPECT_TRUE(b.SendMessage(BM_GETSTATE) & BST_PUSHED);
    // Off the button: the pushed look goes.
    ::SetCursorPos(wr.left + 150, wr.top + 25);
    ::SendMessageW(b, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(150, 25));
    Pump(20);
    EXPECT_FALSE(b.SendMessage(BM_GETSTATE) & BST_PUSHED);
    EXPECT_TRUE(ShowsTiled(b, 262));
    // Back on it: pushed again.
    ::SetCursorPos(wr.left + 25, wr.top + 25);
    ::SendMessageW(b, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(25, 25));
    Pump(20);
    EXPECT_TRUE(b.SendMessage(BM_GETSTATE) & BST_PUSHED);
    EXPECT_TRUE(ShowsTiled(b, 263));
    // Released outside: no click.
    ::SetCursorPos(wr.left + 150, wr.top + 25);
    ::SendMessageW(b, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(150, 25));
    Click(b, 150, 25, WM_LBUTTONUP);
    Pump(20);
    EXPECT_EQ(0, host.clicks);
    // A double click is two presses and two clicks.
    ::SetCursorPos(wr.left + 25, wr.top + 25);
    Click(b, 25, 25, WM_LBUTTONDOWN);
    Click(b, 25, 25, WM_LBUTTONUP);
    Click(b, 25, 25, WM_LBUTTONDBLCLK);
    Click(b, 25, 25, WM_LBUTTONUP);
    Pump(20);
    EXPECT_EQ(2, host.clicks);
    EXPECT_EQ(2004u, host.lastClickId);
}

TEST_F(ButtonTest, SkinImagesClampModeAndMargin) {
    CSkinButton b;
    Make(b, 10, 10, 20, 20, 2005);
    b.SetSkinImages(IDB_CLOSE_NORMAL, 0, 0, 0, 0, 0, 5, 0, -3);
    EXPECT_EQ(2, b.DrawMode());
    EXPECT_EQ(0, b.FocusMargin());
    b.SetSkinImages(IDB_CLOSE_NORMAL, 0, 0, 0, 0, 0, -1, 0, 4);
    EXPECT_EQ(0, b.DrawMode());
    EXPECT_EQ(4, b.FocusMargin());
    // Actual-size mode with a mask sizes the window to the mask.
    b.SetSkinImages(IDB_TOGGLE_OFF, IDB_TOGGLE_ON, 0, IDB_TOGGLE_OFF, IDB_TOGGLE_OFF, IDB_TOGGLE_OFF, 0, 0, 0);
    RECT r = b.GetWindowRect();
    EXPECT_EQ(51, r.right - r.left);
    EXPECT_EQ(15, r.bottom - r.top);
}

TEST_F(ButtonTest, TipTextIsOneTool) {
    CSkinButton b;
    Make(b, 10, 10, 20, 20, 2006);
    b.SetTipText(L"first");
    ASSERT_NE(nullptr, b.ToolTip());
    b.SetTipText(L"second");
    EXPECT_EQ(1, static_cast<int>(b.ToolTip()->SendMessage(TTM_GETTOOLCOUNT)));
    EXPECT_EQ(CString(L"second"), b.ToolTip()->GetText(&b));
}
}  // namespace
