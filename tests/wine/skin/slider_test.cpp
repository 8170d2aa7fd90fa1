// Bitmap slider: the track formulas, clamping, thumb placement on screen,
// track clicks, drags beyond the ends and the keys, with the messages posted
// to the parent.
#include <gtest/gtest.h>
#include "bitmap_slider.h"
#include "skin_host.h"
#include "bitmap_ids.h"
#include "control_ids.h"

namespace {
const COLORREF kMagenta = RGB(255, 0, 255);

class SliderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.CreateHost(40, 40, 700, 120));
        // The main window's position slider: 571 x 9 channel, 17 x 9 thumb.
        ASSERT_TRUE(slider.SubclassWindow(MakeChild(host, L"STATIC", SS_NOTIFY, 20, 20, 300, 30, IDC_POSITION_SLIDER)));
        ASSERT_TRUE(slider.SetChannelImages(IDB_POSITION_CHANNEL, IDB_POSITION_CHANNEL_ACTIVE, false));
        ASSERT_TRUE(slider.SetThumbImages(IDB_POSITION_THUMB, IDB_POSITION_THUMB_ACTIVE, true, RGB(255, 0, 255)));
        slider.SetFocusRectOption(false);
        slider.SetRange(0, 1000);
        Pump(30);
    }
    void TearDown() override {
        host.DestroyWindow();
        Pump(20);
    }
    void Mouse(UINT msg, int x) {
        // The cursor goes there too, so that moves the system makes up agree.
        POINT pt{x, 4};
        ::ClientToScreen(slider, &pt);
        ::SetCursorPos(pt.x, pt.y);
        slider.SendMessage(msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(x, 4));
    }
    void Key(UINT vk) { slider.SendMessage(WM_KEYDOWN, vk, 1); }
    int Centre() const { return CBitmapSlider::CentreFor(slider.GetPosition(), 0, 1000, 571, 17); }

    SkinHost host;
    CBitmapSlider slider;
};

TEST(SliderFormula, CentreAndPosition) {
    // centre(p) = thumbW/2 + trunc((W - thumbW)(p - min)/(max - min))
    EXPECT_EQ(8, CBitmapSlider::CentreFor(0, 0, 1000, 571, 17));
    EXPECT_EQ(8 + 277, CBitmapSlider::CentreFor(500, 0, 1000, 571, 17));
    EXPECT_EQ(562, CBitmapSlider::CentreFor(1000, 0, 1000, 571, 17));
    EXPECT_EQ(5 + 36, CBitmapSlider::CentreFor(4, 0, 10, 101, 10));  // volume: 91 * 4 / 10 = 36.4
    EXPECT_EQ(5 + 9, CBitmapSlider::CentreFor(-50, -100, 400, 101, 10));
    // An empty range puts the thumb at the left end.
    EXPECT_EQ(8, CBitmapSlider::CentreFor(0, 0, 0, 571, 17));
    // position(x) = trunc(min + (x - thumbW/2)/(W - thumbW)(max - min))
    EXPECT_EQ(0, CBitmapSlider::PositionFor(8, 0, 1000, 571, 17));
    EXPECT_EQ(1000, CBitmapSlider::PositionFor(562, 0, 1000, 571, 17));
    EXPECT_EQ(498, CBitmapSlider::PositionFor(284, 0, 1000, 571, 17));  // 276 / 554 * 1000 = 498.2
    EXPECT_EQ(-100, CBitmapSlider::PositionFor(5, -100, 400, 101, 10));
    // The left edge of the thumb is one pixel left of centring, never below 0.
    EXPECT_EQ(0, CBitmapSlider::ThumbLeft(8, 17));
    EXPECT_EQ(276, CBitmapSlider::ThumbLeft(285, 17));
}

