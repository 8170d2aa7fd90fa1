// What the stand-in endpoint volume (endpoint_standin.dll) was told, kept in a
// named shared section that the test creates before the viewer's code runs and
// reads afterwards. The stand-in is loaded and unloaded with each COM access,
// so it keeps nothing in its own memory. Also what it serves and where it fails.
#pragma once
#include <cstdint>

#define ENDPOINT_LOG_NAME L"Local\\TessaroVolumeEndpointStandin"

enum EndpointCall : uint32_t {
    kCallNone = 0,
    kCallCreateEnumerator,    // class factory CreateInstance
    kCallGetDefaultEndpoint,  // arg1 data flow, arg2 role
    kCallActivate,            // arg1 1 when the interface is IAudioEndpointVolume, arg2 the context
    kCallGetLevel,            // GetMasterVolumeLevel
    kCallGetScalar,           // GetMasterVolumeLevelScalar
    kCallSetScalar,           // SetMasterVolumeLevelScalar, value the level
    kCallSetLevel,            // SetMasterVolumeLevel, value in dB
    kCallSetMute,             // arg1 the mute flag
    kCallGetMute,
    kCallOther,              // any other method, arg1 its number
    kCallReleaseEnumerator,  // last reference of an object gone
    kCallReleaseDevice,
    kCallReleaseVolume,
};

struct EndpointCallRecord {
    uint32_t call;
    float value;
    int32_t arg1;
    int32_t arg2;
};

struct EndpointLog {
    static constexpr uint32_t kMagic = 0x564F4C31;  // "VOL1"
    static constexpr uint32_t kCapacity = 256;
    uint32_t magic;
    float level;          // served by GetMasterVolumeLevelScalar, changed by SetMasterVolumeLevelScalar
    uint32_t failCall;    // this call returns failResult (kCallNone: nothing fails)
    int32_t failResult;   // an HRESULT
    int32_t liveObjects;  // enumerators, devices and endpoint volumes not yet released
    uint32_t count;       // records written (beyond kCapacity only counted)
    EndpointCallRecord calls[kCapacity];
};
