// The slider <-> mixer scales of both volume paths and the rounding division
// under them, including the step counts that would otherwise divide by zero
// or overflow.
#include "volume_scale.h"
#include <gtest/gtest.h>
#include <cmath>
#include <limits>

using namespace playback;

TEST(MulDivRound, RoundsHalfUpInSixtyFourBits) {
    EXPECT_EQ(32768u, MulDivRound(50, 65535, 100));  // 3276750 + 50 = 3276800
    EXPECT_EQ(100u, MulDivRound(65535, 100, 65535));
    EXPECT_EQ(1u, MulDivRound(1, 1, 2));  // (1 + 1) / 2: half rounds up
    EXPECT_EQ(0u, MulDivRound(1, 1, 3));  // (1 + 1) / 3
    EXPECT_EQ(2u, MulDivRound(5, 1, 3));  // (5 + 1) / 3
    // The product does not overflow 32 bits before the division.
    EXPECT_EQ(0xFFFFFFFEu, MulDivRound(0xFFFFFFFFu, 0xFFFFFFFEu, 0xFFFFFFFFu));
    EXPECT_EQ(65535u, MulDivRound(32767, 65535, 32767));
    // A quotient above 32 bits keeps its low 32 bits.
    EXPECT_EQ(0xFFFFFFFEu, MulDivRound(0xFFFFFFFFu, 4, 2));  // 0x1FFFFFFFE
    // No division by zero.
    EXPECT_EQ(0u, MulDivRound(50, 65535, 0));
}

TEST(CoreAudioScale, TenStepsOfATenth) {
    EXPECT_EQ(5, CoreAudioPosition(0.57f));  // truncated, not rounded
    EXPECT_EQ(10, CoreAudioPosition(1.0f));
    EXPECT_EQ(0, CoreAudioPosition(0.0f));
    EXPECT_EQ(9, CoreAudioPosition(0.99f));
    EXPECT_EQ(0, CoreAudioPosition(0.09f));
    // Whatever an endpoint reports, the position stays a slider position.
    EXPECT_EQ(0, CoreAudioPosition(-0.5f));
    EXPECT_EQ(10, CoreAudioPosition(3.0f));
    EXPECT_EQ(0, CoreAudioPosition(std::numeric_limits<float>::quiet_NaN()));
    EXPECT_EQ(10, CoreAudioPosition(std::numeric_limits<float>::infinity()));

    EXPECT_FLOAT_EQ(0.7f, CoreAudioScalar(7));
    EXPECT_EQ(0.0f, CoreAudioScalar(0));
    EXPECT_EQ(1.0f, CoreAudioScalar(10));
    EXPECT_FLOAT_EQ(0.1f, CoreAudioScalar(1));
    // Outside the slider's range the scalar stays within what the endpoint accepts.
    EXPECT_EQ(0.0f, CoreAudioScalar(-3));
    EXPECT_EQ(1.0f, CoreAudioScalar(100));
    // Every position comes back as itself, although 0.7f and 0.9f are stored
    // a little below 0.7 and 0.9.
    for (int p = 0; p <= 10; ++p) EXPECT_EQ(p, CoreAudioPosition(CoreAudioScalar(p))) << p;
    EXPECT_EQ(7, CoreAudioPosition(0.7f));
    EXPECT_EQ(9, CoreAudioPosition(0.9f));
    EXPECT_EQ(6, CoreAudioPosition(0.6999f));  // truncation still holds beyond the representation error
    EXPECT_EQ(8, CoreAudioPosition(0.8999f));
}

TEST(WinmmScale, MaximumFromTheStepCount) {
    EXPECT_EQ(100u, WinmmSliderMax(101));
    EXPECT_EQ(191u, WinmmSliderMax(192));
    EXPECT_EQ(32767u, WinmmSliderMax(32768));
    EXPECT_EQ(32767u, WinmmSliderMax(32769));
    EXPECT_EQ(32767u, WinmmSliderMax(70000));
    EXPECT_EQ(32767u, WinmmSliderMax(0));  // 0 - 1 is above 32767 as an unsigned number
    EXPECT_EQ(0u, WinmmSliderMax(1));      // a single step: nothing to scale
    EXPECT_FALSE(WinmmHasScale(WinmmSliderMax(1)));
    EXPECT_TRUE(WinmmHasScale(WinmmSliderMax(2)));
}

TEST(WinmmScale, HundredOneSteps) {
    const uint32_t max = WinmmSliderMax(101);
    EXPECT_EQ(32768u, WinmmValue(50, max));
    EXPECT_EQ(0u, WinmmValue(0, max));
    EXPECT_EQ(65535u, WinmmValue(100, max));
    EXPECT_EQ(655u, WinmmValue(1, max));  // 65535 + 50 = 65585 / 100
    EXPECT_EQ(100, WinmmPosition(65535, max));
    EXPECT_EQ(50, WinmmPosition(32768, max));
    EXPECT_EQ(0, WinmmPosition(0, max));
    EXPECT_EQ(1, WinmmPosition(328, max));  // 32800 + 32767 = 65567 / 65535
    EXPECT_EQ(0, WinmmPosition(327, max));
    // Writing then reading gives every position back.
    for (int p = 0; p <= 100; ++p) EXPECT_EQ(p, WinmmPosition(WinmmValue(p, max), max)) << p;
}

TEST(WinmmScale, EdgesOfTheRange) {
    // Largest maximum: both ends map exactly.
    EXPECT_EQ(65535u, WinmmValue(32767, 32767));
    EXPECT_EQ(32767, WinmmPosition(65535, 32767));
    EXPECT_EQ(32769u, WinmmValue(16384, 32767));  // 1073741823 / 32767
    // A single-step control (max 0) never divides by zero and writes nothing audible.
    EXPECT_EQ(0u, WinmmValue(0, 0));
    EXPECT_EQ(0u, WinmmValue(5, 0));
    EXPECT_EQ(0, WinmmPosition(65535, 0));
    // Positions outside 0..max (a slider whose range was changed elsewhere)
    // are held to the range rather than writing past full scale.
    EXPECT_EQ(65535u, WinmmValue(10, 5));
    EXPECT_EQ(0u, WinmmValue(-1, 100));
    // A value above full scale from a misbehaving mixer stays a plain number.
    EXPECT_EQ(100, WinmmPosition(65535, 100));
    EXPECT_EQ(6553700, WinmmPosition(0xFFFFFFFFu, 100));  // the slider then holds it to its maximum
}
