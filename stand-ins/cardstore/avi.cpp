#include "avi.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>

namespace krv {

const char* describe(MakeResult r) {
    switch (r) {
        case MakeResult::Ok: return "ok";
        case MakeResult::NotFound: return "recording not found";
        case MakeResult::BadName: return "bad name";
        case MakeResult::BadStream: return "damaged stream";
        case MakeResult::NoVideo: return "no video";
        case MakeResult::WriteFailed: return "write failed";
        case MakeResult::Stopped: return "stopped";
        case MakeResult::TooLarge: return "too large";
    }
    return "?";
}

bool MemorySink::write(const void* data, size_t n) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + n);
    return true;
}

bool MemorySink::patch(uint64_t offset, const void* data, size_t n) {
    if (offset + n > bytes.size()) return false;
    std::memcpy(bytes.data() + offset, data, n);
    return true;
}

FileSink::FileSink(const std::string& path) : buf_(128 << 10) {
    f_ = std::fopen(path.c_str(), "wb");
    if (f_) std::setvbuf(f_, buf_.data(), _IOFBF, buf_.size());
}

FileSink::~FileSink() { close(); }

bool FileSink::write(const void* data, size_t n) {
    ok_ = ok_ && f_ && std::fwrite(data, 1, n, f_) == n;
    return ok_;
}

bool FileSink::patch(uint64_t offset, const void* data, size_t n) {
    // The header lies within the first few kilobytes, so a long offset is enough.
    ok_ = ok_ && f_ && offset < 0x7FFFFFFF && std::fseek(f_, long(offset), SEEK_SET) == 0 &&
          std::fwrite(data, 1, n, f_) == n && std::fseek(f_, 0, SEEK_END) == 0;
    return ok_;
}

bool FileSink::close() {
    if (!f_) return false;
    ok_ = (std::fclose(f_) == 0) && ok_;
    f_ = nullptr;
    return ok_;
}

void fillGpsBlock(const SensorData& s, uint8_t* block) {
    std::memset(block, 0, kSensorBlockBytes);
    std::vector<const std::pair<uint32_t, std::string>*> usable;
    for (const auto& g : s.gps)
        if (!g.second.empty() && g.second.size() < kGpsTextBytes) usable.push_back(&g);
    // Up to 70 records taken evenly; each applies up to the second of the next.
    size_t n = usable.size();
    size_t m = std::min(n, kGpsMaxRecords);
    uint32_t prev = 0;
    for (size_t r = 0; r < m; ++r) {
        const auto& g = *usable[r * n / m];
        uint32_t until = r + 1 < m ? usable[(r + 1) * n / m]->first : usable[n - 1]->first + 1;
        until = std::max(until, prev + 1);
        prev = until;
        uint8_t* rec = block + r * kGpsRecordBytes;
        wr32(rec, until);
        wr32(rec + 4, uint32_t(g.second.size()));
        std::memcpy(rec + 8, g.second.data(), g.second.size());
    }
}

void fillGSensorBlock(const SensorData& s, uint8_t* block) {
    std::memset(block, 0, kSensorBlockBytes);
    size_t total = s.gsensor.size() / 3;
    size_t n = std::min(total, kGSensorMaxSamples);
    wr32(block, uint32_t(n * 12));
    for (size_t i = 0; i < n; ++i) {
        size_t src = total <= kGSensorMaxSamples ? i : i * total / n;
        std::memcpy(block + 4 + 12 * i, &s.gsensor[3 * src], 12);
    }
}

