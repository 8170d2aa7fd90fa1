// sensordump through its binary: sentences from standard input and a pair of
// block files, with the exact lines it prints.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "blocks.h"

namespace fs = std::filesystem;
using testblocks::Rmc;

namespace {

struct DumpResult {
    std::string out;
    int status = -1;
};

// Runs sensordump with these arguments (and stdin from a file when given).
DumpResult Dump(const std::string& args, const std::string& stdinPath = "") {
    std::string cmd =
        std::string(SENSORDUMP) + " " + args + (stdinPath.empty() ? "" : " < " + stdinPath) + " 2>/dev/null";
    DumpResult r;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
        int st = pclose(p);
        r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }
    return r;
}

std::vector<std::string> Lines(const std::string& s) {
    std::vector<std::string> v;
    std::istringstream in(s);
    for (std::string l; std::getline(in, l);) v.push_back(l);
    return v;
}

class SensorDump : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("sensordump-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        return Write(name, std::string(bytes.begin(), bytes.end()));
    }
    fs::path dir_;
};

}  // namespace

TEST_F(SensorDump, SentencesOneLineEach) {
    const std::string in =
        Write("in.txt", Rmc("GPRMC,081836.00,A,3723.24750,N,12658.69200,E,32.4,45.0,120624,,,A") + "\r\n" +
                            Rmc("GNRMC,183000.000,A,3352.12800,S,15112.55800,W,10.0,,311223,,,A,V") + "\n" +
                            Rmc("GPRMC,081838.00,V,,,,,,,120624,,,N") + "\n" + "\n" + std::string(128, 'A') + "\n" +
                            "$GPRMC,,A,,,,,,,,,\n" + "$GPRMC,1,A\n" +
                            Rmc("GPRMC,000000,A,0000.00010,S,00000.00000,W,,,010124"));
    DumpResult r = Dump("--rmc", in);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Lines(r.out),
              (std::vector<std::string>{
                  "1\t2024-06-12 17:18:36\t3723.24750\t12658.69200\t37.387458\t126.978200\t37",
                  "1\t2024-01-01 03:30:00\t-3352.12800\t-15112.55800\t-33.868800\t-151.209300\t11",
                  "3\t0000-00-00 00:00:00\t000000\t000000\t-\t-\t0",  // no valid sentence: labels untouched
                  "3\t0000-00-00 00:00:00\t000000\t000000\t-\t-\t0",  // empty line: length 0
                  "3\t0000-00-00 00:00:00\t000000\t000000\t-\t-\t0",  // length 128: no entry
                  "1\t2000-00-00 09:00:00\t-000.00000\t-0000.00000\t0.000000\t0.000000\t0",
                  "1\t2000-00-00 10:00:00\t0000.00000\t00000.00000\t0.000000\t0.000000\t0",  // fails after status
                  "1\t2024-01-01 09:00:00\t-000.00010\t-0000.00000\t-0.000002\t0.000000\t0",
              }));
}

