// The sensor tables and the per-tick readouts: block bounds, the entry and
// sample chosen for a position, label and map texts, speed, report values,
// resets, speed digits and the graph's geometry, including unsafe values.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "blocks.h"
#include "sensor_data.h"

using namespace sensors;
using testblocks::GpsBlock;
using testblocks::GSensorBlock;
using testblocks::Rmc;

namespace {

const std::string kSeoul = Rmc("GPRMC,081836.00,A,3723.24750,N,12658.69200,E,32.4,45.0,120624,,,A");
const std::string kSydneyWest = Rmc("GPRMC,081837.00,A,3352.12800,S,15112.55800,W,10.0,0.0,120624,,,A");
const std::string kVoid = Rmc("GPRMC,081838.00,V,,,,,,,120624,,,N");

struct Built {
    SensorData data;
    Built(const std::vector<std::string>& sentences, int64_t durationMs = 60000,
          const std::vector<uint8_t>& gs = std::vector<uint8_t>()) {
        auto gps = GpsBlock(sentences);
        data.Build(gs.empty() ? nullptr : gs.data(), gps.data(), durationMs);
    }
};

std::vector<std::array<float, 3>> Samples(size_t n) {
    std::vector<std::array<float, 3>> s;
    for (size_t i = 0; i < n; ++i) s.push_back({float(i), -float(i), 0.5f});
    return s;
}

}  // namespace

TEST(GpsBlock, SequenceEndsAtLengthZeroOr128OrAfterSeventy) {
    // A third record of length 128 leaves a table of two; the range uses them.
    std::string long128(128, 'x');
    auto gps = GpsBlock({{1, kSeoul}, {2, kSydneyWest}, {3, long128}, {4, kSeoul}});
    GpsEntryTable t;
    EXPECT_EQ(ReadGpsBlock(gps.data(), gps.size(), t), 2u);
    EXPECT_EQ(t[2].nTimeSec, 3u);  // the ending record keeps its time and length, no text
    EXPECT_EQ(t[2].nLength, 128u);
    EXPECT_EQ(t[2].szText[0], 0);
    EXPECT_EQ(t[3].nTimeSec, 0u);
    EXPECT_EQ(t[1].nLength, kSydneyWest.size());
    EXPECT_EQ(std::string(t[1].szText), kSydneyWest);

    SensorData d;
    EXPECT_EQ(d.Build(nullptr, gps.data(), 60000), "2024-06-12 17:18:36 / 2024-06-12 17:18:37");
    EXPECT_EQ(d.GpsCount(), 2u);

    // A 127-byte text is the longest kept, terminated at index 127.
    std::string text127 = kSeoul + std::string(127 - kSeoul.size(), ',');
    gps = GpsBlock({{1, text127}});
    EXPECT_EQ(ReadGpsBlock(gps.data(), gps.size(), t), 1u);
    EXPECT_EQ(std::string(t[0].szText), text127);

    // Lengths of 0 and far beyond the text end the sequence too.
    gps = GpsBlock({{1, kSeoul}, {2, ""}, {3, kSeoul}});
    EXPECT_EQ(ReadGpsBlock(gps.data(), gps.size(), t), 1u);
    testblocks::Put32(gps, 136 + 4, 0xFFFFFFFF);
    EXPECT_EQ(ReadGpsBlock(gps.data(), gps.size(), t), 1u);

    // Seventy records are read; a 71st in the block is not.
    std::vector<std::string> many(70, kSeoul);
    gps = GpsBlock(many);
    testblocks::Put32(gps, 70 * 136, 71);
    testblocks::Put32(gps, 70 * 136 + 4, 10);
    EXPECT_EQ(ReadGpsBlock(gps.data(), gps.size(), t), 70u);
    EXPECT_EQ(t[69].nTimeSec, 70u);

    // A short or missing block reads as zeros.
    EXPECT_EQ(ReadGpsBlock(gps.data(), 136 + 4, t), 1u);  // the second length lies beyond
    EXPECT_EQ(t[1].nLength, 0u);
    EXPECT_EQ(ReadGpsBlock(nullptr, 0, t), 0u);
}

