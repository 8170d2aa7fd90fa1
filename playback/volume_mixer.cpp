#include "volume_mixer.h"

#include <endpointvolume.h>
#include <mmdeviceapi.h>
#include <wrl/client.h>

#include <vector>

#include "bitmap_slider.h"
#include "fw_com.h"
#include "volume_scale.h"

using Microsoft::WRL::ComPtr;
using namespace playback;

namespace {

// The multimedia device enumerator {BCDE0395-E52F-467C-8E3D-C4579291692E} and
// the interfaces used of it: IMMDeviceEnumerator {A95664D2-9614-4F35-A746-
// DE8DB63617E6}, IAudioEndpointVolume {5CDF2C82-841E-4546-9722-0CF74078229A}.
const CLSID& kClsidDeviceEnumerator = __uuidof(MMDeviceEnumerator);
const IID& kIidDeviceEnumerator = __uuidof(IMMDeviceEnumerator);
const IID& kIidEndpointVolume = __uuidof(IAudioEndpointVolume);

// The winmm mixer device the viewer uses.
constexpr UINT kMixerDevice = 0;
// Guards against a mixer that reports absurd counts: more controls on one
// line, or more items in one control, than any mixer has.
constexpr DWORD kMaxLineControls = 256;
constexpr DWORD kMaxControlItems = 256;

// Messages of the winmm path: text and title.
struct ErrorText {
    const wchar_t* text;
    const wchar_t* title;
};
const ErrorText kCapsUnreadable = {L"등록된 장치의 정보를 읽을 수 없습니다.", L"시스템 정보 오류"};
const ErrorText kLineInfoFailed = {L"내부함수 수행중 오류(MixerGetLineInfo)", L"장치 정보 오류"};
const ErrorText kNoControls = {L"사용 가능한 기능 부재", L"장치 오류"};
const ErrorText kLineControlsFailed = {L"내부함수 수행중 오류(mixerGetLineControls)", L"장치 정보 오류"};
const ErrorText kGetDetailsFailed = {L"내부함수 오류(mixerGetControlDetails)", L"내부 함수 오류"};
const ErrorText kSetDetailsFailed = {L"내부 함수 오류(mixerSetControlDetails)", L"내부 함수 오류"};

void ShowError(const ErrorText& e) { ::MessageBoxW(nullptr, e.text, e.title, MB_OK | MB_ICONERROR); }

HMIXEROBJ MixerObject(HMIXER mixer) { return reinterpret_cast<HMIXEROBJ>(mixer); }

// One access to the default render endpoint's volume: COM for the thread, the
// enumerator (released once it gave the device), the device (released once it
// gave the endpoint volume). Everything is released, COM last, at the end of
// the scope.
class EndpointVolumeAccess {
public:
    EndpointVolumeAccess() {
        if (!m_com.Usable()) return;
        ComPtr<IMMDeviceEnumerator> enumerator;
        if (FAILED(::CoCreateInstance(kClsidDeviceEnumerator, nullptr, CLSCTX_INPROC_SERVER, kIidDeviceEnumerator,
                                      reinterpret_cast<void**>(enumerator.GetAddressOf()))) ||
            !enumerator)
            return;
        ComPtr<IMMDevice> device;
        HRESULT hr = enumerator->GetDefaultAudioEndpoint(eRender, eConsole, device.GetAddressOf());
        enumerator.Reset();
        if (FAILED(hr) || !device) return;
        hr = device->Activate(kIidEndpointVolume, CLSCTX_INPROC_SERVER, nullptr,
                              reinterpret_cast<void**>(m_volume.GetAddressOf()));
        device.Reset();
        if (FAILED(hr)) m_volume.Reset();
    }
    IAudioEndpointVolume* operator->() const { return m_volume.Get(); }
    explicit operator bool() const { return m_volume != nullptr; }

private:
    CScopedComInit m_com;  // declared first: uninitialised after the interfaces are released
    ComPtr<IAudioEndpointVolume> m_volume;
};

// A mixer device opened for one operation and closed at the end of its scope.
class ScopedMixer {
public:
    explicit ScopedMixer(UINT device) {
        if (::mixerOpen(&m_mixer, device, 0, 0, MIXER_OBJECTF_MIXER) != MMSYSERR_NOERROR) m_mixer = nullptr;
    }
    ~ScopedMixer() {
        if (m_mixer) ::mixerClose(m_mixer);
    }
    ScopedMixer(const ScopedMixer&) = delete;
    ScopedMixer& operator=(const ScopedMixer&) = delete;
    HMIXER get() const { return m_mixer; }

private:
    HMIXER m_mixer = nullptr;
};

}  // namespace

