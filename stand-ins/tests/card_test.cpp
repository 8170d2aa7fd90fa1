// The library's card logic on a generated card: listing, play files checked
// with ffprobe, sensor blocks, photos, stopping.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "avi.h"
#include "card.h"
#include "cardgen.h"
#include "testutil.h"

using namespace krv;
namespace fs = std::filesystem;

namespace {

const char kPlan[] = R"(# small card for the tests
card serial=SN0001 firmware=FW_1.2 video=192x108 fps=10 quality=50 audio=8000 photo=320x180
rec normal N 240614 081500 3 1
rec event  E 240614 081600 4 2 route=sydney
rec park   P 240614 081700 2 1 nogps nogsensor
rec normal N 240614 081800 5 2 truncate=60
rec photo  J 240614 081900
rec normal X 240614 082000 2 1
)";

class CardTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        cardgen::Plan plan;
        std::string error;
        ASSERT_TRUE(cardgen::parsePlan(kPlan, plan, error)) << error;
        ASSERT_TRUE(cardgen::writeCard(plan, dir_->path + "/card", 2, error)) << error;
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(card_.load(root()));
        out_ = dir_->path + "/out-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::create_directories(out_);
    }
    static std::string root() { return dir_->path + "/card"; }
    const IndexEntry& get(const char* name) {
        const IndexEntry* e = card_.find(name);
        EXPECT_NE(e, nullptr) << name;
        static IndexEntry none;
        return e ? *e : none;
    }
    struct Blocks {
        std::unique_ptr<uint8_t[]> gs{new uint8_t[kSensorBlockBytes]}, gps{new uint8_t[kSensorBlockBytes]};
    };

    static TempDir* dir_;
    Card card_;
    std::string out_;
};
TempDir* CardTest::dir_ = nullptr;

}  // namespace

