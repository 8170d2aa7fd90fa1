// Checks shared by the converter tests and the fuzz target: both ways of
// making an AVI from a stream (streamed, and in place in blocks) run on the
// same bytes, and what a player would read from each is compared.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "avi.h"
#include "cardstore.h"

namespace avicheck {

// Memory read as a stream of unknown length: the converter streams it.
class StreamOnlySource : public krv::MemorySource {
public:
    using MemorySource::MemorySource;
    bool totalSize(uint64_t&) override { return false; }
};

struct Chunk {
    uint32_t id = 0;
    std::vector<uint8_t> data;
    bool operator==(const Chunk& o) const { return id == o.id && data == o.data; }
};

// Reads an AVI's movi chunks twice: through the idx1 index, and by walking
// the movi list chunk by chunk (skipping JUNK) as players without an index
// do; each chunk goes to the matching callback as (id, payload, size).
// Returns an empty string when the file is well formed: RIFF and list sizes
// match the file, every index entry points at a chunk of its id and size.
template <typename OnIndexed, typename OnWalked>
std::string walkAvi(const uint8_t* f, size_t n, OnIndexed indexed, OnWalked walked) {
    using krv::rd32;
    auto cc = [](const char* s) { return rd32(reinterpret_cast<const uint8_t*>(s)); };
    if (n < 12 || rd32(&f[0]) != cc("RIFF") || rd32(&f[8]) != cc("AVI ")) return "not RIFF AVI";
    if (uint64_t(rd32(&f[4])) + 8 != n) return "RIFF size differs from the file";
    size_t at = 12, movi = 0, moviEnd = 0, idx = 0, idxBytes = 0;
    while (at + 8 <= n) {
        uint32_t id = rd32(&f[at]), size = rd32(&f[at + 4]);
        if (at + 8 + uint64_t(size) > n) return "top-level chunk past the end";
        if (id == cc("LIST") && size >= 4 && rd32(&f[at + 8]) == cc("movi")) movi = at + 8, moviEnd = at + 8 + size;
        if (id == cc("idx1")) idx = at + 8, idxBytes = size;
        at += 8 + size + (size & 1);
    }
    if (!movi || !idx) return "no movi list or no index";
    for (size_t c = movi + 4; c < moviEnd;) {
        if (c + 8 > moviEnd) return "movi ends inside a chunk header";
        uint32_t id = rd32(&f[c]), size = rd32(&f[c + 4]);
        if (c + 8 + uint64_t(size) > moviEnd) return "movi chunk past the list";
        if (id != cc("JUNK")) walked(id, &f[c + 8], size);
        c += 8 + size + (size & 1);
    }
    for (size_t e = idx; e + 16 <= idx + idxBytes; e += 16) {
        uint32_t id = rd32(&f[e]), off = rd32(&f[e + 8]), size = rd32(&f[e + 12]);
        size_t c = movi + size_t(off);
        if (c + 8 + uint64_t(size) > moviEnd || rd32(&f[c]) != id || rd32(&f[c + 4]) != size)
            return "index entry does not match its chunk";
        indexed(id, &f[c + 8], size);
    }
    return "";
}

struct Parsed {
    std::string error;
    std::vector<Chunk> indexed, walked;
};

inline Parsed parseAvi(const std::vector<uint8_t>& f) {
    Parsed p;
    p.error = walkAvi(
        f.data(), f.size(),
        [&p](uint32_t id, const uint8_t* d, size_t n) {
            p.indexed.push_back(Chunk{id, std::vector<uint8_t>(d, d + n)});
        },
        [&p](uint32_t id, const uint8_t* d, size_t n) {
            p.walked.push_back(Chunk{id, std::vector<uint8_t>(d, d + n)});
        });
    return p;
}

// The same as digests, for files too big to hold twice: FNV-1a over each
// chunk's id, size and bytes, in order; count is the number of index entries.
struct Digest {
    std::string error;
    uint64_t indexed = 1469598103934665603ull, walked = 1469598103934665603ull;
    size_t count = 0;
};

inline Digest digestAvi(const uint8_t* f, size_t n) {
    Digest d;
    auto mix = [](uint64_t& h, uint32_t id, const uint8_t* p, size_t bytes) {
        uint8_t head[8];
        krv::wr32(head, id);
        krv::wr32(head + 4, uint32_t(bytes));
        for (uint8_t b : head) h = (h ^ b) * 1099511628211ull;
        for (size_t i = 0; i < bytes; ++i) h = (h ^ p[i]) * 1099511628211ull;
    };
    d.error = walkAvi(
        f, n, [&](uint32_t id, const uint8_t* p, size_t bytes) { mix(d.indexed, id, p, bytes), ++d.count; },
        [&](uint32_t id, const uint8_t* p, size_t bytes) { mix(d.walked, id, p, bytes); });
    return d;
}

struct Made {
    krv::MakeResult result = krv::MakeResult::Ok;
    krv::AviStats stats;
    krv::SensorData sensors;
    std::vector<uint8_t> avi;
};

inline Made make(const uint8_t* data, size_t size, bool inPlace, const krv::StopFn& stopped = nullptr) {
    Made m;
    krv::MemorySink sink;
    if (inPlace) {
        krv::MemorySource src(data, size);
        m.result = krv::convertStream(src, &sink, &m.sensors, stopped, &m.stats);
    } else {
        StreamOnlySource src(data, size);
        m.result = krv::convertStream(src, &sink, &m.sensors, stopped, &m.stats);
    }
    m.avi = std::move(sink.bytes);
    return m;
}

// Empty when both ways agree on the result, the counts, the sensor data and
// every indexed chunk, and each finished file is well formed.
inline std::string compareWays(const uint8_t* data, size_t size) {
    Made a = make(data, size, true), b = make(data, size, false);
    if (a.result != b.result)
        return std::string("results differ: in place ") + krv::describe(a.result) + ", streamed " +
               krv::describe(b.result);
    if (a.stats.frames[0] != b.stats.frames[0] || a.stats.frames[1] != b.stats.frames[1] ||
        a.stats.audioBytes != b.stats.audioBytes)
        return "counts differ";
    if (a.sensors.gps != b.sensors.gps || a.sensors.gsensor.size() != b.sensors.gsensor.size() ||
        (!a.sensors.gsensor.empty() &&
         std::memcmp(a.sensors.gsensor.data(), b.sensors.gsensor.data(), a.sensors.gsensor.size() * 4) != 0))
        return "sensor data differs";
    if (a.result != krv::MakeResult::Ok) return "";
    if (a.stats.fileBytes != a.avi.size()) return "in-place size is not the one reported";
    Parsed pa = parseAvi(a.avi), pb = parseAvi(b.avi);
    if (!pa.error.empty()) return "in place: " + pa.error;
    if (!pb.error.empty()) return "streamed: " + pb.error;
    if (!(pa.indexed == pb.indexed)) return "indexed chunks differ";
    if (!(pa.walked == pa.indexed)) return "in place: walking the movi list finds other chunks than the index";
    // The header lists (streams, frame counts, sizes) match too: everything
    // between the RIFF size and the movi list's "LIST" tag.
    size_t list = 0;
    for (size_t i = 12; i + 12 <= a.avi.size() && !list; ++i)
        if (std::memcmp(&a.avi[i], "LIST", 4) == 0 && std::memcmp(&a.avi[i + 8], "movi", 4) == 0) list = i;
    if (!list || b.avi.size() < list || std::memcmp(&a.avi[8], &b.avi[8], list - 8) != 0) return "AVI headers differ";
    return "";
}

}  // namespace avicheck
