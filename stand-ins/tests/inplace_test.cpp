// The AVI made in place from blocks of the stream against the streamed one:
// same frames, audio, index and sensor data on real and hand-made streams,
// chunk headers across block edges, frames larger than a block, and what the
// sink may rely on while it holds shared pieces.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "avi.h"
#include "card.h"
#include "cardgen.h"
#include "cardstore.h"
#include "fuzz/avi_check.h"
#include "testutil.h"

using namespace krv;

namespace {

// A stream built chunk by chunk in memory, exactly as the camera lays it out.
struct StreamBytes {
    std::vector<uint8_t> b;
    explicit StreamBytes(const StreamInfo& info) {
        b.resize(kStreamHeaderBytes);
        buildStreamHeader(info, b.data());
    }
    StreamBytes& add(uint32_t tag, std::vector<uint8_t> payload, uint32_t seq = 0) {
        uint8_t h[kChunkHeaderBytes];
        wr32(h, tag);
        wr32(h + 4, uint32_t(payload.size()));
        wr32(h + 8, seq);
        wr32(h + 12, seq * 33);
        b.insert(b.end(), h, h + sizeof h);
        b.insert(b.end(), payload.begin(), payload.end());
        b.resize((b.size() + 3) & ~size_t(3), 0);
        return *this;
    }
    size_t size() const { return b.size(); }
};

std::vector<uint8_t> pattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(seed + i * 7 + (i >> 9));
    return v;
}

std::vector<uint8_t> gsensor(int samples, float base) {
    std::vector<uint8_t> v(size_t(samples) * 12);
    for (int i = 0; i < samples * 3; ++i) {
        float f = base + 0.01f * float(i);
        std::memcpy(&v[size_t(i) * 4], &f, 4);
    }
    return v;
}

std::vector<uint8_t> text(const char* s) { return std::vector<uint8_t>(s, s + std::strlen(s)); }

StreamInfo info(int channels, int audioChannels) {
    StreamInfo in;
    in.channels = uint8_t(channels);
    in.audioChannels = uint8_t(audioChannels);
    in.width = 64;
    in.height = 36;
    in.fpsNum = 10;
    in.audioRate = audioChannels ? 8000 : 0;
    return in;
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(InPlace, AgreesWithStreamedOnGeneratedRecordings) {
    TempDir dir;
    cardgen::Plan plan;
    std::string error;
    ASSERT_TRUE(cardgen::parsePlan(R"(card video=192x108 fps=10 quality=50 audio=8000
rec normal N 240614 081500 3 1
rec event  E 240614 081600 4 2 route=sydney
rec park   P 240614 081700 2 1 nogps nogsensor
rec normal N 240614 081800 5 2 truncate=60
)",
                                   plan, error))
        << error;
    ASSERT_TRUE(cardgen::writeCard(plan, dir.path + "/card", 2, error)) << error;
    Card card;
    ASSERT_TRUE(card.load(dir.path + "/card"));
    int checked = 0;
    for (const IndexEntry& e : card.entries()) {
        SCOPED_TRACE(e.name);
        std::vector<uint8_t> data = readFile(dataPath(card.root(), e));
        ASSERT_FALSE(data.empty());
        EXPECT_EQ(avicheck::compareWays(data.data(), data.size()), "");

        // An outside player reads the in-place file like the streamed one.
        avicheck::Made a = avicheck::make(data.data(), data.size(), true);
        avicheck::Made b = avicheck::make(data.data(), data.size(), false);
        ASSERT_EQ(a.result, MakeResult::Ok);
        std::ofstream(dir.path + "/a.avi", std::ios::binary)
            .write(reinterpret_cast<char*>(a.avi.data()), long(a.avi.size()));
        std::ofstream(dir.path + "/b.avi", std::ios::binary)
            .write(reinterpret_cast<char*>(b.avi.data()), long(b.avi.size()));
        auto pa = ffprobe(dir.path + "/a.avi"), pb = ffprobe(dir.path + "/b.avi");
        ASSERT_EQ(pa.size(), size_t(e.channels + 1));
        ASSERT_EQ(pa.size(), pb.size());
        for (size_t i = 0; i < pa.size(); ++i) {
            EXPECT_EQ(pa[i].codec, pb[i].codec);
            EXPECT_EQ(pa[i].frames, pb[i].frames);
            EXPECT_EQ(pa[i].decoded, pb[i].decoded);
            EXPECT_NEAR(pa[i].duration, pb[i].duration, 1e-6);
        }
        EXPECT_EQ(pa[0].codec, "mjpeg");
        ++checked;
    }
    EXPECT_EQ(checked, 4);
}

