// The tables built from real card data: a small card authored from a plan,
// the blocks made by the card store exactly as the device library makes them
// for a play file, and the readouts checked second by second against what the
// plan implies (route, void stretch, speed, camera clock, G-sensor spread and
// the impact spike).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "card.h"
#include "cardgen.h"
#include "sensor_data.h"

namespace fs = std::filesystem;
using namespace sensors;

namespace {

// Local (camera) clock 08:59:50 on 1 Jan 2024 is 23:59:50 UTC on 31 Dec 2023:
// the sentences cross the UTC midnight and year end while the camera's clock
// does not. Sydney and Sao Paulo lie south, Sao Paulo west; the 100-second
// recording has more sentences than the block's 70 records.
const char kPlan[] = R"(card serial=SN0001 firmware=FW_1 video=64x64 fps=1 quality=30 audio=8000 photo=64x64
rec event  E 240101 085950 24 1 route=seoul void=5-8 impact=14
rec normal N 240614 101500 12 1 route=saopaulo
rec normal N 240614 103000 100 1 route=sydney void=40-45
)";

struct TempDir {
    fs::path path;
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "sensorcard-XXXXXX").string();
        path = mkdtemp(tmpl.data());
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

std::string LocalText(const cardgen::DateTime& t) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return buf;
}

class CardData : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        std::string error;
        ASSERT_TRUE(cardgen::parsePlan(kPlan, plan_, error)) << error;
        ASSERT_TRUE(cardgen::writeCard(plan_, (dir_->path / "card").string(), 2, error)) << error;
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }

    // Opens recording i as the viewer does: both resets, the library's blocks, the build.
    void Open(size_t i) {
        rec_ = plan_.recordings[i];
        krv::Card card;
        ASSERT_TRUE(card.load((dir_->path / "card").string()));
        const std::string name = cardgen::recordingName(rec_);
        const krv::IndexEntry* e = card.find(name.c_str());
        ASSERT_NE(e, nullptr) << name;
        std::vector<uint8_t> gs(kBlockBytes, 0), gps(kBlockBytes, 0);
        fs::create_directories(dir_->path / "program");
        ASSERT_EQ(
            krv::makePlayFile(card.root(), *e, (dir_->path / "program").string() + "/", gs.data(), gps.data(), nullptr),
            krv::MakeResult::Ok);
        data_.ResetGps();
        data_.ResetGSensor();
        durationMs_ = int64_t(rec_.seconds) * 1000;
        data_.Build(gs.data(), gps.data(), durationMs_);
        cardgen::gpsSentences(rec_, &speeds_);
    }

    // The second whose sentence the library keeps for playback second s (every
    // n-th one when the recording has more than 70).
    int SentenceSecond(int s) const {
        const int n = rec_.seconds, m = std::min(n, 70);
        int shown = 0;
        for (int r = 0; r < m; ++r)
            if (r * n / m <= s) shown = r * n / m;
        return shown;
    }
    bool IsVoid(int second) const { return second >= rec_.voidFrom && second <= rec_.voidTo; }

    // Every second of the recording as the playback tick shows it.
    void CheckEverySecond() {
        const double latSign = rec_.route.lat < 0 ? -1 : 1, lngSign = rec_.route.lon < 0 ? -1 : 1;
        int fixes = 0, voids = 0;
        for (int s = 0; s < rec_.seconds; ++s) {
            SCOPED_TRACE("second " + std::to_string(s));
            const int a = SentenceSecond(s);
            GpsUpdate u = data_.UpdateGps(int64_t(s) * 1000 + 500);
            ASSERT_EQ(u.kind, GpsUpdate::kReadout);
            // The camera's clock: the recording's start plus the sentence's second.
            EXPECT_EQ(u.time, IsVoid(a) ? kResetTimeText : LocalText(rec_.start.plusSeconds(a)));
            if (IsVoid(a)) {
                ++voids;
                EXPECT_EQ(u.mapPage, kNoGpsDataPage);
                EXPECT_EQ(u.latitude, kNoFixCoordText);
                EXPECT_EQ(u.longitude, kNoFixCoordText);
                EXPECT_FALSE(u.hasMapPosition);
                EXPECT_EQ(u.speedMile, 0);
                EXPECT_EQ(data_.ReportSpeed(), 0);
                continue;
            }
            ++fixes;
            EXPECT_EQ(u.mapPage, kMapPage);
            ASSERT_TRUE(u.hasMapPosition);
            // Near the route's start (at most about 100 km/h for 100 s), in its hemisphere.
            const double lat = std::atof(u.mapLatitude.c_str()), lng = std::atof(u.mapLongitude.c_str());
            EXPECT_NEAR(lat, rec_.route.lat, 0.05);
            EXPECT_NEAR(lng, rec_.route.lon, 0.05);
            EXPECT_EQ(u.latitude[0] == '-', latSign < 0) << u.latitude;
            EXPECT_EQ(u.longitude[0] == '-', lngSign < 0) << u.longitude;
            EXPECT_EQ(data_.ReportLatitude() < 0, latSign < 0);
            // The route's speed that second in whole miles per hour: km/h and mph
            // are both truncated (up to 1.62 mph lost), knots rounded to 0.1.
            const double mph = speeds_[size_t(a)] * 0.621371;
            EXPECT_LE(u.speedMile, mph + 0.1);
            EXPECT_GE(u.speedMile, mph - 1.7);
            EXPECT_EQ(data_.ReportSpeed(), u.speedMile);
        }
        EXPECT_GT(fixes, 0);
        EXPECT_EQ(voids > 0, rec_.voidFrom >= 0);
        EXPECT_EQ(data_.UpdateGps(durationMs_).kind, GpsUpdate::kNothing);  // after the last second
    }

    // The G-sensor cursor follows the playback position closely everywhere.
    void CheckGSensorSpread() {
        const size_t expected = std::min<size_t>(size_t(rec_.seconds) * cardgen::kGSensorPerSecond, 1365);
        EXPECT_EQ(data_.GSensorBytes(), int32_t(expected * 12));
        const GSensorSample* t = data_.GSensorTable();
        size_t used = 0;
        while (used < kGSensorSlots && t[used].nTimeMs) ++used;
        EXPECT_EQ(used, expected);
        const uint32_t step = uint32_t(durationMs_ / int64_t(expected));
        EXPECT_EQ(t[used - 1].nTimeMs, step * expected);
        EXPECT_GT(t[used - 1].nTimeMs, durationMs_ - int64_t(expected));  // under 1 ms lost per sample
        for (int64_t pos = 0; pos < int64_t(t[used - 1].nTimeMs); pos += 100) {
            auto g = data_.UpdateGSensor(pos);
            ASSERT_TRUE(g) << pos;
            EXPECT_GT(g->cursorMs, pos);
            EXPECT_LE(g->cursorMs, pos + step);
        }
        Curves c;
        BuildCurves(t, c);
        for (auto& a : c.axis) EXPECT_EQ(a.size(), used + 1);
    }

    // The sample of the largest |X| and the largest |X| away from it.
    void LargestX(uint32_t& atMs, float& largest, float& elsewhere, uint32_t skipFrom, uint32_t skipTo) const {
        const GSensorSample* t = data_.GSensorTable();
        largest = 0, elsewhere = 0, atMs = 0;
        for (size_t i = 0; i < kGSensorSlots && t[i].nTimeMs; ++i) {
            if (std::fabs(t[i].fX) > largest) largest = std::fabs(t[i].fX), atMs = t[i].nTimeMs;
            if (t[i].nTimeMs < skipFrom || t[i].nTimeMs > skipTo) elsewhere = std::max(elsewhere, std::fabs(t[i].fX));
        }
    }

    static TempDir* dir_;
    static cardgen::Plan plan_;
    cardgen::Recording rec_;
    SensorData data_;
    int64_t durationMs_ = 0;
    std::vector<double> speeds_;
};
TempDir* CardData::dir_ = nullptr;
cardgen::Plan CardData::plan_;

}  // namespace

