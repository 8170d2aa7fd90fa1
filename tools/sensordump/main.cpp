// sensordump: the viewer's sensor readouts as text, for tests and for looking
// at a recording's blocks.
//
//   sensordump --rmc
//       Reads GPS sentences from standard input, one per line (a trailing CR
//       is dropped). Each line alone is the GPS block of a recording (record 0,
//       time 1, length = the line's length; no G-sensor data); after the
//       playback tick at position 0 it prints one tab-separated line:
//         PAGE TIME LAT LNG MAPLAT MAPLNG MPH
//       PAGE: the map page asked for (1 map, 3 no GPS data); TIME, LAT, LNG:
//       the texts of labels 1018, 1020 and 1019; MAPLAT, MAPLNG: the texts
//       handed to the map ("-" when none); MPH: the speed readout's value.
//
//   sensordump GPSBLOCK GSENSORBLOCK DURATION_MS
//       Reads the two 16 384-byte blocks (a shorter file reads as zero-padded,
//       a longer one by its first 16 384 bytes), builds the tables as opening
//       the recording does and prints
//         RANGE <label 1021>
//       then one line per playback tick, at positions 0, 100, 200 ... up to
//       DURATION_MS, in that order as one playback reaches them:
//         POS PAGE TIME LAT LNG MAPLAT MAPLNG MPH X Y Z CURSOR
//       PAGE is the page asked for on that tick, "-" when the tick asked none
//       (no GPS entry for the second); MAPLAT and MAPLNG are the texts handed
//       to the map on that tick, "-" when none. TIME, LAT, LNG, X, Y, Z (labels
//       1018, 1020, 1019, 1015, 1016, 1017), MPH and CURSOR (the graph's cursor
//       time, 0 for none) are the current values after the tick: a tick that
//       changes nothing prints the values the labels keep from earlier ticks.
//
// Exit status: 0 done, 1 a block file cannot be read, 2 bad arguments.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "sensor_data.h"

namespace {

const char kUsage[] =
    "usage: sensordump --rmc                              < sentences\n"
    "       sensordump GPSBLOCK GSENSORBLOCK DURATION_MS\n"
    "\n"
    "--rmc: each input line (trailing CR dropped) alone as the GPS block of a\n"
    "recording (record 0, time 1); prints after the tick at position 0:\n"
    "  PAGE TIME LAT LNG MAPLAT MAPLNG MPH\n"
    "PAGE the map page asked for (1 map, 3 no GPS data); TIME LAT LNG labels\n"
    "1018 1020 1019; MAPLAT MAPLNG the texts handed to the map (- for none);\n"
    "MPH the speed readout.\n"
    "\n"
    "Blocks: prints RANGE and label 1021, then for positions 0, 100, 200 ...\n"
    "DURATION_MS (one playback, in order):\n"
    "  POS PAGE TIME LAT LNG MAPLAT MAPLNG MPH X Y Z CURSOR\n"
    "PAGE and MAPLAT MAPLNG as asked/handed on that tick (- for none); the\n"
    "other columns are the current label texts, speed and graph cursor (0 for\n"
    "none) after the tick: a tick that changes nothing prints the values kept\n"
    "from earlier ticks. Fields are separated by tabs.\n";

std::string Page(const sensors::GpsUpdate& u) {
    return u.kind == sensors::GpsUpdate::kNothing ? "-" : std::to_string(u.mapPage);
}

int DumpSentences() {
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // The line as record 0 of a GPS block: time 1, its length, its text.
        std::vector<uint8_t> gps(sensors::kBlockBytes, 0);
        const uint32_t time = 1, length = uint32_t(line.size());
        for (int i = 0; i < 4; ++i) {
            gps[size_t(i)] = uint8_t(time >> (8 * i));
            gps[size_t(4 + i)] = uint8_t(length >> (8 * i));
        }
        std::memcpy(&gps[8], line.data(), std::min<size_t>(line.size(), sensors::kGpsTextBytes));
        sensors::SensorData data;
        data.Build(nullptr, gps.data(), 1000);
        const sensors::GpsUpdate u = data.UpdateGps(0);
        const sensors::ReadoutTexts& t = data.Texts();
        std::printf("%s\t%s\t%s\t%s\t%s\t%s\t%d\n", Page(u).c_str(), t.time.c_str(), t.latitude.c_str(),
                    t.longitude.c_str(), u.hasMapPosition ? u.mapLatitude.c_str() : "-",
                    u.hasMapPosition ? u.mapLongitude.c_str() : "-", int(data.SpeedMile()));
    }
    return 0;
}

bool ReadBlock(const char* path, std::vector<uint8_t>& block) {
    block.assign(sensors::kBlockBytes, 0);
    FILE* f = std::fopen(path, "rb");
    if (!f) {
        std::fprintf(stderr, "sensordump: cannot read %s: %s\n", path, std::strerror(errno));
        return false;
    }
    std::fread(block.data(), 1, block.size(), f);
    bool ok = !std::ferror(f);
    std::fclose(f);
    if (!ok) std::fprintf(stderr, "sensordump: cannot read %s\n", path);
    return ok;
}

int DumpBlocks(const char* gpsPath, const char* gsensorPath, const char* durationText) {
    char* end = nullptr;
    errno = 0;
    const long long duration = std::strtoll(durationText, &end, 10);
    if (end == durationText || *end || errno == ERANGE) {
        std::fprintf(stderr, "sensordump: bad duration %s\n%s", durationText, kUsage);
        return 2;
    }
    std::vector<uint8_t> gps, gsensor;
    if (!ReadBlock(gpsPath, gps) || !ReadBlock(gsensorPath, gsensor)) return 1;

    sensors::SensorData data;  // both readouts reset, as when a recording opens
    std::printf("RANGE\t%s\n", data.Build(gsensor.data(), gps.data(), duration).c_str());
    constexpr long long kTickStep = 100;
    for (long long pos = 0; pos <= duration; pos += kTickStep) {
        const sensors::GpsUpdate g = data.UpdateGps(pos);
        data.UpdateGSensor(pos);
        const sensors::ReadoutTexts& t = data.Texts();
        std::printf("%lld\t%s\t%s\t%s\t%s\t%s\t%s\t%d\t%s\t%s\t%s\t%u\n", pos, Page(g).c_str(), t.time.c_str(),
                    t.latitude.c_str(), t.longitude.c_str(), g.hasMapPosition ? g.mapLatitude.c_str() : "-",
                    g.hasMapPosition ? g.mapLongitude.c_str() : "-", int(data.SpeedMile()), t.x.c_str(), t.y.c_str(),
                    t.z.c_str(), unsigned(data.CursorMs()));
        if (pos > duration - kTickStep) break;  // no overflow near the largest duration
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && !std::strcmp(argv[1], "--rmc")) return DumpSentences();
    if (argc == 4) return DumpBlocks(argv[1], argv[2], argv[3]);
    std::fputs(kUsage, stderr);
    return 2;
}
