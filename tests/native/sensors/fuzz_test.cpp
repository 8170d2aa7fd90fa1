// Seeded mutation testing of the sensor data (the CI stand-in for the
// libFuzzer target), plus every input kept from fuzzing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "fuzz/seeds.h"
#include "fuzz/sensors_fuzz.h"

namespace {

struct Rng {
    uint64_t s;
    explicit Rng(uint64_t seed) : s(seed | 1) {}
    uint32_t next() {
        s ^= s << 13, s ^= s >> 7, s ^= s << 17;
        return uint32_t(s >> 16);
    }
    size_t below(size_t n) { return n ? next() % n : 0; }
};

void Put32(std::vector<uint8_t>& d, size_t at, uint32_t v) {
    for (size_t i = 0; i < 4 && at + i < d.size(); ++i) d[at + i] = uint8_t(v >> (8 * i));
}

void mutate(std::vector<uint8_t>& d, Rng& rng) {
    // Lengths, byte counts and float patterns at their edges.
    static const uint32_t extremes[] = {0,          1,          12,         40,         127,        128,
                                        0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 16384,      0x7F800000,  // +inf
                                        0xFF800000, 0x7FC00000, 0x7F7FFFFF, 0x00000001, 0xFFFFFFF4};
    static const char chars[] = ",.*-+AVNSEW0123456789 e\r";
    int edits = 1 + int(rng.below(4));
    for (int i = 0; i < edits && d.size() > 10; ++i) {
        switch (rng.below(6)) {
            case 0: d[rng.below(d.size())] ^= uint8_t(1u << rng.below(8)); break;
            case 1: d[rng.below(d.size())] = uint8_t(chars[rng.below(sizeof chars - 1)]); break;
            case 2: Put32(d, rng.below(d.size() / 4) * 4, extremes[rng.below(std::size(extremes))]); break;
            case 3: d.resize(10 + rng.below(d.size() - 9)); break;  // cut short
            case 4: {                                               // duplicate a region
                size_t a = rng.below(d.size()), n = rng.below(std::min<size_t>(64, d.size() - a));
                d.insert(d.begin() + long(rng.below(d.size())), d.begin() + long(a), d.begin() + long(a + n));
                break;
            }
            case 5: d.erase(d.begin() + long(10 + rng.below(d.size() - 10))); break;  // drop a byte
        }
    }
}

}  // namespace

TEST(SensorFuzz, SeededMutations) {
    Rng rng(20240701);
    for (const auto& seed : sensorSeeds()) {
        fuzzSensors(seed.data(), seed.size());
        for (int i = 0; i < 1500; ++i) {
            std::vector<uint8_t> d = seed;
            mutate(d, rng);
            fuzzSensors(d.data(), d.size());
        }
    }
    fuzzSensors(nullptr, 0);
}

TEST(SensorFuzz, KeptInputs) {
    int n = 0;
    for (const auto& f : std::filesystem::directory_iterator(SENSORS_FUZZ_REGRESSIONS)) {
        std::ifstream in(f.path(), std::ios::binary);
        std::vector<uint8_t> d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        SCOPED_TRACE(f.path().string());
        fuzzSensors(d.data(), d.size());
        ++n;
    }
    EXPECT_GT(n, 0);
}
