// The sensor data fuzz body, shared by the libFuzzer target and the seeded
// mutation test.
#include "sensors_fuzz.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "sensor_data.h"

using namespace sensors;

namespace {

void Check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "sensor fuzz invariant broken: %s\n", what);
    std::abort();
}

void CheckText(const std::string& s, size_t max, const char* what) {
    Check(!s.empty() && s.size() <= max && s.find('\0') == std::string::npos, what);
}

void CheckReadouts(const SensorData& d) {
    const ReadoutTexts& t = d.Texts();
    CheckText(t.range, 200, "range text");
    CheckText(t.time, 100, "time text");
    CheckText(t.latitude, 330, "latitude text");
    CheckText(t.longitude, 330, "longitude text");
    for (const std::string* s : {&t.x, &t.y, &t.z}) CheckText(*s, 60, "axis text");
    for (int c : d.SpeedCells(false)) Check(c >= kBlankCell && c <= 9, "speed cell");
    for (int c : d.SpeedCells(true)) Check(c == kBlankCell, "full-screen speed cell");
    if (auto x = CursorX(d.CursorMs())) Check(*x >= kPlotLeft && *x <= kPlotRight, "cursor x");
}

void Tick(SensorData& d, int64_t pos) {
    const bool valid = d.GpsValid();
    const std::string before = d.Texts().time;
    GpsUpdate u = d.UpdateGps(pos);
    if (!valid) Check(u.kind == GpsUpdate::kPageOnly && u.mapPage == kNoGpsDataPage, "no-data page");
    if (u.kind == GpsUpdate::kNothing) Check(u.mapPage == 0 && d.Texts().time == before, "nothing shown");
    if (u.kind == GpsUpdate::kReadout) {
        Check(u.mapPage == kMapPage || u.mapPage == kNoGpsDataPage, "page kind");
        Check(u.hasMapPosition == (u.mapPage == kMapPage), "map position only with a fix");
        Check(u.speedMile == d.SpeedMile(), "speed kept");
        Check(d.ReportSpeed() == u.speedMile, "report speed");
        if (u.hasMapPosition) {
            CheckText(u.mapLatitude, 330, "map latitude");
            CheckText(u.mapLongitude, 330, "map longitude");
            Check(u.mapLatitude == d.MapLatitude(), "map latitude kept");
        } else {
            Check(u.latitude == kNoFixCoordText && u.time == kResetTimeText && u.speedMile == 0, "no-fix texts");
        }
    }
    const uint32_t cursor = d.CursorMs();
    if (auto g = d.UpdateGSensor(pos)) {
        Check(g->cursorMs != 0 && g->cursorMs == d.CursorMs(), "cursor");
        Check(pos < 0 || uint64_t(g->cursorMs) > uint64_t(std::min<int64_t>(pos, UINT32_MAX)), "later sample");
    } else {
        Check(d.CursorMs() == cursor, "cursor kept");
    }
    CheckReadouts(d);
}

}  // namespace

std::vector<uint8_t> fuzzInput(int64_t durationMs, const std::vector<uint8_t>& gpsBlock,
                               const std::vector<uint8_t>& gsensorBlock) {
    auto trimmed = [](const std::vector<uint8_t>& b) {
        size_t n = std::min(b.size(), kBlockBytes);
        while (n && !b[n - 1]) --n;
        return std::vector<uint8_t>(b.begin(), b.begin() + long(n));
    };
    std::vector<uint8_t> gps = trimmed(gpsBlock), gs = trimmed(gsensorBlock);
    std::vector<uint8_t> out(10);
    for (int i = 0; i < 8; ++i) out[size_t(i)] = uint8_t(uint64_t(durationMs) >> (8 * i));
    out[8] = uint8_t(gps.size()), out[9] = uint8_t(gps.size() >> 8);
    out.insert(out.end(), gps.begin(), gps.end());
    out.insert(out.end(), gs.begin(), gs.end());
    return out;
}

