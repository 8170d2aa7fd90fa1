// Card store: index and stream round trips, damaged input, menu.cfg layout.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "cardstore.h"
#include "testutil.h"

using namespace krv;

namespace {

IndexEntry entry(uint8_t type, const char* name, uint32_t id) {
    IndexEntry e;
    e.type = type;
    e.channels = type == kPhoto ? 0 : 2;
    e.fileId = id;
    e.dataBytes = id * 1000;
    e.durationMs = id * 100;
    std::strncpy(e.name, name, kNameBytes - 1);
    return e;
}

}  // namespace

TEST(Index, RoundTripKeepsOrderAndFields) {
    std::vector<IndexEntry> in = {entry(kNormal, "R_240614_081500_N2.avi", 1),
                                  entry(kPhoto, "R_240614_081700_J0.jpg", 0xABCDEF12),
                                  entry(kEvent, std::string(39, 'x').c_str(), 3)};
    std::vector<uint8_t> bytes = serializeIndex(in);
    ASSERT_EQ(bytes.size(), kIndexHeaderBytes + 3 * kIndexEntryBytes);
    std::vector<IndexEntry> out;
    ASSERT_TRUE(parseIndex(bytes.data(), bytes.size(), out));
    ASSERT_EQ(out.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(out[i].type, in[i].type);
        EXPECT_EQ(out[i].channels, in[i].channels);
        EXPECT_EQ(out[i].fileId, in[i].fileId);
        EXPECT_EQ(out[i].dataBytes, in[i].dataBytes);
        EXPECT_EQ(out[i].durationMs, in[i].durationMs);
        EXPECT_EQ(0, std::memcmp(out[i].name, in[i].name, kNameBytes));
    }
    EXPECT_EQ(std::string(out[2].name).size(), 39u);

    TempDir dir;
    std::filesystem::create_directories(dir.path + "/" + kDataDir);
    ASSERT_TRUE(writeIndex(dir.path, in));
    ASSERT_TRUE(readIndex(dir.path + "/", out));
    EXPECT_EQ(out.size(), 3u);
    EXPECT_EQ(dataPath(dir.path, out[1]), dir.path + "/KRVDATA/ABCDEF12.JPG");
    EXPECT_EQ(dataPath(dir.path, out[0]), dir.path + "/KRVDATA/00000001.KRS");
}

TEST(Index, RejectsBadHeadersAndDropsBadEntries) {
    std::vector<IndexEntry> in = {entry(kNormal, "A_good", 1), entry(kPark, "B_good", 2), entry(kEvent, "C_x", 3)};
    std::vector<uint8_t> bytes = serializeIndex(in);
    std::vector<IndexEntry> out;

    auto bad = bytes;
    bad[0] = 'X';
    EXPECT_FALSE(parseIndex(bad.data(), bad.size(), out));
    bad = bytes;
    wr32(&bad[8], 2);  // version
    EXPECT_FALSE(parseIndex(bad.data(), bad.size(), out));
    bad = bytes;
    wr32(&bad[12], 40);  // entry size
    EXPECT_FALSE(parseIndex(bad.data(), bad.size(), out));
    bad = bytes;
    wr32(&bad[16], 0xFFFFFFFF);  // absurd count
    EXPECT_FALSE(parseIndex(bad.data(), bad.size(), out));
    EXPECT_FALSE(parseIndex(bytes.data(), kIndexHeaderBytes - 1, out));
    EXPECT_FALSE(parseIndex(nullptr, 0, out));

    // Unknown type, unterminated name and empty name are dropped.
    bad = bytes;
    bad[kIndexHeaderBytes] = 7;
    std::memset(&bad[kIndexHeaderBytes + kIndexEntryBytes + 16], 'n', kNameBytes);
    bad[kIndexHeaderBytes + 2 * kIndexEntryBytes + 16] = 0;
    ASSERT_TRUE(parseIndex(bad.data(), bad.size(), out));
    EXPECT_TRUE(out.empty());

    // Garbage after the terminator is not handed out.
    bad = bytes;
    std::memset(&bad[kIndexHeaderBytes + 16 + 7], 'Z', kNameBytes - 8);
    ASSERT_TRUE(parseIndex(bad.data(), bad.size(), out));
    ASSERT_EQ(out.size(), 3u);
    for (size_t i = 7; i < kNameBytes; ++i) EXPECT_EQ(out[0].name[i], 0) << i;

    // A count beyond the file keeps the entries that are there.
    bad = bytes;
    bad.resize(bad.size() - 10);
    ASSERT_TRUE(parseIndex(bad.data(), bad.size(), out));
    EXPECT_EQ(out.size(), 2u);
}