namespace {

constexpr size_t kGpsKeep = 4096;             // sentences kept per recording
constexpr size_t kGSensorKeep = 3 * 1000000;  // floats kept per recording

void put4cc(std::vector<uint8_t>& v, const char* s) { v.insert(v.end(), s, s + 4); }
void put32(std::vector<uint8_t>& v, uint32_t x) {
    uint8_t b[4];
    wr32(b, x);
    v.insert(v.end(), b, b + 4);
}
void put16(std::vector<uint8_t>& v, uint16_t x) {
    uint8_t b[2];
    wr16(b, x);
    v.insert(v.end(), b, b + 2);
}

struct HeaderLayout {
    size_t moviListOffset = 0;  // offset of "LIST" of the movi list
};

// The AVI header up to and including the movi list header. Its size does not
// depend on the numbers, so it is written once before the data and rewritten
// with the final numbers at the end.
std::vector<uint8_t> buildHeader(const StreamInfo& in, const AviStats& st, uint32_t maxChunk, uint32_t moviBytes,
                                 uint32_t riffBytes) {
    std::vector<uint8_t> v;
    v.reserve(1024);
    int streams = in.channels + (in.audioChannels ? 1 : 0);
    uint16_t blockAlign = uint16_t(in.audioChannels * (in.audioBits / 8));
    uint32_t usPerFrame = uint32_t(uint64_t(1000000) * in.fpsDen / in.fpsNum);

    put4cc(v, "RIFF");
    put32(v, riffBytes);
    put4cc(v, "AVI ");
    put4cc(v, "LIST");
    size_t hdrlSize = v.size();
    put32(v, 0);
    put4cc(v, "hdrl");
    put4cc(v, "avih");
    put32(v, 56);
    put32(v, usPerFrame);
    put32(v, uint32_t(std::min<uint64_t>(0xFFFFFFFFu, uint64_t(maxChunk) * in.fpsNum / in.fpsDen * in.channels +
                                                          uint64_t(in.audioRate) * blockAlign)));
    put32(v, 0);             // padding granularity
    put32(v, 0x10 | 0x100);  // has index, interleaved
    put32(v, st.frames[0]);
    put32(v, 0);  // initial frames
    put32(v, uint32_t(streams));
    put32(v, maxChunk);
    put32(v, in.width);
    put32(v, in.height);
    for (int i = 0; i < 4; ++i) put32(v, 0);

    for (int ch = 0; ch < in.channels; ++ch) {
        put4cc(v, "LIST");
        put32(v, 4 + 8 + 56 + 8 + 40);
        put4cc(v, "strl");
        put4cc(v, "strh");
        put32(v, 56);
        put4cc(v, "vids");
        put4cc(v, "MJPG");
        put32(v, 0);
        put16(v, 0);
        put16(v, 0);
        put32(v, 0);
        put32(v, in.fpsDen);
        put32(v, in.fpsNum);
        put32(v, 0);
        put32(v, st.frames[ch]);
        put32(v, maxChunk);
        put32(v, 0xFFFFFFFFu);  // quality: default
        put32(v, 0);            // sample size: variable
        put16(v, 0);
        put16(v, 0);
        put16(v, in.width);
        put16(v, in.height);
        put4cc(v, "strf");
        put32(v, 40);
        put32(v, 40);
        put32(v, in.width);
        put32(v, in.height);
        put16(v, 1);
        put16(v, 24);
        put4cc(v, "MJPG");
        put32(v, uint32_t(in.width) * in.height * 3);
        for (int i = 0; i < 4; ++i) put32(v, 0);
    }
    if (in.audioChannels) {
        put4cc(v, "LIST");
        put32(v, 4 + 8 + 56 + 8 + 18);
        put4cc(v, "strl");
        put4cc(v, "strh");
        put32(v, 56);
        put4cc(v, "auds");
        put32(v, 0);
        put32(v, 0);
        put16(v, 0);
        put16(v, 0);
        put32(v, 0);
        put32(v, blockAlign);
        put32(v, in.audioRate * blockAlign);
        put32(v, 0);
        put32(v, uint32_t(st.audioBytes / blockAlign));
        put32(v, in.audioRate * blockAlign);
        put32(v, 0xFFFFFFFFu);
        put32(v, blockAlign);
        put16(v, 0);
        put16(v, 0);
        put16(v, 0);
        put16(v, 0);
        put4cc(v, "strf");
        put32(v, 18);
        put16(v, 1);  // PCM
        put16(v, in.audioChannels);
        put32(v, in.audioRate);
        put32(v, in.audioRate * blockAlign);
        put16(v, blockAlign);
        put16(v, in.audioBits);
        put16(v, 0);
    }
    wr32(&v[hdrlSize], uint32_t(v.size() - hdrlSize - 4));
    put4cc(v, "LIST");
    put32(v, moviBytes);
    put4cc(v, "movi");
    return v;
}

}  // namespace

