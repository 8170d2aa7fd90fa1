// The media graph under Wine: real filter graphs rendering into child windows
// of a window of this program, with the stand-in filters registered in the
// bench's prefix. Pictures are read back and their frame-number strips decoded.
#include <windows.h>
#include <psapi.h>
#include <winternl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "image.h"
#include "media_files.h"
#include "video_player.h"
#include "control_ids.h"

using mediatest::FileSpec;
using playback::VideoPlayer;

namespace {

std::wstring g_filters;  // path of the stand-in filters' DLL (for the registration cases)
mediatest::TempFolder* g_dir = nullptr;

void Pump(DWORD ms) {
    DWORD until = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(2);
    } while (int(until - GetTickCount()) > 0);
}

// Files shared by the cases, made once.
std::wstring File(const wchar_t* name, const FileSpec& spec) {
    std::wstring path = g_dir->File(name);
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::string why;
        if (!mediatest::MakePlayFile(path, spec, &why))
            ADD_FAILURE() << "cannot make " << mediatest::Narrow(path) << ": " << why;
    }
    return path;
}
FileSpec Spec(int channels, int seconds, bool audio = true) {
    FileSpec s;
    s.channels = channels;
    s.seconds = seconds;
    s.audio = audio;
    return s;
}
std::wstring OneChannel() { return File(L"one.avi", Spec(1, 4, false)); }
std::wstring TwoChannels() { return File(L"two.avi", Spec(2, 4)); }
std::wstring OneWithSound() { return File(L"onea.avi", Spec(1, 4, true)); }

std::vector<uint8_t> ReadAll(const std::wstring& path) {
    std::vector<uint8_t> data;
    if (FILE* f = _wfopen(path.c_str(), L"rb")) {
        uint8_t buf[65536];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
        fclose(f);
    }
    return data;
}
void WriteAll(const std::wstring& path, const std::vector<uint8_t>& data) {
    FILE* f = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    if (!data.empty()) fwrite(data.data(), 1, data.size(), f);
    fclose(f);
}

// Prints the graph's filters and pin connections (when a case fails).
std::string Describe(IGraphBuilder* g) {
    std::string out;
    if (!g) return "no graph";
    IEnumFilters* e = nullptr;
    g->EnumFilters(&e);
    IBaseFilter* f = nullptr;
    while (e && e->Next(1, &f, nullptr) == S_OK) {
        FILTER_INFO fi{};
        f->QueryFilterInfo(&fi);
        if (fi.pGraph) fi.pGraph->Release();
        out += mediatest::Narrow(fi.achName) + ":";
        IEnumPins* pe = nullptr;
        f->EnumPins(&pe);
        IPin* p = nullptr;
        while (pe && pe->Next(1, &p, nullptr) == S_OK) {
            PIN_INFO pi{};
            p->QueryPinInfo(&pi);
            if (pi.pFilter) pi.pFilter->Release();
            IPin* other = nullptr;
            bool c = p->ConnectedTo(&other) == S_OK;
            if (other) other->Release();
            out += " [" + mediatest::Narrow(pi.achName) + (c ? " connected]" : " open]");
            p->Release();
        }
        if (pe) pe->Release();
        out += "\n";
        f->Release();
    }
    if (e) e->Release();
    return out;
}

// This process's handle count and private bytes; under Wine the process
// list carries them where GetProcessHandleCount and GetProcessMemoryInfo give 0.
bool ProcessCounters(DWORD& handles, SIZE_T& priv) {
    handles = 0;
    priv = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles);
    PROCESS_MEMORY_COUNTERS_EX pmc{};
    pmc.cb = sizeof pmc;
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc))
        priv = pmc.PrivateUsage;
    if (handles && priv) return true;
    typedef NTSTATUS(NTAPI * QueryFn)(ULONG, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return false;
    std::vector<char> buf(1 << 20);
    for (int tries = 0; tries < 5; ++tries) {
        ULONG need = 0;
        NTSTATUS st = query(5 /* SystemProcessInformation */, buf.data(), ULONG(buf.size()), &need);
        if (st == NTSTATUS(0xC0000004L)) {
            buf.resize(std::max<size_t>(buf.size() * 2, need + 65536));
            continue;
        }
        if (st < 0) return false;
        for (size_t off = 0;;) {
            auto* e = reinterpret_cast<SYSTEM_PROCESS_INFORMATION*>(buf.data() + off);
            if (DWORD(uintptr_t(e->UniqueProcessId)) == GetCurrentProcessId()) {
                const VM_COUNTERS* vm = &e->VirtualMemoryCounters;
                if (!handles) {
                    // The process list rounds the count up to its table size: count the
                    // open handle values instead.
                    for (uintptr_t h = 4; h < 0x40000; h += 4) {
                        DWORD flags;
                        if (GetHandleInformation(reinterpret_cast<HANDLE>(h), &flags)) ++handles;
                    }
                }
                if (!priv) priv = vm->PagefileUsage;
                return handles && priv;
            }
            if (!e->NextEntryOffset) return false;
            off += e->NextEntryOffset;
        }
    }
    return false;
}

