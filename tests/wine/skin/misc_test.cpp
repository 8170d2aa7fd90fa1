// Labels over a captured background, the busy animation's pictures and its
// single worker, and the image class (draw with a key colour or alpha, save
// by extension, load back).
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "image.h"
#include "loading_dlg.h"
#include "mem_dc.h"
#include "skin_host.h"
#include "tp_static.h"
#include "bitmap_ids.h"
#include "control_ids.h"

namespace {

TEST(LabelFont, TenPointsFollowTheDpiSteps) {
    EXPECT_EQ(-13, CTPStatic::FontHeight(10, 96));
    EXPECT_EQ(-13, CTPStatic::FontHeight(10, 120));
    EXPECT_EQ(-12, CTPStatic::FontHeight(10, 144));
    EXPECT_EQ(-13, CTPStatic::FontHeight(10, 192));
    EXPECT_EQ(-10, CTPStatic::FontHeight(10, 72));
}

class LabelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.CreateHost(40, 40, 300, 100));
        ASSERT_TRUE(label.SubclassWindow(MakeChild(host, L"STATIC", SS_OWNERDRAW, 10, 10, 120, 27, IDC_TIME_RANGE)));
        label.SetLabelFont(L"Arial", 10);
        label.SetLabelTextColor(RGB(255, 255, 255));
        label.SetFontWeight(700);
        Pump(30);
        // The parent's composed background: a gradient, so that a wrong offset shows.
        RECT rc = host.GetClientRect();
        HDC screen = ::GetDC(host);
        {
            CDC mem;
            mem.CreateCompatibleDC(screen);
            CBitmap bmp;
            bmp.CreateCompatibleBitmap(screen, rc.right, rc.bottom);
            CSelect s(mem, bmp);
            for (int x = 0; x < rc.right; ++x) {
                RECT col{x, 0, x + 1, rc.bottom};
                mem.FillSolidRect(col, RGB(x % 200, 40, 90));
            }
            label.CaptureBackground(mem);
            ::BitBlt(screen, 0, 0, rc.right, rc.bottom, mem, 0, 0, SRCCOPY);
        }
        ::ReleaseDC(host, screen);
    }
    void TearDown() override {
        host.DestroyWindow();
        Pump(20);
    }
    int TextPixels() {
        int n = 0;
        for (int y = 0; y < 27; ++y)
            for (int x = 0; x < 120; ++x) n += PixelOf(label, x, y) == RGB(255, 255, 255);
        return n;
    }
    // Rows holding text pixels, first and last.
    std::pair<int, int> TextRows() {
        int first = -1, last = -1;
        for (int y = 0; y < 27; ++y)
            for (int x = 0; x < 120; ++x)
                if (PixelOf(label, x, y) == RGB(255, 255, 255)) {
                    if (first < 0) first = y;
                    last = y;
                    break;
                }
        return {first, last};
    }
    SkinHost host;
    CTPStatic label;
};

TEST_F(LabelTest, TextChangesRedrawFromTheCapturedBackground) {
    label.SetWindowText(L"WWWWWWWWWWWWWWWWWWWWWWWW");  // longer than the label: cut, not wrapped
    label.UpdateWindow();
    Pump(10);
    EXPECT_GT(TextPixels(), 100);
    auto rows = TextRows();
    EXPECT_LT(rows.second - rows.first, 14) << "one line only";
    label.SetWindowText(L"");
    label.UpdateWindow();
    Pump(10);
    EXPECT_EQ(0, TextPixels()) << "the old text shows through";
    // Where there is no text the label shows the parent's pixels under it (label x 0 is parent x 10).
    EXPECT_EQ(RGB(10, 40, 90), PixelOf(label, 0, 5));
    EXPECT_EQ(RGB(110, 40, 90), PixelOf(label, 100, 20));
    // Nothing outside the label was painted.
    EXPECT_EQ(RGB(140, 40, 90), PixelOf(host, 140, 20));
}

// A picture of the host's client size in one colour, for the labels' captures.
struct Picture {
    Picture(HWND host, COLORREF c) {
        RECT rc{};
        ::GetClientRect(host, &rc);
        HDC screen = ::GetDC(host);
        mem.CreateCompatibleDC(screen);
        bmp.CreateCompatibleBitmap(screen, rc.right, rc.bottom);
        ::ReleaseDC(host, screen);
        old = ::SelectObject(mem, bmp);
        mem.FillSolidRect(rc, c);
    }
    ~Picture() { ::SelectObject(mem, old); }
    CDC mem;
    CBitmap bmp;
    HGDIOBJ old = nullptr;
};

