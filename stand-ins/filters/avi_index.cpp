#include "avi_index.h"

#include <algorithm>
#include <cstring>

namespace avi {
namespace {

uint32_t rd32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t rd16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
constexpr uint32_t cc(const char* s) {
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}

struct Parser {
    const uint8_t* d;
    size_t n;
    File* f;
    std::string why;
    uint64_t moviStart = 0, moviEnd = 0;  // offset of the "movi" tag, end of the list
    uint64_t idxOffset = 0, idxSize = 0;

    bool fail(const char* w) {
        why = w;
        return false;
    }

    // Stream number from a chunk id such as "01wb"; -1 when not a stream chunk.
    int streamOf(uint32_t id) const {
        int a = int(id & 0xFF) - '0', b = int((id >> 8) & 0xFF) - '0';
        if (a < 0 || a > 9 || b < 0 || b > 9) return -1;
        int s = a * 10 + b;
        return s < int(f->streams.size()) ? s : -1;
    }

    void parseStrl(uint64_t at, uint64_t end) {
        Stream s;
        bool haveHeader = false;
        while (at + 8 <= end) {
            uint32_t id = rd32(d + at), size = rd32(d + at + 4);
            uint64_t body = at + 8;
            if (body + size > end) break;
            if (id == cc("strh") && size >= 48) {
                uint32_t type = rd32(d + body);
                s.video = type == cc("vids");
                s.audio = type == cc("auds");
                s.handler = rd32(d + body + 4);
                s.scale = rd32(d + body + 20);
                s.rate = rd32(d + body + 24);
                haveHeader = true;
            } else if (id == cc("strf")) {
                if (s.video && size >= 40) {
                    s.width = int32_t(rd32(d + body + 4));
                    s.height = int32_t(rd32(d + body + 8));
                    s.bitCount = rd16(d + body + 14);
                    s.compression = rd32(d + body + 16);
                } else if (s.audio && size >= 16) {
                    s.formatTag = rd16(d + body);
                    s.channels = rd16(d + body + 2);
                    s.samplesPerSec = rd32(d + body + 4);
                    s.avgBytesPerSec = rd32(d + body + 8);
                    s.blockAlign = rd16(d + body + 12);
                    s.bitsPerSample = rd16(d + body + 14);
                }
            }
            at = body + size + (size & 1);
        }
        if (!haveHeader) return;
        if (s.video && (s.scale == 0 || s.rate == 0 || s.width <= 0 || s.width > 8192 || s.height == 0 ||
                        s.height > 8192 || s.height < -8192))
            s.video = false;
        if (s.audio && (s.avgBytesPerSec == 0 || s.blockAlign == 0 || s.channels == 0)) s.audio = false;
        if (f->streams.size() < kMaxStreams) f->streams.push_back(s);
    }

    void parseList(uint64_t at, uint64_t end, int depth) {
        while (at + 8 <= end) {
            uint32_t id = rd32(d + at), size = rd32(d + at + 4);
            uint64_t body = at + 8;
            uint64_t bodyEnd = std::min<uint64_t>(body + size, end);
            if (id == cc("LIST") && size >= 4 && body + 4 <= end) {
                uint32_t kind = rd32(d + body);
                if (kind == cc("movi")) {
                    moviStart = body;
                    moviEnd = bodyEnd;  // a file cut short ends its movi list early
                } else if (kind == cc("strl")) {
                    parseStrl(body + 4, bodyEnd);
                } else if (depth < 2) {
                    parseList(body + 4, bodyEnd, depth + 1);
                }
            } else if (id == cc("idx1") && depth == 0 && body + size <= end) {
                // An index cut short lists only the first chunks: walked instead.
                idxOffset = body;
                idxSize = bodyEnd - body;
            }
            if (body + size > end) break;
            at = body + size + (size & 1);
        }
    }

    // Adds a sample; false when it lies past the end or its stream is unusable.
    bool add(int s, uint64_t payload, uint32_t size, bool key) {
        if (payload + size > n) return false;
        Stream& st = f->streams[size_t(s)];
        if (!st.video && !st.audio) return false;
        Sample smp;
        smp.offset = payload;
        smp.size = size;
        smp.key = key;
        st.samples.push_back(smp);
        return true;
    }

    // Whether a spread of 64 index entries (the first and the last among
    // them) all point at chunks of their id within the file.
    bool spreadMatches(uint64_t base, size_t count) const {
        constexpr size_t kSpread = 64;
        if (count <= kSpread) return false;  // few enough to check every one
        for (size_t k = 0; k < kSpread; ++k) {
            const uint8_t* e = d + idxOffset + (k * (count - 1) / (kSpread - 1)) * 16;
            uint64_t chunk = base + rd32(e + 8);
            if (chunk + 8 + uint64_t(rd32(e + 12)) > n || rd32(d + chunk) != rd32(e)) return false;
        }
        return true;
    }

