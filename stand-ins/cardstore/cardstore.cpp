#include "cardstore.h"

#include <algorithm>
#include <cstring>

namespace krv {

const uint32_t kTagVideo0 = fourcc("VID0");
const uint32_t kTagVideo1 = fourcc("VID1");
const uint32_t kTagAudio = fourcc("AUD ");
const uint32_t kTagGps = fourcc("GPS ");
const uint32_t kTagGSensor = fourcc("GSN ");

namespace {
const char kIndexMagic[8] = {'K', 'R', 'V', 'I', 'D', 'X', '1', 0};
const char kStreamMagic[8] = {'K', 'R', 'V', 'S', 'T', 'R', 'M', '1'};

bool readWholeFile(const std::string& path, std::vector<uint8_t>& out, size_t limit) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    out.clear();
    uint8_t buf[65536];
    size_t n;
    bool ok = true;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        if (out.size() + n > limit) {
            ok = false;
            break;
        }
        out.insert(out.end(), buf, buf + n);
    }
    if (std::ferror(f)) ok = false;
    std::fclose(f);
    return ok;
}

bool writeWholeFile(const std::string& path, const std::vector<uint8_t>& data) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = data.empty() || std::fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = (std::fclose(f) == 0) && ok;
    return ok;
}
}  // namespace

std::string joinPath(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    char last = dir.back();
    if (last == '\\' || last == '/') return dir + name;
#ifdef _WIN32
    return dir + '\\' + name;
#else
    return dir + '/' + name;
#endif
}

std::string indexPath(const std::string& root) { return joinPath(joinPath(root, kDataDir), kIndexFile); }

std::string dataPath(const std::string& root, const IndexEntry& e) {
    char file[32];
    std::snprintf(file, sizeof file, "%08X.%s", unsigned(e.fileId), e.type == kPhoto ? "JPG" : "KRS");
    return joinPath(joinPath(root, kDataDir), file);
}

bool parseIndex(const uint8_t* data, size_t size, std::vector<IndexEntry>& out) {
    out.clear();
    if (!data || size < kIndexHeaderBytes) return false;
    if (std::memcmp(data, kIndexMagic, 8) != 0) return false;
    if (rd32(data + 8) != 1 || rd32(data + 12) != kIndexEntryBytes) return false;
    uint32_t count = rd32(data + 16);
    if (count > kMaxIndexEntries) return false;
    size_t avail = (size - kIndexHeaderBytes) / kIndexEntryBytes;
    if (count > avail) count = uint32_t(avail);  // cut short: keep what is there
    out.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* p = data + kIndexHeaderBytes + size_t(i) * kIndexEntryBytes;
        IndexEntry e;
        e.type = p[0];
        e.channels = p[1];
        e.fileId = rd32(p + 4);
        e.dataBytes = rd32(p + 8);
        e.durationMs = rd32(p + 12);
        std::memcpy(e.name, p + 16, kNameBytes);
        if (e.type > kPhoto) continue;
        if (e.name[0] == 0 || std::memchr(e.name, 0, kNameBytes) == nullptr) continue;
        // Zero whatever follows the terminator, so records handed out are clean.
        size_t len = std::strlen(e.name);
        std::memset(e.name + len, 0, kNameBytes - len);
        out.push_back(e);
    }
    return true;
}