TEST(GpsReadout, ChoosesTheFirstEntryWhoseSecondIsGreater) {
    // Entry times 1, 2, 3, 4: second 3 shows the entry with time 4.
    std::vector<std::string> s;
    for (int i = 0; i < 4; ++i) s.push_back(Rmc("GPRMC,08183" + std::to_string(i) + ",A,1,N,1,E,0,0,120624"));
    Built b(s);
    EXPECT_EQ(b.data.UpdateGps(3000).time, "2024-06-12 17:18:33");
    EXPECT_EQ(b.data.UpdateGps(3999).time, "2024-06-12 17:18:33");
    EXPECT_EQ(b.data.UpdateGps(2999).time, "2024-06-12 17:18:32");
    EXPECT_EQ(b.data.UpdateGps(0).time, "2024-06-12 17:18:30");
    EXPECT_EQ(b.data.UpdateGps(-5000).time, "2024-06-12 17:18:30");  // before the start counts as 0
    // After the last entry's second: nothing changes.
    b.data.UpdateGps(3500);
    GpsUpdate u = b.data.UpdateGps(4000);
    EXPECT_EQ(u.kind, GpsUpdate::kNothing);
    EXPECT_EQ(u.mapPage, 0);
    EXPECT_EQ(b.data.Texts().time, "2024-06-12 17:18:33");

    // The comparison is unsigned over the whole 32-bit range.
    auto gps = GpsBlock({{0xFFFFFFFFu, kSeoul}});
    SensorData d;
    d.Build(nullptr, gps.data(), 0);
    EXPECT_EQ(d.UpdateGps(int64_t(1) << 40).kind, GpsUpdate::kReadout);  // second 4294967
}

TEST(GpsReadout, BothHemispheresInLabelsMapTextsSpeedAndReport) {
    Built b({kSeoul, kSydneyWest});
    GpsUpdate u = b.data.UpdateGps(500);
    EXPECT_EQ(u.kind, GpsUpdate::kReadout);
    EXPECT_EQ(u.mapPage, kMapPage);
    EXPECT_EQ(u.latitude, "3723.24750");
    EXPECT_EQ(u.longitude, "12658.69200");
    EXPECT_TRUE(u.hasMapPosition);
    EXPECT_EQ(u.mapLatitude, "37.387458");
    EXPECT_EQ(u.mapLongitude, "126.978200");
    EXPECT_EQ(u.time, "2024-06-12 17:18:36");
    EXPECT_EQ(u.speedMile, 37);  // 32.4 kn = 60.0048 km/h -> 60 -> 37.28 mph
    EXPECT_TRUE(u.speedChanged);
    EXPECT_EQ(b.data.ReportSpeed(), 37);
    EXPECT_DOUBLE_EQ(b.data.ReportLatitude(), 3723.2475);
    EXPECT_DOUBLE_EQ(b.data.ReportLongitude(), 12658.692);

    u = b.data.UpdateGps(1500);
    EXPECT_EQ(u.latitude, "-3352.12800");
    EXPECT_EQ(u.longitude, "-15112.55800");
    EXPECT_EQ(u.mapLatitude, "-33.868800");
    EXPECT_EQ(u.mapLongitude, "-151.209300");
    EXPECT_EQ(b.data.MapLatitude(), "-33.868800");
    EXPECT_EQ(u.speedMile, 11);  // 10 kn = 18.52 km/h -> 18 -> 11.18 mph
    EXPECT_DOUBLE_EQ(b.data.ReportLatitude(), -3352.128);
    EXPECT_DOUBLE_EQ(b.data.ReportLongitude(), -15112.558);
    const ReadoutTexts& t = b.data.Texts();
    EXPECT_EQ(t.latitude, "-3352.12800");
    EXPECT_EQ(t.longitude, "-15112.55800");

    // Small coordinates are zero-padded to the label widths.
    Built small({Rmc("GPRMC,000000,A,0512.5,N,00007.25,W,0,0,010124")});
    u = small.data.UpdateGps(0);
    EXPECT_EQ(u.latitude, "0512.50000");
    EXPECT_EQ(u.longitude, "-0007.25000");
    EXPECT_EQ(u.mapLatitude, "5.208333");
    EXPECT_EQ(u.mapLongitude, "-0.120833");
}

