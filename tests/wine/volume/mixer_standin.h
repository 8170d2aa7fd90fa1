// The stand-in winmm mixer (winmm.dll built from mixer_standin.cpp, loaded
// beside the winmm test host in place of the platform's): one device with a
// wave-in and a speakers destination, the speakers line with a volume and a
// mute control. The test host reaches its state through StandinMixerState().
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>

enum MixerCall : uint32_t {
    kMixGetDevCapsById = 1,
    kMixGetDevCapsByHandle,
    kMixOpen,
    kMixClose,
    kMixLineInfoByDestination,
    kMixLineInfoById,
    kMixLineInfoByType,
    kMixLineControlsAll,
    kMixLineControlsByType,
    kMixGetDetails,
    kMixSetDetails,
    kMixOther,
};

struct MixerCallRecord {
    uint32_t call;
    uintptr_t handle;    // the mixer handle (or device id) the call named
    uint32_t flags;      // the call's flags
    uint32_t controlId;  // details and controls calls: the control; line calls: the line or destination
    uint32_t channels;   // details calls: cChannels
    uint32_t items;      // details calls: cMultipleItems
    uint32_t cbDetails;  // details calls: cbDetails
    uint32_t values[4];  // details calls: the first values written or returned
    uintptr_t callback;  // open: dwCallback
};

struct MixerStandinState {
    static constexpr uint32_t kVolumeId = 10;
    static constexpr uint32_t kMuteId = 11;
    static constexpr uint32_t kBassId = 12;  // a control of another type, listed first
    static constexpr uint32_t kSpeakersLine = 0xFFFF0001;
    static constexpr uint32_t kMaxItems = 4;
    static constexpr uint32_t kCapacity = 128;

    // What the mixer offers.
    uint32_t volumeSteps = 101;
    uint32_t volumeItems = 0;  // above 0: the control has the multiple-items flag and this many items
    bool speakersPresent = true;
    bool speakersHasControls = true;
    // Calls that fail (with MMSYSERR_ERROR).
    uint32_t failCalls = 0;  // bits: 1 << MixerCall
    // Values.
    uint32_t volume[kMaxItems] = {65535, 65535, 65535, 65535};
    int32_t mute = 1;
    // What it was told.
    int32_t openHandles = 0;
    uint32_t count = 0;
    MixerCallRecord calls[kCapacity];

    bool Fails(MixerCall c) const { return (failCalls >> c) & 1u; }
    void Fail(MixerCall c) { failCalls |= 1u << c; }
};

using StandinMixerStateFn = MixerStandinState* (*)();