VolumeMixer::VolumeMixer(HWND notifyWindow, CBitmapSlider& slider)
    : m_hNotifyWnd(notifyWindow), m_slider(slider), m_coreAudio(IsWindows7OrLater()) {}

VolumeMixer::~VolumeMixer() {
    if (m_hMixer) ::mixerClose(m_hMixer);
}

bool VolumeMixer::IsWindows7OrLater() {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExW(&version)) return true;  // no report: a current system
#pragma GCC diagnostic pop
    return IsWindows7OrLater(version.dwMajorVersion, version.dwMinorVersion);
}

bool VolumeMixer::Init() { return m_coreAudio ? InitCoreAudio() : InitWinmm(); }

void VolumeMixer::SetMute(bool mute) {
    if (!m_coreAudio) {
        SetWinmmMute(mute);
        return;
    }
    EndpointVolumeAccess access;
    if (access) access->SetMute(mute ? TRUE : FALSE, nullptr);
}

void VolumeMixer::ApplySlider() {
    if (!m_coreAudio) {
        WriteWinmmVolume();
        return;
    }
    EndpointVolumeAccess access;
    if (access) access->SetMasterVolumeLevelScalar(CoreAudioScalar(m_slider.GetPosition()), nullptr);
}

void VolumeMixer::ReapplySliderRange() {
    if (m_coreAudio || !HasVolumeControl()) return;
    m_slider.SetRange(0, static_cast<int>(m_speakers.volumeMax), true);
    m_slider.SetPosition(m_slider.GetPosition());
}

// ---------------------------------------------------------------- Core Audio

bool VolumeMixer::InitCoreAudio() {
    m_slider.SetRange(0, kCoreAudioSliderMax, false);
    float scalar = 0.0f;
    bool read = false;
    {
        EndpointVolumeAccess access;
        float levelDb = 0.0f;
        read = access && SUCCEEDED(access->GetMasterVolumeLevel(&levelDb)) &&
               SUCCEEDED(access->GetMasterVolumeLevelScalar(&scalar));
    }
    m_slider.SetPosition(read ? CoreAudioPosition(scalar) : 0);
    return read;
}

// ---------------------------------------------------------------- winmm

bool VolumeMixer::InitWinmm() {
    if (m_hMixer) {
        ::mixerClose(m_hMixer);
        m_hMixer = nullptr;
    }
    m_speakers = SpeakersLine{};
    MIXERCAPSW caps{};
    if (::mixerGetDevCapsW(kMixerDevice, &caps, sizeof caps) != MMSYSERR_NOERROR) return false;
    const DWORD callback = m_hNotifyWnd ? CALLBACK_WINDOW : CALLBACK_NULL;
    if (::mixerOpen(&m_hMixer, kMixerDevice, reinterpret_cast<DWORD_PTR>(m_hNotifyWnd), 0,
                    callback | MIXER_OBJECTF_MIXER) != MMSYSERR_NOERROR) {
        m_hMixer = nullptr;
        return false;
    }
    // The capabilities again, through the open handle.
    if (::mixerGetDevCapsW(reinterpret_cast<UINT_PTR>(m_hMixer), &caps, sizeof caps) != MMSYSERR_NOERROR) {
        ShowError(kCapsUnreadable);
        caps.cDestinations = 0;
    }
    for (DWORD d = 0; d < caps.cDestinations; ++d) {
        MIXERLINEW line{};
        line.cbStruct = sizeof line;
        line.dwDestination = d;
        if (::mixerGetLineInfoW(MixerObject(m_hMixer), &line, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_DESTINATION) !=
            MMSYSERR_NOERROR)
            continue;
        if (line.dwComponentType != MIXERLINE_COMPONENTTYPE_DST_SPEAKERS) continue;
        m_speakers.lineId = line.dwLineID;
        ReadSpeakersControls();
    }
    ReadWinmmVolume();
    DisableSliderWithoutControl();
    return true;
}

