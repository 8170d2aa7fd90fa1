// A recording played to its end through VideoPlayer the way the playback
// controller drives it: open, slider range and duration label from the
// graph's duration (scaled for two channels), a 300 ms one-shot tick that
// moves the slider and detects the end when the position reaches the graph's
// own duration, then a seek by slider position. The picture is read back from
// the channel windows (frame-number strips) to time the last frame.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "media_files.h"
#include "playback_rules.h"
#include "video_player.h"

using playback::VideoPlayer;

namespace {

mediatest::TempFolder* g_dir = nullptr;

constexpr DWORD kTickMs = 300;
// How late a tick may come and a picture may reach the screen on a busy
// machine, beyond the tick itself.
constexpr double kSlackMs = 120;
// By how much one graph manager's running position leads the picture.
constexpr double kStartLeadMs = 200;

double Now() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return double(c.QuadPart) * 1000.0 / double(f.QuadPart);
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void PumpFor(double ms) {
    double until = Now() + ms;
    do {
        Pump();
        Sleep(5);
    } while (Now() < until);
}

// "%02d:%02d" of minutes (not wrapped into hours) and seconds.
std::string MinSec(int64_t seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
    return text;
}

int Shown(HWND wnd) {
    krv::FrameCode code;
    return mediatest::ReadWindowCode(wnd, code) ? int(code.frame) : -1;
}

struct Recording {
    int channels, seconds, fps;
    std::wstring path;
};

Recording Make(const wchar_t* name, int channels, int seconds) {
    mediatest::FileSpec spec;
    spec.channels = channels;
    spec.seconds = seconds;
    spec.audio = true;  // as the recorder writes them
    Recording r{channels, seconds, spec.fps, g_dir->File(name)};
    std::string why;
    if (!mediatest::MakePlayFile(r.path, spec, &why)) ADD_FAILURE() << "cannot make the recording: " << why;
    return r;
}

// What one play to the end gave.
struct Playthrough {
    int64_t graphDurationMs = 0, sliderMax = 0;
    std::string label;
    int ticks = 0, ticksAboveRange = 0;
    int64_t lastTickPos = -1;  // last position the slider was given
    double maxTickLateMs = 0;
    double lastFrameAt = -1, endAt = -1;  // ms from Run
    int64_t endPos = 0;
    int maxFrame = -1;
};

class PlaybackEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        static bool registered = false;
        if (!registered) {
            WNDCLASSW wc{};
            wc.lpfnWndProc = DefWindowProcW;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"PlaybackEndHost";
            wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
            RegisterClassW(&wc);
            registered = true;
        }
        top_ = CreateWindowExW(0, L"PlaybackEndHost", L"playback end", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                               680, 260, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(top_, nullptr);
        w1_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 10, 10, 320, 240, top_, nullptr, nullptr,
                              nullptr);
        w2_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 340, 10, 320, 240, top_, nullptr, nullptr,
                              nullptr);
        player_.reset(new VideoPlayer());
        player_->Init(2, w1_, w2_, nullptr, nullptr);
        PumpFor(20);
    }
    void TearDown() override {
        player_.reset();
        if (top_) DestroyWindow(top_);
        PumpFor(10);
    }

    // Opens and starts the recording as the controller does, then plays it to
    // the end, ticking every 300 ms (one-shot, re-armed after each tick) while
    // watching channel 1's window for the last frame.
    Playthrough PlayToEnd(const Recording& rec) {
        Playthrough run;
        player_->SetSourceFlag(true);
        if (!player_->Open(rec.path.c_str(), 0, -1)) {
            ADD_FAILURE() << "Open failed";
            return run;
        }
        run.graphDurationMs = player_->GetDurationMs();
        run.sliderMax = playback::DisplayDurationMs(run.graphDurationMs, player_->GetVideoStreamCount());
        run.label = MinSec(run.sliderMax / 1000);
        player_->SeekMs(0);
        PumpFor(30);  // the rest of the open: sensor tables, layout
        player_->Run();
        player_->SetRate(1.0f);

        const int lastFrame = rec.seconds * rec.fps - 1;
        const double t0 = Now();
        double nextTick = t0 + kTickMs;
        while (Now() - t0 < rec.seconds * 1000.0 + 4000) {
            Pump();
            int f = Shown(w1_);
            run.maxFrame = std::max(run.maxFrame, f);
            if (f == lastFrame && run.lastFrameAt < 0) run.lastFrameAt = Now() - t0;
            if (run.endAt < 0 && Now() >= nextTick) {
                run.maxTickLateMs = std::max(run.maxTickLateMs, Now() - nextTick);
                ++run.ticks;
                int64_t pos = player_->GetPositionMs();
                int64_t dur = player_->GetDurationMs();
                if (pos >= dur || pos < 0) {
                    run.endAt = Now() - t0;
                    run.endPos = pos;
                } else {
                    run.lastTickPos = pos;
                    if (pos > run.sliderMax) ++run.ticksAboveRange;
                }
                nextTick = Now() + kTickMs;
            }
            if (run.endAt >= 0 && run.lastFrameAt >= 0 && Now() - t0 > std::max(run.endAt, run.lastFrameAt) + 100)
                break;
            Sleep(2);
        }
        std::printf(
            "%d channel(s), %d s: graph duration %lld ms, slider 0..%lld, label %s; %d ticks (latest %.0f ms late), "
            "last slider position %lld; last frame shown at %.0f ms, end detected at %.0f ms (%+.0f ms)\n",
            rec.channels, rec.seconds, static_cast<long long>(run.graphDurationMs),
            static_cast<long long>(run.sliderMax), run.label.c_str(), run.ticks, run.maxTickLateMs,
            static_cast<long long>(run.lastTickPos), run.lastFrameAt, run.endAt, run.endAt - run.lastFrameAt);
        return run;
    }

    // After the end, the slider dragged to its middle. While the graph still
    // runs, the picture plays on from there (one graph manager goes on
    // reporting the end as the position until the graph is paused or
    // stopped). Paused, seeked and run again, picture and position both go
    // on from the middle.
    void SeekToTheMiddlePlaysAgain(const Recording& rec, const Playthrough& run) {
        const int64_t middle = run.sliderMax / 2;
        const int from = int(middle * rec.fps / 1000);
        player_->SeekMs(middle);
        PumpFor(800);
        int frame = Shown(w1_);
        EXPECT_GT(frame, from + 5) << "seeked to frame " << from;
        EXPECT_LT(frame, from + 2 * rec.fps);
        std::printf("  seek to %lld ms while running at the end: position then reads %lld ms, picture at frame %d\n",
                    static_cast<long long>(middle), static_cast<long long>(player_->GetPositionMs()), frame);

        player_->Pause();
        player_->SeekMs(middle);
        EXPECT_NEAR(double(player_->GetPositionMs()), double(middle), 40);
        player_->Run();
        PumpFor(800);
        int64_t pos = player_->GetPositionMs();
        EXPECT_GT(pos, middle + 300);
        EXPECT_LT(pos, middle + 1500);
        EXPECT_LT(pos, player_->GetDurationMs());  // not the end
        frame = Shown(w1_);
        EXPECT_GT(frame, from + 5);
        EXPECT_LT(frame, from + 2 * rec.fps);
        PumpFor(300);
        EXPECT_GT(Shown(w1_), frame) << "the picture moves on";
        player_->Pause();
    }

    HWND top_ = nullptr, w1_ = nullptr, w2_ = nullptr;
    std::unique_ptr<VideoPlayer> player_;
};