TEST(Stream, RoundTripWithPaddingAndUnknownChunks) {
    TempDir dir;
    std::string path = dir.path + "/s.krs";
    StreamInfo info;
    info.channels = 2;
    info.width = 320;
    info.height = 180;
    info.fpsNum = 30000;
    info.fpsDen = 1001;
    StreamWriter w;
    ASSERT_TRUE(w.open(path, info));
    const char a[] = "abcde", b[] = "xy";
    ASSERT_TRUE(w.add(kTagVideo0, 0, 0, a, 5));
    ASSERT_TRUE(w.add(fourcc("ZZZZ"), 9, 9, a, 3));  // a future chunk kind
    ASSERT_TRUE(w.add(kTagVideo1, 0, 0, b, 2));
    ASSERT_TRUE(w.add(kTagGps, 0, 0, nullptr, 0));
    ASSERT_TRUE(w.close());
    EXPECT_EQ(std::filesystem::file_size(path), kStreamHeaderBytes + 4 * kChunkHeaderBytes + 8 + 4 + 4);

    FileSource src(path);
    StreamReader r(src);
    ASSERT_TRUE(r.open());
    EXPECT_EQ(r.info().channels, 2);
    EXPECT_EQ(r.info().fpsNum, 30000u);
    EXPECT_EQ(r.info().fpsDen, 1001u);
    ChunkHeader h;
    std::vector<uint8_t> p;
    ASSERT_TRUE(r.next(h, p));
    EXPECT_EQ(h.tag, kTagVideo0);
    EXPECT_EQ(std::string(p.begin(), p.end()), "abcde");
    ASSERT_TRUE(r.next(h, p));
    EXPECT_EQ(h.tag, kTagVideo1);
    EXPECT_EQ(std::string(p.begin(), p.end()), "xy");
    ASSERT_TRUE(r.next(h, p));
    EXPECT_EQ(h.tag, kTagGps);
    EXPECT_TRUE(p.empty());
    EXPECT_FALSE(r.next(h, p));
    EXPECT_FALSE(r.next(h, p));
}

TEST(Stream, CutShortEndsAtLastCompleteChunk) {
    StreamInfo info;
    info.width = info.height = 64;
    std::vector<uint8_t> bytes(kStreamHeaderBytes);
    buildStreamHeader(info, bytes.data());
    auto addChunk = [&](uint32_t tag, uint32_t size) {
        uint8_t h[16] = {};
        wr32(h, tag);
        wr32(h + 4, size);
        bytes.insert(bytes.end(), h, h + 16);
        bytes.resize(bytes.size() + ((size + 3) & ~3u), 0x5A);
    };
    addChunk(kTagVideo0, 100);
    addChunk(kTagVideo0, 100);
    for (size_t cut = bytes.size() - 1; cut > kStreamHeaderBytes + 116; cut -= 37) {
        MemorySource src(bytes.data(), cut);
        StreamReader r(src);
        ASSERT_TRUE(r.open());
        ChunkHeader h;
        std::vector<uint8_t> p;
        EXPECT_TRUE(r.next(h, p));
        EXPECT_FALSE(r.next(h, p)) << "cut at " << cut;
    }
    // A chunk claiming more than the maximum size ends the stream.
    auto huge = bytes;
    wr32(&huge[kStreamHeaderBytes + 4], kMaxChunkBytes + 1);
    MemorySource src(huge.data(), huge.size());
    StreamReader r(src);
    ASSERT_TRUE(r.open());
    ChunkHeader h;
    std::vector<uint8_t> p;
    EXPECT_FALSE(r.next(h, p));
}

TEST(Stream, HeaderValidation) {
    StreamInfo ok;
    ok.width = 640;
    ok.height = 360;
    uint8_t h[kStreamHeaderBytes];
    buildStreamHeader(ok, h);
    StreamInfo out;
    EXPECT_TRUE(parseStreamHeader(h, out));
    struct Case {
        size_t at;
        uint8_t value;
    } cases[] = {{0, 'x'}, {8, 2}, {16, 0}, {16, 3}, {17, 3}, {18, 8}, {20, 0}, {21, 0x20}, {24, 0}, {28, 0}};
    for (const Case& c : cases) {
        uint8_t bad[kStreamHeaderBytes];
        std::memcpy(bad, h, sizeof bad);
        if (c.at == 20 || c.at == 24 || c.at == 28) std::memset(bad + c.at, 0, 4);
        bad[c.at] = c.value;
        EXPECT_FALSE(parseStreamHeader(bad, out)) << "byte " << c.at;
    }
    // 200 fps is out of range; no audio channels is fine and clears the rate.
    StreamInfo fast = ok;
    fast.fpsNum = 200;
    buildStreamHeader(fast, h);
    EXPECT_FALSE(parseStreamHeader(h, out));
    StreamInfo silent = ok;
    silent.audioChannels = 0;
    buildStreamHeader(silent, h);
    ASSERT_TRUE(parseStreamHeader(h, out));
    EXPECT_EQ(out.audioRate, 0u);
}

TEST(MenuCfg, SerialAndFirmwareAtTheirOffsets) {
    std::vector<uint8_t> cfg = makeMenuCfg("KRV1234567890123", "V2.31.0 240601-long!!");
    ASSERT_EQ(cfg.size(), kMenuCfgBytes);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&cfg[84]), 16), "KRV1234567890123");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&cfg[100]), 20), "V2.31.0 240601-long!");
    EXPECT_EQ(cfg[120], 0);
    cfg = makeMenuCfg("SN1", "FW");
    EXPECT_STREQ(reinterpret_cast<char*>(&cfg[84]), "SN1");
    EXPECT_STREQ(reinterpret_cast<char*>(&cfg[100]), "FW");
}

TEST(Paths, JoinHandlesEitherSeparator) {
    EXPECT_EQ(joinPath("E:\\", "a.avi"), "E:\\a.avi");
    EXPECT_EQ(joinPath("/tmp/x/", "a.avi"), "/tmp/x/a.avi");
    EXPECT_EQ(joinPath("/tmp/x", "a.avi"), "/tmp/x/a.avi");
    EXPECT_EQ(joinPath("", "a.avi"), "a.avi");
}