TEST_F(LabelTest, KeptDrawingFollowsTextColourAndBackground) {
    auto repaint = [this] {
        label.Invalidate(FALSE);
        label.UpdateWindow();
    };
    auto count = [this](COLORREF c) {
        int n = 0;
        for (int y = 0; y < 27; ++y)
            for (int x = 0; x < 120; ++x) n += PixelOf(label, x, y) == c;
        return n;
    };
    label.SetWindowText(L"Event");
    label.UpdateWindow();
    const int text = TextPixels();
    ASSERT_GT(text, 10);
    repaint();
    EXPECT_EQ(text, TextPixels()) << "drawn again as it was";
    EXPECT_EQ(RGB(120, 40, 90), PixelOf(label, 110, 24));  // below and right of the text
    label.SetWindowText(L"Event Event");
    label.UpdateWindow();
    EXPECT_GT(TextPixels(), text) << "new text";
    label.SetLabelTextColor(RGB(255, 0, 0));
    label.UpdateWindow();
    EXPECT_EQ(0, TextPixels()) << "old colour";
    EXPECT_GT(count(RGB(255, 0, 0)), text);

    // A numbered picture is taken from once while the label stays where it is.
    const COLORREF blue = RGB(0, 0, 200), green = RGB(0, 150, 0), grey = RGB(90, 90, 90);
    Picture first(host, blue), same(host, green), next(host, grey);
    label.CaptureBackground(first.mem, 7);
    repaint();
    EXPECT_EQ(blue, PixelOf(label, 110, 24)) << "new background";
    label.CaptureBackground(same.mem, 7);
    repaint();
    EXPECT_EQ(blue, PixelOf(label, 110, 24)) << "picture 7 taken again";
    label.MoveWindow(20, 12, 120, 27);
    label.CaptureBackground(same.mem, 7);
    repaint();
    EXPECT_EQ(green, PixelOf(label, 110, 24)) << "moved: its background taken again";
    label.CaptureBackground(next.mem, 8);
    repaint();
    EXPECT_EQ(grey, PixelOf(label, 110, 24)) << "another picture";
    label.CaptureBackground(first.mem);  // unnumbered: always taken
    repaint();
    EXPECT_EQ(blue, PixelOf(label, 110, 24));
    EXPECT_GT(count(RGB(255, 0, 0)), text) << "the text over every background";
}

TEST_F(LabelTest, TenPointFontFollowsTheScreenResolution) {
    label.SetWindowText(L"Event");
    label.UpdateWindow();
    Pump(10);
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    // 13 pixels on a 96-dpi screen, 12 on a 144-dpi one (the skin_dpi144 test
    // runs this with the screen set to 144 dpi).
    const int want = dpi == 144 ? -12 : dpi == 96 ? -13 : CTPStatic::FontHeight(10, dpi);
    EXPECT_EQ(want, label.FontHeightInUse()) << "screen at " << dpi << " dpi";
    wchar_t expected[16] = {};
    if (::GetEnvironmentVariableW(L"SKIN_TEST_DPI", expected, 16)) {
        EXPECT_EQ(_wtoi(expected), dpi);
    }
}

TEST_F(LabelTest, SingleLineCentredFormatCentresVertically) {
    label.AddTextFormat(DT_VCENTER | DT_SINGLELINE);
    EXPECT_EQ(0x24u, label.TextFormat());
    label.SetWindowText(L"0000-00-00");
    label.UpdateWindow();
    Pump(10);
    auto rows = TextRows();
    ASSERT_GE(rows.first, 0);
    // A 13-pixel font centred in 27 rows: about 7 rows free above and below.
    EXPECT_NEAR(27 - 1 - rows.second, rows.first, 3);
    EXPECT_GE(rows.first, 5);
}

// The pictures the busy window shows, by their resource numbers.
class BusyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.CreateHost(100, 100, 400, 300));
        ASSERT_TRUE(busy.CreateModeless(&host));
        for (int i = 0; i < 12; ++i) {
            int w, h;
            pictures[i] = ResourcePixels(IDB_BUSY_1 + i, w, h);
            ASSERT_EQ(100, w);
        }
    }
    void TearDown() override {
        busy.HideBusy();
        busy.DestroyWindow();
        host.DestroyWindow();
        Pump(20);
    }
    // Which picture (382..393) the window shows, or 0.
    UINT Shown() {
        std::vector<COLORREF> px;
        for (int y = 5; y < 100; y += 9)
            for (int x = 5; x < 100; x += 9) px.push_back(PixelOf(busy, x, y));
        for (int i = 0; i < 12; ++i) {
            size_t k = 0;
            bool same = true;
            for (int y = 5; y < 100 && same; y += 9)
                for (int x = 5; x < 100 && same; x += 9)
                    same = px[k++] == pictures[i][static_cast<size_t>(y) * 100 + x];
            if (same) return 382u + static_cast<UINT>(i);
        }
        return 0;
    }
    SkinHost host;
    CLoadingDlg busy;
    std::vector<COLORREF> pictures[12];
};