namespace {

// What a chunk gives the AVI: the number of payload bytes kept (0: none) and
// its chunk id. Sensor chunks feed `sensors` instead.
uint32_t keepChunk(const StreamInfo& in, const ChunkHeader& ch, const uint8_t* payload, SensorData* sensors,
                   AviStats& st, char (&id)[5]) {
    uint32_t bytes = ch.size;
    if (ch.tag == kTagVideo0 || ch.tag == kTagVideo1) {
        int n = ch.tag == kTagVideo0 ? 0 : 1;
        if (bytes == 0) return 0;
        std::memcpy(id, n == 0 ? "00dc" : "01dc", 5);
        ++st.frames[n];
        return bytes;
    }
    if (ch.tag == kTagAudio) {
        if (!in.audioChannels) return 0;
        uint32_t align = uint32_t(in.audioChannels) * 2;
        bytes = bytes / align * align;
        if (bytes == 0) return 0;
        char audioId[5] = {'0', char('0' + in.channels), 'w', 'b', 0};
        std::memcpy(id, audioId, 5);
        st.audioBytes += bytes;
        return bytes;
    }
    if (ch.tag == kTagGps) {
        if (sensors && sensors->gps.size() < kGpsKeep) {
            std::string s(reinterpret_cast<const char*>(payload), bytes);
            s = s.substr(0, s.find('\0'));
            while (!s.empty() && (s.back() == '\r' || s.back() == '\n')) s.pop_back();
            sensors->gps.emplace_back(ch.seq, s);
        }
    } else if (ch.tag == kTagGSensor) {
        if (sensors) {
            size_t n = bytes / 12 * 3;
            n = std::min(n, kGSensorKeep - std::min(kGSensorKeep, sensors->gsensor.size()));
            size_t at = sensors->gsensor.size();
            sensors->gsensor.resize(at + n);
            if (n) std::memcpy(&sensors->gsensor[at], payload, n * 4);
        }
    }
    return 0;
}

void addIndexEntry(std::vector<uint8_t>& index, const char* id, uint64_t offset, uint32_t size) {
    uint8_t rec[16];
    std::memcpy(rec, id, 4);
    wr32(rec + 4, 0x10);  // key frame
    wr32(rec + 8, uint32_t(offset));
    wr32(rec + 12, size);
    index.insert(index.end(), rec, rec + 16);
}

bool writeIndex(ByteSink& sink, const std::vector<uint8_t>& index) {
    uint8_t hdr[8] = {'i', 'd', 'x', '1'};
    wr32(hdr + 4, uint32_t(index.size()));
    return sink.write(hdr, 8) && (index.empty() || sink.write(index.data(), index.size()));
}

// The in-place conversion: the stream in blocks, read in order, rewritten
// where they lie and handed to the sink in order once final. A block is
// reused once the sink is done with it; a chunk larger than a block only
// keeps more blocks alive for a while.
class InPlaceConverter {
public:
    InPlaceConverter(ByteSource& src, uint64_t size, ByteSink& sink, SensorData* sensors, const StopFn& stopped)
        : src_(src), size_(size), sink_(sink), sensors_(sensors), stopped_(stopped) {}