TEST_F(SensorDump, BlocksTickByTick) {
    auto gps = testblocks::GpsBlock({Rmc("GPRMC,081836.00,A,3723.24750,N,12658.69200,E,32.4,45.0,120624,,,A"),
                                     Rmc("GPRMC,081837.00,V,,,,,,,120624,,,N"),
                                     Rmc("GPRMC,081838.00,A,3723.25000,N,12658.70000,E,0.0,45.0,120624,,,A")});
    auto gs = testblocks::GSensorBlock({{0.5f, -0.25f, 1.0f}, {-2.5f, 1.125f, 0.875f}, {0, 0, 1}});
    DumpResult r = Dump(Write("gps.bin", gps) + " " + Write("gs.bin", gs) + " 3200");
    EXPECT_EQ(r.status, 0);
    std::vector<std::string> l = Lines(r.out);
    ASSERT_EQ(l.size(), 1u + 33u);
    EXPECT_EQ(l[0], "RANGE\t2024-06-12 17:18:36 / 2024-06-12 17:18:38");
    // Samples at 1066, 2132, 3198 ms.
    EXPECT_EQ(l[1],
              "0\t1\t2024-06-12 17:18:36\t3723.24750\t12658.69200\t37.387458\t126.978200\t37\t"
              "X : +0.5000\tY : -0.2500\tZ : +1.0000\t1066");
    EXPECT_EQ(l[11],
              "1000\t3\t0000-00-00 00:00:00\t0.00000\t0.00000\t-\t-\t0\t"
              "X : +0.5000\tY : -0.2500\tZ : +1.0000\t1066");
    EXPECT_EQ(l[12],
              "1100\t3\t0000-00-00 00:00:00\t0.00000\t0.00000\t-\t-\t0\t"
              "X : -2.5000\tY : +1.1250\tZ : +0.8750\t2132");
    EXPECT_EQ(l[30],
              "2900\t1\t2024-06-12 17:18:38\t3723.25000\t12658.70000\t37.387500\t126.978333\t0\t"
              "X : +0.0000\tY : +0.0000\tZ : +1.0000\t3198");
    // Past the last GPS entry and the last sample nothing changes: the kept values.
    EXPECT_EQ(l[33],
              "3200\t-\t2024-06-12 17:18:38\t3723.25000\t12658.70000\t-\t-\t0\t"
              "X : +0.0000\tY : +0.0000\tZ : +1.0000\t3198");

    // Without any valid sentence only the no-data page is asked; without
    // G-sensor data the X/Y/Z labels keep their reset texts.
    auto voids = testblocks::GpsBlock({Rmc("GPRMC,081837.00,V,,,,,,,120624,,,N")});
    r = Dump(Write("void.bin", voids) + " " + Write("none.bin", std::string()) + " 100");
    EXPECT_EQ(Lines(r.out),
              (std::vector<std::string>{
                  "RANGE\t0000-00-00 00:00:00 / 0000-00-00 00:00:00",
                  "0\t3\t0000-00-00 00:00:00\t000000\t000000\t-\t-\t0\tX : 0.0000\tY : 0.0000\tZ : 0.0000\t0",
                  "100\t3\t0000-00-00 00:00:00\t000000\t000000\t-\t-\t0\tX : 0.0000\tY : 0.0000\tZ : 0.0000\t0",
              }));
    // A negative duration has no tick.
    r = Dump(Write("void.bin", voids) + " " + Write("none.bin", std::string()) + " -5");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Lines(r.out).size(), 1u);
}

TEST_F(SensorDump, TicksAtGivenPositions) {
    auto gps = testblocks::GpsBlock({Rmc("GPRMC,081836.00,A,3723.24750,N,12658.69200,E,32.4,45.0,120624,,,A"),
                                     Rmc("GPRMC,081837.00,V,,,,,,,120624,,,N"),
                                     Rmc("GPRMC,081838.00,A,3723.25000,N,12658.70000,E,0.0,45.0,120624,,,A")});
    auto gs = testblocks::GSensorBlock({{0.5f, -0.25f, 1.0f}, {-2.5f, 1.125f, 0.875f}, {0, 0, 1}});
    // In the order given, as a playback that was sought backwards reaches them.
    DumpResult r = Dump(Write("gps.bin", gps) + " " + Write("gs.bin", gs) + " 3200 1100 0 2900");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Lines(r.out),
              (std::vector<std::string>{
                  "RANGE\t2024-06-12 17:18:36 / 2024-06-12 17:18:38",
                  "1100\t3\t0000-00-00 00:00:00\t0.00000\t0.00000\t-\t-\t0\t"
                  "X : -2.5000\tY : +1.1250\tZ : +0.8750\t2132",
                  "0\t1\t2024-06-12 17:18:36\t3723.24750\t12658.69200\t37.387458\t126.978200\t37\t"
                  "X : +0.5000\tY : -0.2500\tZ : +1.0000\t1066",
                  "2900\t1\t2024-06-12 17:18:38\t3723.25000\t12658.70000\t37.387500\t126.978333\t0\t"
                  "X : +0.0000\tY : +0.0000\tZ : +1.0000\t3198",
              }));
    EXPECT_EQ(Dump(Write("gps.bin", gps) + " " + Write("gs.bin", gs) + " 3200 100 1x").status, 2);
}