TEST_F(CardTest, CountsAndListsPerType) {
    EXPECT_EQ(card_.count(kEvent), 1);
    EXPECT_EQ(card_.count(kNormal), 3);
    EXPECT_EQ(card_.count(kPark), 1);
    EXPECT_EQ(card_.count(kPhoto), 1);
    EXPECT_EQ(card_.count(4), 0);
    EXPECT_EQ(card_.count(0xFF), 0);

    // Never more records than asked for: a guard record after them stays intact.
    std::vector<uint8_t> recs(4 * kNameBytes, 0xEE);
    int32_t secs[4] = {-1, -1, -1, -1}, kib[4] = {-1, -1, -1, -1};
    EXPECT_EQ(card_.list(kNormal, 2, recs.data(), secs, kib), 2);
    EXPECT_STREQ(reinterpret_cast<char*>(&recs[0]), "R_240614_081500_N1.avi");
    EXPECT_STREQ(reinterpret_cast<char*>(&recs[40]), "R_240614_081800_N2.avi");
    EXPECT_EQ(secs[0], 3);
    EXPECT_EQ(secs[1], 5);
    EXPECT_GT(kib[0], 0);
    for (size_t i = 2 * kNameBytes; i < recs.size(); ++i) ASSERT_EQ(recs[i], 0xEE) << i;
    EXPECT_EQ(secs[2], -1);

    EXPECT_EQ(card_.list(kNormal, 10, recs.data(), nullptr, nullptr), 3);
    EXPECT_EQ(card_.list(kNormal, 0, recs.data(), nullptr, nullptr), 0);
    EXPECT_EQ(card_.list(kNormal, -5, recs.data(), nullptr, nullptr), 0);
    EXPECT_EQ(card_.list(kNormal, 3, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(card_.list(9, 3, recs.data(), nullptr, nullptr), 0);
}

TEST_F(CardTest, NamesCarryDateTimeAndTypeLetterAtFixedPositions) {
    struct Expect {
        uint8_t type;
        const char* date;
        const char* time;
        char letter;
        const char* ext;
    } expect[] = {{kNormal, "240614", "081500", 'N', ".avi"}, {kEvent, "240614", "081600", 'E', ".avi"},
                  {kPark, "240614", "081700", 'P', ".avi"},   {kNormal, "240614", "081800", 'N', ".avi"},
                  {kPhoto, "240614", "081900", 'J', ".jpg"},  {kNormal, "240614", "082000", 'X', ".avi"}};
    ASSERT_EQ(card_.entries().size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        std::string n = card_.entries()[i].name;
        ASSERT_LE(n.size(), 39u);
        EXPECT_EQ(card_.entries()[i].type, expect[i].type) << n;
        EXPECT_EQ(n.substr(2, 6), expect[i].date) << n;
        EXPECT_EQ(n.substr(9, 6), expect[i].time) << n;
        EXPECT_EQ(n[16], expect[i].letter) << n;
        EXPECT_EQ(n.substr(n.size() - 4), expect[i].ext) << n;
    }
}

TEST_F(CardTest, PlayFilesAreStandardAvi) {
    struct Case {
        const char* name;
        int channels;
        int seconds;
    } cases[] = {{"R_240614_081500_N1.avi", 1, 3}, {"R_240614_081600_E2.avi", 2, 4}, {"R_240614_081700_P1.avi", 1, 2}};
    for (const Case& c : cases) {
        Blocks b;
        ASSERT_EQ(makePlayFile(root(), get(c.name), out_, b.gs.get(), b.gps.get(), nullptr), MakeResult::Ok) << c.name;
        std::string file = out_ + "/" + c.name;
        auto streams = ffprobe(file);
        ASSERT_EQ(streams.size(), size_t(c.channels + 1)) << file;
        for (int i = 0; i < c.channels; ++i) {
            EXPECT_EQ(streams[size_t(i)].type, "video");
            EXPECT_EQ(streams[size_t(i)].codec, "mjpeg");
            EXPECT_EQ(streams[size_t(i)].frames, c.seconds * 10);
            EXPECT_EQ(streams[size_t(i)].decoded, c.seconds * 10);
            EXPECT_NEAR(streams[size_t(i)].duration, c.seconds, 0.01);
        }
        const ProbedStream& a = streams.back();
        EXPECT_EQ(a.type, "audio");
        EXPECT_EQ(a.codec, "pcm_s16le");
        EXPECT_NEAR(a.duration, c.seconds, 0.01);
        EXPECT_FALSE(fs::exists(file + ".part"));
    }
}

TEST_F(CardTest, TruncatedRecordingGivesAShorterValidAvi) {
    Blocks b;
    const char* name = "R_240614_081800_N2.avi";
    ASSERT_EQ(makePlayFile(root(), get(name), out_ + "/", b.gs.get(), b.gps.get(), nullptr), MakeResult::Ok);
    auto streams = ffprobe(out_ + "/" + name);
    ASSERT_EQ(streams.size(), 3u);
    EXPECT_GT(streams[0].frames, 10);
    EXPECT_LT(streams[0].frames, 50);
    EXPECT_EQ(streams[0].decoded, streams[0].frames);
    EXPECT_GE(streams[1].frames, streams[0].frames - 1);
    EXPECT_LE(streams[1].frames, streams[0].frames);
    EXPECT_EQ(streams[1].decoded, streams[1].frames);
}

TEST_F(CardTest, SensorBlocksFollowTheLayout) {
    Blocks b;
    std::memset(b.gs.get(), 0xCC, kSensorBlockBytes);
    std::memset(b.gps.get(), 0xCC, kSensorBlockBytes);
    ASSERT_EQ(makePlayFile(root(), get("R_240614_081600_E2.avi"), out_, b.gs.get(), b.gps.get(), nullptr),
              MakeResult::Ok);
    // GPS: one 136-byte record per second, time = second + 1, then a zero record.
    const uint8_t* g = b.gps.get();
    for (uint32_t s = 0; s < 4; ++s) {
        const uint8_t* rec = g + s * kGpsRecordBytes;
        EXPECT_EQ(rd32(rec), s + 1);
        uint32_t len = rd32(rec + 4);
        ASSERT_GT(len, 30u);
        ASSERT_LT(len, 128u);
        std::string text(reinterpret_cast<const char*>(rec + 8), len);
        EXPECT_EQ(text.rfind("$GPRMC,", 0), 0u) << text;
        EXPECT_NE(text.find(",A,"), std::string::npos) << text;
        EXPECT_NE(text.find(",S,"), std::string::npos) << text;  // Sydney
        EXPECT_NE(text.find(",E,"), std::string::npos) << text;
        EXPECT_EQ(rec[8 + len], 0);
    }
    EXPECT_EQ(rd32(g + 4 * kGpsRecordBytes + 4), 0u);
    for (size_t i = 4 * kGpsRecordBytes; i < kSensorBlockBytes; ++i) ASSERT_EQ(g[i], 0) << i;

    // G-sensor: byte count of 20 samples a second, impact spike in an Event.
    const uint8_t* s = b.gs.get();
    ASSERT_EQ(rd32(s), 4u * 20 * 12);
    float peak = 0;
    for (int i = 0; i < 80; ++i) {
        float xyz[3];
        std::memcpy(xyz, s + 4 + 12 * i, 12);
        peak = std::max(peak, std::fabs(xyz[0]));
        EXPECT_GT(xyz[2], -1.5f);
    }
    EXPECT_GT(peak, 1.5f);
    for (size_t i = 4 + 80 * 12; i < kSensorBlockBytes; ++i) ASSERT_EQ(s[i], 0) << i;
}

TEST_F(CardTest, DamagedSideStreams) {
    Blocks b;
    ASSERT_EQ(makePlayFile(root(), get("R_240614_081700_P1.avi"), out_, b.gs.get(), b.gps.get(), nullptr),
              MakeResult::Ok);
    EXPECT_EQ(rd32(b.gs.get()), 0u);  // no G-sensor samples at all
    for (uint32_t r = 0; r < 2; ++r) {
        const uint8_t* rec = b.gps.get() + r * kGpsRecordBytes;
        std::string text(reinterpret_cast<const char*>(rec + 8), rd32(rec + 4));
        EXPECT_NE(text.find(",V,"), std::string::npos) << text;  // no valid fix
    }
}

TEST_F(CardTest, StopLeavesNoFileUnderEitherName) {
    Blocks b;
    const char* name = "R_240614_081600_E2.avi";
    int polls = 0;
    StopFn stop = [&] { return ++polls > 20; };
    EXPECT_EQ(makePlayFile(root(), get(name), out_, b.gs.get(), b.gps.get(), stop), MakeResult::Stopped);
    EXPECT_FALSE(fs::exists(out_ + "/" + name));
    EXPECT_FALSE(fs::exists(out_ + "/" + name + ".part"));
    // An earlier complete file of that name is kept when a remake is stopped.
    ASSERT_EQ(makePlayFile(root(), get(name), out_, nullptr, nullptr, nullptr), MakeResult::Ok);
    auto size = fs::file_size(out_ + "/" + name);
    polls = 0;
    EXPECT_EQ(makePlayFile(root(), get(name), out_, nullptr, nullptr, stop), MakeResult::Stopped);
    EXPECT_EQ(fs::file_size(out_ + "/" + name), size);
}

TEST_F(CardTest, FailuresAreSafe) {
    Blocks b;
    IndexEntry photo = get("R_240614_081900_J0.jpg");
    EXPECT_EQ(makePlayFile(root(), photo, out_, b.gs.get(), b.gps.get(), nullptr), MakeResult::NoVideo);
    EXPECT_EQ(makePlayFile(root(), get("R_240614_081500_N1.avi"), out_ + "/missing/dir", nullptr, nullptr, nullptr),
              MakeResult::WriteFailed);
    IndexEntry ghost = get("R_240614_081500_N1.avi");
    ghost.fileId = 999;
    EXPECT_EQ(makePlayFile(root(), ghost, out_, nullptr, nullptr, nullptr), MakeResult::NotFound);
    IndexEntry evil = ghost;
    std::strcpy(evil.name, "..\\..\\evil.avi");
    EXPECT_EQ(makePlayFile(root(), evil, out_, nullptr, nullptr, nullptr), MakeResult::BadName);

    EXPECT_TRUE(isPlainName("R_240614_081500_N1.avi"));
    for (const char* bad : {"", ".", "..", "a/b", "a\\b", "c:x", "a*b"}) EXPECT_FALSE(isPlainName(bad)) << bad;
    EXPECT_FALSE(isPlainName(std::string(40, 'a').c_str()));
    EXPECT_FALSE(isPlainName(nullptr));
}

TEST_F(CardTest, PictureIsTheJpegOrNothing) {
    IndexEntry photo = get("R_240614_081900_J0.jpg");
    std::vector<uint8_t> buf(2 << 20);
    uint32_t len = 12345;
    ASSERT_TRUE(makePicture(root(), photo, &len, buf.data(), buf.size()));
    EXPECT_EQ(len, photo.dataBytes);
    EXPECT_EQ(len, fs::file_size(dataPath(root(), photo)));
    std::vector<uint8_t> rgb;
    int w = 0, h = 0;
    ASSERT_TRUE(cardgen::decodeJpeg(buf.data(), len, rgb, w, h));
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 180);

    // A buffer too small for the picture: length 0, not an overflow.
    std::vector<uint8_t> small(len - 1);
    len = 7;
    EXPECT_FALSE(makePicture(root(), photo, &len, small.data(), small.size()));
    EXPECT_EQ(len, 0u);
    len = 7;
    EXPECT_FALSE(makePicture(root(), get("R_240614_081500_N1.avi"), &len, buf.data(), buf.size()));
    EXPECT_EQ(len, 0u);
    EXPECT_FALSE(makePicture(root(), photo, nullptr, buf.data(), buf.size()));
}

TEST(SensorBlocks, LongRecordingsAreThinnedToFit) {
    SensorData s;
    for (uint32_t i = 0; i < 150; ++i) s.gps.emplace_back(i, "$GPRMC," + std::to_string(i));
    s.gps[3].second = std::string(128, 'x');  // too long for a record: left out
    s.gps[5].second.clear();
    for (int i = 0; i < 3 * 4000; ++i) s.gsensor.push_back(float(i / 3));
    std::unique_ptr<uint8_t[]> gps(new uint8_t[kSensorBlockBytes]), gs(new uint8_t[kSensorBlockBytes]);
    fillGpsBlock(s, gps.get());
    fillGSensorBlock(s, gs.get());

    uint32_t last = 0;
    size_t records = 0;
    for (; records < kGpsMaxRecords; ++records) {
        const uint8_t* rec = gps.get() + records * kGpsRecordBytes;
        uint32_t len = rd32(rec + 4);
        if (len == 0) break;
        ASSERT_LT(len, 128u);
        EXPECT_GT(rd32(rec), last);
        last = rd32(rec);
    }
    EXPECT_GT(records, 60u);
    EXPECT_LE(records, kGpsMaxRecords);
    EXPECT_GE(last, 148u);  // the thinned sentences still cover the recording
    for (size_t i = kGpsMaxRecords * kGpsRecordBytes; i < kSensorBlockBytes; ++i) ASSERT_EQ(gps[i], 0);

    ASSERT_EQ(rd32(gs.get()), uint32_t(kGSensorMaxSamples * 12));
    EXPECT_EQ(kGSensorMaxSamples, 1365u);
    float first, lastX;
    std::memcpy(&first, gs.get() + 4, 4);
    std::memcpy(&lastX, gs.get() + 4 + 12 * (kGSensorMaxSamples - 1), 4);
    EXPECT_EQ(first, 0.f);
    EXPECT_GT(lastX, 3900.f);  // spread over the whole recording, not its start
}
