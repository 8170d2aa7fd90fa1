// The volume control: the main window's volume slider (control 1051) drives
// the master volume of the computer's default audio output. VolumeMixer reads
// the system volume into the slider at start-up, unmutes the output, and
// writes the slider's position back whenever the user moves it.
//
// Two platform paths, chosen once by IsWindows7OrLater():
//   Core Audio (Windows 7 and later): the default render endpoint's
//     IAudioEndpointVolume; slider 0..10, scalar = position x 0.1, position =
//     scalar x 10 truncated (allowing for the float's representation error,
//     so that 0.7 reads back as 7; see volume_scale.h). Every operation opens
//     and closes its own access (COM for the thread, enumerator, device,
//     endpoint volume).
//   winmm mixer (earlier versions): mixer device 0, kept open for the life of
//     the object with the notify window as its callback window; the speakers
//     destination's volume control; slider 0..max with max = steps - 1 (at
//     most 32767), value = MulDivRound(position, 65535, max), position =
//     MulDivRound(value, max, 65535). Query failures show a plain message box
//     (no owner, error icon) and leave the slider as it was.
//
// Use from the main window:
//   m_pVolume = std::make_unique<VolumeMixer>(m_hWnd, m_sliderVolume);
//   m_hasMixer = m_pVolume->Init();
//   if (m_hasMixer) m_pVolume->SetMute(false); else m_sliderVolume.EnableWindow(FALSE);
//   ... skin step (sets the volume slider's images and the range 0..10) ...
//   m_pVolume->ReapplySliderRange();
//   on WM_SLIDER_MOVING with wParam IDC_VOLUME_SLIDER, when m_hasMixer: m_pVolume->ApplySlider();
//
// Slider range on the winmm path: the slider keeps the mixer's own range
// 0..max, so that every position maps to a distinct value and the scaling
// matches what the slider shows (position 50 of 0..100 writes 32768; a value
// of 65535 reads back as 100). The main window's skin step sets 0..10 after
// Init; ReapplySliderRange() puts 0..max back and must be called after it. On
// the Core Audio path both give 0..10 and ReapplySliderRange() does nothing.
//
// A winmm speakers line without a volume control that can be scaled (none
// found, its query failed, or a single step, which gives max 0 and would
// divide by zero) leaves nothing for the slider to drive: VolumeMixer then
// disables the slider itself and ApplySlider() writes nothing. Init still
// returns true when the mixer device opened, so SetMute(false) still unmutes.
//
// A Core Audio read that fails leaves the slider at position 0. Core Audio
// failures after Init are silent.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>

class CBitmapSlider;

class VolumeMixer {
public:
    VolumeMixer(HWND notifyWindow, CBitmapSlider& slider);
    ~VolumeMixer();
    VolumeMixer(const VolumeMixer&) = delete;
    VolumeMixer& operator=(const VolumeMixer&) = delete;

    // Reads the system volume into the slider (and sets its range). Returns
    // mixer-ready: Core Audio, every step of the access succeeded; winmm, mixer
    // device 0 opened.
    bool Init();
    // Mutes or unmutes the output (the main window calls it once, with false,
    // when Init succeeded).
    void SetMute(bool mute);
    // Writes the slider's position to the system volume.
    void ApplySlider();
    // Gives the slider the mixer's range and position again after the main
    // window's skin step changed the range (winmm path); no-op on Core Audio.
    void ReapplySliderRange();

    // Windows 7 or later by the platform's version report: major above 6, or
    // 6 with a minor above 0.
    static bool IsWindows7OrLater();
    static bool IsWindows7OrLater(DWORD major, DWORD minor) { return major > 6 || (major == 6 && minor > 0); }

    bool UsesCoreAudio() const { return m_coreAudio; }
    // winmm: a volume control of the speakers line that the slider can drive.
    bool HasVolumeControl() const { return m_speakers.hasVolume && m_speakers.volumeMax > 0; }
    uint32_t VolumeMax() const { return m_speakers.volumeMax; }

private:
    bool InitCoreAudio();
    bool InitWinmm();
    void ReadSpeakersControls();
    void ReadWinmmVolume();
    void WriteWinmmVolume();
    void SetWinmmMute(bool mute);
    DWORD VolumeItems() const;
    void DisableSliderWithoutControl();

    struct SpeakersLine {
        DWORD lineId = 0;
        DWORD volumeMax = 0;
        MIXERCONTROLW volumeControl{};
        bool hasVolume = false;  // volumeControl holds a volume control of the line
    };

    HWND m_hNotifyWnd;
    CBitmapSlider& m_slider;
    const bool m_coreAudio;
    HMIXER m_hMixer = nullptr;
    SpeakersLine m_speakers;
};