class MediaTest : public ::testing::Test {
protected:
    void SetUp() override {
        static bool registered = false;
        if (!registered) {
            WNDCLASSW wc{};
            wc.lpfnWndProc = DefWindowProcW;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"MediaTestHost";
            wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
            RegisterClassW(&wc);
            registered = true;
        }
        top_ = CreateWindowExW(0, L"MediaTestHost", L"media test", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 680,
                               260, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(top_, nullptr);
        host1_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 10, 10, 320, 240, top_, HMENU(IDC_CHANNEL1_SURFACE), nullptr,
                                 nullptr);
        host2_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 340, 10, 320, 240, top_, HMENU(IDC_CHANNEL2_SURFACE),
                                 nullptr, nullptr);
        player_.reset(new VideoPlayer());
        player_->Init(2, host1_, host2_, nullptr, nullptr);
        Pump(20);
    }
    void TearDown() override {
        player_.reset();
        if (top_) DestroyWindow(top_);
        Pump(10);
    }

    // The frame shown on channel k (0 or 1), read from the renderer's picture.
    bool Code(int k, krv::FrameCode& code) {
        CImage img;
        if (!player_->GetCurrentImage(k, img)) return false;
        return mediatest::ReadCode(img, code);
    }
    // Waits until channel k shows `frame` (within `slack` frames); returns the last frame read.
    int WaitFrame(int k, int frame, int slack = 1, DWORD timeout = 3000) {
        DWORD until = GetTickCount() + timeout;
        int last = -1;
        do {
            krv::FrameCode c;
            if (Code(k, c)) {
                last = int(c.frame);
                if (std::abs(last - frame) <= slack) return last;
            }
            Pump(15);
        } while (int(until - GetTickCount()) > 0);
        return last;
    }
    // Pumps messages until the position reaches `ms` (the end of a file, say).
    int64_t WaitPosition(int64_t ms, DWORD timeout = 5000) {
        DWORD until = GetTickCount() + timeout;
        int64_t pos;
        while ((pos = player_->GetPositionMs()) != ms && int(until - GetTickCount()) > 0) Pump(20);
        return pos;
    }
    void RunFor(DWORD ms) {
        player_->Run();
        Pump(ms);
        player_->Pause();
        Pump(50);
    }

    HWND top_ = nullptr, host1_ = nullptr, host2_ = nullptr;
    std::unique_ptr<VideoPlayer> player_;
};

