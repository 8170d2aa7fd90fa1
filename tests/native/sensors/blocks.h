// Builders of sentences and of the two sensor blocks for the tests, the fuzz
// seeds and the benchmark.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "sensor_data.h"

namespace testblocks {

// "$" + body + "*hh" with the sentence's checksum.
inline std::string Rmc(const std::string& body) {
    unsigned x = 0;
    for (char c : body) x ^= uint8_t(c);
    char sum[8];
    std::snprintf(sum, sizeof sum, "*%02X", x);
    return "$" + body + sum;
}

inline void Put32(std::vector<uint8_t>& b, size_t off, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[off + size_t(i)] = uint8_t(v >> (8 * i));
}

// A GPS block with these records: (second, text), the record's length being
// the text's size (so a text of 128 or more bytes, or an empty one, ends the
// sequence; only the first 128 bytes are stored).
inline std::vector<uint8_t> GpsBlock(const std::vector<std::pair<uint32_t, std::string>>& records) {
    std::vector<uint8_t> b(sensors::kBlockBytes, 0);
    for (size_t r = 0; r < records.size() && r < sensors::kGpsEntries; ++r) {
        size_t off = r * sensors::kGpsRecordBytes;
        Put32(b, off, records[r].first);
        Put32(b, off + 4, uint32_t(records[r].second.size()));
        std::memcpy(&b[off + 8], records[r].second.data(), std::min<size_t>(records[r].second.size(), 128));
    }
    return b;
}

// Seconds 1, 2, 3 ... for the sentences in order.
inline std::vector<uint8_t> GpsBlock(const std::vector<std::string>& sentences) {
    std::vector<std::pair<uint32_t, std::string>> recs;
    for (size_t i = 0; i < sentences.size(); ++i) recs.emplace_back(uint32_t(i + 1), sentences[i]);
    return GpsBlock(recs);
}

// A G-sensor block: the byte count as given, then the samples (as many as fit).
inline std::vector<uint8_t> GSensorBlock(int32_t byteCount, const std::vector<std::array<float, 3>>& samples) {
    std::vector<uint8_t> b(sensors::kBlockBytes, 0);
    Put32(b, 0, uint32_t(byteCount));
    for (size_t i = 0; i < samples.size() && 4 + 12 * (i + 1) <= b.size(); ++i)
        std::memcpy(&b[4 + 12 * i], samples[i].data(), 12);
    return b;
}

// A G-sensor block of n samples with their natural byte count.
inline std::vector<uint8_t> GSensorBlock(const std::vector<std::array<float, 3>>& samples) {
    return GSensorBlock(int32_t(samples.size() * 12), samples);
}

}  // namespace testblocks
