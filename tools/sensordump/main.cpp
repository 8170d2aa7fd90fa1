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
//   sensordump GPSBLOCK GSENSORBLOCK DURATION_MS [POSITION_MS...]
//       Reads the two 16 384-byte blocks (a shorter file reads as zero-padded,
//       a longer one by its first 16 384 bytes), builds the tables as opening
//       the recording does and prints
//         RANGE <label 1021>
//       then one line per playback tick, at positions 0, 100, 200 ... up to
//       DURATION_MS, or at the positions given, in that order as one playback
//       reaches them:
//         POS PAGE TIME LAT LNG MAPLAT MAPLNG MPH X Y Z CURSOR
//       PAGE is the page asked for on that tick, "-" when the tick asked none
//       (no GPS entry for the second); MAPLAT and MAPLNG are the texts handed
//       to the map on that tick, "-" when none. TIME, LAT, LNG, X, Y, Z (labels
//       1018, 1020, 1019, 1015, 1016, 1017), MPH and CURSOR (the graph's cursor
//       time, 0 for none) are the current values after the tick: a tick that
//       changes nothing prints the values the labels keep from earlier ticks.
//
//   sensordump --graph GSENSORBLOCK DURATION_MS CURSOR_MS
//       The G-sensor graph (630 x 108 pixels) of the block's table with the
//       cursor at CURSOR_MS, as pixels whose colour the drawing fixes:
//         CURSOR X          (X "-" for no cursor)
//         PIXEL X Y R G B   a curve's or the cursor's pixel: the start of a
//                           line of a curve no curve drawn after it and no
//                           cursor comes within a pixel of, or a pixel of the
//                           cursor line
//         BACK X Y          a pixel three pixels or more from every line: the
//                           background picture's (sampled every 5 pixels)
//
// Exit status: 0 done, 1 a block file cannot be read, 2 bad arguments.
#include <algorithm>
#include <cmath>
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
    "       sensordump GPSBLOCK GSENSORBLOCK DURATION_MS [POSITION_MS...]\n"
    "       sensordump --graph GSENSORBLOCK DURATION_MS CURSOR_MS\n"
    "\n"
    "--rmc: each input line (trailing CR dropped) alone as the GPS block of a\n"
    "recording (record 0, time 1); prints after the tick at position 0:\n"
    "  PAGE TIME LAT LNG MAPLAT MAPLNG MPH\n"
    "PAGE the map page asked for (1 map, 3 no GPS data); TIME LAT LNG labels\n"
    "1018 1020 1019; MAPLAT MAPLNG the texts handed to the map (- for none);\n"
    "MPH the speed readout.\n"
    "\n"
    "Blocks: prints RANGE and label 1021, then for positions 0, 100, 200 ...\n"
    "DURATION_MS, or the positions given (one playback, in order):\n"
    "  POS PAGE TIME LAT LNG MAPLAT MAPLNG MPH X Y Z CURSOR\n"
    "PAGE and MAPLAT MAPLNG as asked/handed on that tick (- for none); the\n"
    "other columns are the current label texts, speed and graph cursor (0 for\n"
    "none) after the tick: a tick that changes nothing prints the values kept\n"
    "from earlier ticks. Fields are separated by tabs.\n"
    "\n"
    "--graph: the graph's pixels the drawing fixes, with the cursor at\n"
    "CURSOR_MS: CURSOR X, then PIXEL X Y R G B (curve starts no later line\n"
    "comes near, the cursor line) and BACK X Y (background, 3+ px from lines).\n";

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

bool ParseMs(const char* text, long long& value, const char* what) {
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(text, &end, 10);
    if (end != text && !*end && errno != ERANGE) return true;
    std::fprintf(stderr, "sensordump: bad %s %s\n%s", what, text, kUsage);
    return false;
}

void PrintTick(sensors::SensorData& data, long long pos) {
    const sensors::GpsUpdate g = data.UpdateGps(pos);
    data.UpdateGSensor(pos);
    const sensors::ReadoutTexts& t = data.Texts();
    std::printf("%lld\t%s\t%s\t%s\t%s\t%s\t%s\t%d\t%s\t%s\t%s\t%u\n", pos, Page(g).c_str(), t.time.c_str(),
                t.latitude.c_str(), t.longitude.c_str(), g.hasMapPosition ? g.mapLatitude.c_str() : "-",
                g.hasMapPosition ? g.mapLongitude.c_str() : "-", int(data.SpeedMile()), t.x.c_str(), t.y.c_str(),
                t.z.c_str(), unsigned(data.CursorMs()));
}