TEST_F(MediaTest, OneChannelPlaysSeeksAndShowsTheRightFrames) {
    ASSERT_TRUE(player_->Open(OneChannel().c_str(), 0, -1));
    EXPECT_EQ(player_->GetVideoStreamCount(), 1);
    EXPECT_EQ(player_->GetState(), playback::kStopped);
    EXPECT_EQ(player_->GetDurationMs(), 4000);
    ASSERT_NE(player_->Graph()->Renderer(0), nullptr);
    EXPECT_EQ(player_->Graph()->Renderer(1), nullptr);

    RunFor(1000);
    SCOPED_TRACE(Describe(player_->Graph()->Graph()));
    EXPECT_EQ(player_->GetState(), playback::kPaused);
    int64_t pos = player_->GetPositionMs();
    EXPECT_GT(pos, 600);
    EXPECT_LT(pos, 1600);
    // The picture shown is the one of the position, give or take the 200 ms
    // by which one graph manager starts presenting after its clock.
    int expect = int(pos * 30 / 1000);
    EXPECT_NEAR(WaitFrame(0, expect, 7), expect, 7);

    // Paused position holds still.
    Pump(300);
    EXPECT_EQ(player_->GetPositionMs(), pos);

    // Seeks while paused show the frame of the new time.
    for (int ms : {2000, 500, 3500, 0}) {
        player_->SeekMs(ms);
        int f = ms * 30 / 1000;
        EXPECT_NEAR(WaitFrame(0, f, 1), f, 1) << "seek to " << ms;
        EXPECT_NEAR(player_->GetPositionMs(), ms, 34);
    }
    // What the window shows on screen is that picture too.
    player_->SeekMs(1000);
    ASSERT_NEAR(WaitFrame(0, 30, 1), 30, 1);
    player_->RepaintAll();
    Pump(100);
    krv::FrameCode onScreen;
    ASSERT_TRUE(mediatest::ReadWindowCode(host1_, onScreen));
    EXPECT_NEAR(int(onScreen.frame), 30, 1);
    EXPECT_EQ(onScreen.channel, 1);

    // Resume continues from the paused place.
    RunFor(500);
    EXPECT_GT(player_->GetPositionMs(), 1300);
    player_->Close();
    EXPECT_EQ(player_->GetState(), -1);
}

TEST_F(MediaTest, TwoChannelsRenderIntoTheirOwnWindows) {
    ASSERT_TRUE(player_->Open(TwoChannels().c_str(), 0, -1));
    EXPECT_EQ(player_->GetVideoStreamCount(), 2);
    // The source reports the two channels' lengths added up (4 s each).
    EXPECT_EQ(player_->GetDurationMs(), 8000);
    ASSERT_NE(player_->Graph()->Renderer(1), nullptr);
    player_->SeekMs(1500);
    player_->Pause();  // not running: nothing to pause
    EXPECT_EQ(player_->GetState(), playback::kStopped);
    RunFor(300);
    player_->SeekMs(1500);
    EXPECT_NEAR(WaitFrame(0, 45), 45, 1);
    EXPECT_NEAR(WaitFrame(1, 45), 45, 1);
    krv::FrameCode a, b;
    ASSERT_TRUE(Code(0, a));
    ASSERT_TRUE(Code(1, b));
    EXPECT_EQ(a.channel, 1);
    EXPECT_EQ(b.channel, 2);
    EXPECT_FALSE(b.mirrored);
    EXPECT_FALSE(b.flipped);
}

TEST_F(MediaTest, RenderersAreKeptFromOneRecordingToTheNextForTheirOwnWindows) {
    ASSERT_TRUE(player_->Open(TwoChannels().c_str(), 0, -1));
    IBaseFilter* first = player_->Graph()->Renderer(0);
    IBaseFilter* second = player_->Graph()->Renderer(1);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    // Held here, so that no later renderer can be made at the same address.
    auto release = [](IBaseFilter* f) { f->Release(); };
    first->AddRef();
    second->AddRef();
    std::unique_ptr<IBaseFilter, decltype(release)> holdFirst(first, release), holdSecond(second, release);

    // A one-channel recording takes channel 1's renderer and plays from the
    // start on it; channel 2's waits unused.
    ASSERT_TRUE(player_->Open(OneChannel().c_str(), 0, -1));
    EXPECT_EQ(player_->Graph()->Renderer(0), first);
    EXPECT_EQ(player_->Graph()->Renderer(1), nullptr);
    player_->Run();
    Pump(200);
    // Setting the rate it already plays at leaves it running on.
    player_->SetRate(1.0f);
    EXPECT_EQ(player_->GetState(), playback::kRunning);
    Pump(400);
    player_->Pause();
    Pump(50);
    const int64_t pos = player_->GetPositionMs();
    EXPECT_GT(pos, 350);
    EXPECT_LT(pos, 1000);
    krv::FrameCode code;
    const int expect = int(pos * 30 / 1000);
    EXPECT_NEAR(WaitFrame(0, expect, 7), expect, 7);
    ASSERT_TRUE(Code(0, code));
    EXPECT_EQ(code.channel, 1);

    // Back to two channels: both renderers again, each in its own window.
    ASSERT_TRUE(player_->Open(TwoChannels().c_str(), 0, -1));
    EXPECT_EQ(player_->Graph()->Renderer(0), first);
    EXPECT_EQ(player_->Graph()->Renderer(1), second);
    RunFor(200);
    player_->SeekMs(2000);
    EXPECT_NEAR(WaitFrame(0, 60), 60, 1);
    EXPECT_NEAR(WaitFrame(1, 60), 60, 1);
    player_->RepaintAll();
    Pump(100);
    krv::FrameCode one, two;
    ASSERT_TRUE(mediatest::ReadWindowCode(host1_, one));
    ASSERT_TRUE(mediatest::ReadWindowCode(host2_, two));
    EXPECT_EQ(one.channel, 1);
    EXPECT_EQ(two.channel, 2);

    // New windows: renderers set up for the old ones are not used again.
    player_->Close();
    player_->Init(2, host2_, host1_, nullptr, nullptr);
    ASSERT_TRUE(player_->Open(TwoChannels().c_str(), 0, -1));
    EXPECT_NE(player_->Graph()->Renderer(0), first);
    EXPECT_NE(player_->Graph()->Renderer(1), second);
    RunFor(200);
    player_->SeekMs(1000);
    EXPECT_NEAR(WaitFrame(0, 30), 30, 1);
    player_->RepaintAll();
    Pump(100);
    ASSERT_TRUE(mediatest::ReadWindowCode(host2_, one));
    EXPECT_EQ(one.channel, 1);
}