    MakeResult run(AviStats* statsOut) {
        uint8_t raw[kStreamHeaderBytes];
        if (size_ < kStreamHeaderBytes || !load(kStreamHeaderBytes)) return MakeResult::BadStream;
        copyOut(0, raw, sizeof raw);
        if (!parseStreamHeader(raw, in_)) return MakeResult::BadStream;
        std::vector<uint8_t> header = buildHeader(in_, AviStats(), 0, 0, 0);  // rewritten at the end
        if (!sink_.write(header.data(), header.size())) return MakeResult::WriteFailed;
        const uint64_t headerBytes = header.size();

        // `at`: where the AVI data written so far ends (everything before it is
        // final); `next`: the next chunk's store header (at most 2 bytes on).
        uint64_t at = kBegin, next = kBegin;
        std::vector<uint8_t> index, payload;
        uint32_t maxChunk = 0;
        while (next + kChunkHeaderBytes <= size_) {
            if (stopped_ && stopped_()) return MakeResult::Stopped;
            uint8_t h[kChunkHeaderBytes];
            if (!load(next + kChunkHeaderBytes)) return MakeResult::BadStream;
            copyOut(next, h, sizeof h);
            const ChunkHeader ch = parseChunkHeader(h);
            if (ch.size > kMaxChunkBytes) break;
            const uint64_t end = next + kChunkHeaderBytes + ch.padded();
            if (end > size_) break;  // cut short: the stream ends before it
            const bool known = knownChunk(ch.tag, in_);
            if ((ch.tag == kTagGps || ch.tag == kTagGSensor) && sensors_) {
                if (!load(end)) return MakeResult::BadStream;
                payload.resize(ch.size);
                copyOut(next + kChunkHeaderBytes, payload.data(), ch.size);
            }
            char id[5] = {};
            uint32_t bytes = known ? keepChunk(in_, ch, payload.data(), sensors_, st_, id) : 0;
            uint8_t junk[8] = {'J', 'U', 'N', 'K'};
            if (bytes == 0) {  // the whole chunk becomes JUNK
                wr32(junk + 4, uint32_t(end - at - 8));
                copyIn(at, junk, 8);
                at = next = end;
            } else {
                uint64_t outBytes =
                    headerBytes + (next + kChunkHeaderBytes + bytes + (bytes & 1) - kBegin) + 8 + index.size() + 16;
                if (outBytes > kMaxAviBytes) return MakeResult::TooLarge;
                uint8_t avi[8];
                std::memcpy(avi, id, 4);
                wr32(avi + 4, bytes);
                wr32(junk + 4, uint32_t(next - at));
                copyIn(at, junk, 8);
                copyIn(next + 8, avi, 8);
                addIndexEntry(index, id, next + 8 - kBegin + 4, bytes);
                maxChunk = std::max(maxChunk, bytes);
                at = next + kChunkHeaderBytes + bytes + (bytes & 1);
                next = end;
            }
            if (!handUpTo(at)) return failed_ ? MakeResult::BadStream : MakeResult::WriteFailed;
        }
        if (stopped_ && stopped_()) return MakeResult::Stopped;
        if (st_.frames[0] == 0) return MakeResult::NoVideo;
        if (!handRest(at)) return failed_ ? MakeResult::BadStream : MakeResult::WriteFailed;

        const uint64_t movi = at - kBegin;
        const uint64_t fileEnd = headerBytes + movi + 8 + index.size();
        if (fileEnd > kMaxAviBytes) return MakeResult::TooLarge;
        if (!writeIndex(sink_, index)) return MakeResult::WriteFailed;
        std::vector<uint8_t> final = buildHeader(in_, st_, maxChunk, uint32_t(movi + 4), uint32_t(fileEnd - 8));
        if (final.size() != header.size() || !sink_.patch(0, final.data(), final.size()))
            return MakeResult::WriteFailed;
        st_.fileBytes = fileEnd;
        if (statsOut) *statsOut = st_;
        return MakeResult::Ok;
    }

private:
    static constexpr size_t kBlock = 4u << 20;
    static constexpr uint64_t kBegin = kStreamHeaderBytes;  // the movi data starts after the stream header
    // Reads blocks until the bytes before `end` are loaded.
    bool load(uint64_t end) {
        while (loadedEnd_ < end) {
            std::unique_ptr<uint8_t[]> block;
            if (!spare_.empty()) {
                block = std::move(spare_.back());
                spare_.pop_back();
            } else {
                block.reset(new (std::nothrow)
                                uint8_t[size_t(std::min<uint64_t>(kBlock, size_))]);  // small streams, small blocks
                if (!block) return fail();
            }
            size_t want = size_t(std::min<uint64_t>(kBlock, size_ - loadedEnd_));
            if (want == 0) return fail();  // past the stream's end
            if (src_.read(block.get(), want) != want) return fail();
            live_.push_back(std::move(block));
            loadedEnd_ += want;
        }
        return true;
    }
    bool fail() {
        failed_ = true;
        return false;
    }
    uint8_t* byteAt(uint64_t off) {
        size_t k = size_t(off / kBlock) - firstLive_;
        return live_[k].get() + size_t(off % kBlock);
    }
    void copyOut(uint64_t off, uint8_t* dst, size_t n) {
        while (n) {
            size_t step = std::min<size_t>(n, kBlock - size_t(off % kBlock));
            std::memcpy(dst, byteAt(off), step);
            off += step, dst += step, n -= step;
        }
    }
    void copyIn(uint64_t off, const uint8_t* src, size_t n) {
        while (n) {
            size_t step = std::min<size_t>(n, kBlock - size_t(off % kBlock));
            std::memcpy(byteAt(off), src, step);
            off += step, src += step, n -= step;
        }
    }
    // Hands the sink every block that lies wholly before `at`.
    bool handUpTo(uint64_t at) {
        while ((handed_ + 1) * uint64_t(kBlock) <= at) {
            if (!hand((handed_ + 1) * uint64_t(kBlock))) return false;
        }
        return true;
    }
    bool handRest(uint64_t at) { return handUpTo(at) && (at <= handed_ * uint64_t(kBlock) || hand(at)); }
    // Hands block handed_ up to `end` (its end, or the end of the data).
    bool hand(uint64_t end) {
        if (!load(end)) return false;
        uint64_t start = std::max<uint64_t>(kBegin, handed_ * uint64_t(kBlock));
        if (!sink_.writeShared(byteAt(start), size_t(end - start))) return false;
        ++handed_;
        // All but the last kSharedHeld pieces are written: their blocks are free.
        while (firstLive_ + ByteSink::kSharedHeld < handed_) {
            spare_.push_back(std::move(live_.front()));
            live_.pop_front();
            ++firstLive_;
        }
        return true;
    }

