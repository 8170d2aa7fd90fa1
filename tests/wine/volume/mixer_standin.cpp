// Test tooling, not part of the viewer: a winmm mixer with the entry points
// the viewer's volume control uses, loaded as winmm.dll beside the winmm test
// host (WINEDLLOVERRIDES winmm=n). It checks what it is given as strictly as
// the platform's mixer, records every call, and fails the calls it is told to.
// This module is winmm: its entry points are defined here, not imported.
#define _WINMM_
#include "mixer_standin.h"

#include <cstring>
#include <cwchar>

namespace {

MixerStandinState g_state;
constexpr uint32_t kWaveInLine = 0xFFFF0000;
constexpr uintptr_t kFirstHandle = 0x5100;
constexpr int kMaxHandles = 8;
bool g_open[kMaxHandles];

MixerCallRecord& Record(MixerCall call, uintptr_t handle, DWORD flags, uint32_t control = 0) {
    static MixerCallRecord spare;
    uint32_t i = g_state.count++;
    MixerCallRecord& r = i < MixerStandinState::kCapacity ? g_state.calls[i] : spare;
    r = MixerCallRecord{};
    r.call = call;
    r.handle = handle;
    r.flags = flags;
    r.controlId = control;
    return r;
}

// An open handle (0 when it is not one).
int HandleIndex(uintptr_t h) {
    if (h < kFirstHandle || h >= kFirstHandle + kMaxHandles) return -1;
    return g_open[h - kFirstHandle] ? static_cast<int>(h - kFirstHandle) : -1;
}

// The object a line, controls or details call names: an open handle with
// MIXER_OBJECTF_HMIXER, or device 0 with MIXER_OBJECTF_MIXER.
bool ValidObject(HMIXEROBJ obj, DWORD flags) {
    const DWORD type = flags & 0xF0000000u;
    const uintptr_t h = reinterpret_cast<uintptr_t>(obj);
    if (type == MIXER_OBJECTF_HMIXER) return HandleIndex(h) >= 0;
    if (type == MIXER_OBJECTF_MIXER) return h == 0;
    return false;
}

DWORD SpeakersControlCount() { return g_state.speakersHasControls ? 3 : 0; }

void FillLine(MIXERLINEW* line, bool speakers) {
    const DWORD cb = line->cbStruct;
    std::memset(line, 0, sizeof *line);
    line->cbStruct = cb;
    line->dwDestination = speakers ? 1 : 0;
    line->dwLineID = speakers ? MixerStandinState::kSpeakersLine : kWaveInLine;
    line->fdwLine = MIXERLINE_LINEF_ACTIVE;
    line->dwComponentType = speakers ? MIXERLINE_COMPONENTTYPE_DST_SPEAKERS : MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
    line->cChannels = 2;
    line->cControls = speakers ? SpeakersControlCount() : 1;
    wcscpy(line->szShortName, speakers ? L"Speakers" : L"Recording");
    wcscpy(line->szName, speakers ? L"Speakers" : L"Recording");
}

void FillControl(MIXERCONTROLW* c, uint32_t id) {
    std::memset(c, 0, sizeof *c);
    c->cbStruct = sizeof *c;
    c->dwControlID = id;
    c->Bounds.dwMinimum = 0;
    c->Bounds.dwMaximum = 65535;
    if (id == MixerStandinState::kVolumeId) {
        c->dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
        c->fdwControl = MIXERCONTROL_CONTROLF_UNIFORM;
        if (g_state.volumeItems) {
            c->fdwControl |= MIXERCONTROL_CONTROLF_MULTIPLE;
            c->cMultipleItems = g_state.volumeItems;
        }
        c->Metrics.cSteps = g_state.volumeSteps;
        wcscpy(c->szName, L"Volume");
    } else if (id == MixerStandinState::kMuteId) {
        c->dwControlType = MIXERCONTROL_CONTROLTYPE_MUTE;
        c->fdwControl = MIXERCONTROL_CONTROLF_UNIFORM;
        c->Bounds.dwMaximum = 1;
        wcscpy(c->szName, L"Mute");
    } else {
        c->dwControlType = MIXERCONTROL_CONTROLTYPE_BASS;
        c->Metrics.cSteps = 16;
        wcscpy(c->szName, L"Bass");
    }
    wcscpy(c->szShortName, c->szName);
}

// Checks a details request against the control it names; fills r.
MMRESULT CheckDetails(const MIXERCONTROLDETAILS* d, MixerCallRecord& r) {
    if (!d || d->cbStruct != sizeof *d) return MMSYSERR_INVALPARAM;
    r.controlId = d->dwControlID;
    r.channels = d->cChannels;
    r.items = d->cMultipleItems;
    r.cbDetails = d->cbDetails;
    if (d->dwControlID == MixerStandinState::kVolumeId) {
        if (d->cMultipleItems != g_state.volumeItems) return MMSYSERR_INVALPARAM;
    } else if (d->dwControlID == MixerStandinState::kMuteId) {
        if (d->cMultipleItems != 0) return MMSYSERR_INVALPARAM;
    } else {
        return MIXERR_INVALCONTROL;
    }
    if (d->cChannels != 1 || d->cbDetails != sizeof(DWORD) || !d->paDetails) return MMSYSERR_INVALPARAM;
    return MMSYSERR_NOERROR;
}

uint32_t ItemCount() { return g_state.volumeItems ? g_state.volumeItems : 1; }

}  // namespace