    bool fromIndex() {
        size_t count = size_t(idxSize / 16);
        if (count == 0) return false;
        // Offsets count from the "movi" tag, or (in some writers) from the file start.
        uint64_t base = moviStart;
        uint32_t firstOff = rd32(d + idxOffset + 8);
        if (firstOff >= moviStart) base = 0;
        // Reading every chunk's id would touch every chunk of the file (a page
        // each of a mapped file: most of the time of opening a long recording).
        // When a spread of entries is right, the others are checked as they are
        // delivered, and one found wrong then is skipped like a damaged one.
        const bool lazy = spreadMatches(base, count);
        size_t used = 0;
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* e = d + idxOffset + i * 16;
            int s = streamOf(rd32(e));
            if (s < 0) continue;
            uint64_t chunk = base + rd32(e + 8);
            uint32_t size = rd32(e + 12);
            if (chunk + 8 + uint64_t(size) > n || (!lazy && rd32(d + chunk) != rd32(e))) {
                Stream& st = f->streams[size_t(s)];
                if (st.video) {  // keeps the frames after it at their times
                    Sample gap;
                    gap.damaged = true;
                    st.samples.push_back(gap);
                }
                continue;
            }
            if (add(s, chunk + 8, size, (rd32(e + 4) & 0x10) != 0)) {
                Sample& added = f->streams[size_t(s)].samples.back();
                added.unchecked = lazy;
                added.id = rd32(e);
            }
            ++used;
        }
        return used > 0;
    }

    void scanMovi() {
        uint64_t at = moviStart + 4;
        while (at + 8 <= moviEnd) {
            uint32_t id = rd32(d + at), size = rd32(d + at + 4);
            if (id == cc("LIST")) {  // "rec " lists: descend
                at += 12;
                continue;
            }
            if (at + 8 + size > n) break;
            int s = streamOf(id);
            if (s >= 0) add(s, at + 8, size, f->streams[size_t(s)].audio || (id >> 16) == (cc("00dc") >> 16));
            at += 8 + uint64_t(size) + (size & 1);
        }
    }

    void stamp() {
        for (Stream& s : f->streams) {
            if (s.video) {
                for (size_t i = 0; i < s.samples.size(); ++i) {
                    s.samples[i].start = int64_t(i * uint64_t(s.scale) * 10000000 / s.rate);
                    s.samples[i].stop = int64_t((i + 1) * uint64_t(s.scale) * 10000000 / s.rate);
                }
                if (!s.samples.empty() && !s.samples[0].damaged) s.samples[0].key = true;
            } else if (s.audio) {
                uint64_t bytes = 0;
                for (Sample& m : s.samples) {
                    m.start = int64_t(bytes * 10000000 / s.avgBytesPerSec);
                    bytes += m.size;
                    m.stop = int64_t(bytes * 10000000 / s.avgBytesPerSec);
                    m.key = true;
                }
            }
        }
    }

    bool run() {
        if (n < 12 || rd32(d) != cc("RIFF") || rd32(d + 8) != cc("AVI ")) return fail("not an AVI file");
        uint64_t end = std::min<uint64_t>(n, uint64_t(rd32(d + 4)) + 8);
        parseList(12, end, 0);
        if (f->streams.empty()) return fail("no stream headers");
        if (!moviStart) return fail("no movi list");
        bool any = false;
        for (const Stream& s : f->streams) any = any || s.video || s.audio;
        if (!any) return fail("no usable stream");
        if (!(idxSize && fromIndex())) {
            for (Stream& s : f->streams) s.samples.clear();
            scanMovi();
        }
        // Trailing index entries past a cut end are no frames.
        for (Stream& s : f->streams)
            while (!s.samples.empty() && s.samples.back().damaged) s.samples.pop_back();
        bool samples = false;
        for (const Stream& s : f->streams)
            for (const Sample& m : s.samples) samples = samples || !m.damaged;
        if (!samples) return fail("no complete sample");
        stamp();
        return true;
    }
};

}  // namespace

bool Sample::present(const uint8_t* file) const { return !damaged && (!unchecked || rd32(file + offset - 8) == id); }

size_t Stream::keyBefore(int64_t t) const {
    size_t lo = 0, hi = samples.size();
    while (lo < hi) {  // first sample starting after t
        size_t mid = (lo + hi) / 2;
        if (samples[mid].start <= t) lo = mid + 1;
        else hi = mid;
    }
    size_t i = lo ? lo - 1 : 0;
    while (i > 0 && (!samples[i].key || samples[i].damaged)) --i;
    return i;
}

int64_t File::duration() const {
    int64_t d = 0;
    for (const Stream& s : streams) d = std::max(d, s.duration());
    return d;
}

bool parse(const uint8_t* data, size_t size, File& out, std::string* why) {
    out = File();
    Parser p{data, size, &out, {}};
    bool ok = p.run();
    if (!ok) out = File();
    if (why) *why = p.why;
    return ok;
}

}  // namespace avi
