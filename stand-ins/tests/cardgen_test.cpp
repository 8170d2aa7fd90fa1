// Authoring tool: plan parsing, GPS sentences, frame code readable after JPEG.
#include <gtest/gtest.h>

#include <cstring>

#include "cardgen.h"
#include "framecode.h"

using namespace cardgen;

TEST(Plan, ParsesSettingsRecordingsAndOptions) {
    Plan p;
    std::string err;
    ASSERT_TRUE(
        parsePlan("card serial=SN9 firmware=V1.0_beta video=320x240 fps=15\n"
                  "  # comment line\n"
                  "rec event E 240101 235950 20 2 route=saopaulo impact=3 # trailing\n"
                  "rec park M 240102 000000 15 1 void=2-4 nogsensor truncate=50\n"
                  "rec photo J 240102 010203\n",
                  p, err))
        << err;
    EXPECT_EQ(p.serial, "SN9");
    EXPECT_EQ(p.firmware, "V1.0 beta");
    EXPECT_EQ(p.width, 320);
    EXPECT_EQ(p.fpsNum, 15);
    ASSERT_EQ(p.recordings.size(), 3u);
    EXPECT_EQ(p.recordings[0].type, krv::kEvent);
    EXPECT_EQ(p.recordings[0].impactAt, 3);
    EXPECT_LT(p.recordings[0].route.lat, 0);
    EXPECT_LT(p.recordings[0].route.lon, 0);
    EXPECT_EQ(recordingName(p.recordings[0]), "R_240101_235950_E2.avi");
    EXPECT_EQ(p.recordings[1].voidFrom, 2);
    EXPECT_EQ(p.recordings[1].voidTo, 4);
    EXPECT_TRUE(p.recordings[1].noGSensor);
    EXPECT_EQ(p.recordings[1].truncatePercent, 50);
    EXPECT_EQ(recordingName(p.recordings[2]), "R_240102_010203_J0.jpg");

    for (const char* bad :
         {"rec normal N 241301 000000 10 1", "rec normal N 240101 250000 10 1", "rec normal N 240101 000000 10 3",
          "rec normal NN 240101 000000 10 1", "rec boat N 240101 000000 10 1", "rec normal N 240101 000000",
          "card fps=0", "card serial=12345678901234567", "rec normal N 240101 000000 10 1 route=mars", "hello"}) {
        Plan q;
        EXPECT_FALSE(parsePlan(bad, q, err)) << bad;
        EXPECT_NE(err.find("line 1"), std::string::npos);
    }
}

TEST(Time, AddsAcrossDayMonthAndYear) {
    DateTime t{2024, 1, 1, 3, 0, 5};
    DateTime u = t.plusSeconds(-9 * 3600);
    EXPECT_EQ(u.year, 2023);
    EXPECT_EQ(u.month, 12);
    EXPECT_EQ(u.day, 31);
    EXPECT_EQ(u.hour, 18);
    EXPECT_EQ(u.second, 5);
    DateTime leap = DateTime{2024, 2, 28, 23, 59, 59}.plusSeconds(1);
    EXPECT_EQ(leap.month, 2);
    EXPECT_EQ(leap.day, 29);
    EXPECT_EQ(leap.hour, 0);
}

