// Time of the sensor table build for full blocks (70 valid GPS records, 1365
// G-sensor samples) and of one playback tick's portable work (GPS readout,
// G-sensor readout, the graph's curves and cursor). Prints
//   build_sensor_tables_us MEDIAN us ...
//   sensor_tick_us MEDIAN us ...
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "blocks.h"
#include "sensor_data.h"

using namespace sensors;
using Clock = std::chrono::steady_clock;

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2001;
    // 70 seconds of valid sentences that move and change speed, crossing the UTC midnight.
    std::vector<std::string> sentences;
    for (int s = 0; s < 70; ++s) {
        char body[128];
        std::snprintf(body, sizeof body, "GNRMC,2359%02d.00,A,3723.%05d,N,12658.%05d,E,%d.%d,%d.0,311223,,,A,V",
                      (s + 30) % 60, 24750 + 37 * s, 69200 + 53 * s, 20 + s % 40, s % 10, (45 + 3 * s) % 360);
        sentences.push_back(testblocks::Rmc(body));
    }
    std::vector<std::array<float, 3>> samples;
    for (size_t i = 0; i < kGSensorMaxSamples; ++i)
        samples.push_back({0.01f * float(i % 13), -0.02f * float(i % 7), 1.0f + 0.001f * float(i % 17)});
    const std::vector<uint8_t> gps = testblocks::GpsBlock(sentences);
    const std::vector<uint8_t> gs = testblocks::GSensorBlock(samples);
    const int64_t durationMs = 70000;

    SensorData data;
    std::vector<double> build;
    for (int r = 0; r < runs; ++r) {
        auto t0 = Clock::now();
        data.Build(gs.data(), gps.data(), durationMs);
        auto t1 = Clock::now();
        build.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    if (!data.GpsValid() || data.GpsCount() != 70 || data.GSensorCount() != kGSensorMaxSamples) {
        std::fprintf(stderr, "unexpected tables\n");
        return 1;
    }

    // Playback ticks every 300 ms over the recording, as many rounds as fit the runs.
    std::vector<double> tick;
    Curves curves;
    size_t points = 0;
    for (int round = 0; round < std::max(1, runs / 200); ++round) {
        for (int64_t pos = 0; pos <= durationMs; pos += 300) {
            auto t0 = Clock::now();
            GpsUpdate g = data.UpdateGps(pos);
            auto s = data.UpdateGSensor(pos);
            BuildCurves(data.GSensorTable(), curves);
            auto x = CursorX(data.CursorMs());
            auto t1 = Clock::now();
            tick.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
            points += curves.axis[0].size() + (s ? 1 : 0) + (x ? 1 : 0) + g.time.size();
        }
    }
    std::printf("build_sensor_tables_us %.1f us (70 GPS records, %zu G-sensor samples; median of %d; limit 100 us)\n",
                Median(build), kGSensorMaxSamples, runs);
    std::printf(
        "sensor_tick_us %.1f us (UpdateGps + UpdateGSensor + curves and cursor; median of %zu ticks; check %zu)\n",
        Median(tick), tick.size(), points % 10);
    return 0;
}