TEST(InPlace, AgreesOnOddSizesSkippedAndDamagedChunks) {
    StreamBytes s(info(1, 1));
    s.add(kTagAudio, pattern(801, 1), 0)  // mono 16-bit: the odd byte is dropped
        .add(kTagGps, text("$GPRMC,081500.00,A,3733.0,N,12658.0,E,10.0,0.0,140624,,,A*00\r\n"), 0)
        .add(kTagGSensor, gsensor(10, 0.5f), 0)
        .add(kTagVideo0, pattern(1001, 2), 0)   // 1 byte of AVI padding, 3 of store padding
        .add(kTagVideo0, pattern(1002, 3), 1)   // no AVI padding, 2 of store padding
        .add(kTagVideo0, {}, 2)                 // empty frame: not kept
        .add(kTagVideo1, pattern(77, 4), 2)     // a second channel the stream does not have
        .add(fourcc("ZZZZ"), pattern(9, 5), 0)  // a later chunk kind
        .add(kTagVideo0, pattern(1003, 6), 3)
        .add(kTagAudio, pattern(1, 7), 1)  // nothing left after alignment
        .add(kTagGps, text("$GPRMC,081501.00,V,,,,,,,140624,,,N*00"), 1)
        .add(kTagGSensor, gsensor(3, -1.0f), 1);  // sensor chunks after the last frame
    EXPECT_EQ(avicheck::compareWays(s.b.data(), s.size()), "");
    avicheck::Made a = avicheck::make(s.b.data(), s.size(), true);
    ASSERT_EQ(a.result, MakeResult::Ok);
    EXPECT_EQ(a.stats.frames[0], 3u);
    EXPECT_EQ(a.stats.audioBytes, 800u);
    EXPECT_EQ(a.sensors.gps.size(), 2u);
    EXPECT_EQ(a.sensors.gsensor.size(), 39u);

    // Cut at every length from inside the header to the end: the two ways
    // agree on where the data ends, and neither reads past the bytes.
    for (size_t n = 0; n <= s.size(); ++n) {
        SCOPED_TRACE(n);
        std::vector<uint8_t> cut(s.b.begin(), s.b.begin() + long(n));
        ASSERT_EQ(avicheck::compareWays(cut.data(), cut.size()), "");
    }

    // A chunk size beyond the store's limit ends the stream there.
    StreamBytes big = s;
    wr32(&big.b[kStreamHeaderBytes + 4], kMaxChunkBytes + 1);
    EXPECT_EQ(avicheck::compareWays(big.b.data(), big.size()), "");
    EXPECT_EQ(avicheck::make(big.b.data(), big.size(), true).result, MakeResult::NoVideo);
}

TEST(InPlace, HeadersAcrossBlockEdgesAndFramesLargerThanABlock) {
    // Blocks are 4 MiB. Each layout puts a different kind of chunk header
    // across the first block edge, then continues with large frames.
    const size_t edge = 4u << 20;
    for (uint32_t kind : {kTagVideo0, kTagVideo1, kTagGps, kTagGSensor, fourcc("ZZZZ")}) {
        for (size_t before : {size_t(0), size_t(4), size_t(8), size_t(12)}) {
            SCOPED_TRACE(std::string(reinterpret_cast<const char*>(&kind), 4) + " header starts " +
                         std::to_string(before) + " bytes before the edge");
            StreamBytes s(info(2, 2));
            s.add(kTagAudio, pattern(1600, 1), 0);
            // Fill so that the next header starts `before` bytes before the edge.
            size_t fill = edge - before - s.size() - kChunkHeaderBytes;
            s.add(kTagVideo0, pattern(fill, 2), 0);
            ASSERT_EQ(s.size(), edge - before);
            if (kind == kTagGSensor) s.add(kind, gsensor(400, 0.25f), 0);  // payload across the edge too
            else if (kind == kTagGps) s.add(kind, text("$GPRMC,1,A,1,N,1,E,1,1,1,,,A*00"), 0);
            else s.add(kind, pattern(5001, 3), 0);
            s.add(kTagVideo1, pattern(5u << 20, 4), 0);      // larger than a block
            s.add(kTagVideo0, pattern(edge * 2 + 3, 5), 1);  // spans three blocks
            s.add(kTagGSensor, gsensor(2, 1.5f), 1);
            s.add(kTagVideo1, pattern(99, 6), 1);
            ASSERT_EQ(avicheck::compareWays(s.b.data(), s.size()), "");
        }
    }
}