namespace {
int nmeaChecksum(const std::string& s) {
    int x = 0;
    for (size_t i = 1; i < s.size() && s[i] != '*'; ++i) x ^= uint8_t(s[i]);
    return x;
}
std::vector<std::string> fields(const std::string& s) {
    std::vector<std::string> f;
    size_t start = 0;
    for (size_t i = 0; i <= s.size(); ++i)
        if (i == s.size() || s[i] == ',' || s[i] == '*') {
            f.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    return f;
}
}  // namespace

TEST(Gps, SentencesAreValidRmcWithHemispheresVoidFixesAndUtc) {
    Recording r;
    r.start = {2024, 6, 14, 8, 15, 0};
    r.seconds = 40;
    r.route = {-22.9, -43.2, 90};
    r.voidFrom = 10;
    r.voidTo = 12;
    std::vector<double> speeds;
    auto s = gpsSentences(r, &speeds);
    ASSERT_EQ(s.size(), 40u);
    ASSERT_EQ(speeds.size(), 40u);
    double minV = 1e9, maxV = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        ASSERT_LT(s[i].size(), 100u);
        auto f = fields(s[i]);
        ASSERT_GE(f.size(), 13u) << s[i];
        EXPECT_EQ(f[0], "$GPRMC");
        EXPECT_EQ(std::strtol(f.back().c_str(), nullptr, 16), nmeaChecksum(s[i])) << s[i];
        // Camera clock 08:15 local is 23:15 UTC of the day before.
        EXPECT_EQ(f[1].substr(0, 4), i < 45 ? "2315" : "2316");
        EXPECT_EQ(f[9], "130624");
        bool isVoid = i >= 10 && i <= 12;
        EXPECT_EQ(f[2], isVoid ? "V" : "A") << i;
        if (!isVoid) {
            EXPECT_EQ(f[4], "S");
            EXPECT_EQ(f[6], "W");
            EXPECT_EQ(f[3].substr(0, 2), "22");
            EXPECT_EQ(f[5].substr(0, 3), "043");
            EXPECT_EQ(f[3].find('.'), 4u);
            EXPECT_EQ(f[5].find('.'), 5u);
        } else {
            EXPECT_TRUE(f[3].empty() && f[7].empty());
        }
        minV = std::min(minV, speeds[i]);
        maxV = std::max(maxV, speeds[i]);
    }
    EXPECT_LT(minV, 5);   // a stop at a light
    EXPECT_GT(maxV, 30);  // and driving
    r.noGps = true;
    for (const auto& v : gpsSentences(r)) EXPECT_EQ(fields(v)[2], "V");
}

TEST(FrameCode, ReadsBackAfterJpegMirrorFlipAndScaling) {
    for (uint32_t frame : {0u, 1u, 1234u, 65535u}) {
        for (int ch : {1, 2}) {
            std::vector<uint8_t> rgb, jpg, back;
            renderFrame(rgb, 320, 180, ch, frame, frame / 10.0, frame * 2.0, 50, DateTime{});
            ASSERT_TRUE(encodeJpeg(rgb, 320, 180, 40, jpg));
            int w, h;
            ASSERT_TRUE(decodeJpeg(jpg.data(), jpg.size(), back, w, h));
            krv::FrameCode code;
            ASSERT_TRUE(krv::readFrameCode(back.data(), w, h, w * 3, 3, code)) << frame;
            EXPECT_EQ(code.frame, frame);
            EXPECT_EQ(code.channel, ch);
            EXPECT_FALSE(code.mirrored || code.flipped);

            // Shown mirrored, flipped and scaled to 4 bytes a pixel, as on a screen.
            int sw = 500, sh = 290;
            std::vector<uint8_t> screen(size_t(sw) * sh * 4);
            for (int y = 0; y < sh; ++y)
                for (int x = 0; x < sw; ++x) {
                    int sx = (sw - 1 - x) * w / sw, sy = (sh - 1 - y) * h / sh;
                    const uint8_t* p = &back[(size_t(sy) * w + sx) * 3];
                    uint8_t* q = &screen[(size_t(y) * sw + x) * 4];
                    q[0] = p[2], q[1] = p[1], q[2] = p[0], q[3] = 255;
                }
            ASSERT_TRUE(krv::readFrameCode(screen.data(), sw, sh, sw * 4, 4, code));
            EXPECT_EQ(code.frame, frame);
            EXPECT_EQ(code.channel, ch);
            EXPECT_TRUE(code.mirrored && code.flipped);
        }
    }
    std::vector<uint8_t> grey(320 * 180 * 3, 128);
    krv::FrameCode code;
    EXPECT_FALSE(krv::readFrameCode(grey.data(), 320, 180, 960, 3, code));
    EXPECT_FALSE(krv::readFrameCode(nullptr, 320, 180, 960, 3, code));
}