TEST(GpsReadout, VoidSecondsShowNoFixAndRecordingsWithoutFixOnlyTheNoDataPage) {
    Built b({kSeoul, kVoid, kSeoul});
    b.data.UpdateGps(0);
    GpsUpdate u = b.data.UpdateGps(1000);
    EXPECT_EQ(u.kind, GpsUpdate::kReadout);
    EXPECT_EQ(u.mapPage, kNoGpsDataPage);
    EXPECT_EQ(u.latitude, "0.00000");
    EXPECT_EQ(u.longitude, "0.00000");
    EXPECT_EQ(u.time, "0000-00-00 00:00:00");
    EXPECT_FALSE(u.hasMapPosition);
    EXPECT_EQ(u.speedMile, 0);
    EXPECT_TRUE(u.speedChanged);
    EXPECT_EQ(b.data.ReportSpeed(), 0);
    EXPECT_EQ(b.data.ReportLatitude(), 0);
    EXPECT_EQ(b.data.MapLatitude(), "37.387458");  // the map keeps the last position sent
    u = b.data.UpdateGps(1200);
    EXPECT_FALSE(u.speedChanged);  // still 0
    EXPECT_TRUE(b.data.UpdateGps(2000).speedChanged);

    // A sentence that stops after its status is judged by what was read.
    Built cut({kSeoul, "$GPRMC,081838,A"});
    u = cut.data.UpdateGps(1000);
    EXPECT_EQ(u.mapPage, kMapPage);
    EXPECT_EQ(u.latitude, "0000.00000");
    EXPECT_EQ(u.longitude, "00000.00000");  // the E/W field was not reached
    EXPECT_EQ(u.time, "2000-00-00 17:18:38");

    // No sentence with status 'A' at all: only the no-data page; labels, speed
    // and the report values of the previous recording stay.
    b.data.UpdateGps(0);
    b.data.ResetGps();
    auto gps = GpsBlock({kVoid, kVoid});
    b.data.Build(nullptr, gps.data(), 2000);
    EXPECT_FALSE(b.data.GpsValid());
    u = b.data.UpdateGps(0);
    EXPECT_EQ(u.kind, GpsUpdate::kPageOnly);
    EXPECT_EQ(u.mapPage, kNoGpsDataPage);
    EXPECT_EQ(b.data.Texts().time, kResetTimeText);
    EXPECT_EQ(b.data.Texts().latitude, kResetCoordText);
    EXPECT_EQ(b.data.SpeedMile(), 0);
    EXPECT_EQ(b.data.ReportSpeed(), 37);
}

TEST(GpsReadout, SpeedAfterTheFirstSecondWithoutChangeIsNotRepainted) {
    Built b({kSeoul, kSeoul});
    EXPECT_TRUE(b.data.UpdateGps(0).speedChanged);
    EXPECT_FALSE(b.data.UpdateGps(1000).speedChanged);
    EXPECT_EQ(b.data.SpeedMile(), 37);
}