int DumpBlocks(const char* gpsPath, const char* gsensorPath, const char* durationText, int npos, char** positions) {
    long long duration = 0;
    if (!ParseMs(durationText, duration, "duration")) return 2;
    std::vector<long long> at;
    for (int i = 0; i < npos; ++i) {
        long long p = 0;
        if (!ParseMs(positions[i], p, "position")) return 2;
        at.push_back(p);
    }
    std::vector<uint8_t> gps, gsensor;
    if (!ReadBlock(gpsPath, gps) || !ReadBlock(gsensorPath, gsensor)) return 1;

    sensors::SensorData data;  // both readouts reset, as when a recording opens
    std::printf("RANGE\t%s\n", data.Build(gsensor.data(), gps.data(), duration).c_str());
    if (!at.empty()) {
        for (long long pos : at) PrintTick(data, pos);
        return 0;
    }
    constexpr long long kTickStep = 100;
    for (long long pos = 0; pos <= duration; pos += kTickStep) {
        PrintTick(data, pos);
        if (pos > duration - kTickStep) break;  // no overflow near the largest duration
    }
    return 0;
}

// Distance from the centre of pixel (px, py) to the segment a-b.
double Distance(int px, int py, const sensors::Point& a, const sensors::Point& b) {
    const double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((px - a.x) * dx + (py - a.y) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    const double ex = a.x + t * dx - px, ey = a.y + t * dy - py;
    return std::sqrt(ex * ex + ey * ey);
}

// Whether any line of the polylines comes closer than `within` to the pixel.
bool Near(int px, int py, const std::vector<const std::vector<sensors::Point>*>& lines, double within) {
    for (const auto* pts : lines)
        for (size_t i = 0; i + 1 < pts->size(); ++i)
            if (Distance(px, py, (*pts)[i], (*pts)[i + 1]) < within) return true;
    return false;
}

int DumpGraph(const char* gsensorPath, const char* durationText, const char* cursorText) {
    long long duration = 0, cursor = 0;
    if (!ParseMs(durationText, duration, "duration") || !ParseMs(cursorText, cursor, "cursor")) return 2;
    std::vector<uint8_t> gsensor;
    if (!ReadBlock(gsensorPath, gsensor)) return 1;
    sensors::SensorData data;
    data.Build(gsensor.data(), nullptr, duration);
    sensors::Curves curves;
    sensors::BuildCurves(data.GSensorTable(), curves);
    const auto cx = sensors::CursorX(uint32_t(std::clamp(cursor, 0LL, 4294967295LL)));
    std::vector<sensors::Point> cursorLine;
    if (cx) cursorLine = {{*cx, sensors::kPlotTop}, {*cx, sensors::kPlotBottom - 1}};
    cx ? std::printf("CURSOR %d\n", *cx) : std::printf("CURSOR -\n");
    static const int kColour[3][3] = {{250, 0, 250}, {0, 250, 250}, {250, 250, 0}};
    auto inside = [](int x, int y) { return x >= 0 && y >= 0 && x < sensors::kGraphWidth && y < sensors::kGraphHeight; };
    // Each line starts at its first point and stops short of its last one
    // (the next line starts there): every point but a curve's last is drawn.
    for (int axis = 0; axis < 3; ++axis) {
        const auto& pts = curves.axis[size_t(axis)];
        std::vector<const std::vector<sensors::Point>*> later;
        for (int b = axis + 1; b < 3; ++b) later.push_back(&curves.axis[size_t(b)]);
        if (cx) later.push_back(&cursorLine);
        for (size_t i = 0; i + 1 < pts.size(); ++i) {
            const sensors::Point p = pts[i];
            if (!inside(p.x, p.y) || Near(p.x, p.y, later, 1.5)) continue;
            std::printf("PIXEL %d %d %d %d %d\n", p.x, p.y, kColour[axis][0], kColour[axis][1], kColour[axis][2]);
        }
    }
    if (cx)
        for (int y = sensors::kPlotTop; y < sensors::kPlotBottom; ++y) std::printf("PIXEL %d %d 255 255 255\n", *cx, y);
    std::vector<const std::vector<sensors::Point>*> all{&curves.axis[0], &curves.axis[1], &curves.axis[2]};
    if (cx) all.push_back(&cursorLine);
    for (int y = 2; y < sensors::kGraphHeight; y += 5)
        for (int x = 2; x < sensors::kGraphWidth; x += 5)
            if (!Near(x, y, all, 3.0)) std::printf("BACK %d %d\n", x, y);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && !std::strcmp(argv[1], "--rmc")) return DumpSentences();
    if (argc == 5 && !std::strcmp(argv[1], "--graph")) return DumpGraph(argv[2], argv[3], argv[4]);
    if (argc >= 4 && argv[1][0] != '-') return DumpBlocks(argv[1], argv[2], argv[3], argc - 4, argv + 4);
    std::fputs(kUsage, stderr);
    return 2;
}
