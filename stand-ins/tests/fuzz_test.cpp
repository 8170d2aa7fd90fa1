// Seeded mutation testing of the card readers (the CI stand-in for the
// libFuzzer target), plus every damaged input kept from fuzzing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "fuzz/seeds.h"
#include "fuzz/store_fuzz.h"

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

void mutate(std::vector<uint8_t>& d, Rng& rng) {
    static const uint32_t extremes[] = {0,   1,   0x7FFFFFFF, 0xFFFFFFFF, krv::kMaxChunkBytes, krv::kMaxChunkBytes + 1,
                                        127, 128, 0x10000};
    int edits = 1 + int(rng.below(4));
    for (int i = 0; i < edits && !d.empty(); ++i) {
        switch (rng.below(5)) {
            case 0: d[rng.below(d.size())] ^= uint8_t(1u << rng.below(8)); break;
            case 1: d[rng.below(d.size())] = uint8_t(rng.next()); break;
            case 2:  // an extreme 32-bit value at an aligned offset (sizes, counts)
                if (d.size() >= 4) krv::wr32(&d[rng.below(d.size() / 4) * 4], extremes[rng.below(std::size(extremes))]);
                break;
            case 3: d.resize(rng.below(d.size() + 1)); break;  // cut short
            case 4: {                                          // duplicate a region
                size_t a = rng.below(d.size()), n = rng.below(std::min<size_t>(64, d.size() - a));
                d.insert(d.begin() + long(rng.below(d.size())), d.begin() + long(a), d.begin() + long(a + n));
                break;
            }
        }
    }
}

}  // namespace

TEST(Fuzz, SeededMutationsOfStreamAndIndex) {
    const std::vector<uint8_t> seeds[] = {seedStream(), seedIndex()};
    Rng rng(20240614);
    for (const auto& seed : seeds) {
        fuzzCardStore(seed.data(), seed.size());
        for (int i = 0; i < 4000; ++i) {
            std::vector<uint8_t> d = seed;
            mutate(d, rng);
            fuzzCardStore(d.data(), d.size());
        }
    }
    fuzzCardStore(nullptr, 0);
}

TEST(Fuzz, KeptDamagedInputs) {
    int n = 0;
    for (const auto& f : std::filesystem::directory_iterator(KRV_FUZZ_REGRESSIONS)) {
        std::ifstream in(f.path(), std::ios::binary);
        std::vector<uint8_t> d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        SCOPED_TRACE(f.path().string());
        fuzzCardStore(d.data(), d.size());
        ++n;
    }
    EXPECT_GT(n, 0);
}