TEST_F(PlaybackEndTest, TwoChannelsOfSixtySeconds) {
    Recording rec = Make(L"two60.avi", 2, 60);
    Playthrough run = PlayToEnd(rec);
    ASSERT_EQ(player_->GetVideoStreamCount(), 2);
    // The source reports both channels' lengths added up; the slider and the
    // label show 0.5135 of that.
    EXPECT_EQ(run.graphDurationMs, 120000);
    EXPECT_EQ(run.sliderMax, 61620);
    EXPECT_EQ(run.label, "01:01");

    // The slider follows the whole recording and never passes its range.
    EXPECT_EQ(run.ticksAboveRange, 0);
    EXPECT_GE(run.lastTickPos, 60000 - int64_t(kTickMs) - int64_t(kSlackMs));
    EXPECT_LE(run.lastTickPos, run.sliderMax);

    // The last frame was shown and the end came within one tick of it.
    ASSERT_GE(run.lastFrameAt, 0) << "last frame never shown (latest " << run.maxFrame << ")";
    ASSERT_GE(run.endAt, 0) << "end never detected";
    EXPECT_GE(run.endPos, run.graphDurationMs);
    EXPECT_LE(run.endAt - run.lastFrameAt, kTickMs + kSlackMs);
    // Not before it either: the end is read once both channels have shown their last frame.
    EXPECT_GE(run.endAt - run.lastFrameAt, -kSlackMs / 2);
    EXPECT_EQ(Shown(w2_), 1799);

    SeekToTheMiddlePlaysAgain(rec, run);
}

TEST_F(PlaybackEndTest, OneChannelOfFifteenSeconds) {
    Recording rec = Make(L"one15.avi", 1, 15);
    Playthrough run = PlayToEnd(rec);
    ASSERT_EQ(player_->GetVideoStreamCount(), 1);
    EXPECT_EQ(run.graphDurationMs, 15000);
    EXPECT_EQ(run.sliderMax, 15000);
    EXPECT_EQ(run.label, "00:15");

    EXPECT_EQ(run.ticksAboveRange, 0);
    EXPECT_GE(run.lastTickPos, 15000 - int64_t(kTickMs) - int64_t(kSlackMs));

    ASSERT_GE(run.lastFrameAt, 0) << "last frame never shown (latest " << run.maxFrame << ")";
    ASSERT_GE(run.endAt, 0) << "end never detected";
    EXPECT_GE(run.endPos, run.graphDurationMs);
    EXPECT_LE(run.endAt - run.lastFrameAt, kTickMs + kSlackMs);
    // One graph manager counts the position from Run while it presents the
    // first picture 200 ms later: its position passes a one-channel duration
    // up to that much before the last frame is on the screen.
    EXPECT_GE(run.endAt - run.lastFrameAt, -(kStartLeadMs + kSlackMs));

    SeekToTheMiddlePlaysAgain(rec, run);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    CoInitialize(nullptr);
    int rc;
    {
        mediatest::TempFolder dir;
        g_dir = &dir;
        rc = RUN_ALL_TESTS();
        g_dir = nullptr;
    }
    CoUninitialize();
    return rc;
}