void fuzzSensors(const uint8_t* data, size_t size) {
    uint8_t head[10] = {};
    if (data && size) std::memcpy(head, data, std::min<size_t>(size, sizeof head));
    uint64_t raw = 0;
    for (int i = 7; i >= 0; --i) raw = raw << 8 | head[i];
    const int64_t duration = int64_t(raw);
    const uint8_t* rest = size > sizeof head ? data + sizeof head : nullptr;
    const size_t restSize = size > sizeof head ? size - sizeof head : 0;
    const size_t gpsSize = std::min<size_t>(restSize, size_t(head[8]) | size_t(head[9]) << 8);
    // Each part in a heap block of exactly its size, so that ASan sees any read past it.
    std::unique_ptr<uint8_t[]> gps(new uint8_t[gpsSize + 1]), gs(new uint8_t[restSize - gpsSize + 1]);
    if (gpsSize) std::memcpy(gps.get(), rest, gpsSize);
    if (restSize > gpsSize) std::memcpy(gs.get(), rest + gpsSize, restSize - gpsSize);

    static SensorData d;  // one object for the whole run, as the window keeps one
    d.ResetGps();
    d.ResetGSensor();
    const std::string& range = d.Build(gs.get(), restSize - gpsSize, gps.get(), gpsSize, duration);
    CheckText(range, 200, "range");
    Check(d.GpsCount() <= kGpsEntries, "GPS count");
    for (size_t r = 0; r < d.GpsCount(); ++r) {
        const GpsEntry& e = d.Gps()[r];
        Check(e.nLength > 0 && e.nLength < kGpsTextBytes && e.szText[e.nLength] == 0, "GPS entry text");
    }
    CheckReadouts(d);

    // The sentences as the block holds them, at their stated lengths, with no
    // terminator after the bytes present.
    for (size_t r = 0; r < 3; ++r) {
        const size_t off = r * kGpsRecordBytes + 8;
        if (off >= gpsSize) break;
        uint32_t len = 0;
        std::memcpy(&len, gps.get() + off - 4, std::min<size_t>(4, gpsSize - (off - 4)));
        const size_t have = std::min<size_t>(gpsSize - off, len);
        std::unique_ptr<char[]> text(new char[have ? have : 1]);
        std::memcpy(text.get(), gps.get() + off, have);
        GpsFix f;
        ParseRmc(text.get(), have, f);
        IsRmcValid(text.get(), have);
        CheckText(FixTimeText(f), 100, "fix time");
        SpeedMileOf(f.dSpeedKmh);
        NmeaToDecimal(std::string(text.get(), have));
    }

    // Ticks: fixed positions, the edges of the GPS seconds and of the samples.
    const int64_t fixed[] = {0, 999, duration / 2, duration, -1, std::numeric_limits<int64_t>::max()};
    for (int64_t p : fixed) Tick(d, p);
    const size_t n = d.GpsCount();
    for (size_t r = 0; r < std::min<size_t>(n + 1, kGpsEntries); ++r) {
        if (r > 2 && r + 1 < n) continue;
        const int64_t at = int64_t(d.Gps()[r].nTimeSec) * 1000;
        Tick(d, at - 1);
        Tick(d, at);
    }
    const GSensorSample* t = d.GSensorTable();
    const size_t used = d.GSensorCount();
    Check(used <= kGSensorMaxSamples && (used == kGSensorSlots || t[used].nTimeMs == 0), "G-sensor slots");
    for (size_t i : {size_t(0), used ? used - 1 : 0}) {
        Tick(d, int64_t(t[i].nTimeMs) - 1);
        Tick(d, int64_t(t[i].nTimeMs));
    }

    // The graph as it would be painted.
    static Curves c;
    BuildCurves(d.GSensorTable(), used, c);  // the slots after these hold time 0
    for (const auto& pts : c.axis) {
        Check(pts.empty() || pts.size() >= 2, "curve length");
        if (!pts.empty()) Check(pts[0].x == kPlotLeft && pts[0].y == pts[1].y, "first segment");
        for (const Point& p : pts) Check(p.y >= kCurveMinY && p.y <= kCurveMaxY && p.x >= kPlotLeft, "curve point");
    }
    CheckText(MapText(d.Texts().latitude), 400, "map text of label");
    for (int c : DigitCells(int32_t(raw))) Check(c >= kBlankCell && c <= 9, "digit cell");

    d.ResetGps();
    Tick(d, duration);
    d.ResetGSensor();
    Check(!d.UpdateGSensor(0) && d.CursorMs() == 0, "reset G-sensor");
}
