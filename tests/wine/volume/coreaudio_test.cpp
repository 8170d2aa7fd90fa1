// The Core Audio path of the volume control against the stand-in endpoint
// volume registered in the prefix for this test (volume_coreaudio_test.sh),
// and, in the suite PlatformEndpoint, against Wine's own.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include <endpointvolume.h>
#include <mmdeviceapi.h>
#include <wrl/client.h>

#include "endpoint_log.h"
#include "volume_host.h"
#include "volume_scale.h"

namespace {

// The shared log the stand-in writes into, created for each test.
class EndpointLogSection {
public:
    EndpointLogSection() {
        m_section = ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(EndpointLog),
                                         ENDPOINT_LOG_NAME);
        if (m_section) log = static_cast<EndpointLog*>(::MapViewOfFile(m_section, FILE_MAP_ALL_ACCESS, 0, 0, 0));
        if (!log) return;
        *log = EndpointLog{};
        log->magic = EndpointLog::kMagic;
        log->level = 0.57f;
    }
    ~EndpointLogSection() {
        if (log) ::UnmapViewOfFile(log);
        if (m_section) ::CloseHandle(m_section);
    }
    std::vector<EndpointCallRecord> Calls() const {
        return {log->calls, log->calls + std::min(log->count, EndpointLog::kCapacity)};
    }
    std::vector<EndpointCallRecord> Of(EndpointCall call) const {
        std::vector<EndpointCallRecord> r;
        for (const EndpointCallRecord& c : Calls())
            if (c.call == call) r.push_back(c);
        return r;
    }
    void Clear() { log->count = 0; }
    EndpointLog* log = nullptr;

private:
    HANDLE m_section = nullptr;
};

std::vector<uint32_t> Sequence(const std::vector<EndpointCallRecord>& calls) {
    std::vector<uint32_t> s;
    for (const EndpointCallRecord& c : calls) s.push_back(c.call);
    return s;
}

// The last call that was not a release.
uint32_t LastStep(const std::vector<EndpointCallRecord>& calls) {
    uint32_t last = kCallNone;
    for (const EndpointCallRecord& c : calls)
        if (c.call < kCallReleaseEnumerator) last = c.call;
    return last;
}

// COM is not left initialised on the thread: a new initialisation is the first.
bool ComReleasedOnThread() {
    HRESULT hr = ::CoInitialize(nullptr);
    if (SUCCEEDED(hr)) ::CoUninitialize();
    return hr == S_OK;
}

class CoreAudio : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(nullptr, shared.log);
        ASSERT_TRUE(host.Create());
    }
    void TearDown() override {
        host.mixer.reset();
        host.DestroyWindow();
        Pump(10);
    }
    // Every object the viewer got was released again.
    void ExpectAccessClosed() {
        EXPECT_EQ(0, shared.log->liveObjects);
        EXPECT_TRUE(ComReleasedOnThread());
    }
    EndpointLogSection shared;
    VolumeHost host;
    MessageBoxWatcher boxes{true};
};

const std::vector<uint32_t> kOpenSequence = {kCallCreateEnumerator, kCallGetDefaultEndpoint, kCallReleaseEnumerator,
                                             kCallActivate, kCallReleaseDevice};

}  // namespace

TEST(VersionTest, WindowsSevenOrLater) {
    EXPECT_FALSE(VolumeMixer::IsWindows7OrLater(5, 1));
    EXPECT_FALSE(VolumeMixer::IsWindows7OrLater(6, 0));
    EXPECT_TRUE(VolumeMixer::IsWindows7OrLater(6, 1));
    EXPECT_TRUE(VolumeMixer::IsWindows7OrLater(6, 2));
    EXPECT_TRUE(VolumeMixer::IsWindows7OrLater(7, 0));
    EXPECT_TRUE(VolumeMixer::IsWindows7OrLater(10, 0));
    // This prefix reports Windows 7 or later.
    OSVERSIONINFOW v{};
    v.dwOSVersionInfoSize = sizeof v;
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ASSERT_TRUE(::GetVersionExW(&v));
    EXPECT_TRUE(VolumeMixer::IsWindows7OrLater(v.dwMajorVersion, v.dwMinorVersion))
        << v.dwMajorVersion << "." << v.dwMinorVersion;
    EXPECT_TRUE(VolumeMixer::IsWindows7OrLater());
}