extern "C" {

__declspec(dllexport) MixerStandinState* StandinMixerState() { return &g_state; }

UINT WINAPI mixerGetNumDevs() { return 1; }

MMRESULT WINAPI mixerGetDevCapsW(UINT_PTR id, MIXERCAPSW* caps, UINT size) {
    const bool byHandle = HandleIndex(id) >= 0;
    const MixerCall call = byHandle ? kMixGetDevCapsByHandle : kMixGetDevCapsById;
    Record(call, id, 0);
    if (g_state.Fails(call)) return MMSYSERR_ERROR;
    if (!byHandle && id != 0) return MMSYSERR_BADDEVICEID;
    if (!caps || size < sizeof *caps) return MMSYSERR_INVALPARAM;
    std::memset(caps, 0, sizeof *caps);
    caps->wMid = 0xFF;
    caps->wPid = 1;
    caps->vDriverVersion = 0x0100;
    wcscpy(caps->szPname, L"Stand-in mixer");
    caps->cDestinations = g_state.speakersPresent ? 2 : 1;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI mixerOpen(HMIXER* out, UINT id, DWORD_PTR callback, DWORD_PTR, DWORD flags) {
    MixerCallRecord& r = Record(kMixOpen, id, flags);
    r.callback = callback;
    if (g_state.Fails(kMixOpen)) return MMSYSERR_ERROR;
    if (!out) return MMSYSERR_INVALPARAM;
    if (id != 0 || (flags & 0xF0000000u) != MIXER_OBJECTF_MIXER) return MMSYSERR_BADDEVICEID;
    const DWORD kind = flags & CALLBACK_TYPEMASK;
    if (kind == CALLBACK_WINDOW && callback && !::IsWindow(reinterpret_cast<HWND>(callback)))
        return MMSYSERR_INVALPARAM;
    if (kind != CALLBACK_WINDOW && kind != CALLBACK_NULL) return MMSYSERR_INVALFLAG;
    for (int i = 0; i < kMaxHandles; ++i) {
        if (g_open[i]) continue;
        g_open[i] = true;
        ++g_state.openHandles;
        *out = reinterpret_cast<HMIXER>(kFirstHandle + i);
        return MMSYSERR_NOERROR;
    }
    return MMSYSERR_ALLOCATED;
}

MMRESULT WINAPI mixerClose(HMIXER h) {
    Record(kMixClose, reinterpret_cast<uintptr_t>(h), 0);
    int i = HandleIndex(reinterpret_cast<uintptr_t>(h));
    if (i < 0) return MMSYSERR_INVALHANDLE;
    g_open[i] = false;
    --g_state.openHandles;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI mixerGetLineInfoW(HMIXEROBJ obj, MIXERLINEW* line, DWORD flags) {
    const DWORD query = flags & MIXER_GETLINEINFOF_QUERYMASK;
    const MixerCall call = query == MIXER_GETLINEINFOF_DESTINATION     ? kMixLineInfoByDestination
                           : query == MIXER_GETLINEINFOF_LINEID        ? kMixLineInfoById
                           : query == MIXER_GETLINEINFOF_COMPONENTTYPE ? kMixLineInfoByType
                                                                       : kMixOther;
    MixerCallRecord& r = Record(call, reinterpret_cast<uintptr_t>(obj), flags);
    if (!line || line->cbStruct != sizeof *line) return MMSYSERR_INVALPARAM;
    r.controlId = call == kMixLineInfoByDestination ? line->dwDestination
                  : call == kMixLineInfoById        ? line->dwLineID
                                                    : line->dwComponentType;
    if (g_state.Fails(call)) return MMSYSERR_ERROR;
    if (!ValidObject(obj, flags)) return MMSYSERR_INVALHANDLE;
    switch (call) {
        case kMixLineInfoByDestination:
            if (line->dwDestination == 0) return FillLine(line, false), MMSYSERR_NOERROR;
            if (line->dwDestination == 1 && g_state.speakersPresent) return FillLine(line, true), MMSYSERR_NOERROR;
            return MMSYSERR_INVALPARAM;
        case kMixLineInfoById:
            if (line->dwLineID == kWaveInLine) return FillLine(line, false), MMSYSERR_NOERROR;
            if (line->dwLineID == MixerStandinState::kSpeakersLine && g_state.speakersPresent)
                return FillLine(line, true), MMSYSERR_NOERROR;
            return MIXERR_INVALLINE;
        case kMixLineInfoByType:
            if (line->dwComponentType == MIXERLINE_COMPONENTTYPE_DST_WAVEIN)
                return FillLine(line, false), MMSYSERR_NOERROR;
            if (line->dwComponentType == MIXERLINE_COMPONENTTYPE_DST_SPEAKERS && g_state.speakersPresent)
                return FillLine(line, true), MMSYSERR_NOERROR;
            return MIXERR_INVALLINE;
        default: return MMSYSERR_NOTSUPPORTED;
    }
}

MMRESULT WINAPI mixerGetLineControlsW(HMIXEROBJ obj, MIXERLINECONTROLSW* q, DWORD flags) {
    const DWORD query = flags & MIXER_GETLINECONTROLSF_QUERYMASK;
    const MixerCall call = query == MIXER_GETLINECONTROLSF_ALL         ? kMixLineControlsAll
                           : query == MIXER_GETLINECONTROLSF_ONEBYTYPE ? kMixLineControlsByType
                                                                       : kMixOther;
    MixerCallRecord& r = Record(call, reinterpret_cast<uintptr_t>(obj), flags);
    if (!q || q->cbStruct != sizeof *q || q->cbmxctrl != sizeof(MIXERCONTROLW) || !q->pamxctrl)
        return MMSYSERR_INVALPARAM;
    r.controlId = q->dwLineID;
    r.items = q->cControls;
    if (g_state.Fails(call)) return MMSYSERR_ERROR;
    if (!ValidObject(obj, flags)) return MMSYSERR_INVALHANDLE;
    if (q->dwLineID != MixerStandinState::kSpeakersLine || !g_state.speakersPresent) return MIXERR_INVALLINE;
    if (call == kMixLineControlsAll) {
        if (q->cControls != SpeakersControlCount() || q->cControls == 0) return MMSYSERR_INVALPARAM;
        FillControl(&q->pamxctrl[0], MixerStandinState::kBassId);
        FillControl(&q->pamxctrl[1], MixerStandinState::kVolumeId);
        FillControl(&q->pamxctrl[2], MixerStandinState::kMuteId);
        return MMSYSERR_NOERROR;
    }
    if (call == kMixLineControlsByType) {
        r.values[0] = q->dwControlType;
        if (q->cControls != 1) return MMSYSERR_INVALPARAM;
        if (!g_state.speakersHasControls) return MIXERR_INVALCONTROL;
        if (q->dwControlType == MIXERCONTROL_CONTROLTYPE_MUTE)
            return FillControl(q->pamxctrl, MixerStandinState::kMuteId), MMSYSERR_NOERROR;
        if (q->dwControlType == MIXERCONTROL_CONTROLTYPE_VOLUME)
            return FillControl(q->pamxctrl, MixerStandinState::kVolumeId), MMSYSERR_NOERROR;
        return MIXERR_INVALCONTROL;
    }
    return MMSYSERR_NOTSUPPORTED;
}

MMRESULT WINAPI mixerGetControlDetailsW(HMIXEROBJ obj, MIXERCONTROLDETAILS* d, DWORD flags) {
    MixerCallRecord& r = Record(kMixGetDetails, reinterpret_cast<uintptr_t>(obj), flags);
    if (g_state.Fails(kMixGetDetails)) return MMSYSERR_ERROR;
    if (!ValidObject(obj, flags)) return MMSYSERR_INVALHANDLE;
    if ((flags & MIXER_GETCONTROLDETAILSF_QUERYMASK) != MIXER_GETCONTROLDETAILSF_VALUE) return MMSYSERR_NOTSUPPORTED;
    MMRESULT res = CheckDetails(d, r);
    if (res != MMSYSERR_NOERROR) return res;
    DWORD* out = static_cast<DWORD*>(d->paDetails);
    if (d->dwControlID == MixerStandinState::kMuteId) {
        out[0] = static_cast<DWORD>(g_state.mute);
        r.values[0] = out[0];
        return MMSYSERR_NOERROR;
    }
    for (uint32_t i = 0; i < ItemCount(); ++i) r.values[i] = out[i] = g_state.volume[i];
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI mixerSetControlDetails(HMIXEROBJ obj, MIXERCONTROLDETAILS* d, DWORD flags) {
    MixerCallRecord& r = Record(kMixSetDetails, reinterpret_cast<uintptr_t>(obj), flags);
    if (d && d->cbStruct == sizeof *d && d->paDetails && d->cbDetails == sizeof(DWORD)) {
        // As many values as the caller says it gave.
        const DWORD* in = static_cast<const DWORD*>(d->paDetails);
        const uint32_t n = d->cMultipleItems ? d->cMultipleItems : 1;
        for (uint32_t i = 0; i < n && i < MixerStandinState::kMaxItems; ++i) r.values[i] = in[i];
    }
    if (g_state.Fails(kMixSetDetails)) return MMSYSERR_ERROR;
    if (!ValidObject(obj, flags)) return MMSYSERR_INVALHANDLE;
    if ((flags & MIXER_SETCONTROLDETAILSF_QUERYMASK) != MIXER_SETCONTROLDETAILSF_VALUE) return MMSYSERR_NOTSUPPORTED;
    MMRESULT res = CheckDetails(d, r);
    if (res != MMSYSERR_NOERROR) return res;
    const DWORD* in = static_cast<const DWORD*>(d->paDetails);
    if (d->dwControlID == MixerStandinState::kMuteId) {
        g_state.mute = static_cast<int32_t>(in[0]);
        return MMSYSERR_NOERROR;
    }
    for (uint32_t i = 0; i < ItemCount(); ++i) g_state.volume[i] = in[i];
    return MMSYSERR_NOERROR;
}

}  // extern "C"
