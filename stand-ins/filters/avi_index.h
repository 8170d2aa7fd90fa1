// Index of an AVI file for the stand-in source filter: the streams it
// declares and where each of their samples lies. Plain C++ so it is tested
// natively; the filter runs it over a mapped view of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace avi {

struct Sample {
    uint64_t offset = 0;  // of the payload, from the start of the file
    uint32_t size = 0;
    bool key = false;
    bool damaged = false;    // listed in the index but not found where it says: keeps its time, is not delivered
    bool unchecked = false;  // its chunk id is checked when it is delivered (see present)
    uint32_t id = 0;         // the chunk id the index gives it
    int64_t start = 0;       // 100 ns units from the start of the stream
    int64_t stop = 0;
    // Whether the sample is there to deliver, in the file's bytes it was parsed from.
    bool present(const uint8_t* file) const;
};

struct Stream {
    bool video = false;
    bool audio = false;
    uint32_t handler = 0;      // strh fccHandler
    uint32_t compression = 0;  // BITMAPINFOHEADER biCompression (video)
    int32_t width = 0, height = 0;
    uint16_t bitCount = 0;
    uint32_t scale = 1, rate = 1;
    // Audio (WAVEFORMATEX without the extra bytes).
    uint16_t formatTag = 0, channels = 0, blockAlign = 0, bitsPerSample = 0;
    uint32_t samplesPerSec = 0, avgBytesPerSec = 0;
    std::vector<Sample> samples;
    int64_t duration() const { return samples.empty() ? 0 : samples.back().stop; }
    // Index of the last key frame whose start is at or before t (0 when none).
    size_t keyBefore(int64_t t) const;
};

struct File {
    std::vector<Stream> streams;
    int64_t duration() const;
};

constexpr size_t kMaxStreams = 16;

// Parses the file's bytes. Returns false (with a reason) when the data is not
// an AVI file with at least one stream. A file cut short keeps the samples
// that lie wholly inside it; a missing or damaged index is rebuilt by walking
// the movi list.
bool parse(const uint8_t* data, size_t size, File& out, std::string* why = nullptr);

}  // namespace avi