TEST_F(MediaTest, MirrorAndFlipChangeChannelTwosPicture) {
    ASSERT_TRUE(player_->Open(TwoChannels().c_str(), 0, -1));
    RunFor(200);
    EXPECT_EQ(player_->SetMirror(1, true), S_OK);
    player_->SeekMs(1000);
    EXPECT_NEAR(WaitFrame(1, 30), 30, 1);
    krv::FrameCode a, b;
    ASSERT_TRUE(Code(0, a));
    ASSERT_TRUE(Code(1, b));
    EXPECT_FALSE(a.mirrored);
    EXPECT_TRUE(b.mirrored);
    EXPECT_FALSE(b.flipped);

    EXPECT_EQ(player_->SetFlip(1, true), S_OK);
    player_->Reseek();
    Pump(300);
    ASSERT_TRUE(Code(1, b));
    EXPECT_TRUE(b.mirrored);
    EXPECT_TRUE(b.flipped);
    EXPECT_NEAR(int(b.frame), 30, 1);

    EXPECT_EQ(player_->SetMirror(1, false), S_OK);
    EXPECT_EQ(player_->SetFlip(1, false), S_OK);
    player_->Reseek();
    Pump(300);
    ASSERT_TRUE(Code(1, b));
    EXPECT_FALSE(b.mirrored);
    EXPECT_FALSE(b.flipped);
    // No decoder for a channel that is not there.
    EXPECT_EQ(player_->SetFlip(3, true), S_FALSE);
}

TEST_F(MediaTest, RunAtTheEndStartsAgainFromTheBeginning) {
    ASSERT_TRUE(player_->Open(File(L"short.avi", Spec(1, 1, false)).c_str(), 0, -1));
    ASSERT_EQ(player_->GetDurationMs(), 1000);
    player_->Run();
    ASSERT_EQ(WaitPosition(1000), 1000);  // played to the end
    // The renderer may present the last frames a little after the position
    // reports the end; wait for the last one before running again.
    EXPECT_EQ(WaitFrame(0, 29, 0), 29);
    player_->Pause();
    Pump(50);
    player_->Run();
    Pump(300);
    player_->Pause();
    EXPECT_LT(WaitFrame(0, 5, 10), 20);
    // Run from elsewhere continues from there.
    player_->SeekMs(700);
    player_->Run();
    Pump(100);
    player_->Pause();
    EXPECT_GE(WaitFrame(0, 21, 3), 20);
}