TEST_F(SensorDump, GraphPixels) {
    // Two samples over a minute: at 30 000 ms (X +1) and 60 000 ms (X -1); Y
    // and Z stay 0, so Z is drawn over the whole of Y.
    auto gs = testblocks::GSensorBlock({{1.0f, 0, 0}, {-1.0f, 0, 0}});
    DumpResult r = Dump("--graph " + Write("gs.bin", gs) + " 60000 90000");
    EXPECT_EQ(r.status, 0);
    std::vector<std::string> l = Lines(r.out);
    ASSERT_FALSE(l.empty());
    EXPECT_EQ(l[0], "CURSOR 625");  // 90 000 ms: at the plot's right edge
    auto has = [&](const std::string& line) { return std::find(l.begin(), l.end(), line) != l.end(); };
    // X: the flat start at the first sample's height, then the sample at
    // 30 000 ms (x 327, y 45); its last point (625, 63) is where no line starts.
    EXPECT_TRUE(has("PIXEL 30 45 250 0 250"));
    EXPECT_TRUE(has("PIXEL 327 45 250 0 250"));
    EXPECT_FALSE(has("PIXEL 625 63 250 0 250"));
    // Y lies under Z: only Z's points are fixed.
    EXPECT_FALSE(has("PIXEL 30 54 0 250 250"));
    EXPECT_TRUE(has("PIXEL 30 54 250 250 0"));
    EXPECT_TRUE(has("PIXEL 327 54 250 250 0"));
    // The cursor line from the plot's top to just above its bottom.
    EXPECT_TRUE(has("PIXEL 625 14 255 255 255"));
    EXPECT_TRUE(has("PIXEL 625 94 255 255 255"));
    EXPECT_FALSE(has("PIXEL 625 95 255 255 255"));
    // Background far from every line, none near one.
    EXPECT_TRUE(has("BACK 2 2"));
    EXPECT_FALSE(has("BACK 327 47"));
    EXPECT_FALSE(has("BACK 627 22"));

    // Without a cursor, and for an empty table: the background only.
    r = Dump("--graph " + Write("none.bin", std::string()) + " 60000 0");
    l = Lines(r.out);
    ASSERT_FALSE(l.empty());
    EXPECT_EQ(l[0], "CURSOR -");
    EXPECT_EQ(std::count_if(l.begin(), l.end(), [](const std::string& s) { return s.rfind("PIXEL", 0) == 0; }), 0);
    EXPECT_EQ(Dump("--graph " + Write("none.bin", std::string()) + " 60000").status, 2);
    EXPECT_EQ(Dump("--graph " + Write("none.bin", std::string()) + " 60000 x").status, 2);
}

TEST_F(SensorDump, HelpAndBadArguments) {
    DumpResult r = Dump("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("POS PAGE TIME LAT LNG MAPLAT MAPLNG MPH X Y Z CURSOR"), std::string::npos);
    EXPECT_NE(r.out.find("changes nothing"), std::string::npos);
    EXPECT_EQ(Dump("").status, 2);
    EXPECT_EQ(Dump("a b").status, 2);
    const std::string block = Write("b.bin", std::string(16384, '\0'));
    EXPECT_EQ(Dump(block + " " + block + " 12x").status, 2);
    EXPECT_EQ(Dump(block + " " + block + " 99999999999999999999").status, 2);
    EXPECT_EQ(Dump(block + " " + (dir_ / "missing").string() + " 100").status, 1);
}