TEST_F(SliderTest, ChannelSizesTheWindowAndPositionIsClamped) {
    RECT r = slider.GetWindowRect();
    EXPECT_EQ(571, r.right - r.left);
    EXPECT_EQ(9, r.bottom - r.top);
    slider.SetPosition(1500);
    EXPECT_EQ(1000, slider.GetPosition());
    slider.SetPosition(-3);
    EXPECT_EQ(0, slider.GetPosition());
    slider.SetPosition(400);
    slider.SetRange(0, 100);  // not re-clamped until the next SetPosition
    EXPECT_EQ(400, slider.GetPosition());
    slider.SetPosition(400);
    EXPECT_EQ(100, slider.GetPosition());
    slider.SetRange(50, 10);  // minimum above maximum: the minimum wins
    slider.SetPosition(30);
    EXPECT_EQ(50, slider.GetPosition());
    EXPECT_TRUE(host.posted.empty()) << "SetPosition posts nothing";
}

TEST_F(SliderTest, ThumbIsDrawnAtItsPlaceWithTheChannelSplit) {
    int tw, th, cw, ch, aw, ah;
    auto thumb = ResourcePixels(IDB_POSITION_THUMB, tw, th);
    auto channel = ResourcePixels(IDB_POSITION_CHANNEL, cw, ch);
    auto active = ResourcePixels(IDB_POSITION_CHANNEL_ACTIVE, aw, ah);
    ASSERT_EQ(17, tw);
    for (int pos : {0, 500, 1000}) {
        slider.SetPosition(pos);
        slider.UpdateWindow();
        Pump(20);
        const int c = Centre();
        const int left = CBitmapSlider::ThumbLeft(c, 17);
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 571; ++x) {
                COLORREF want;
                const bool inThumb = x >= left && x < left + 17;
                COLORREF t = inThumb ? thumb[static_cast<size_t>(y) * 17 + (x - left)] : kMagenta;
                if (t != kMagenta) want = t;
                else if (x < c) want = active[static_cast<size_t>(y) * aw + x];  // filled part left of the thumb
                else want = channel[static_cast<size_t>(y) * cw + x];
                ASSERT_EQ(want, PixelOf(slider, x, y)) << "position " << pos << " pixel " << x << "," << y;
            }
    }
}

TEST_F(SliderTest, TrackClickJumpsAndDragStopsAtTheEnds) {
    slider.SetPosition(100);
    Mouse(WM_LBUTTONDOWN, 400);  // far from the thumb: its centre jumps under the cursor
    Pump(10);
    // Every move whose point is not the thumb's exact centre posts (the centre of
    // position(400) is 399, so the moves the system adds at 400 post again).
    auto moving = host.Of(WM_SLIDER_MOVING);
    ASSERT_FALSE(moving.empty());
    for (const Posted& p : moving) {
        EXPECT_EQ(1011u, p.wp);
        EXPECT_EQ(CBitmapSlider::PositionFor(400, 0, 1000, 571, 17), p.lp);
    }
    EXPECT_EQ(CBitmapSlider::PositionFor(400, 0, 1000, 571, 17), slider.GetPosition());
    EXPECT_EQ(slider.GetSafeHwnd(), ::GetCapture());
    Mouse(WM_MOUSEMOVE, 900);  // beyond the right end
    Pump(10);
    EXPECT_EQ(1000, slider.GetPosition());
    EXPECT_EQ(1000, host.Of(WM_SLIDER_MOVING).back().lp);
    size_t n = host.Of(WM_SLIDER_MOVING).size();
    Mouse(WM_MOUSEMOVE, 650);  // still beyond the end: the thumb stays there
    Pump(10);
    auto later = host.Of(WM_SLIDER_MOVING);
    for (size_t i = n; i < later.size(); ++i) EXPECT_EQ(1000, later[i].lp);
    EXPECT_EQ(1000, slider.GetPosition());
    Mouse(WM_MOUSEMOVE, -40);  // beyond the left end
    Pump(10);
    EXPECT_EQ(0, slider.GetPosition());
    Mouse(WM_LBUTTONUP, -40);
    Pump(10);
    auto moved = host.Of(WM_SLIDER_MOVED);
    ASSERT_EQ(1u, moved.size());
    EXPECT_EQ(0, moved[0].lp);
    EXPECT_EQ(nullptr, ::GetCapture());
    EXPECT_TRUE(::PixelOf(slider, 0, 4) != kMagenta);
}