TEST_F(MediaTest, TwoChannelsEndAtTheirReportedDurationAndStartAgain) {
    ASSERT_TRUE(player_->Open(File(L"short2.avi", Spec(2, 1, false)).c_str(), 0, -1));
    ASSERT_EQ(player_->GetDurationMs(), 2000);
    // Seeks are in recording time.
    RunFor(100);
    player_->SeekMs(500);
    EXPECT_NEAR(WaitFrame(1, 15, 1), 15, 1);
    player_->Run();
    // Playing, the position stays in recording time; after the last frame it
    // reads the reported duration.
    Pump(250);
    int64_t during = player_->GetPositionMs();
    EXPECT_GT(during, 500);
    EXPECT_LT(during, 1000);
    ASSERT_EQ(WaitPosition(2000), 2000);
    EXPECT_EQ(WaitFrame(0, 29, 0), 29);
    EXPECT_EQ(WaitFrame(1, 29, 0), 29);
    player_->Pause();
    Pump(50);
    EXPECT_EQ(player_->GetPositionMs(), 2000);
    // Run at the end starts again from the beginning.
    player_->Run();
    Pump(300);
    player_->Pause();
    EXPECT_LT(WaitFrame(0, 5, 10), 20);
    EXPECT_LT(player_->GetPositionMs(), 1000);
    // A seek beyond the recording's own length ends it at once.
    player_->SeekMs(1500);
    player_->Run();
    EXPECT_EQ(WaitPosition(2000), 2000);
    player_->Pause();
}

TEST_F(MediaTest, RateIsKeptBetweenHalfAndDouble) {
    // The graph object applies the clamped rate on Run (one graph manager takes
    // it and keeps playing at 1.0: its SetRate is a stub).
    ASSERT_TRUE(player_->Open(TwoChannels().c_str(), 0, -1));
    player_->Run();
    player_->SetRate(3.0f);
    EXPECT_EQ(player_->Graph()->Rate(), 2.0f);
    EXPECT_EQ(player_->GetState(), playback::kRunning);
    player_->Pause();
    player_->SetRate(0.25f);
    EXPECT_EQ(player_->GetState(), playback::kPaused);
    EXPECT_EQ(player_->Graph()->Rate(), 0.25f);  // applied on the next Run
    player_->Run();
    EXPECT_EQ(player_->Graph()->Rate(), 0.5f);
    player_->SetRate(1.0f);
    EXPECT_EQ(player_->Graph()->Rate(), 1.0f);
    EXPECT_EQ(playback::ClampRate(1.0f), 1.0f);
    EXPECT_EQ(playback::ClampRate(1.5f), 1.5f);
    // Still playing.
    Pump(300);
    player_->Pause();
    EXPECT_GT(WaitFrame(0, 10, 100), 2);
}

TEST_F(MediaTest, PcmSoundGoesStraightToTheSoundRenderer) {
    ASSERT_TRUE(player_->Open(OneWithSound().c_str(), 0, -1));
    playback::PlaybackGraph* g = player_->Graph();
    EXPECT_EQ(g->AudioDecoder(), nullptr);
    if (!g->AudioRenderer()) GTEST_SKIP() << "no DirectSound renderer in this prefix";
    IEnumPins* e = nullptr;
    ASSERT_EQ(g->AudioRenderer()->EnumPins(&e), S_OK);
    IPin* in = nullptr;
    ASSERT_EQ(e->Next(1, &in, nullptr), S_OK);
    e->Release();
    IPin* up = nullptr;
    ASSERT_EQ(in->ConnectedTo(&up), S_OK);
    PIN_INFO info{};
    up->QueryPinInfo(&info);
    EXPECT_STREQ(info.achName, L"Audio");
    EXPECT_EQ(info.pFilter, g->Source());
    info.pFilter->Release();
    up->Release();
    in->Release();
    // The sound renderer's clock drives the picture.
    RunFor(700);
    EXPECT_GT(WaitFrame(0, 15, 15), 8);
}

TEST_F(MediaTest, FileWithoutVideoBuildsNothing) {
    // The video stream header of a one-channel file renamed to a text stream.
    std::vector<uint8_t> data = ReadAll(OneWithSound());
    ASSERT_GT(data.size(), 4096u);
    bool patched = false;
    for (size_t i = 0; i + 4 < 2048 && !patched; ++i)
        if (!memcmp(&data[i], "vids", 4)) {
            memcpy(&data[i], "txts", 4);
            patched = true;
        }
    ASSERT_TRUE(patched);
    std::wstring path = g_dir->File(L"novideo.avi");
    WriteAll(path, data);
    ASSERT_TRUE(player_->Open(path.c_str(), 0, -1));
    EXPECT_EQ(player_->GetVideoStreamCount(), 0);
    EXPECT_EQ(player_->Graph()->Renderer(0), nullptr);
    EXPECT_EQ(player_->Graph()->Decoder(0), nullptr);
    EXPECT_EQ(player_->Graph()->AudioRenderer(), nullptr);
    EXPECT_EQ(player_->GetState(), playback::kCreated);
    player_->Run();
    Pump(100);
    player_->Close();
}