TEST(TimeRange, FirstAndLastDatedEntries) {
    EXPECT_EQ(Built({kSeoul}).data.Texts().range, kResetRangeText);  // fewer than two
    EXPECT_EQ(Built({kSeoul, kVoid, kSydneyWest}).data.Texts().range, "2024-06-12 17:18:36 / 2024-06-12 17:18:37");
    // Validity is not required; the carry applies as in the time label.
    Built late({Rmc("GPRMC,235950,V,,,,,,,311223,,,N"), Rmc("GPRMC,000010,A,1,N,1,E,0,0,010124,,,A")});
    EXPECT_EQ(late.data.Texts().range, "2024-01-01 08:59:50 / 2024-01-01 09:00:10");
    // Sentences without a date (a receiver that has no time yet) are passed over.
    const std::string noTime = Rmc("GPRMC,,V,,,,,,,,,,N");
    EXPECT_EQ(Built({noTime, kSeoul, noTime, kSydneyWest, noTime}).data.Texts().range,
              "2024-06-12 17:18:36 / 2024-06-12 17:18:37");
    EXPECT_EQ(Built({noTime, kSeoul, noTime}).data.Texts().range, "2024-06-12 17:18:36 / 2024-06-12 17:18:36");
    EXPECT_EQ(Built({noTime, noTime}).data.Texts().range, kResetRangeText);
    EXPECT_EQ(Built({"$GPRMC,1,A", "$GPRMC,2,A"}).data.Texts().range, kResetRangeText);
    // A new build never keeps the previous recording's range.
    Built b({kSeoul, kSydneyWest});
    auto gps = GpsBlock({kSeoul});
    EXPECT_EQ(b.data.Build(nullptr, gps.data(), 1000), kResetRangeText);
}

TEST(GSensorTable, TimesSpreadOverTheDuration) {
    SensorData d;
    auto gs = GSensorBlock(40, Samples(5));
    d.Build(gs.data(), nullptr, 10000);
    EXPECT_EQ(d.GSensorBytes(), 40);
    const GSensorSample* t = d.GSensorTable();
    EXPECT_EQ(t[0].nTimeMs, 3333u);
    EXPECT_EQ(t[1].nTimeMs, 6666u);
    EXPECT_EQ(t[2].nTimeMs, 9999u);
    EXPECT_EQ(t[3].nTimeMs, 0u);
    EXPECT_EQ(t[2].fX, 2.0f);
    EXPECT_EQ(t[2].fY, -2.0f);
    EXPECT_EQ(t[2].fZ, 0.5f);

    gs = GSensorBlock(12, Samples(5));
    d.Build(gs.data(), nullptr, 10000);
    EXPECT_EQ(t[0].nTimeMs, 10000u);
    EXPECT_EQ(t[1].nTimeMs, 0u);

    // 29 bytes: n = 2, yet a third sample starts below the count.
    gs = GSensorBlock(29, Samples(5));
    d.Build(gs.data(), nullptr, 10000);
    EXPECT_EQ(t[2].nTimeMs, 15000u);
    EXPECT_EQ(t[3].nTimeMs, 0u);

    // Below 12 bytes there are no samples even where 4 is below the count.
    for (int32_t count : {0, 4, 5, 11, -1, -12, std::numeric_limits<int32_t>::min()}) {
        gs = GSensorBlock(count, Samples(5));
        d.Build(gs.data(), nullptr, 10000);
        EXPECT_EQ(t[0].nTimeMs, 0u) << count;
        EXPECT_EQ(d.GSensorBytes(), count);
        EXPECT_FALSE(d.UpdateGSensor(0)) << count;
    }

    // A count beyond the block: 1365 samples, the last one ending at the block's end.
    for (int32_t count : {16384, 100000, std::numeric_limits<int32_t>::max()}) {
        gs = GSensorBlock(count, Samples(1365));
        d.Build(gs.data(), nullptr, 1000000000000);
        EXPECT_EQ(t[1364].fX, 1364.0f) << count;
        EXPECT_EQ(t[1365].nTimeMs, 0u);
    }
}

