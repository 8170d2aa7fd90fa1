// Rules of the playback controller that need no window: the type letter of a
// recording name, when the next recording is prefetched, and the duration a
// recording shows on its slider and label. Plain C++, used by the controller
// and tested natively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace playback {

// Recording kinds as the device library numbers them.
enum RecordKind : int { kKindRejected = -1, kKindEvent = 0, kKindNormal = 1, kKindPark = 2, kKindPhoto = 3 };

// Position of the type letter in a recording name (ANSI bytes).
constexpr size_t kTypeLetterIndex = 16;

// Kind of a recording from its ANSI name, by the letter at index 16:
// 'E' 'e' Event, 'N' 'R' 'I' Normal, 'P' 'M' Park, 'J' 'j' Photo. Any other
// letter, or a name too short to have one, gives kKindRejected.
int RecordKindOfName(std::string_view ansiName);

// Prefetch states (the controller's m_nNextFileState).
enum PrefetchState : int {
    kPrefetchIdle = 0,
    kPrefetchRequested = 1,
    kPrefetchRunning = 2,
    kPrefetchReady = 3,
    kPrefetchFailed = 4,
    kPrefetchAborting = 5,
};

// The playback tick's prefetch rule: idle, more than 4 whole seconds played of
// a recording longer than 10 whole seconds (the graph's own duration). So an
// 11 s recording triggers at the first tick at or after 5 s, a 10 s one never.
bool ShouldTrigger(int state, int64_t positionMs, int64_t graphDurationMs);

// Duration the slider and the duration label show: the graph's duration, and
// for a recording of exactly two video streams that duration times 0.5135,
// truncated toward zero (the source filter reports a two-channel recording as
// about twice its playing time). Computed in decimal, so 120000 gives 61620;
// the same product in binary floating point gives 61619.
int64_t DisplayDurationMs(int64_t graphDurationMs, int videoStreamCount);

}  // namespace playback