TEST_F(CardData, EventAcrossTheUtcYearEndWithVoidStretchAndImpact) {
    Open(0);
    EXPECT_TRUE(data_.GpsValid());
    EXPECT_EQ(data_.GpsCount(), 24u);
    EXPECT_EQ(data_.Texts().range, "2024-01-01 08:59:50 / 2024-01-01 09:00:13");
    CheckEverySecond();
    CheckGSensorSpread();
    // The impact spike lies just after second 14; elsewhere the car only brakes and turns.
    uint32_t at;
    float largest, elsewhere;
    LargestX(at, largest, elsewhere, 14000, 15000);
    EXPECT_GE(at, 14000u);
    EXPECT_LE(at, 14300u);
    EXPECT_GT(largest, 1.5f);
    EXPECT_LT(elsewhere, 0.6f);
    auto g = data_.UpdateGSensor(at - 1);
    ASSERT_TRUE(g);
    EXPECT_EQ(g->cursorMs, at);
    EXPECT_EQ(CursorX(g->cursorMs), int(30 + at * 595.0 / 60000));
}

TEST_F(CardData, SouthWestRouteWithoutImpact) {
    Open(1);
    EXPECT_EQ(data_.Texts().range, "2024-06-14 10:15:00 / 2024-06-14 10:15:11");
    CheckEverySecond();
    CheckGSensorSpread();
    uint32_t at;
    float largest, elsewhere;
    LargestX(at, largest, elsewhere, 0, 0);
    EXPECT_LT(largest, 0.6f);
    // Z reads about 1 g throughout.
    const GSensorSample* t = data_.GSensorTable();
    for (size_t i = 0; t[i].nTimeMs; ++i) EXPECT_NEAR(t[i].fZ, 1.0f, 0.2f) << i;
}

TEST_F(CardData, LongRecordingKeepsSeventySentencesSpreadOverItsLength) {
    Open(2);
    EXPECT_EQ(data_.GpsCount(), 70u);
    EXPECT_EQ(data_.Gps()[69].nTimeSec, 100u);  // the last record applies up to the end
    EXPECT_EQ(data_.Texts().range, "2024-06-14 10:30:00 / 2024-06-14 10:31:38");
    CheckEverySecond();
    CheckGSensorSpread();
}