TEST(GSensorTable, ExtremeDurationsWrapWithoutOverflow) {
    SensorData d;
    auto gs = GSensorBlock(16384, Samples(1365));
    d.Build(gs.data(), nullptr, std::numeric_limits<int64_t>::max());
    const int64_t step = std::numeric_limits<int64_t>::max() / 1365;
    EXPECT_EQ(d.GSensorTable()[1364].nTimeMs, uint32_t(uint64_t(step) * 1365));
    d.Build(gs.data(), nullptr, -3000 * 1365);
    EXPECT_EQ(d.GSensorTable()[0].nTimeMs, uint32_t(-3000));
    d.Build(gs.data(), nullptr, std::numeric_limits<int64_t>::min());
    d.Build(gs.data(), nullptr, 100);  // step 0: every time is 0, nothing is plotted or chosen
    EXPECT_EQ(d.GSensorTable()[0].nTimeMs, 0u);
    EXPECT_FALSE(d.UpdateGSensor(0));
}

TEST(GSensorReadout, FirstSampleStrictlyLaterThanThePosition) {
    SensorData d;
    auto gs = GSensorBlock(40, {{0.25f, -1.5f, 1.0f}, {-0.00004f, 2.0f, 0.0f}, {123.45678f, 0, -0.0f}});
    d.Build(gs.data(), nullptr, 9000);  // times 3000, 6000, 9000
    auto s = d.UpdateGSensor(2999);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->cursorMs, 3000u);
    EXPECT_EQ(s->x, "X : +0.2500");
    EXPECT_EQ(s->y, "Y : -1.5000");
    EXPECT_EQ(s->z, "Z : +1.0000");
    s = d.UpdateGSensor(3000);  // equal: the next sample
    ASSERT_TRUE(s);
    EXPECT_EQ(s->cursorMs, 6000u);
    EXPECT_EQ(s->x, "X : -0.0000");
    s = d.UpdateGSensor(8999);
    EXPECT_EQ(s->x, "X : +123.4568");
    EXPECT_EQ(s->z, "Z : -0.0000");
    EXPECT_FALSE(d.UpdateGSensor(9000));  // after the last: labels and cursor keep their values
    EXPECT_EQ(d.CursorMs(), 9000u);
    EXPECT_EQ(d.Texts().x, "X : +123.4568");
    EXPECT_TRUE(d.UpdateGSensor(-1));
    EXPECT_EQ(d.CursorMs(), 3000u);
}

TEST(Resets, ClearTablesFlagsAndLabelsButNotTheReportValues) {
    auto gs = GSensorBlock(Samples(3));
    Built b({kSeoul, kSydneyWest}, 3000, gs);
    b.data.UpdateGps(0);
    b.data.UpdateGSensor(0);
    b.data.ResetGps();
    EXPECT_FALSE(b.data.GpsValid());
    EXPECT_EQ(b.data.SpeedMile(), 0);
    EXPECT_EQ(b.data.GpsCount(), 0u);
    EXPECT_EQ(b.data.Gps()[0].nTimeSec, 0u);
    const ReadoutTexts& t = b.data.Texts();
    EXPECT_EQ(t.range, "0000-00-00 00:00:00 / 0000-00-00 00:00:00");
    EXPECT_EQ(t.time, "0000-00-00 00:00:00");
    EXPECT_EQ(t.latitude, "000000");
    EXPECT_EQ(t.longitude, "000000");
    EXPECT_EQ(t.x, "X : +0.0000");  // the G-sensor side is untouched
    EXPECT_EQ(b.data.ReportSpeed(), 37);
    EXPECT_EQ(b.data.UpdateGps(0).kind, GpsUpdate::kPageOnly);

    b.data.ResetGSensor();
    EXPECT_EQ(b.data.GSensorBytes(), 0);
    EXPECT_EQ(b.data.CursorMs(), 0u);
    EXPECT_EQ(b.data.GSensorTable()[0].nTimeMs, 0u);
    EXPECT_EQ(t.x, "X : 0.0000");
    EXPECT_EQ(t.y, "Y : 0.0000");
    EXPECT_EQ(t.z, "Z : 0.0000");
    EXPECT_FALSE(b.data.UpdateGSensor(0));
    EXPECT_DOUBLE_EQ(b.data.ReportLatitude(), 3723.2475);

    SensorData fresh;  // start-up: both resets
    EXPECT_EQ(fresh.Texts().range, kResetRangeText);
    EXPECT_EQ(fresh.Texts().z, kResetZText);
    EXPECT_EQ(fresh.ReportSpeed(), 0);
}