TEST_F(SliderTest, PressOnTheThumbWithoutMovingStillPostsMoved) {
    slider.SetPosition(500);
    const int c = Centre();
    Mouse(WM_LBUTTONDOWN, c + 3);  // grabbed off-centre: no jump
    Mouse(WM_LBUTTONUP, c + 3);
    Pump(10);
    EXPECT_EQ(500, slider.GetPosition());
    EXPECT_TRUE(host.Of(WM_SLIDER_MOVING).empty());
    ASSERT_EQ(1u, host.Of(WM_SLIDER_MOVED).size());
    EXPECT_EQ(500, host.Of(WM_SLIDER_MOVED)[0].lp);
}

TEST_F(SliderTest, KeysMoveAndPostMoved) {
    slider.SetPosition(500);
    Key(VK_HOME);
    Key(VK_END);
    Key(VK_PRIOR);
    Key(VK_DOWN);
    Key(VK_UP);
    Key(VK_LEFT);
    Key(VK_NEXT);
    Key(VK_NEXT);
    Pump(10);
    auto moved = host.Of(WM_SLIDER_MOVED);
    ASSERT_EQ(8u, moved.size());
    const LPARAM want[] = {0, 1000, 980, 981, 980, 979, 999, 1000};
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(want[i], moved[i].lp) << "key " << i;
        EXPECT_EQ(1011u, moved[i].wp);
    }
    EXPECT_EQ(static_cast<LRESULT>(DLGC_WANTARROWS), slider.SendMessage(WM_GETDLGCODE));
}

TEST_F(SliderTest, FocusRectangleOffLeavesTheScreenAlone) {
    slider.SetPosition(300);
    slider.UpdateWindow();
    Pump(10);
    COLORREF before = PixelOf(slider, 0, 0), corner = PixelOf(slider, 570, 8);
    ::SetFocus(slider);
    slider.UpdateWindow();
    Pump(10);
    EXPECT_EQ(before, PixelOf(slider, 0, 0));
    EXPECT_EQ(corner, PixelOf(slider, 570, 8));
}
}  // namespace

namespace {
TEST(SliderWindow, NarrowerWindowKeepsTheChannelTrack) {
    // The main window's layout gives the volume slider a 100-pixel window over
    // its 101-pixel channel: the track stays the channel's.
    SkinHost host;
    ASSERT_TRUE(host.CreateHost(40, 40, 300, 80));
    CBitmapSlider volume;
    ASSERT_TRUE(volume.SubclassWindow(MakeChild(host, L"STATIC", SS_NOTIFY, 10, 10, 50, 50, IDC_VOLUME_SLIDER)));
    ASSERT_TRUE(volume.SetChannelImages(IDB_VOLUME_CHANNEL, IDB_VOLUME_CHANNEL_ACTIVE, false));
    ASSERT_TRUE(volume.SetThumbImages(IDB_VOLUME_THUMB, IDB_VOLUME_THUMB_ACTIVE, true, RGB(255, 0, 255)));
    volume.SetRange(0, 10);
    volume.MoveWindow(20, 20, 100, 14);
    volume.SetPosition(10);
    volume.UpdateWindow();
    Pump(20);
    EXPECT_EQ(101, volume.TrackWidth());
    int tw, th;
    auto thumb = ResourcePixels(IDB_VOLUME_THUMB, tw, th);
    ASSERT_EQ(10, tw);
    const int left = CBitmapSlider::ThumbLeft(101 - 5, 10);  // centre at W - thumbW / 2
    EXPECT_EQ(90, left);
    for (int y = 0; y < th; ++y)
        for (int x = 0; x < tw; ++x) {
            COLORREF t = thumb[static_cast<size_t>(y) * tw + x];
            if (t != RGB(255, 0, 255)) {
                EXPECT_EQ(t, PixelOf(volume, left + x, y)) << x << "," << y;
            }
        }
    host.DestroyWindow();
}
}  // namespace
