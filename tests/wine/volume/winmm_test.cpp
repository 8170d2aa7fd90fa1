// The winmm path of the volume control. The prefix reports an older Windows
// to this program (volume_winmm_test.sh). Suite WineMixer runs on Wine's own
// mixer; StandinMixer and MixerMessage on the stand-in mixer loaded as
// winmm.dll beside the program. MixerMessage cases each show one message box,
// which the script reads and dismisses.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include "mixer_standin.h"
#include "volume_host.h"
#include "volume_scale.h"

using playback::WinmmPosition;
using playback::WinmmValue;

namespace {

MixerStandinState* Standin() {
    HMODULE winmm = ::GetModuleHandleW(L"winmm.dll");
    auto fn = reinterpret_cast<StandinMixerStateFn>(
        reinterpret_cast<void*>(winmm ? ::GetProcAddress(winmm, "StandinMixerState") : nullptr));
    return fn ? fn() : nullptr;
}

std::vector<MixerCallRecord> CallsOf(const MixerStandinState& s, MixerCall call) {
    std::vector<MixerCallRecord> r;
    for (uint32_t i = 0; i < s.count && i < MixerStandinState::kCapacity; ++i)
        if (s.calls[i].call == call) r.push_back(s.calls[i]);
    return r;
}

class WinmmHost : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(host.Create()); }
    void TearDown() override {
        host.mixer.reset();
        host.DestroyWindow();
        Pump(10);
    }
    VolumeHost host;
};

// ---------------------------------------------------------------- stand-in mixer

class StandinMixer : public WinmmHost {
protected:
    void SetUp() override {
        state = Standin();
        ASSERT_NE(nullptr, state) << "winmm.dll is not the stand-in (WINEDLLOVERRIDES winmm=n)";
        *state = MixerStandinState{};
        WinmmHost::SetUp();
    }
    void TearDown() override {
        WinmmHost::TearDown();
        if (state) {
            EXPECT_EQ(0, state->openHandles) << "the mixer handle is closed with the object";
        }
    }
    std::vector<MixerCallRecord> Calls(MixerCall call) const { return CallsOf(*state, call); }
    MixerStandinState* state = nullptr;
};

class StandinQuiet : public StandinMixer {
protected:
    void TearDown() override {
        StandinMixer::TearDown();
        EXPECT_EQ(0u, boxes.Boxes().size()) << "message boxes appeared";
    }
    MessageBoxWatcher boxes{true};
};

}  // namespace

TEST(WinmmVersion, ThePrefixReportsAnOlderWindows) {
    OSVERSIONINFOW v{};
    v.dwOSVersionInfoSize = sizeof v;
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ASSERT_TRUE(::GetVersionExW(&v));
    EXPECT_LT(v.dwMajorVersion, 6u) << v.dwMajorVersion << "." << v.dwMinorVersion;
    EXPECT_FALSE(VolumeMixer::IsWindows7OrLater());
    CBitmapSlider slider;
    EXPECT_FALSE(VolumeMixer(nullptr, slider).UsesCoreAudio());
}