TEST_F(BusyTest, AnimationStartsAt383AndStartsAgainAfterHideAndShow) {
    // Distinct pictures, or the test proves nothing.
    for (int i = 1; i < 12; ++i) ASSERT_NE(pictures[0], pictures[i]);
    busy.ShowBusy(host);
    Pump(120);
    RECT r = busy.GetWindowRect(), h = host.GetWindowRect();
    EXPECT_EQ(h.left + 200 - 50, r.left);
    EXPECT_EQ(h.top + 150 - 50, r.top);
    EXPECT_EQ(100, r.right - r.left);
    EXPECT_EQ(383u, Shown());
    Pump(300);
    EXPECT_EQ(384u, Shown());
    busy.HideBusy();
    Pump(50);
    EXPECT_FALSE(busy.IsWindowVisible());
    busy.ShowBusy(host);
    Pump(120);
    EXPECT_EQ(383u, Shown());
    // Round the cycle: 393 follows 392, then 382.
    UINT last = 0;
    std::vector<UINT> seen;
    for (int t = 0; t < 4000 && seen.size() < 13; t += 20) {
        Pump(20);
        UINT s = Shown();
        if (s && s != last) seen.push_back(last = s);
    }
    ASSERT_GE(seen.size(), 12u);
    for (size_t i = 1; i < seen.size(); ++i) EXPECT_EQ(seen[i - 1] == 393u ? 382u : seen[i - 1] + 1, seen[i]);
}

TEST_F(BusyTest, QuickRestartsLeaveOneWorker) {
    for (int i = 0; i < 20; ++i) {
        busy.ShowBusy(host);
        busy.HideBusy();
    }
    busy.ShowBusy(host);
    // One worker advances once every 300 ms: after 1.05 s the index is 1 + 3.
    Pump(1050);
    EXPECT_EQ(4, busy.FrameIndex());
    EXPECT_TRUE(busy.IsAnimating());
    busy.HideBusy();
    Pump(400);
    const int stopped = busy.FrameIndex();
    Pump(400);
    EXPECT_EQ(stopped, busy.FrameIndex()) << "a worker runs on after HideBusy";
}

std::wstring TempFile(const wchar_t* name) {
    wchar_t dir[MAX_PATH];
    ::GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + name;
}

