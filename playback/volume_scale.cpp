#include "volume_scale.h"

namespace playback {

namespace {
constexpr double kCoreAudioTolerance = 1e-4;  // of a slider step
}  // namespace

uint32_t MulDivRound(uint32_t a, uint32_t b, uint32_t c) {
    if (c == 0) return 0;
    const uint64_t product = static_cast<uint64_t>(a) * b;
    return static_cast<uint32_t>((product + c / 2) / c);
}

int CoreAudioPosition(float scalar) {
    // The tolerance covers the float's representation error: 0.7 is stored
    // as 0.69999999 and must read back as the 7 that wrote it.
    const double position = scalar * 10.0 + kCoreAudioTolerance;
    if (!(position > 0.0)) return 0;  // also NaN
    if (position >= kCoreAudioSliderMax) return kCoreAudioSliderMax;
    return static_cast<int>(position);
}

float CoreAudioScalar(int position) {
    if (position < 0) position = 0;
    if (position > kCoreAudioSliderMax) position = kCoreAudioSliderMax;
    return static_cast<float>(position * 0.1);
}

uint32_t WinmmSliderMax(uint32_t steps) {
    const uint32_t max = steps - 1;  // 0 steps wraps to 0xFFFFFFFF
    return max > kWinmmMaxLimit ? kWinmmMaxLimit : max;
}

uint32_t WinmmValue(int position, uint32_t max) {
    if (!WinmmHasScale(max)) return 0;
    uint32_t p = position < 0 ? 0 : static_cast<uint32_t>(position);
    if (p > max) p = max;
    return MulDivRound(p, kWinmmFullScale, max);
}

int WinmmPosition(uint32_t value, uint32_t max) { return static_cast<int>(MulDivRound(value, max, kWinmmFullScale)); }

}  // namespace playback