TEST_F(StandinQuiet, HundredOneStepsScaleTheSlider) {
    state->volume[0] = 65535;
    ASSERT_TRUE(host.StartMixer(false));
    EXPECT_FALSE(host.mixer->UsesCoreAudio());
    EXPECT_TRUE(host.mixer->HasVolumeControl());
    EXPECT_EQ(100u, host.mixer->VolumeMax());
    EXPECT_EQ(0, host.slider.GetRangeMin());
    EXPECT_EQ(100, host.slider.GetRangeMax());
    EXPECT_EQ(100, host.slider.GetPosition()) << "65535 reads back as 100";
    EXPECT_TRUE(host.slider.IsWindowEnabled());

    // Device 0 opened once with the window as callback, and kept open.
    auto open = Calls(kMixOpen);
    ASSERT_EQ(1u, open.size());
    EXPECT_EQ(0u, open[0].handle);
    EXPECT_EQ(static_cast<uint32_t>(CALLBACK_WINDOW), open[0].flags & CALLBACK_TYPEMASK);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(static_cast<HWND>(host)), open[0].callback);
    EXPECT_EQ(1, state->openHandles);
    EXPECT_EQ(1u, Calls(kMixGetDevCapsById).size());
    EXPECT_EQ(1u, Calls(kMixGetDevCapsByHandle).size());
    // Both destinations looked at; only the speakers line's controls read.
    auto dest = Calls(kMixLineInfoByDestination);
    ASSERT_EQ(2u, dest.size());
    EXPECT_EQ(0u, dest[0].controlId);
    EXPECT_EQ(1u, dest[1].controlId);
    auto byId = Calls(kMixLineInfoById);
    ASSERT_EQ(1u, byId.size());
    EXPECT_EQ(MixerStandinState::kSpeakersLine, byId[0].controlId);
    auto all = Calls(kMixLineControlsAll);
    ASSERT_EQ(1u, all.size());
    EXPECT_EQ(3u, all[0].items);
    auto get = Calls(kMixGetDetails);
    ASSERT_EQ(1u, get.size());
    EXPECT_EQ(MixerStandinState::kVolumeId, get[0].controlId);
    EXPECT_EQ(1u, get[0].channels);
    EXPECT_EQ(4u, get[0].cbDetails);
    for (const MixerCallRecord& r : {dest[0], byId[0], all[0], get[0]})
        EXPECT_EQ(static_cast<uint32_t>(MIXER_OBJECTF_HMIXER), r.flags & 0xF0000000u) << r.call;

    // The skin step sets 0..10; the range is put back to the mixer's.
    host.SkinSlider();
    EXPECT_EQ(10, host.slider.GetRangeMax());
    host.mixer->ReapplySliderRange();
    EXPECT_EQ(100, host.slider.GetRangeMax());
    EXPECT_EQ(100, host.slider.GetPosition());

    // Position 50 writes MulDivRound(50, 65535, 100) = 32768.
    state->count = 0;
    ASSERT_TRUE(host.DragTo(50));
    auto set = Calls(kMixSetDetails);
    ASSERT_EQ(1u, set.size());
    EXPECT_EQ(MixerStandinState::kVolumeId, set[0].controlId);
    EXPECT_EQ(32768u, set[0].values[0]);
    EXPECT_EQ(1u, set[0].channels);
    EXPECT_EQ(4u, set[0].cbDetails);
    EXPECT_EQ(0u, set[0].items);
    EXPECT_EQ(32768u, state->volume[0]);
    // And reads back as 50 at the next start.
    host.slider.SetPosition(0);
    VolumeMixer again(host, host.slider);
    ASSERT_TRUE(again.Init());
    EXPECT_EQ(50, host.slider.GetPosition());
    // Every reachable position writes its own value.
    for (int p : {0, 1, 98, 100, 23}) {
        state->count = 0;
        ASSERT_TRUE(host.DragTo(p)) << p;
        set = Calls(kMixSetDetails);
        ASSERT_EQ(1u, set.size()) << p;
        EXPECT_EQ(WinmmValue(p, 100), set[0].values[0]) << p;
    }
}

TEST_F(StandinQuiet, SetMuteUsesItsOwnHandle) {
    ASSERT_TRUE(host.StartMixer(false));
    ASSERT_EQ(1u, Calls(kMixGetDetails).size());
    const uintptr_t initHandle = Calls(kMixGetDetails)[0].handle;
    state->count = 0;
    host.mixer->SetMute(false);
    auto open = Calls(kMixOpen);
    ASSERT_EQ(1u, open.size());
    EXPECT_EQ(0u, open[0].handle);
    EXPECT_EQ(static_cast<uint32_t>(CALLBACK_NULL), open[0].flags & CALLBACK_TYPEMASK);
    auto line = Calls(kMixLineInfoByType);
    ASSERT_EQ(1u, line.size());
    EXPECT_EQ(static_cast<uint32_t>(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS), line[0].controlId);
    auto ctl = Calls(kMixLineControlsByType);
    ASSERT_EQ(1u, ctl.size());
    EXPECT_EQ(static_cast<uint32_t>(MIXERCONTROL_CONTROLTYPE_MUTE), ctl[0].values[0]);
    EXPECT_EQ(1u, ctl[0].items);
    auto set = Calls(kMixSetDetails);
    ASSERT_EQ(1u, set.size());
    EXPECT_EQ(MixerStandinState::kMuteId, set[0].controlId);
    EXPECT_EQ(0u, set[0].values[0]);
    EXPECT_EQ(0, state->mute);
    // Line, control and value through the handle opened here, which is then closed.
    auto close = Calls(kMixClose);
    ASSERT_EQ(1u, close.size());
    EXPECT_NE(initHandle, close[0].handle);
    for (const MixerCallRecord& r : {line[0], ctl[0], set[0]}) {
        EXPECT_EQ(close[0].handle, r.handle) << r.call;
        EXPECT_EQ(static_cast<uint32_t>(MIXER_OBJECTF_HMIXER), r.flags & 0xF0000000u) << r.call;
    }
    EXPECT_EQ(1, state->openHandles) << "only the handle opened for the mute is closed";
    host.mixer->SetMute(true);
    EXPECT_EQ(1, state->mute);
    // As the main window starts it: unmuted once after Init.
    state->count = 0;
    ASSERT_TRUE(host.StartMixer());
    EXPECT_EQ(0, state->mute);
}