TEST(Image, DrawsWithKeyColourOrAlphaAndSavesByExtension) {
    CImage img;
    ASSERT_TRUE(img.Create(32, 16, 24));
    HDC dc = img.GetDC();
    RECT left{0, 0, 16, 16}, right{16, 0, 32, 16};
    CDC(dc).FillSolidRect(left, RGB(255, 0, 255));
    CDC(dc).FillSolidRect(right, RGB(200, 30, 10));
    img.ReleaseDC();

    // Drawn with its key colour, the magenta half keeps what was there.
    HDC screen = ::GetDC(nullptr);
    CDC target;
    target.CreateCompatibleDC(screen);
    CBitmap tb;
    tb.CreateCompatibleBitmap(screen, 64, 32);
    ::ReleaseDC(nullptr, screen);
    CSelect s(target, tb);
    RECT all{0, 0, 64, 32};
    target.FillSolidRect(all, RGB(0, 128, 0));
    img.SetTransparentColor(RGB(255, 0, 255));
    ASSERT_TRUE(img.Draw(target, 0, 0, 64, 32));  // stretched twice
    EXPECT_EQ(RGB(0, 128, 0), ::GetPixel(target, 10, 10));
    EXPECT_EQ(RGB(200, 30, 10), ::GetPixel(target, 50, 20));
    img.SetTransparentColor(CLR_INVALID);
    ASSERT_TRUE(img.Draw(target, 0, 0, 64, 32));
    EXPECT_EQ(RGB(255, 0, 255), ::GetPixel(target, 10, 10));

    // Saved as BMP and as JPEG by the file name, loaded back.
    const std::wstring bmp = TempFile(L"tk_image.bmp"), jpg = TempFile(L"tk_image.JPG");
    ASSERT_EQ(S_OK, img.Save(bmp.c_str()));
    ASSERT_EQ(S_OK, img.Save(jpg.c_str()));
    EXPECT_NE(S_OK, img.Save(TempFile(L"tk_image.xyz").c_str()));
    unsigned char head[2] = {};
    FILE* f = _wfopen(jpg.c_str(), L"rb");
    ASSERT_NE(nullptr, f);
    ASSERT_EQ(2u, fread(head, 1, 2, f));
    fclose(f);
    EXPECT_EQ(0xFF, head[0]);
    EXPECT_EQ(0xD8, head[1]);
    CImage back;
    ASSERT_EQ(S_OK, back.Load(bmp.c_str()));
    EXPECT_EQ(32, back.GetWidth());
    EXPECT_EQ(16, back.GetHeight());
    target.FillSolidRect(all, RGB(0, 0, 0));
    back.Draw(target, 0, 0, 32, 16);
    EXPECT_EQ(RGB(200, 30, 10), ::GetPixel(target, 20, 8));
    EXPECT_EQ(RGB(255, 0, 255), ::GetPixel(target, 3, 3));
    ASSERT_EQ(S_OK, back.Load(jpg.c_str()));
    EXPECT_EQ(32, back.GetWidth());

    // Missing or damaged files fail safely.
    EXPECT_NE(S_OK, back.Load(TempFile(L"tk_missing.bmp").c_str()));
    EXPECT_TRUE(back.IsNull());
    f = _wfopen(TempFile(L"tk_bad.jpg").c_str(), L"wb");
    fwrite("\xFF\xD8\xFF\xE0garbage", 1, 11, f);
    fclose(f);
    EXPECT_NE(S_OK, back.Load(TempFile(L"tk_bad.jpg").c_str()));
    EXPECT_TRUE(back.IsNull());

    // Per-pixel alpha: a transparent pixel keeps the background, an opaque one covers it.
    CImage alpha;
    ASSERT_TRUE(alpha.Create(2, 1, 32, true));
    DIBSECTION ds{};
    ::GetObjectW(alpha, sizeof ds, &ds);
    auto* px = static_cast<DWORD*>(ds.dsBm.bmBits);
    px[0] = 0x00000000;  // transparent
    px[1] = 0xFF0000FF;  // opaque blue
    target.FillSolidRect(all, RGB(0, 128, 0));
    ASSERT_TRUE(alpha.Draw(target, 0, 0, 2, 1));
    EXPECT_EQ(RGB(0, 128, 0), ::GetPixel(target, 0, 0));
    EXPECT_EQ(RGB(0, 0, 255), ::GetPixel(target, 1, 0));
}

TEST(MemoryDc, KeptBuffersComeBackCleanClippedToTheAskedSizeAndNestedOnesDiffer) {
    SkinHost host;
    ASSERT_TRUE(host.CreateHost(40, 40, 100, 100));
    HDC dc = ::GetDC(host);
    HDC used = nullptr;
    {
        BufferLease outer;
        ASSERT_TRUE(outer.Take(dc, 30, 20));
        used = outer.Dc();
        ::SetTextColor(used, RGB(1, 2, 3));
        ::SetWindowOrgEx(used, 5, 5, nullptr);
        ::IntersectClipRect(used, 5, 5, 7, 7);
        BufferLease inner;
        ASSERT_TRUE(inner.Take(dc, 10, 10));
        EXPECT_NE(used, inner.Dc()) << "a buffer in use is not lent again";
    }
    for (int round = 0; round < 2; ++round) {  // grown once, then kept at that size
        BufferLease again;
        ASSERT_TRUE(again.Take(dc, 90, 70));
        HDC b = again.Dc();
        EXPECT_EQ(RGB(0, 0, 0), ::GetTextColor(b)) << "the last borrower's colour";
        POINT org{};
        ::GetWindowOrgEx(b, &org);
        EXPECT_EQ(0, org.x);
        RECT box{};
        ::GetClipBox(b, &box);
        EXPECT_EQ(0, box.left);
        EXPECT_EQ(90, box.right);
        EXPECT_EQ(70, box.bottom);
        RECT all{0, 0, 90, 70};
        CDC(b).FillSolidRect(all, RGB(4, 5, 6));
        EXPECT_EQ(RGB(4, 5, 6), ::GetPixel(b, 89, 69));
    }
    // Image contexts: two images selected at once, each deselected after.
    CBitmap one, two;
    ASSERT_TRUE(one.CreateCompatibleBitmap(dc, 4, 4));
    ASSERT_TRUE(two.CreateCompatibleBitmap(dc, 4, 4));
    {
        CImageDC a(dc, one), b(dc, two);
        ASSERT_TRUE(a.IsValid() && b.IsValid());
        EXPECT_NE(static_cast<HDC>(a), static_cast<HDC>(b));
        EXPECT_EQ(static_cast<HGDIOBJ>(one), ::GetCurrentObject(a, OBJ_BITMAP));
    }
    CDC probe;
    ASSERT_TRUE(probe.CreateCompatibleDC(dc));
    EXPECT_NE(nullptr, ::SelectObject(probe, one)) << "still selected into a kept context";
    ::ReleaseDC(host, dc);
    host.DestroyWindow();
}