TEST_F(MediaTest, DamagedFilesAreRejectedOrPlayTheirValidPart) {
    std::wstring garbage = g_dir->File(L"garbage.avi"), empty = g_dir->File(L"empty.avi"),
                 cut = g_dir->File(L"cut.avi"), header = g_dir->File(L"header.avi"), bad = g_dir->File(L"badjpeg.avi");
    std::vector<uint8_t> noise(100000);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = uint8_t(i * 2654435761u >> 13);
    WriteAll(garbage, noise);
    WriteAll(empty, {});
    std::vector<uint8_t> good = ReadAll(OneChannel());
    WriteAll(cut, std::vector<uint8_t>(good.begin(), good.begin() + long(good.size() * 6 / 10)));
    WriteAll(header, std::vector<uint8_t>(good.begin(), good.begin() + 300));
    std::vector<uint8_t> damaged = good;
    for (size_t i = good.size() / 3; i < good.size() / 3 + 20000; ++i) damaged[i] ^= 0x5A;
    WriteAll(bad, damaged);

    EXPECT_FALSE(player_->Open(garbage.c_str(), 0, -1));
    EXPECT_EQ(player_->GetState(), -1);
    EXPECT_FALSE(player_->Open(empty.c_str(), 0, -1));
    EXPECT_FALSE(player_->Open(header.c_str(), 0, -1));
    EXPECT_FALSE(player_->Open(g_dir->File(L"missing.avi").c_str(), 0, -1));

    // Cut short: the frames that are there play, to their end.
    ASSERT_TRUE(player_->Open(cut.c_str(), 0, -1));
    int64_t d = player_->GetDurationMs();
    EXPECT_GT(d, 1500);
    EXPECT_LT(d, 3000);
    player_->SeekMs(d - 300);
    player_->Run();
    EXPECT_EQ(WaitPosition(d), d);
    player_->Pause();

    // Damaged pictures in the middle are skipped; the rest plays.
    ASSERT_TRUE(player_->Open(bad.c_str(), 0, -1));
    player_->SeekMs(1000);
    player_->Run();
    Pump(1200);
    player_->Pause();
    player_->SeekMs(3500);
    EXPECT_NEAR(WaitFrame(0, 105), 105, 1);
    player_->Close();
}

TEST_F(MediaTest, ComponentChecksAndTheRegistryMark) {
    HKEY key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Vantelo", 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD value = 0, size = sizeof value, type = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"usingDShow", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, DWORD(REG_DWORD));
    EXPECT_EQ(value, 1u);

    EXPECT_TRUE(player_->CheckSourceFilter());
    EXPECT_TRUE(player_->CheckVideoDecoderFilter());
    EXPECT_TRUE(player_->CheckBrightnessFilter());
    int32_t all = player_->CheckFilters();
    EXPECT_EQ(all, player_->CheckAudioDecoderFilter() ? 1 : -3);

    // Take the source and the decoder away, then only the decoder.
    HMODULE dll = LoadLibraryW(g_filters.c_str());
    ASSERT_NE(dll, nullptr) << mediatest::Narrow(g_filters);
    auto reg = reinterpret_cast<HRESULT(__stdcall*)()>(GetProcAddress(dll, "DllRegisterServer"));
    ASSERT_NE(reg, nullptr);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"CLSID\\{0998B6CF-702F-4F08-9638-53CC7C3A86D5}");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"CLSID\\{2BD6A557-9A76-4DAF-805E-C1FA73C9CF0D}");
    int32_t bothMissing = player_->CheckFilters();
    EXPECT_FALSE(player_->CheckSourceFilter());
    ASSERT_EQ(reg(), S_OK);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"CLSID\\{2BD6A557-9A76-4DAF-805E-C1FA73C9CF0D}");
    int32_t decoderMissing = player_->CheckFilters();
    ASSERT_EQ(reg(), S_OK);
    FreeLibrary(dll);
    EXPECT_EQ(bothMissing, -1);
    EXPECT_EQ(decoderMissing, -2);
    EXPECT_EQ(player_->CheckFilters(), all);

    // Without a graph object every check fails.
    VideoPlayer none;
    EXPECT_EQ(none.CheckFilters(), -1);
    EXPECT_FALSE(none.CheckSourceFilter());
    EXPECT_EQ(none.GetState(), -1);
    EXPECT_EQ(none.GetDurationMs(), 0);
    EXPECT_FALSE(none.Open(OneChannel().c_str(), 0, -1));  // no window given
}