TEST_F(StandinQuiet, StepCountsAtTheLimits) {
    const struct {
        uint32_t steps;
        int max;
    } cases[] = {{0, 32767}, {32768, 32767}, {70000, 32767}, {2, 1}, {192, 191}};
    for (const auto& c : cases) {
        state->volumeSteps = c.steps;
        state->volume[0] = 65535;
        ASSERT_TRUE(host.StartMixer());
        EXPECT_EQ(c.max, host.slider.GetRangeMax()) << c.steps;
        EXPECT_EQ(c.max, host.slider.GetPosition()) << c.steps;
        EXPECT_TRUE(host.slider.IsWindowEnabled());
        // The far left end writes 0, the far right end full scale.
        ASSERT_TRUE(host.DragTo(0));
        EXPECT_EQ(0u, state->volume[0]) << c.steps;
        ASSERT_TRUE(host.DragTo(c.max));
        EXPECT_EQ(65535u, state->volume[0]) << c.steps;
    }
}

TEST_F(StandinQuiet, SingleStepControlIsNotDriven) {
    // One step gives max 0: writing would divide by zero. The slider is
    // disabled and nothing is written; the output is still unmuted.
    state->volumeSteps = 1;
    state->volume[0] = 40000;
    host.slider.SetPosition(7);
    ASSERT_TRUE(host.StartMixer());
    EXPECT_FALSE(host.mixer->HasVolumeControl());
    EXPECT_EQ(0, host.slider.GetRangeMax());
    EXPECT_EQ(0, host.slider.GetPosition());
    EXPECT_FALSE(host.slider.IsWindowEnabled());
    EXPECT_EQ(0, state->mute);
    host.SkinSlider();
    host.mixer->ReapplySliderRange();  // nothing to re-apply
    EXPECT_EQ(10, host.slider.GetRangeMax());
    state->count = 0;
    host.slider.SetPosition(5);
    host.mixer->ApplySlider();
    EXPECT_TRUE(Calls(kMixSetDetails).empty());
    EXPECT_EQ(40000u, state->volume[0]);
}

TEST_F(StandinQuiet, MultipleItemsLastOneWins) {
    state->volumeItems = 3;
    state->volume[0] = 0;
    state->volume[1] = 65535;
    state->volume[2] = 32768;
    ASSERT_TRUE(host.StartMixer());
    EXPECT_EQ(50, host.slider.GetPosition());
    auto get = Calls(kMixGetDetails);
    ASSERT_EQ(1u, get.size());
    EXPECT_EQ(3u, get[0].items);
    state->count = 0;
    ASSERT_TRUE(host.DragTo(25));
    auto set = Calls(kMixSetDetails);
    ASSERT_EQ(1u, set.size());
    EXPECT_EQ(3u, set[0].items);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(WinmmValue(25, 100), state->volume[i]) << i;
}

TEST_F(StandinQuiet, NoSpeakersLineLeavesNothingToDrive) {
    state->speakersPresent = false;
    host.slider.SetPosition(3);
    ASSERT_TRUE(host.StartMixer());
    EXPECT_FALSE(host.mixer->HasVolumeControl());
    EXPECT_FALSE(host.slider.IsWindowEnabled());
    EXPECT_EQ(3, host.slider.GetPosition());
    EXPECT_TRUE(Calls(kMixLineInfoById).empty());
    EXPECT_TRUE(Calls(kMixGetDetails).empty());
    state->count = 0;
    host.mixer->ApplySlider();
    EXPECT_TRUE(Calls(kMixSetDetails).empty());
}

