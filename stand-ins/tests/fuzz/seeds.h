// Small valid inputs to start fuzzing from: a two-channel stream and an index.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "cardstore.h"

inline std::vector<uint8_t> seedStream() {
    krv::StreamInfo info;
    info.channels = 2;
    info.width = 32;
    info.height = 32;
    info.fpsNum = 2;
    info.audioRate = 8000;
    std::vector<uint8_t> out(krv::kStreamHeaderBytes);
    krv::buildStreamHeader(info, out.data());
    auto add = [&](uint32_t tag, uint32_t seq, const void* p, size_t n) {
        uint8_t h[16];
        krv::wr32(h, tag);
        krv::wr32(h + 4, uint32_t(n));
        krv::wr32(h + 8, seq);
        krv::wr32(h + 12, seq * 1000);
        out.insert(out.end(), h, h + 16);
        const uint8_t* b = static_cast<const uint8_t*>(p);
        out.insert(out.end(), b, b + n);
        out.resize((out.size() + 3) & ~size_t(3), 0);
    };
    const uint8_t jpeg[] = {0xFF, 0xD8, 0xFF, 0xD9, 1, 2, 3};
    const char rmc[] = "$GPRMC,010203.00,A,3733.1234,N,12658.5678,E,12.3,45.6,140624,,,A*00";
    float g[6] = {0.1f, 0.2f, 1.0f, -0.1f, 0.0f, 0.9f};
    int16_t pcm[16] = {};
    for (uint32_t s = 0; s < 2; ++s) {
        add(krv::kTagAudio, s, pcm, sizeof pcm);
        add(krv::kTagGps, s, rmc, sizeof rmc - 1);
        add(krv::kTagGSensor, s, g, sizeof g);
        for (uint32_t f = 0; f < 2; ++f) {
            add(krv::kTagVideo0, s * 2 + f, jpeg, sizeof jpeg);
            add(krv::kTagVideo1, s * 2 + f, jpeg, sizeof jpeg - 1);
        }
    }
    return out;
}

inline std::vector<uint8_t> seedIndex() {
    std::vector<krv::IndexEntry> e(3);
    const char* names[] = {"R_240614_081500_N1.avi", "R_240614_081600_E2.avi", "R_240614_081700_J0.jpg"};
    for (int i = 0; i < 3; ++i) {
        e[size_t(i)].type = uint8_t(i == 0 ? krv::kNormal : i == 1 ? krv::kEvent : krv::kPhoto);
        e[size_t(i)].fileId = uint32_t(i + 1);
        std::strcpy(e[size_t(i)].name, names[i]);
    }
    return krv::serializeIndex(e);
}