namespace {

// A sink that holds shared pieces the way the contract allows and checks the
// converter leaves them alone: a piece must read the same when the sink
// finally "writes" it, kSharedHeld shared calls later, or at any other call.
class HoldingSink : public ByteSink {
public:
    bool write(const void* data, size_t n) override {
        release(0);
        auto p = static_cast<const uint8_t*>(data);
        out.insert(out.end(), p, p + n);
        return true;
    }
    bool writeShared(const void* data, size_t n) override {
        auto p = static_cast<const uint8_t*>(data);
        held_.push_back({p, std::vector<uint8_t>(p, p + n)});
        release(kSharedHeld);
        return true;
    }
    bool patch(uint64_t offset, const void* data, size_t n) override {
        release(0);
        if (offset + n > out.size()) return false;
        std::memcpy(&out[size_t(offset)], data, n);
        return true;
    }
    std::vector<uint8_t> out;
    int changed = 0;

private:
    void release(size_t keep) {
        while (held_.size() > keep) {
            const auto& h = held_.front();
            if (std::memcmp(h.first, h.second.data(), h.second.size()) != 0) ++changed;
            out.insert(out.end(), h.second.begin(), h.second.end());
            held_.erase(held_.begin());
        }
    }
    std::vector<std::pair<const uint8_t*, std::vector<uint8_t>>> held_;
};

// Fails every write once `budget` bytes have gone through.
class FailingSink : public MemorySink {
public:
    explicit FailingSink(size_t budget) : budget_(budget) {}
    bool write(const void* data, size_t n) override {
        if (n > budget_) return false;
        budget_ -= n;
        return MemorySink::write(data, n);
    }

private:
    size_t budget_;
};

// Claims more bytes than it delivers (a card read that fails half-way).
class ShortSource : public MemorySource {
public:
    ShortSource(const uint8_t* d, size_t n, uint64_t claimed) : MemorySource(d, n), claimed_(claimed) {}
    bool totalSize(uint64_t& bytes) override {
        bytes = claimed_;
        return true;
    }

private:
    uint64_t claimed_;
};

StreamBytes longStream() {
    StreamBytes s(info(2, 1));
    for (uint32_t sec = 0; sec < 6; ++sec) {
        s.add(kTagAudio, pattern(16000, uint8_t(sec)), sec).add(kTagGps, text("$GPRMC,1,A,1,N,1,E,1,1,1,,,A*00"), sec);
        for (uint32_t f = 0; f < 10; ++f) {
            s.add(kTagVideo0, pattern(300000 + f * 13, uint8_t(f)), sec * 10 + f);
            s.add(kTagVideo1, pattern(200000 + f * 7, uint8_t(f + 1)), sec * 10 + f);
        }
    }
    return s;
}

}  // namespace

TEST(InPlace, SharedPiecesStayUntouchedWhileTheSinkHoldsThem) {
    StreamBytes s = longStream();
    ASSERT_GT(s.size(), 6u * (4u << 20));  // several blocks, so blocks are reused
    MemorySource src(s.b.data(), s.size());
    HoldingSink sink;
    AviStats st;
    ASSERT_EQ(convertStream(src, &sink, nullptr, nullptr, &st), MakeResult::Ok);
    EXPECT_EQ(sink.changed, 0);
    EXPECT_EQ(sink.out, avicheck::make(s.b.data(), s.size(), true).avi);
    EXPECT_EQ(st.frames[0], 60u);
    EXPECT_EQ(st.frames[1], 60u);
}

TEST(InPlace, StopsFailsAndRefusesSafely) {
    StreamBytes s = longStream();
    // A stop request is seen within a chunk.
    int polls = 0;
    auto stopAfter = [&polls](int n) { return [&polls, n] { return ++polls > n; }; };
    EXPECT_EQ(avicheck::make(s.b.data(), s.size(), true, stopAfter(5)).result, MakeResult::Stopped);
    polls = 0;
    EXPECT_EQ(avicheck::make(s.b.data(), s.size(), true, stopAfter(100)).result, MakeResult::Stopped);

    // A sink that fails: at the header, in the data, at the index.
    for (size_t budget : {size_t(0), size_t(5u << 20), s.size() - 1000}) {
        SCOPED_TRACE(budget);
        MemorySource src(s.b.data(), s.size());
        FailingSink sink(budget);
        EXPECT_EQ(convertStream(src, &sink, nullptr, nullptr), MakeResult::WriteFailed);
    }

    // A source that delivers fewer bytes than it announced fails the make
    // instead of writing what it never read.
    ShortSource shortSrc(s.b.data(), s.size() - 100, s.size());
    MemorySink sink;
    EXPECT_EQ(convertStream(shortSrc, &sink, nullptr, nullptr), MakeResult::BadStream);
}