TEST(SpeedDigits, CellsForMilesPerHour) {
    using C = std::array<int, 3>;
    const int B = kBlankCell;
    EXPECT_EQ(DigitCells(0), (C{B, B, B}));
    EXPECT_EQ(DigitCells(7), (C{B, B, 7}));
    EXPECT_EQ(DigitCells(60), (C{B, 6, 0}));
    EXPECT_EQ(DigitCells(105), (C{1, 0, 5}));
    EXPECT_EQ(DigitCells(1234), (C{0, 3, 4}));  // hundreds 12 shows 0
    EXPECT_EQ(DigitCells(-5), (C{B, B, 0}));
    EXPECT_EQ(DigitCells(-15), (C{B, 0, 0}));
    EXPECT_EQ(DigitCells(std::numeric_limits<int32_t>::min()), (C{0, 0, 0}));
    EXPECT_EQ(DigitCells(std::numeric_limits<int32_t>::max()), (C{0, 4, 7}));

    // From km/h: truncated, times 0.621371, truncated.
    EXPECT_EQ(SpeedMileOf(0), 0);
    EXPECT_EQ(SpeedMileOf(7.9), 4);
    EXPECT_EQ(SpeedMileOf(60), 37);
    EXPECT_EQ(SpeedMileOf(99), 61);
    EXPECT_EQ(DigitCells(SpeedMileOf(0)), (C{B, B, B}));
    EXPECT_EQ(DigitCells(SpeedMileOf(7)), (C{B, B, 4}));
    EXPECT_EQ(DigitCells(SpeedMileOf(60)), (C{B, 3, 7}));
    EXPECT_EQ(DigitCells(SpeedMileOf(99)), (C{B, 6, 1}));
    EXPECT_EQ(DigitCells(SpeedMileOf(180)), (C{1, 1, 1}));
    EXPECT_EQ(SpeedMileOf(-7.9), -4);
    // Out of the integer range: no undefined conversion.
    EXPECT_EQ(SpeedMileOf(std::nan("")), 0);
    EXPECT_EQ(SpeedMileOf(HUGE_VAL), int32_t(2147483647 * 0.621371));
    EXPECT_EQ(SpeedMileOf(-HUGE_VAL), int32_t(-2147483648.0 * 0.621371));
    EXPECT_EQ(SpeedMileOf(1e10), SpeedMileOf(HUGE_VAL));

    // The painter's cells: blank without a valid sentence or in full screen.
    Built b({kSeoul});
    b.data.UpdateGps(0);
    EXPECT_EQ(b.data.SpeedCells(false), (C{B, 3, 7}));
    EXPECT_EQ(b.data.SpeedCells(true), (C{B, B, B}));
    Built v({kVoid});
    EXPECT_EQ(v.data.SpeedCells(false), (C{B, B, B}));

    Rect r = SpeedRect(720);
    EXPECT_EQ(r.left, 37);
    EXPECT_EQ(r.top, 478);
    EXPECT_EQ(r.right, 109);
    EXPECT_EQ(r.bottom, 512);
    Rect c = SpeedCellRect(2, 720);
    EXPECT_EQ(c.left, 85);
    EXPECT_EQ(c.right, 109);
    EXPECT_EQ(c.bottom - c.top, 34);
}

