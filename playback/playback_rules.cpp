#include "playback_rules.h"

namespace playback {

int RecordKindOfName(std::string_view ansiName) {
    if (ansiName.size() <= kTypeLetterIndex) return kKindRejected;
    switch (ansiName[kTypeLetterIndex]) {
        case 'E':
        case 'e': return kKindEvent;
        case 'N':
        case 'R':
        case 'I': return kKindNormal;
        case 'P':
        case 'M': return kKindPark;
        case 'J':
        case 'j': return kKindPhoto;
        default: return kKindRejected;
    }
}

bool ShouldTrigger(int state, int64_t positionMs, int64_t graphDurationMs) {
    return state == kPrefetchIdle && positionMs / 1000 > 4 && graphDurationMs / 1000 > 10;
}

int64_t DisplayDurationMs(int64_t graphDurationMs, int videoStreamCount) {
    if (videoStreamCount != 2) return graphDurationMs;
    // 0.5135 as 5135 / 10000; integer division truncates toward zero.
    return graphDurationMs * 5135 / 10000;
}

}  // namespace playback