    ByteSource& src_;
    const uint64_t size_;
    ByteSink& sink_;
    SensorData* sensors_;
    const StopFn& stopped_;
    StreamInfo in_;
    AviStats st_;
    std::deque<std::unique_ptr<uint8_t[]>> live_;  // blocks firstLive_, firstLive_ + 1, ... as read
    std::vector<std::unique_ptr<uint8_t[]>> spare_;
    size_t firstLive_ = 0, handed_ = 0;
    uint64_t loadedEnd_ = 0;
    bool failed_ = false;
};

}  // namespace

MakeResult convertStream(ByteSource& src, ByteSink* sink, SensorData* sensors, const StopFn& stopped,
                         AviStats* statsOut) {
    uint64_t total = 0;
    if (sink && src.totalSize(total)) return InPlaceConverter(src, total, *sink, sensors, stopped).run(statsOut);
    StreamReader reader(src);
    if (!reader.open()) return MakeResult::BadStream;
    const StreamInfo& in = reader.info();
    AviStats st;
    uint32_t maxChunk = 0;
    std::vector<uint8_t> header = buildHeader(in, st, 0, 0, 0);
    const uint64_t moviStart = header.size() - 4;  // idx1 offsets count from the "movi" tag
    uint64_t pos = header.size();
    if (sink && !sink->write(header.data(), header.size())) return MakeResult::WriteFailed;

    std::vector<uint8_t> index;  // idx1 entries, 16 bytes each
    std::vector<uint8_t> scratch;
    const uint8_t* payload = nullptr;  // in place in the source where it allows
    ChunkHeader ch;
    while (reader.next(ch, payload, scratch)) {
        if (stopped && stopped()) return MakeResult::Stopped;
        char id[5] = {};
        uint32_t size = keepChunk(in, ch, payload, sensors, st, id);
        if (size == 0 || !sink) continue;
        uint32_t padded = size + (size & 1);
        if (pos + 8 + padded + index.size() + 16 + 8 > kMaxAviBytes) return MakeResult::TooLarge;
        maxChunk = std::max(maxChunk, size);
        addIndexEntry(index, id, pos - moviStart, size);
        uint8_t hdr[8];
        std::memcpy(hdr, id, 4);
        wr32(hdr + 4, size);
        static const uint8_t zero = 0;
        if (!sink->write(hdr, 8) || !sink->write(payload, size) || (size & 1 && !sink->write(&zero, 1)))
            return MakeResult::WriteFailed;
        pos += 8 + padded;
    }
    if (stopped && stopped()) return MakeResult::Stopped;
    if (st.frames[0] == 0) return MakeResult::NoVideo;
    if (sink) {
        if (!writeIndex(*sink, index)) return MakeResult::WriteFailed;
        uint64_t end = pos + 8 + index.size();
        std::vector<uint8_t> final = buildHeader(in, st, maxChunk, uint32_t(pos - moviStart), uint32_t(end - 8));
        if (final.size() != header.size() || !sink->patch(0, final.data(), final.size()))
            return MakeResult::WriteFailed;
        st.fileBytes = end;
    }
    if (statsOut) *statsOut = st;
    return MakeResult::Ok;
}

}  // namespace krv