std::vector<uint8_t> serializeIndex(const std::vector<IndexEntry>& entries) {
    std::vector<uint8_t> buf(kIndexHeaderBytes + entries.size() * kIndexEntryBytes, 0);
    std::memcpy(buf.data(), kIndexMagic, 8);
    wr32(&buf[8], 1);
    wr32(&buf[12], kIndexEntryBytes);
    wr32(&buf[16], uint32_t(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        uint8_t* p = &buf[kIndexHeaderBytes + i * kIndexEntryBytes];
        const IndexEntry& e = entries[i];
        p[0] = e.type;
        p[1] = e.channels;
        wr32(p + 4, e.fileId);
        wr32(p + 8, e.dataBytes);
        wr32(p + 12, e.durationMs);
        std::memcpy(p + 16, e.name, kNameBytes);
        p[16 + kNameBytes - 1] = 0;
    }
    return buf;
}

bool readIndex(const std::string& root, std::vector<IndexEntry>& out) {
    std::vector<uint8_t> data;
    out.clear();
    if (!readWholeFile(indexPath(root), data, kIndexHeaderBytes + size_t(kMaxIndexEntries) * kIndexEntryBytes))
        return false;
    return parseIndex(data.data(), data.size(), out);
}

bool writeIndex(const std::string& root, const std::vector<IndexEntry>& entries) {
    return writeWholeFile(indexPath(root), serializeIndex(entries));
}

std::vector<uint8_t> makeMenuCfg(const std::string& serial, const std::string& firmware) {
    std::vector<uint8_t> cfg(kMenuCfgBytes, 0);
    // A few settings of the camera's own before the identity fields.
    const char head[] = "KRVCFG01";
    std::memcpy(cfg.data(), head, 8);
    std::memcpy(&cfg[kSerialOffset], serial.data(), std::min(serial.size(), kSerialBytes));
    std::memcpy(&cfg[kFirmwareOffset], firmware.data(), std::min(firmware.size(), kFirmwareBytes));
    return cfg;
}

FileSource::FileSource(const std::string& path) {
    f_ = std::fopen(path.c_str(), "rb");
    if (f_) std::setvbuf(f_, nullptr, _IOFBF, 128 << 10);
}

FileSource::~FileSource() {
    if (f_) std::fclose(f_);
}

size_t FileSource::read(void* dst, size_t n) { return f_ ? std::fread(dst, 1, n, f_) : 0; }

bool FileSource::skip(uint64_t n) {
    if (!f_) return false;
    // Never seek past the end: that would hide a truncated chunk.
    uint8_t buf[4096];
    while (n > 0) {
        size_t step = n > sizeof buf ? sizeof buf : size_t(n);
        if (std::fread(buf, 1, step, f_) != step) return false;
        n -= step;
    }
    return true;
}

size_t MemorySource::read(void* dst, size_t n) {
    size_t left = n_ - pos_;
    if (n > left) n = left;
    if (n) std::memcpy(dst, p_ + pos_, n);
    pos_ += n;
    return n;
}

const uint8_t* MemorySource::view(size_t n) {
    if (n > n_ - pos_) return nullptr;
    const uint8_t* at = p_ + pos_;
    pos_ += n;
    return at;
}

bool MemorySource::skip(uint64_t n) {
    if (n > n_ - pos_) {
        pos_ = n_;
        return false;
    }
    pos_ += size_t(n);
    return true;
}

bool parseStreamHeader(const uint8_t* h, StreamInfo& info) {
    if (std::memcmp(h, kStreamMagic, 8) != 0) return false;
    if (rd32(h + 8) != 1 || rd32(h + 12) != kStreamHeaderBytes) return false;
    info.channels = h[16];
    info.audioChannels = h[17];
    info.audioBits = rd16(h + 18);
    info.width = rd16(h + 20);
    info.height = rd16(h + 22);
    info.fpsNum = rd32(h + 24);
    info.fpsDen = rd32(h + 28);
    info.audioRate = rd32(h + 32);
    if (info.channels < 1 || info.channels > 2) return false;
    if (info.width < 16 || info.width > 4096 || info.height < 16 || info.height > 4096) return false;
    if (info.fpsNum == 0 || info.fpsDen == 0 || info.fpsNum > 1000000 || info.fpsDen > 1000000) return false;
    if (info.fpsNum > 120ull * info.fpsDen || info.fpsNum < info.fpsDen) return false;
    if (info.audioChannels > 2) return false;
    if (info.audioChannels == 0) {
        info.audioRate = 0;
    } else if (info.audioBits != 16 || info.audioRate < 8000 || info.audioRate > 48000) {
        return false;
    }
    return true;
}

void buildStreamHeader(const StreamInfo& info, uint8_t* h) {
    std::memset(h, 0, kStreamHeaderBytes);
    std::memcpy(h, kStreamMagic, 8);
    wr32(h + 8, 1);
    wr32(h + 12, kStreamHeaderBytes);
    h[16] = info.channels;
    h[17] = info.audioChannels;
    wr16(h + 18, info.audioBits);
    wr16(h + 20, info.width);
    wr16(h + 22, info.height);
    wr32(h + 24, info.fpsNum);
    wr32(h + 28, info.fpsDen);
    wr32(h + 32, info.audioRate);
}

ChunkHeader parseChunkHeader(const uint8_t* raw) {
    ChunkHeader h;
    h.tag = rd32(raw);
    h.size = rd32(raw + 4);
    h.seq = rd32(raw + 8);
    h.timeMs = rd32(raw + 12);
    return h;
}

bool knownChunk(uint32_t tag, const StreamInfo& info) {
    return tag == kTagVideo0 || tag == kTagAudio || tag == kTagGps || tag == kTagGSensor ||
           (tag == kTagVideo1 && info.channels == 2);
}

bool StreamReader::open() {
    uint8_t h[kStreamHeaderBytes];
    if (src_.read(h, sizeof h) != sizeof h) return false;
    return parseStreamHeader(h, info_);
}

bool StreamReader::next(ChunkHeader& h, std::vector<uint8_t>& payload) {
    const uint8_t* data = nullptr;
    if (!next(h, data, payload)) return false;
    if (data != payload.data()) payload.assign(data, data + h.size);
    return true;
}

bool StreamReader::next(ChunkHeader& h, const uint8_t*& data, std::vector<uint8_t>& scratch) {
    while (!done_) {
        uint8_t raw[kChunkHeaderBytes];
        if (src_.read(raw, sizeof raw) != sizeof raw) break;
        h = parseChunkHeader(raw);
        if (h.size > kMaxChunkBytes) break;
        uint32_t padded = h.padded();
        if (!knownChunk(h.tag, info_)) {
            if (!src_.skip(padded)) break;
            continue;
        }
        if (padded) {
            if (const uint8_t* lent = src_.view(padded)) {
                data = lent;
                return true;
            }
        }
        scratch.resize(padded);
        if (padded && src_.read(scratch.data(), padded) != padded) break;
        scratch.resize(h.size);
        data = scratch.data();
        return true;
    }
    done_ = true;
    return false;
}

StreamWriter::~StreamWriter() {
    if (f_) std::fclose(f_);
}

bool StreamWriter::open(const std::string& path, const StreamInfo& info) {
    f_ = std::fopen(path.c_str(), "wb");
    if (!f_) return false;
    std::setvbuf(f_, nullptr, _IOFBF, 1 << 20);
    uint8_t h[kStreamHeaderBytes];
    buildStreamHeader(info, h);
    ok_ = std::fwrite(h, 1, sizeof h, f_) == sizeof h;
    bytes_ = sizeof h;
    return ok_;
}

bool StreamWriter::add(uint32_t tag, uint32_t seq, uint32_t timeMs, const void* data, size_t size) {
    if (!f_ || size > kMaxChunkBytes) return ok_ = false;
    uint8_t h[kChunkHeaderBytes];
    wr32(h, tag);
    wr32(h + 4, uint32_t(size));
    wr32(h + 8, seq);
    wr32(h + 12, timeMs);
    static const uint8_t zeros[4] = {};
    size_t pad = (4 - size % 4) % 4;
    ok_ = ok_ && std::fwrite(h, 1, sizeof h, f_) == sizeof h;
    ok_ = ok_ && (size == 0 || std::fwrite(data, 1, size, f_) == size);
    ok_ = ok_ && (pad == 0 || std::fwrite(zeros, 1, pad, f_) == pad);
    bytes_ += sizeof h + size + pad;
    return ok_;
}

bool StreamWriter::close() {
    if (!f_) return false;
    bool ok = (std::fclose(f_) == 0) && ok_;
    f_ = nullptr;
    return ok;
}

}  // namespace krv