TEST_F(CoreAudio, InitReadsTheLevelIntoTheSlider) {
    host.slider.SetRange(0, 100);
    host.slider.SetPosition(40);
    ASSERT_TRUE(host.StartMixer(false));
    EXPECT_TRUE(host.mixer->UsesCoreAudio());
    EXPECT_EQ(0, host.slider.GetRangeMin());
    EXPECT_EQ(10, host.slider.GetRangeMax());
    EXPECT_EQ(5, host.slider.GetPosition());  // 0.57 x 10, truncated
    // One access, opened and closed: enumerator, default render endpoint of the
    // console role, endpoint volume in-process, level in dB then scalar.
    std::vector<uint32_t> expected = kOpenSequence;
    expected.insert(expected.end(), {kCallGetLevel, kCallGetScalar, kCallReleaseVolume});
    EXPECT_EQ(expected, Sequence(shared.Calls()));
    auto endpoint = shared.Of(kCallGetDefaultEndpoint);
    ASSERT_EQ(1u, endpoint.size());
    EXPECT_EQ(eRender, endpoint[0].arg1);
    EXPECT_EQ(eConsole, endpoint[0].arg2);
    auto activate = shared.Of(kCallActivate);
    ASSERT_EQ(1u, activate.size());
    EXPECT_EQ(1, activate[0].arg1) << "asked for IAudioEndpointVolume";
    EXPECT_EQ(CLSCTX_INPROC_SERVER, activate[0].arg2);
    ExpectAccessClosed();
    // The main window's skin step sets 0..10 again; re-applying changes nothing here.
    host.SkinSlider();
    shared.Clear();
    host.mixer->ReapplySliderRange();
    EXPECT_EQ(10, host.slider.GetRangeMax());
    EXPECT_EQ(5, host.slider.GetPosition());
    EXPECT_TRUE(shared.Calls().empty());
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(CoreAudio, SliderMoveSetsTheLevel) {
    ASSERT_TRUE(host.StartMixer());
    host.SkinSlider();
    host.mixer->ReapplySliderRange();
    shared.Clear();
    ASSERT_TRUE(host.DragTo(7));
    EXPECT_EQ(7, host.slider.GetPosition());
    EXPECT_EQ(1, host.movingMessages);
    auto set = shared.Of(kCallSetScalar);
    ASSERT_EQ(1u, set.size());
    EXPECT_FLOAT_EQ(0.7f, set[0].value);
    std::vector<uint32_t> expected = kOpenSequence;
    expected.insert(expected.end(), {kCallSetScalar, kCallReleaseVolume});
    EXPECT_EQ(expected, Sequence(shared.Calls()));
    ExpectAccessClosed();
    EXPECT_FLOAT_EQ(0.7f, shared.log->level);

    // Every position of the slider reaches the endpoint as position x 0.1, and
    // comes back as the same position at the next start.
    for (int p : {0, 3, 9, 10, 1}) {
        shared.Clear();
        ASSERT_TRUE(host.DragTo(p)) << p;
        set = shared.Of(kCallSetScalar);
        ASSERT_EQ(1u, set.size()) << p;
        EXPECT_FLOAT_EQ(p * 0.1f, set[0].value);
        VolumeMixer again(host, host.slider);
        host.slider.SetPosition(5);
        ASSERT_TRUE(again.Init());
        EXPECT_EQ(p, host.slider.GetPosition());
    }
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(CoreAudio, SetMuteFalseUnmutesOnce) {
    ASSERT_TRUE(host.StartMixer(false));
    shared.Clear();
    host.mixer->SetMute(false);
    auto mute = shared.Of(kCallSetMute);
    ASSERT_EQ(1u, mute.size());
    EXPECT_EQ(0, mute[0].arg1);
    std::vector<uint32_t> expected = kOpenSequence;
    expected.insert(expected.end(), {kCallSetMute, kCallReleaseVolume});
    EXPECT_EQ(expected, Sequence(shared.Calls()));
    ExpectAccessClosed();
    // As the main window starts it: Init, then one unmute.
    shared.Clear();
    ASSERT_TRUE(host.StartMixer());
    EXPECT_EQ(1u, shared.Of(kCallSetMute).size());
}

TEST_F(CoreAudio, AnyFailingStepMakesInitFalseAndTheSliderZero) {
    const struct {
        EndpointCall call;
        HRESULT result;
        const char* what;
    } cases[] = {
        {kCallCreateEnumerator, REGDB_E_CLASSNOTREG, "enumerator class not registered"},
        {kCallGetDefaultEndpoint, HRESULT_FROM_WIN32(ERROR_NOT_FOUND), "no default endpoint"},
        {kCallActivate, E_NOINTERFACE, "no endpoint volume"},
        {kCallGetLevel, E_FAIL, "level in dB"},
        {kCallGetScalar, E_FAIL, "scalar level"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        shared.Clear();
        shared.log->failCall = c.call;
        shared.log->failResult = c.result;
        host.slider.EnableWindow(TRUE);
        host.slider.SetRange(0, 100);
        host.slider.SetPosition(40);
        EXPECT_FALSE(host.StartMixer());
        EXPECT_EQ(10, host.slider.GetRangeMax());
        EXPECT_EQ(0, host.slider.GetPosition());
        EXPECT_FALSE(host.slider.IsWindowEnabled());
        // Nothing after the failing step, nothing left open, no unmute.
        EXPECT_EQ(c.call, LastStep(shared.Calls()));
        EXPECT_TRUE(shared.Of(kCallSetMute).empty());
        ExpectAccessClosed();
        // The slider's messages are ignored from then on.
        host.slider.EnableWindow(TRUE);
        shared.log->failCall = kCallNone;
        shared.Clear();
        ASSERT_TRUE(host.DragTo(6));
        EXPECT_TRUE(shared.Of(kCallSetScalar).empty());
    }
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(CoreAudio, FailuresAfterInitAreSilent) {
    ASSERT_TRUE(host.StartMixer());
    for (EndpointCall call : {kCallSetScalar, kCallActivate, kCallCreateEnumerator}) {
        shared.log->failCall = call;
        shared.log->failResult = E_FAIL;
        shared.Clear();
        ASSERT_TRUE(host.DragTo(call == kCallSetScalar ? 2 : 8));
        host.mixer->SetMute(false);
        Pump(50);
        ExpectAccessClosed();
    }
    EXPECT_TRUE(boxes.Boxes().empty());
}

// Wine's own endpoint volume (the stand-in is not registered for this suite):
// Init reads whatever it reports, and what it refuses stays silent.
TEST(PlatformEndpoint, InitReadsThePlatformLevel) {
    float level = -1.0f;
    {
        CoInitialize(nullptr);
        Microsoft::WRL::ComPtr<IMMDeviceEnumerator> e;
        Microsoft::WRL::ComPtr<IMMDevice> d;
        Microsoft::WRL::ComPtr<IAudioEndpointVolume> v;
        ASSERT_HRESULT_SUCCEEDED(
            CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&e)));
        ASSERT_EQ(nullptr, ::GetModuleHandleW(L"endpoint_standin.dll")) << "the stand-in is still registered";
        ASSERT_HRESULT_SUCCEEDED(e->GetDefaultAudioEndpoint(eRender, eConsole, &d));
        ASSERT_HRESULT_SUCCEEDED(d->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_INPROC_SERVER, nullptr,
                                             reinterpret_cast<void**>(v.GetAddressOf())));
        ASSERT_HRESULT_SUCCEEDED(v->GetMasterVolumeLevelScalar(&level));
    }
    CoUninitialize();
    VolumeHost host;
    ASSERT_TRUE(host.Create());
    MessageBoxWatcher boxes(true);
    ASSERT_TRUE(host.StartMixer());
    EXPECT_EQ(playback::CoreAudioPosition(level), host.slider.GetPosition());
    ASSERT_TRUE(host.DragTo(host.slider.GetPosition() == 4 ? 6 : 4));
    EXPECT_TRUE(ComReleasedOnThread());
    EXPECT_TRUE(boxes.Boxes().empty());
    host.mixer.reset();
    host.DestroyWindow();
}

int wmain(int argc, wchar_t** argv) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