TEST(Graph, SampleAndCursorPositions) {
    EXPECT_EQ(SampleX(30000), 327);
    EXPECT_EQ(SampleX(60000), 625);
    EXPECT_EQ(SampleX(1), 30);
    EXPECT_EQ(SampleX(0xFFFFFFFFu), int(30.0f + 4294967296.0f * (595.0f / 60000.0f)));
    EXPECT_EQ(SampleY(1.0f), 45);
    EXPECT_EQ(SampleY(-1.0f), 63);
    EXPECT_EQ(SampleY(0.0f), 54);
    EXPECT_EQ(SampleY(0.15f), 52);   // 52.65 truncated
    EXPECT_EQ(SampleY(-7.0f), 117);  // below the control: not clipped
    EXPECT_EQ(CursorX(30000), 327);
    EXPECT_EQ(CursorX(90000), 625);
    EXPECT_EQ(CursorX(0xFFFFFFFFu), 625);
    EXPECT_EQ(CursorX(1), 30);
    EXPECT_FALSE(CursorX(0));
}

TEST(Graph, CurvesStartHorizontallyAtThePlotEdgeAndSkipUnusedSlots) {
    GSensorSampleTable t{};
    t[3] = {6000, 1.0f, -1.0f, 0.0f};
    t[5] = {30000, 2.0f, 0.0f, 0.0f};
    Curves c;
    BuildCurves(t.data(), c);
    ASSERT_EQ(c.axis[0].size(), 3u);
    EXPECT_EQ(c.axis[0][0].x, 30);
    EXPECT_EQ(c.axis[0][0].y, 45);
    EXPECT_EQ(c.axis[0][1].x, 89);  // 30 + 59.5
    EXPECT_EQ(c.axis[0][1].y, 45);
    EXPECT_EQ(c.axis[0][2].x, 327);
    EXPECT_EQ(c.axis[0][2].y, 36);
    EXPECT_EQ(c.axis[1][0].y, 63);
    EXPECT_EQ(c.axis[2][2].y, 54);

    GSensorSampleTable empty{};
    BuildCurves(empty.data(), c);
    for (auto& a : c.axis) EXPECT_TRUE(a.empty());
    BuildCurves(nullptr, c);
    for (auto& a : c.axis) EXPECT_TRUE(a.empty());
}

TEST(Graph, UnsafeValuesAreSkippedOrClampedNeverConverted) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(SampleY(nan));
    EXPECT_EQ(SampleY(inf), kCurveMinY);
    EXPECT_EQ(SampleY(-inf), kCurveMaxY);
    EXPECT_EQ(SampleY(1e30f), kCurveMinY);
    EXPECT_EQ(SampleY(-std::numeric_limits<float>::max()), kCurveMaxY);
    EXPECT_EQ(SampleY(3000.0f), 54 - 27000);  // large but representable: exact

    GSensorSampleTable t{};
    t[0] = {1000, nan, inf, 1.0f};
    t[1] = {2000, 1.0f, nan, -1e38f};
    t[2] = {3000, 2.0f, 0.0f, nan};
    Curves c;
    BuildCurves(t.data(), c);
    ASSERT_EQ(c.axis[0].size(), 3u);  // X starts at its first number
    EXPECT_EQ(c.axis[0][0].y, 45);
    EXPECT_EQ(c.axis[0][1].x, SampleX(2000));
    ASSERT_EQ(c.axis[1].size(), 3u);
    EXPECT_EQ(c.axis[1][0].y, kCurveMinY);
    EXPECT_EQ(c.axis[1][2].y, 54);
    ASSERT_EQ(c.axis[2].size(), 3u);
    EXPECT_EQ(c.axis[2][2].y, kCurveMaxY);
    for (auto& a : c.axis)
        for (Point p : a) {
            EXPECT_GE(p.y, kCurveMinY);
            EXPECT_LE(p.y, kCurveMaxY);
        }

    // The labels show such values the same on every platform.
    EXPECT_EQ(AxisText('X', nan), "X : nan");
    EXPECT_EQ(AxisText('Y', inf), "Y : +inf");
    EXPECT_EQ(AxisText('Z', -inf), "Z : -inf");
    EXPECT_EQ(AxisText('X', std::ldexp(1.0f, 100)), "X : +1267650600228229401496703205376.0000");
}