// A window painted through CSelfPaintDC: the area it was asked to repaint,
// and a second paint for what was invalidated while it painted.
class SelfPainted : public CWnd {
public:
    std::vector<RECT> painted;
    bool invalidateOnce = false;

protected:
    void DeclareMessageMap(MessageMap& map) override {
        map.On(WM_PAINT, [this](WPARAM, LPARAM) -> LRESULT {
            CSelfPaintDC dc(m_hWnd);
            painted.push_back(dc.PaintRect());
            dc.FillSolidRect(dc.PaintRect(), RGB(7, 7, 7));
            if (invalidateOnce) {
                invalidateOnce = false;
                RECT again{0, 0, 5, 5};
                ::InvalidateRect(m_hWnd, &again, FALSE);
            }
            return 0;
        });
        CWnd::DeclareMessageMap(map);
    }
};

TEST(SelfPaint, PaintsTheUpdateAreaAndWhatIsInvalidatedMeanwhileGetsItsOwnPaint) {
    SkinHost host;
    ASSERT_TRUE(host.CreateHost(40, 40, 100, 100));
    SelfPainted w;
    HWND child = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 10, 10, 50, 50, host, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(child && w.SubclassWindow(child));
    ::UpdateWindow(host);
    Pump(30);
    w.painted.clear();
    RECT part{10, 20, 30, 40};
    w.invalidateOnce = true;
    ::InvalidateRect(w, &part, FALSE);
    ::UpdateWindow(w);
    ASSERT_EQ(1u, w.painted.size());
    EXPECT_EQ(10, w.painted[0].left);
    EXPECT_EQ(40, w.painted[0].bottom);
    EXPECT_TRUE(::GetUpdateRect(w, nullptr, FALSE)) << "invalidated while painting";
    ::UpdateWindow(w);
    ASSERT_EQ(2u, w.painted.size());
    EXPECT_EQ(5, w.painted[1].right);
    EXPECT_FALSE(::GetUpdateRect(w, nullptr, FALSE));
    // A child keeps its own paint: the parent validates itself only.
    SelfPainted inner;
    HWND grand = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 5, 5, 20, 20, w, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(grand && inner.SubclassWindow(grand));
    Pump(30);
    w.painted.clear();
    inner.painted.clear();
    ::RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    ::UpdateWindow(w);
    Pump(30);
    EXPECT_EQ(1u, w.painted.size());
    EXPECT_EQ(1u, inner.painted.size()) << "the child's paint was validated away by its parent's";
    host.DestroyWindow();
}

TEST(MemoryDc, BufferCopiesOnceOnClose) {
    SkinHost host;
    ASSERT_TRUE(host.CreateHost(40, 40, 100, 100));
    Pump(30);
    HDC dc = ::GetDC(host);
    RECT r{10, 10, 60, 60};
    {
        QxMemDC mem(dc, &r, true);
        EXPECT_EQ(SkinHost::kBack, ::GetPixel(mem, 20, 20)) << "starts as a copy of the target";
        RECT inner{20, 20, 40, 40};
        mem.FillSolidRect(inner, RGB(1, 2, 3));
        EXPECT_EQ(SkinHost::kBack, ::GetPixel(dc, 25, 25)) << "drawn to the screen before closing";
    }
    EXPECT_EQ(RGB(1, 2, 3), ::GetPixel(dc, 25, 25));
    {
        CMemoryDC mem(dc, r);
        RECT all{10, 10, 60, 60};
        mem.FillSolidRect(all, RGB(9, 8, 7));
    }
    EXPECT_EQ(RGB(9, 8, 7), ::GetPixel(dc, 59, 59));
    EXPECT_EQ(SkinHost::kBack, ::GetPixel(dc, 61, 61));
    ::ReleaseDC(host, dc);
    host.DestroyWindow();
}
}  // namespace