TEST_F(MediaTest, RepeatedOpenAndCloseLeaksNothing) {
    std::wstring path = File(L"tinya.avi", Spec(1, 1, true));
    auto cycle = [&]() {
        ASSERT_TRUE(player_->Open(path.c_str(), 0, -1));
        player_->Close();
        player_->Init(2, host1_, host2_, nullptr, nullptr);
        Pump(1);
    };
    cycle();
    // Every filter object of a closed graph is gone.
    HMODULE filters = GetModuleHandleW(L"standin_filters.dll");
    ASSERT_NE(filters, nullptr);
    auto canUnload = reinterpret_cast<HRESULT(__stdcall*)()>(GetProcAddress(filters, "DllCanUnloadNow"));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_OK);
    for (int i = 0; i < 19; ++i) cycle();

    // What the graph manager itself keeps per instance (one Wine version keeps
    // a handle for every graph it creates) is not ours.
    DWORD b0 = 0, b1 = 0, h0 = 0, h1 = 0;
    SIZE_T q0 = 0, q1 = 0, p0 = 0, p1 = 0;
    ASSERT_TRUE(ProcessCounters(b0, q0));
    for (int i = 0; i < 200; ++i) {
        IGraphBuilder* g = nullptr;
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   reinterpret_cast<void**>(&g)),
                  S_OK);
        g->Release();
    }
    ASSERT_TRUE(ProcessCounters(b1, q1));
    long platform = long(b1) - long(b0);

    ASSERT_TRUE(ProcessCounters(h0, p0));
    for (int i = 0; i < 200; ++i) cycle();
    ASSERT_TRUE(ProcessCounters(h1, p1));
    std::printf(
        "200 open/close cycles: handles %lu -> %lu (a bare graph manager keeps %ld per 200), "
        "private bytes %zu KiB -> %zu KiB\n",
        h0, h1, platform, p0 / 1024, p1 / 1024);
    EXPECT_LE(long(h1) - long(h0), platform + 10);
    EXPECT_LE(static_cast<long long>(p1) - static_cast<long long>(p0), 4ll << 20);
    EXPECT_EQ(canUnload(), S_OK);
}

TEST_F(MediaTest, BrightnessFilterPassesThePictureThrough) {
    // source -> decoder -> brightness -> mixing renderer, built by hand.
    const CLSID vmr = {0xB87BEB7B, 0x8D29, 0x423F, {0xAE, 0x4D, 0x65, 0x82, 0xC1, 0x01, 0x75, 0xAC}};
    IGraphBuilder* g = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                               reinterpret_cast<void**>(&g)),
              S_OK);
    auto add = [&](const CLSID& c) {
        IBaseFilter* f = nullptr;
        EXPECT_EQ(CoCreateInstance(c, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, reinterpret_cast<void**>(&f)),
                  S_OK);
        if (f) g->AddFilter(f, nullptr);
        return f;
    };
    IBaseFilter* src = add(playback::kClsidSource);
    IBaseFilter* dec = add(playback::kClsidVideoDecoder);
    IBaseFilter* bri = add(playback::kClsidBrightness);
    IBaseFilter* ren = add(vmr);
    ASSERT_TRUE(src && dec && bri && ren);
    IFileSourceFilter* fs = nullptr;
    ASSERT_EQ(src->QueryInterface(IID_IFileSourceFilter, reinterpret_cast<void**>(&fs)), S_OK);
    ASSERT_EQ(fs->Load(OneChannel().c_str(), nullptr), S_OK);
    fs->Release();
    IVMRFilterConfig* cfg = nullptr;
    ren->QueryInterface(IID_IVMRFilterConfig, reinterpret_cast<void**>(&cfg));
    cfg->SetRenderingMode(VMRMode_Windowless);
    cfg->Release();
    IVMRWindowlessControl* wc = nullptr;
    ren->QueryInterface(IID_IVMRWindowlessControl, reinterpret_cast<void**>(&wc));
    RECT rc{0, 0, 320, 240};
    wc->SetVideoClippingWindow(host1_);
    wc->SetVideoPosition(nullptr, &rc);
    wc->Release();
    auto pin = [](IBaseFilter* f, const wchar_t* name) {
        IPin* p = nullptr;
        f->FindPin(name, &p);
        return p;
    };
    IPin *v = pin(src, L"Video 1"), *di = pin(dec, L"In"), *dout = pin(dec, L"Out"), *bi = pin(bri, L"In"),
         *bout = pin(bri, L"Out");
    IEnumPins* e = nullptr;
    ren->EnumPins(&e);
    IPin* ri = nullptr;
    e->Next(1, &ri, nullptr);
    e->Release();
    EXPECT_EQ(g->ConnectDirect(v, di, nullptr), S_OK);
    EXPECT_EQ(g->ConnectDirect(dout, bi, nullptr), S_OK);
    EXPECT_EQ(g->ConnectDirect(bout, ri, nullptr), S_OK);
    IMediaControl* mc = nullptr;
    g->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&mc));
    mc->Pause();
    OAFilterState st;
    mc->GetState(2000, &st);
    Pump(200);
    krv::FrameCode code;
    EXPECT_TRUE(mediatest::ReadWindowCode(host1_, code));
    EXPECT_EQ(code.frame, 0u);
    EXPECT_EQ(code.channel, 1);
    mc->Stop();
    mc->Release();
    for (IPin* p : {v, di, dout, bi, bout, ri}) p->Release();
    for (IBaseFilter* f : {ren, bri, dec, src}) {
        g->RemoveFilter(f);
        f->Release();
    }
    g->Release();
}

