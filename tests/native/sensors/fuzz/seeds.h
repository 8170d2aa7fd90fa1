// Inputs to start fuzzing from: realistic recordings and the block edges.
#pragma once

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "../blocks.h"
#include "sensors_fuzz.h"

inline std::vector<std::vector<uint8_t>> sensorSeeds() {
    using testblocks::Rmc;
    std::vector<std::vector<uint8_t>> seeds;

    // Ten seconds of driving with a void stretch, 20 samples a second.
    std::vector<std::string> drive;
    for (int s = 0; s < 10; ++s) {
        char body[128];
        if (s >= 4 && s <= 6) std::snprintf(body, sizeof body, "GPRMC,2359%02d.00,V,,,,,,,311223,,,N", 50 + s);
        else
            std::snprintf(body, sizeof body, "GPRMC,2359%02d.00,A,3723.%05d,N,12658.%05d,E,%d.%d,45.0,311223,,,A",
                          50 + s, 24750 + 30 * s, 69200 + 41 * s, 20 + s, s);
        drive.push_back(Rmc(body));
    }
    std::vector<std::array<float, 3>> samples;
    for (int i = 0; i < 200; ++i)
        samples.push_back({0.02f * float(i % 7), -0.01f * float(i % 5), 1.0f + (i == 120 ? 2.5f : 0.0f)});
    seeds.push_back(fuzzInput(10000, testblocks::GpsBlock(drive), testblocks::GSensorBlock(samples)));

    // Receivers of several kinds; values that are not finite.
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    seeds.push_back(
        fuzzInput(3000,
                  testblocks::GpsBlock({Rmc("GNRMC,152210.000,A,3351.72318,S,15112.44108,E,0.012,,281024,,,A,V"),
                                        Rmc("GLRMC,094500,A,5130.441,N,00007.656,W,5.5,301.0,150324,,"),
                                        Rmc("BDRMC,033015.000,A,2332.97820,S,04638.11520,W,,,250824,,,A,V"),
                                        Rmc("GPRMC,,V,,,,,,,,,,N"), "$GPRMC,1,A"}),
                  testblocks::GSensorBlock(40, {{nan, inf, -inf}, {1e30f, -1e30f, 0}, {0.5f, -0.5f, 1}})));

    // Full blocks: 70 records, 1365 samples.
    std::vector<std::string> full(70, Rmc("GPRMC,081836.00,A,3723.24750,N,12658.69200,E,32.4,45.0,120624,,,A"));
    std::vector<std::array<float, 3>> many(1365, {0.1f, -0.2f, 0.98f});
    seeds.push_back(fuzzInput(70000, testblocks::GpsBlock(full), testblocks::GSensorBlock(16384, many)));

    // Edges: a 127-byte text, a record of length 128, a negative byte count.
    std::string text127 = Rmc("GPRMC,081836,A,3723.2475,N,12658.692,E,1,1,120624");
    text127.resize(127, ',');
    seeds.push_back(fuzzInput(-5000, testblocks::GpsBlock({{1, text127}, {2, std::string(128, 'A')}}),
                              testblocks::GSensorBlock(-12, {{1, 2, 3}})));
    return seeds;
}