TEST_F(StandinQuiet, NoMixerDeviceMakesInitFalse) {
    for (MixerCall fail : {kMixGetDevCapsById, kMixOpen}) {
        *state = MixerStandinState{};
        state->Fail(fail);
        host.slider.EnableWindow(TRUE);
        host.slider.SetPosition(4);
        EXPECT_FALSE(host.StartMixer()) << fail;
        EXPECT_FALSE(host.slider.IsWindowEnabled());
        EXPECT_EQ(4, host.slider.GetPosition());
        EXPECT_EQ(0, state->openHandles);
        EXPECT_EQ(fail == kMixGetDevCapsById ? 0u : 1u, Calls(kMixOpen).size());
        EXPECT_EQ(1, state->mute) << "not unmuted";
        // The slider's messages are ignored.
        host.slider.EnableWindow(TRUE);
        state->count = 0;
        ASSERT_TRUE(host.DragTo(9));
        EXPECT_TRUE(Calls(kMixSetDetails).empty());
        host.mixer->ApplySlider();  // even when called, nothing is written without a mixer
        EXPECT_TRUE(Calls(kMixSetDetails).empty());
    }
}

// ---------------------------------------------------------------- message boxes

// Each case shows one message box, read and dismissed by the script; the
// watcher only notes its owner and icon.
class MixerMessage : public StandinMixer {
protected:
    void ExpectOneErrorBox() {
        auto seen = boxes.Boxes();
        ASSERT_EQ(1u, seen.size());
        EXPECT_FALSE(seen[0].owned) << "no owner window";
        EXPECT_TRUE(seen[0].errorIcon) << "error icon";
    }
    MessageBoxWatcher boxes{false};
};

TEST_F(MixerMessage, CapabilitiesThroughTheHandle) {
    state->Fail(kMixGetDevCapsByHandle);
    host.slider.SetPosition(3);
    EXPECT_TRUE(host.StartMixer());
    ExpectOneErrorBox();
    EXPECT_TRUE(Calls(kMixLineInfoByDestination).empty()) << "no destinations";
    EXPECT_FALSE(host.slider.IsWindowEnabled());
    EXPECT_EQ(3, host.slider.GetPosition());
}

TEST_F(MixerMessage, SpeakersLineInfo) {
    state->Fail(kMixLineInfoById);
    host.slider.SetPosition(3);
    EXPECT_TRUE(host.StartMixer());
    ExpectOneErrorBox();
    EXPECT_TRUE(Calls(kMixLineControlsAll).empty());
    EXPECT_TRUE(Calls(kMixGetDetails).empty());
    EXPECT_EQ(3, host.slider.GetPosition());
    EXPECT_FALSE(host.slider.IsWindowEnabled());
    EXPECT_EQ(0, state->mute) << "still unmuted";
}

TEST_F(MixerMessage, SpeakersLineWithoutControls) {
    state->speakersHasControls = false;
    EXPECT_TRUE(host.StartMixer());
    ExpectOneErrorBox();
    EXPECT_TRUE(Calls(kMixLineControlsAll).empty());
    EXPECT_FALSE(host.slider.IsWindowEnabled());
}

TEST_F(MixerMessage, SpeakersLineControls) {
    state->Fail(kMixLineControlsAll);
    host.slider.SetPosition(3);
    EXPECT_TRUE(host.StartMixer());
    ExpectOneErrorBox();
    EXPECT_TRUE(Calls(kMixGetDetails).empty());
    EXPECT_EQ(10, host.slider.GetRangeMax()) << "range left as it was";
    EXPECT_EQ(3, host.slider.GetPosition());
    EXPECT_FALSE(host.slider.IsWindowEnabled());
}

TEST_F(MixerMessage, ReadingTheVolume) {
    state->Fail(kMixGetDetails);
    host.slider.SetPosition(3);
    EXPECT_TRUE(host.StartMixer());
    ExpectOneErrorBox();
    EXPECT_EQ(100, host.slider.GetRangeMax());
    EXPECT_EQ(3, host.slider.GetPosition()) << "position left as it was";
    EXPECT_TRUE(host.slider.IsWindowEnabled()) << "the volume can still be set";
}