// Without a sound renderer (its class taken out of the registry for the
// case, and put back) the picture plays on its own.
TEST_F(MediaTest, WithoutASoundRendererThePicturePlaysAlone) {
    const wchar_t* key = L"CLSID\\{79376820-07D0-11CF-A24D-0020AFD79767}\\InprocServer32";
    wchar_t server[MAX_PATH] = {}, model[64] = {};
    DWORD n1 = sizeof server, n2 = sizeof model;
    ASSERT_EQ(RegGetValueW(HKEY_CLASSES_ROOT, key, nullptr, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                           nullptr, server, &n1),
              ERROR_SUCCESS);
    RegGetValueW(HKEY_CLASSES_ROOT, key, L"ThreadingModel", RRF_RT_REG_SZ, nullptr, model, &n2);
    {
        struct Restore {
            const wchar_t *key, *server, *model;
            ~Restore() {
                HKEY k;
                if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key, 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) !=
                    ERROR_SUCCESS)
                    return;
                RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(server),
                               DWORD((wcslen(server) + 1) * 2));
                if (*model)
                    RegSetValueExW(k, L"ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>(model),
                                   DWORD((wcslen(model) + 1) * 2));
                RegCloseKey(k);
            }
        } restore{key, server, model};
        ASSERT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, key), ERROR_SUCCESS);
        RegDeleteKeyW(HKEY_CLASSES_ROOT, key);

        ASSERT_TRUE(player_->Open(OneWithSound().c_str(), 0, -1));
        EXPECT_EQ(player_->Graph()->AudioRenderer(), nullptr);
        EXPECT_EQ(player_->GetVideoStreamCount(), 1);
        EXPECT_EQ(player_->GetDurationMs(), 4000);
        player_->SeekMs(2000);
        RunFor(300);
        EXPECT_GT(WaitFrame(0, 66, 20), 60);
        player_->Close();
    }
    // The class is registered again for what follows.
    ASSERT_TRUE(player_->Open(OneWithSound().c_str(), 0, -1));
    EXPECT_NE(player_->Graph()->AudioRenderer(), nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.push_back(mediatest::Narrow(argv[i]));
    std::vector<char*> cargs;
    for (auto& a : args) cargs.push_back(&a[0]);
    int n = int(cargs.size());
    ::testing::InitGoogleTest(&n, cargs.data());
    if (n < 2) {
        std::fprintf(stderr, "usage: media_test FILTERS_DLL [gtest options]\n");
        return 2;
    }
    int wargIndex = 1;
    for (int i = 1; i < argc; ++i)
        if (args[size_t(i)] == cargs[1]) {
            wargIndex = i;
            break;
        }
    g_filters = argv[wargIndex];
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
