// The playback controller's rules: type letters, the prefetch trigger and the
// duration shown for one and two channels.
#include <gtest/gtest.h>

#include <string>

#include "playback_rules.h"

using namespace playback;

namespace {
std::string NameWith(char letter) { return std::string("R_240612_071314_") + letter + "0.avi"; }
}  // namespace

TEST(RecordKind, TheControllersLetterTable) {
    const std::pair<char, int> accepted[] = {{'E', kKindEvent},  {'e', kKindEvent},  {'N', kKindNormal},
                                             {'R', kKindNormal}, {'I', kKindNormal}, {'P', kKindPark},
                                             {'M', kKindPark},   {'J', kKindPhoto},  {'j', kKindPhoto}};
    for (const auto& [letter, kind] : accepted) EXPECT_EQ(kind, RecordKindOfName(NameWith(letter))) << letter;
    // Letters the catalogue lists (lower-case Normal and Park, 'U' Photo) that this table does not take.
    const std::string rejected("nripmUF0?\xC0\0", 11);
    for (char letter : rejected) EXPECT_EQ(kKindRejected, RecordKindOfName(NameWith(letter))) << int(letter);
}

TEST(RecordKind, NamesWithoutALetterAtSixteenAreRejected) {
    EXPECT_EQ(kKindRejected, RecordKindOfName(""));
    EXPECT_EQ(kKindRejected, RecordKindOfName("R_240612_071314_"));  // 16 bytes
    EXPECT_EQ(kKindNormal, RecordKindOfName("R_240612_071314_N"));   // 17 bytes: just enough
}

TEST(PrefetchTrigger, FiveSecondsIntoARecordingOfElevenOrMore) {
    // 11 s triggers at the first tick at or after 5 s.
    EXPECT_FALSE(ShouldTrigger(kPrefetchIdle, 4700, 11000));
    EXPECT_FALSE(ShouldTrigger(kPrefetchIdle, 4999, 11000));
    EXPECT_TRUE(ShouldTrigger(kPrefetchIdle, 5000, 11000));
    EXPECT_TRUE(ShouldTrigger(kPrefetchIdle, 5299, 11000));
    // 10 s (and anything under 11 whole seconds) never triggers.
    for (int64_t pos = 0; pos <= 10000; pos += 300) EXPECT_FALSE(ShouldTrigger(kPrefetchIdle, pos, 10999)) << pos;
    EXPECT_FALSE(ShouldTrigger(kPrefetchIdle, 9000, 10000));
    // Only from idle.
    for (int state : {kPrefetchRequested, kPrefetchRunning, kPrefetchReady, kPrefetchFailed, kPrefetchAborting})
        EXPECT_FALSE(ShouldTrigger(state, 30000, 60000)) << state;
    // A position that is not there yet (negative) never triggers.
    EXPECT_FALSE(ShouldTrigger(kPrefetchIdle, -1, 60000));
}

TEST(DisplayDuration, TwoChannelsShowPointFiveOneThreeFiveOfTheGraphsDuration) {
    EXPECT_EQ(61620, DisplayDurationMs(120000, 2));  // binary floating point would give 61619
    EXPECT_EQ(30810, DisplayDurationMs(60000, 2));
    EXPECT_EQ(0, DisplayDurationMs(1, 2));  // truncated toward zero
    EXPECT_EQ(5134, DisplayDurationMs(9999, 2));
    EXPECT_EQ(0, DisplayDurationMs(0, 2));
    // Any other stream count shows the graph's duration.
    for (int streams : {0, 1, 3, 4}) EXPECT_EQ(120000, DisplayDurationMs(120000, streams)) << streams;
    // Long recordings do not overflow.
    EXPECT_EQ(int64_t(5135) * 3600000 * 24 / 10000, DisplayDurationMs(int64_t(3600000) * 24, 2));
}