TEST_F(MixerMessage, WritingTheVolume) {
    ASSERT_TRUE(host.StartMixer());
    state->Fail(kMixSetDetails);
    ASSERT_TRUE(host.DragTo(50));
    ExpectOneErrorBox();
    EXPECT_EQ(65535u, state->volume[0]);
}

// ---------------------------------------------------------------- Wine's own mixer

namespace {
// The platform mixer's speakers volume control, read directly.
struct PlatformVolume {
    bool found = false;
    DWORD steps = 0, volumeId = 0, muteId = 0;
    HMIXER mixer = nullptr;
    PlatformVolume() {
        if (::mixerOpen(&mixer, 0, 0, 0, MIXER_OBJECTF_MIXER) != MMSYSERR_NOERROR) return;
        MIXERLINEW line{};
        line.cbStruct = sizeof line;
        line.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
        auto obj = reinterpret_cast<HMIXEROBJ>(mixer);
        if (::mixerGetLineInfoW(obj, &line, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE)) return;
        MIXERCONTROLW c{};
        c.cbStruct = sizeof c;
        MIXERLINECONTROLSW q{};
        q.cbStruct = sizeof q;
        q.dwLineID = line.dwLineID;
        q.cControls = 1;
        q.cbmxctrl = sizeof c;
        q.pamxctrl = &c;
        q.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
        if (::mixerGetLineControlsW(obj, &q, MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE)) return;
        steps = c.Metrics.cSteps;
        volumeId = c.dwControlID;
        q.dwControlType = MIXERCONTROL_CONTROLTYPE_MUTE;
        if (::mixerGetLineControlsW(obj, &q, MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE)) return;
        muteId = c.dwControlID;
        found = true;
    }
    ~PlatformVolume() {
        if (mixer) ::mixerClose(mixer);
    }
    MMRESULT Details(DWORD id, DWORD& value, bool set) {
        MIXERCONTROLDETAILS d{};
        d.cbStruct = sizeof d;
        d.dwControlID = id;
        d.cChannels = 1;
        d.cbDetails = sizeof value;
        d.paDetails = &value;
        auto obj = reinterpret_cast<HMIXEROBJ>(mixer);
        return set ? ::mixerSetControlDetails(obj, &d, MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE)
                   : ::mixerGetControlDetailsW(obj, &d, MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE);
    }
};
}  // namespace

TEST_F(WinmmHost, WineMixerDrivesTheSpeakersVolume) {
    ASSERT_EQ(nullptr, Standin()) << "this suite runs on Wine's own winmm (WINEDLLOVERRIDES winmm=b)";
    MessageBoxWatcher boxes(true);
    PlatformVolume platform;
    ASSERT_TRUE(platform.found) << "Wine's mixer offers a speakers line with volume and mute";
    const int max = static_cast<int>(playback::WinmmSliderMax(platform.steps));
    DWORD value = 49151;
    ASSERT_EQ(MMSYSERR_NOERROR, platform.Details(platform.volumeId, value, true));
    DWORD mute = 1;
    ASSERT_EQ(MMSYSERR_NOERROR, platform.Details(platform.muteId, mute, true));

    ASSERT_TRUE(host.StartMixer());
    EXPECT_FALSE(host.mixer->UsesCoreAudio());
    EXPECT_EQ(max, host.slider.GetRangeMax());
    EXPECT_EQ(WinmmPosition(49151, max), host.slider.GetPosition());
    ASSERT_EQ(MMSYSERR_NOERROR, platform.Details(platform.muteId, mute, false));
    EXPECT_EQ(0u, mute) << "unmuted";
    host.SkinSlider();
    host.mixer->ReapplySliderRange();
    EXPECT_EQ(max, host.slider.GetRangeMax());

    for (int target : {max / 2, max, 1, 0}) {
        const int p = host.DragNear(target);
        ASSERT_EQ(MMSYSERR_NOERROR, platform.Details(platform.volumeId, value, false));
        EXPECT_EQ(WinmmValue(p, max), value) << p;
    }
    EXPECT_TRUE(boxes.Boxes().empty());
}

int wmain(int argc, wchar_t** argv) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
