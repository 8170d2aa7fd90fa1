// The source filter's AVI index over files made by the card store's converter,
// whole, cut short, with a damaged or missing index, and mutated at random.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "avi.h"
#include "avi_index.h"
#include "cardstore.h"

namespace {

// A play file of `seconds` at 30 fps: frame payloads carry their number.
std::vector<uint8_t> MakeAvi(int channels, int seconds, bool audio) {
    char tmpl[] = "/tmp/avi-index-XXXXXX";
    int fd = mkstemp(tmpl);
    close(fd);
    krv::StreamInfo info;
    info.channels = uint8_t(channels);
    info.audioChannels = audio ? 1 : 0;
    info.width = 64;
    info.height = 48;
    info.fpsNum = 30;
    {
        krv::StreamWriter w;
        EXPECT_TRUE(w.open(tmpl, info));
        uint32_t frame = 0;
        for (int s = 0; s < seconds; ++s) {
            if (audio) {
                std::vector<int16_t> pcm(16000, int16_t(s));
                w.add(krv::kTagAudio, uint32_t(s), uint32_t(s) * 1000, pcm.data(), pcm.size() * 2);
            }
            for (int f = 0; f < 30; ++f, ++frame)
                for (int ch = 0; ch < channels; ++ch) {
                    std::vector<uint8_t> payload(100 + frame % 7, uint8_t(ch));
                    std::memcpy(payload.data(), &frame, 4);
                    w.add(ch ? krv::kTagVideo1 : krv::kTagVideo0, frame, frame * 1000 / 30, payload.data(),
                          payload.size());
                }
        }
        EXPECT_TRUE(w.close());
    }
    krv::FileSource src(tmpl);
    krv::MemorySink sink;
    EXPECT_EQ(krv::convertStream(src, &sink, nullptr, nullptr), krv::MakeResult::Ok);
    std::remove(tmpl);
    return sink.bytes;
}

uint32_t FrameOf(const std::vector<uint8_t>& file, const avi::Sample& s) {
    uint32_t f;
    std::memcpy(&f, &file[s.offset], 4);
    return f;
}

size_t Find(const std::vector<uint8_t>& v, const char* tag) {
    for (size_t i = 0; i + 4 <= v.size(); ++i)
        if (!std::memcmp(&v[i], tag, 4)) return i;
    return std::string::npos;
}
size_t FindLast(const std::vector<uint8_t>& v, const char* tag) {
    for (size_t i = v.size() - 4; i > 0; --i)
        if (!std::memcmp(&v[i], tag, 4)) return i;
    return std::string::npos;
}
uint32_t FrameAt(int64_t start) { return uint32_t((start * 30 + 5000000) / 10000000); }

TEST(AviIndex, StreamsSamplesAndTimes) {
    std::vector<uint8_t> file = MakeAvi(2, 3, true);
    avi::File f;
    std::string why;
    ASSERT_TRUE(avi::parse(file.data(), file.size(), f, &why)) << why;
    ASSERT_EQ(f.streams.size(), 3u);
    EXPECT_TRUE(f.streams[0].video);
    EXPECT_TRUE(f.streams[1].video);
    EXPECT_TRUE(f.streams[2].audio);
    EXPECT_EQ(f.streams[0].compression, krv::fourcc("MJPG"));
    EXPECT_EQ(f.streams[0].width, 64);
    EXPECT_EQ(f.streams[2].formatTag, 1);
    EXPECT_EQ(f.streams[2].avgBytesPerSec, 32000u);
    for (int ch = 0; ch < 2; ++ch) {
        const avi::Stream& s = f.streams[size_t(ch)];
        ASSERT_EQ(s.samples.size(), 90u);
        for (size_t i = 0; i < s.samples.size(); ++i) {
            EXPECT_EQ(FrameOf(file, s.samples[i]), i);
            EXPECT_EQ(file[s.samples[i].offset + 4], ch);
            EXPECT_EQ(s.samples[i].start, int64_t(i) * 10000000 / 30);
            EXPECT_TRUE(s.samples[i].key);
        }
    }
    const avi::Stream& a = f.streams[2];
    ASSERT_EQ(a.samples.size(), 3u);
    EXPECT_EQ(a.samples[1].start, 10000000);
    EXPECT_EQ(a.samples[2].stop, 30000000);
    EXPECT_EQ(f.duration(), 30000000);
    // The frame shown at a time is the last one starting at or before it.
    EXPECT_EQ(f.streams[0].keyBefore(0), 0u);
    EXPECT_EQ(f.streams[0].keyBefore(10000000), 30u);
    EXPECT_EQ(f.streams[0].keyBefore(10000000 - 1), 29u);
    EXPECT_EQ(f.streams[0].keyBefore(99 * 10000000LL), 89u);
}

TEST(AviIndex, KeyFramesAreFoundBackwards) {
    std::vector<uint8_t> file = MakeAvi(1, 1, false);
    avi::File f;
    ASSERT_TRUE(avi::parse(file.data(), file.size(), f));
    avi::Stream& s = f.streams[0];
    for (size_t i = 0; i < s.samples.size(); ++i) s.samples[i].key = i % 10 == 0;
    EXPECT_EQ(s.keyBefore(s.samples[17].start + 5), 10u);
    EXPECT_EQ(s.keyBefore(s.samples[9].start), 0u);
    s.samples[20].damaged = true;
    EXPECT_EQ(s.keyBefore(s.samples[25].start), 10u);
}

TEST(AviIndex, WithoutAnIndexTheMoviListIsWalked) {
    std::vector<uint8_t> file = MakeAvi(2, 2, true);
    size_t idx = FindLast(file, "idx1");
    ASSERT_NE(idx, std::string::npos);
    avi::File whole;
    ASSERT_TRUE(avi::parse(file.data(), file.size(), whole));
    file.resize(idx);  // index gone
    avi::File walked;
    ASSERT_TRUE(avi::parse(file.data(), file.size(), walked));
    ASSERT_EQ(walked.streams.size(), 3u);
    for (size_t k = 0; k < 3; ++k) {
        ASSERT_EQ(walked.streams[k].samples.size(), whole.streams[k].samples.size());
        for (size_t i = 0; i < whole.streams[k].samples.size(); ++i) {
            EXPECT_EQ(walked.streams[k].samples[i].offset, whole.streams[k].samples[i].offset);
            EXPECT_EQ(walked.streams[k].samples[i].start, whole.streams[k].samples[i].start);
        }
    }
}

TEST(AviIndex, CutShortKeepsTheWholeSamplesOnly) {
    std::vector<uint8_t> file = MakeAvi(1, 2, true);
    avi::File f;
    size_t lastCount = 0;
    for (size_t step = 0; step <= file.size() / 97 + 1; ++step) {
        size_t len = std::min(file.size(), step * 97);
        std::vector<uint8_t> cut(file.begin(), file.begin() + long(len));
        if (!avi::parse(cut.data(), cut.size(), f)) continue;
        size_t count = 0;
        for (const avi::Stream& s : f.streams)
            for (const avi::Sample& m : s.samples) {
                ASSERT_LE(m.offset + m.size, len);
                ++count;
                if (s.video) {
                    EXPECT_EQ(FrameOf(cut, m), FrameAt(m.start));
                }
            }
        EXPECT_GE(count, lastCount);  // a longer file never has fewer samples
        lastCount = count;
    }
    EXPECT_EQ(lastCount, 62u);
}

TEST(AviIndex, DamagedChunksKeepTheTimesOfTheFramesAfterThem) {
    std::vector<uint8_t> file = MakeAvi(1, 1, false);
    avi::File f;
    ASSERT_TRUE(avi::parse(file.data(), file.size(), f));
    size_t at = f.streams[0].samples[10].offset - 8;
    std::memcpy(&file[at], "XXXX", 4);
    ASSERT_TRUE(avi::parse(file.data(), file.size(), f));
    const avi::Stream& s = f.streams[0];
    ASSERT_EQ(s.samples.size(), 30u);
    EXPECT_TRUE(s.samples[10].damaged);
    EXPECT_EQ(FrameOf(file, s.samples[11]), 11u);
    EXPECT_EQ(s.samples[11].start, 11 * 10000000LL / 30);
}

TEST(AviIndex, LongIndexesAreCheckedBySpreadAndEachChunkWhenDelivered) {
    std::vector<uint8_t> file = MakeAvi(1, 3, false);  // 90 entries
    avi::File f;
    ASSERT_TRUE(avi::parse(file.data(), file.size(), f));
    ASSERT_EQ(f.streams[0].samples.size(), 90u);
    // A frame the opening spread of 64 entries does not look at.
    std::set<size_t> spread;
    for (size_t k = 0; k < 64; ++k) spread.insert(k * 89 / 63);
    size_t hidden = 1;
    while (spread.count(hidden)) ++hidden;
    std::memcpy(&file[f.streams[0].samples[hidden].offset - 8], "XXXX", 4);
    ASSERT_TRUE(avi::parse(file.data(), file.size(), f));
    const avi::Stream& s = f.streams[0];
    EXPECT_TRUE(s.samples[hidden].unchecked);
    EXPECT_FALSE(s.samples[hidden].present(file.data()));  // skipped when its turn comes
    EXPECT_TRUE(s.samples[hidden + 1].present(file.data()));
    EXPECT_EQ(FrameOf(file, s.samples[hidden + 1]), hidden + 1);
    EXPECT_EQ(s.samples[hidden + 1].start, int64_t(hidden + 1) * 10000000LL / 30);

    // One the spread does look at: every entry is checked while parsing.
    std::memcpy(&file[f.streams[0].samples[0].offset - 8], "XXXX", 4);
    ASSERT_TRUE(avi::parse(file.data(), file.size(), f));
    EXPECT_TRUE(f.streams[0].samples[0].damaged);
    EXPECT_TRUE(f.streams[0].samples[hidden].damaged);
    EXPECT_FALSE(f.streams[0].samples[hidden + 1].unchecked);
    EXPECT_TRUE(f.streams[0].samples[hidden + 1].present(file.data()));
}

TEST(AviIndex, RejectsWhatIsNoPlayFile) {
    avi::File f;
    std::string why;
    EXPECT_FALSE(avi::parse(nullptr, 0, f, &why));
    std::vector<uint8_t> junk(5000);
    std::mt19937 rng(7);
    for (auto& b : junk) b = uint8_t(rng());
    EXPECT_FALSE(avi::parse(junk.data(), junk.size(), f, &why));
    std::vector<uint8_t> file = MakeAvi(1, 1, false);
    std::vector<uint8_t> headerOnly(file.begin(), file.begin() + long(Find(file, "movi") + 4));
    EXPECT_FALSE(avi::parse(headerOnly.data(), headerOnly.size(), f, &why));
    EXPECT_EQ(why, "no complete sample");
    std::memcpy(&file[8], "WAVE", 4);
    EXPECT_FALSE(avi::parse(file.data(), file.size(), f, &why));
    EXPECT_TRUE(f.streams.empty());
}

TEST(AviIndex, MutatedFilesStayInBounds) {
    std::vector<uint8_t> file = MakeAvi(2, 1, true);
    std::mt19937 rng(1234);
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> m = file;
        int edits = 1 + int(rng() % 8);
        for (int e = 0; e < edits; ++e) {
            size_t pos = rng() % m.size();
            switch (rng() % 3) {
                case 0: m[pos] = uint8_t(rng()); break;
                case 1: std::memset(&m[pos], 0xFF, std::min<size_t>(4, m.size() - pos)); break;
                default: m.resize(pos + 1); break;
            }
        }
        avi::File f;
        if (!avi::parse(m.data(), m.size(), f)) continue;
        ASSERT_LE(f.streams.size(), avi::kMaxStreams);
        for (const avi::Stream& s : f.streams) {
            for (const avi::Sample& smp : s.samples) {
                if (!smp.damaged) {
                    ASSERT_LE(smp.offset + smp.size, m.size());
                    ASSERT_GE(smp.offset, 8u);
                    smp.present(m.data());  // reads the chunk id in bounds
                }
            }
        }
    }
}

}  // namespace