void VolumeMixer::ReadSpeakersControls() {
    MIXERLINEW line{};
    line.cbStruct = sizeof line;
    line.dwLineID = m_speakers.lineId;
    if (::mixerGetLineInfoW(MixerObject(m_hMixer), &line, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_LINEID) !=
        MMSYSERR_NOERROR) {
        ShowError(kLineInfoFailed);
        return;
    }
    if (line.cControls == 0) {
        ShowError(kNoControls);
        return;
    }
    std::vector<MIXERCONTROLW> controls(line.cControls <= kMaxLineControls ? line.cControls : 0);
    MIXERLINECONTROLSW query{};
    query.cbStruct = sizeof query;
    query.dwLineID = line.dwLineID;
    query.cControls = line.cControls;
    query.cbmxctrl = sizeof(MIXERCONTROLW);
    query.pamxctrl = controls.data();
    if (controls.empty() ||
        ::mixerGetLineControlsW(MixerObject(m_hMixer), &query, MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ALL) !=
            MMSYSERR_NOERROR) {
        ShowError(kLineControlsFailed);
        return;
    }
    for (const MIXERCONTROLW& control : controls) {
        if (control.dwControlType != MIXERCONTROL_CONTROLTYPE_VOLUME) continue;
        m_speakers.volumeMax = WinmmSliderMax(control.Metrics.cSteps);
        m_slider.SetRange(0, static_cast<int>(m_speakers.volumeMax), true);
        m_speakers.volumeControl = control;
        m_speakers.hasVolume = true;
    }
}

DWORD VolumeMixer::VolumeItems() const {
    const MIXERCONTROLW& control = m_speakers.volumeControl;
    if (!(control.fdwControl & MIXERCONTROL_CONTROLF_MULTIPLE)) return 1;
    if (control.cMultipleItems == 0) return 1;
    return control.cMultipleItems <= kMaxControlItems ? control.cMultipleItems : kMaxControlItems;
}

void VolumeMixer::ReadWinmmVolume() {
    if (!m_speakers.hasVolume) return;  // nothing to read from
    const DWORD items = VolumeItems();
    std::vector<DWORD> values(items, 0);
    MIXERCONTROLDETAILS details{};
    details.cbStruct = sizeof details;
    details.dwControlID = m_speakers.volumeControl.dwControlID;
    details.cChannels = 1;
    details.cMultipleItems = (m_speakers.volumeControl.fdwControl & MIXERCONTROL_CONTROLF_MULTIPLE) ? items : 0;
    details.cbDetails = sizeof(DWORD);
    details.paDetails = values.data();
    if (::mixerGetControlDetailsW(MixerObject(m_hMixer), &details,
                                  MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE) != MMSYSERR_NOERROR) {
        ShowError(kGetDetailsFailed);
        return;
    }
    for (DWORD value : values) m_slider.SetPosition(WinmmPosition(value, m_speakers.volumeMax));
}

void VolumeMixer::WriteWinmmVolume() {
    if (!m_hMixer || !HasVolumeControl()) return;  // nothing to write to, or a scale of one step
    const DWORD items = VolumeItems();
    std::vector<DWORD> values(items, WinmmValue(m_slider.GetPosition(), m_speakers.volumeMax));
    MIXERCONTROLDETAILS details{};
    details.cbStruct = sizeof details;
    details.dwControlID = m_speakers.volumeControl.dwControlID;
    details.cChannels = 1;
    details.cMultipleItems = (m_speakers.volumeControl.fdwControl & MIXERCONTROL_CONTROLF_MULTIPLE) ? items : 0;
    details.cbDetails = sizeof(DWORD);
    details.paDetails = values.data();
    if (::mixerSetControlDetails(MixerObject(m_hMixer), &details,
                                 MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE) != MMSYSERR_NOERROR)
        ShowError(kSetDetailsFailed);
}

void VolumeMixer::SetWinmmMute(bool mute) {
    ScopedMixer mixer(kMixerDevice);
    if (!mixer.get()) return;
    MIXERLINEW line{};
    line.cbStruct = sizeof line;
    line.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
    if (::mixerGetLineInfoW(MixerObject(mixer.get()), &line, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE) !=
        MMSYSERR_NOERROR)
        return;
    MIXERCONTROLW control{};
    control.cbStruct = sizeof control;
    MIXERLINECONTROLSW query{};
    query.cbStruct = sizeof query;
    query.dwLineID = line.dwLineID;
    query.dwControlType = MIXERCONTROL_CONTROLTYPE_MUTE;
    query.cControls = 1;
    query.cbmxctrl = sizeof control;
    query.pamxctrl = &control;
    if (::mixerGetLineControlsW(MixerObject(mixer.get()), &query,
                                MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE) != MMSYSERR_NOERROR)
        return;
    MIXERCONTROLDETAILS_BOOLEAN value{mute ? 1L : 0L};
    MIXERCONTROLDETAILS details{};
    details.cbStruct = sizeof details;
    details.dwControlID = control.dwControlID;
    details.cChannels = 1;
    details.cbDetails = sizeof value;
    details.paDetails = &value;
    ::mixerSetControlDetails(MixerObject(mixer.get()), &details, MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE);
}

void VolumeMixer::DisableSliderWithoutControl() {
    if (!HasVolumeControl()) m_slider.EnableWindow(FALSE);
}