TEST(UnsafeInput, SentencesWithoutTerminatorAndAbsurdNumbers) {
    // The text exactly as long as its length, with no NUL after it (ASan
    // reports any read past it).
    std::string body = Rmc("GPRMC,081836,A,3723.2475,N,12658.692,E,32.4,45.0,120624,,,A");
    std::vector<char> exact(body.begin(), body.end());
    GpsFix f;
    EXPECT_TRUE(ParseRmc(exact.data(), exact.size(), f));
    EXPECT_TRUE(IsRmcValid(exact.data(), exact.size()));
    // A date field at the very end: the pair reads stay inside the copy.
    std::vector<char> shortDate = {'$', 'G', 'P', 'R', 'M', 'C', ',', '1', ',', 'A', ',', '1',
                                   ',', 'N', ',', '1', ',', 'E', ',', '1', ',', '1', ',', '1'};
    EXPECT_TRUE(ParseRmc(shortDate.data(), shortDate.size(), f));
    EXPECT_EQ(f.nDay, 1);
    EXPECT_EQ(f.nMonth, 0);
    // Lengths far beyond the buffer: at most 1023 bytes are looked at.
    std::vector<char> big(5000, ',');
    EXPECT_FALSE(ParseRmc(big.data(), big.size(), f));
    std::string longText = body + std::string(2000, ',');
    EXPECT_TRUE(ParseRmc(longText.data(), size_t(-1) / 2, f));  // stops at the string's NUL
    EXPECT_FALSE(ParseRmc(nullptr, 100, f));
    EXPECT_FALSE(IsRmcValid(nullptr, 100));

    // Absurd numbers in every numeric field.
    Built b({Rmc("GPRMC,999999,A,1e300,N,-1e308,E,1e300,-1e300,999999,,,A"),
             Rmc("GPRMC,000000,A,1e999,N,nan,E,-1e300,inf,010100,,,A")});
    GpsUpdate u = b.data.UpdateGps(0);
    EXPECT_EQ(u.latitude.size(), 301u + 6);
    EXPECT_EQ(u.longitude[0], '-');
    EXPECT_EQ(u.mapLongitude[0], '-');
    EXPECT_EQ(u.speedMile, SpeedMileOf(HUGE_VAL));
    EXPECT_EQ(u.time, "2099-99-99 108:99:99");
    u = b.data.UpdateGps(1000);
    EXPECT_EQ(u.latitude, "0000.00000");
    EXPECT_EQ(u.longitude, "00000.00000");
    EXPECT_EQ(u.speedMile, SpeedMileOf(-HUGE_VAL));
    EXPECT_EQ(b.data.ReportSpeed(), SpeedMileOf(-HUGE_VAL));
}

TEST(UnsafeInput, ShortAndMissingBlocksReadAsZeros) {
    auto gps = GpsBlock({kSeoul, kSydneyWest});
    auto gs = GSensorBlock(Samples(10));
    SensorData d;
    // Only the first 30 bytes of the G-sensor block: samples 2..9 are zeros.
    d.Build(gs.data(), 30, gps.data(), 136 + 4, 10000);
    EXPECT_EQ(d.GSensorBytes(), 120);
    EXPECT_EQ(d.GSensorTable()[1].fX, 1.0f);
    EXPECT_EQ(d.GSensorTable()[2].fX, 0.0f);
    EXPECT_EQ(d.GSensorTable()[9].nTimeMs, 10000u);
    EXPECT_EQ(d.GpsCount(), 1u);  // the second record's length lies beyond the bytes given
    d.Build(nullptr, nullptr, 1000);
    EXPECT_EQ(d.GSensorBytes(), 0);
    EXPECT_FALSE(d.GpsValid());
}
