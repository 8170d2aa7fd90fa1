// Scales between the volume slider and the two system mixers the viewer
// drives: the Core Audio endpoint volume (a scalar 0.0 .. 1.0 on a slider of
// 0..10) and the winmm mixer's volume control (0 .. 65535 on a slider of
// 0..max, max taken from the control's step count). Plain C++, no platform
// headers, so that the arithmetic is tested natively.
#pragma once
#include <cstdint>

namespace playback {

// Slider range of the Core Audio path.
constexpr int kCoreAudioSliderMax = 10;
// Full scale of a winmm volume value.
constexpr uint32_t kWinmmFullScale = 65535;
// Largest slider maximum the winmm path uses.
constexpr uint32_t kWinmmMaxLimit = 32767;

// (a * b + c / 2) / c in unsigned 64-bit arithmetic, the result taken as 32
// bits. A divisor of 0 gives 0 instead of dividing by zero.
uint32_t MulDivRound(uint32_t a, uint32_t b, uint32_t c);

// Core Audio: slider position for a master volume scalar: scalar x 10,
// truncated, after allowing 1/10000 of a step for the float's representation
// error (so that the 0.7 written for position 7, stored as 0.69999999, reads
// back as 7, while 0.57 still gives 5). Values outside 0.0 .. 1.0, and NaN,
// are held to the slider's ends.
int CoreAudioPosition(float scalar);
// Core Audio: master volume scalar for a slider position (position x 0.1; the
// position is held to 0..10 first, so the scalar stays within 0.0 .. 1.0).
float CoreAudioScalar(int position);

// winmm: slider maximum for a volume control's step count: steps - 1, or
// 32767 when that is above 32767 as an unsigned number (0 steps gives 32767).
// A control of a single step gives 0: it cannot be scaled (see HasScale).
uint32_t WinmmSliderMax(uint32_t steps);
// True when a slider of 0..max can drive the control (max above 0).
inline bool WinmmHasScale(uint32_t max) { return max > 0; }
// winmm: value written for a slider position: MulDivRound(position, 65535,
// max), the position held to 0..max first; 0 when max is 0.
uint32_t WinmmValue(int position, uint32_t max);
// winmm: slider position for a value read: MulDivRound(value, max, 65535).
int WinmmPosition(uint32_t value, uint32_t max);

}  // namespace playback
