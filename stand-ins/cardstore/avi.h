// Conversion of a recorder stream into a standard AVI file (RIFF with an idx1
// index; MJPEG video per channel, PCM audio) and into the two sensor blocks
// the viewer reads beside the picture.
//
// Sensor blocks, 16384 bytes each, little-endian:
//   GPS block: records of 136 bytes from offset 0: 32-bit time (the playback
//     second up to which the sentence applies), 32-bit sentence length
//     (1..127), 128 bytes of sentence text. At most 70 records; the rest of the
//     block is zero, so the record after the last one has length 0. A
//     recording with more than 70 seconds of sentences gets every n-th one.
//   G-sensor block: 32-bit byte count of the sample area (12 per sample), then
//     X, Y, Z floats per sample; at most 1365 samples, taken evenly from the
//     recording when it holds more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "cardstore.h"

namespace krv {

constexpr size_t kSensorBlockBytes = 16384;
constexpr size_t kGpsRecordBytes = 136;
constexpr size_t kGpsMaxRecords = 70;
constexpr size_t kGpsTextBytes = 128;
constexpr size_t kGSensorMaxSamples = (kSensorBlockBytes - 4) / 12;  // 1365
constexpr uint64_t kMaxAviBytes = 0x7FFF0000ull;                     // stay below 2 GiB

enum class MakeResult { Ok, NotFound, BadName, BadStream, NoVideo, WriteFailed, Stopped, TooLarge };
const char* describe(MakeResult r);

// Output of the converter: sequential writes plus patching the header at the end.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual bool write(const void* data, size_t n) = 0;
    virtual bool patch(uint64_t offset, const void* data, size_t n) = 0;
    // Writes n bytes that the caller keeps valid and unchanged while the sink
    // may still hold them: a sink may write such pieces from another thread,
    // but when writeShared returns, all pieces except the last kSharedHeld are
    // written, and any other call writes all of them first.
    static constexpr size_t kSharedHeld = 2;
    virtual bool writeShared(const void* data, size_t n) { return write(data, n); }
    // Completes the output (flush, close); false if anything failed.
    virtual bool finish() { return true; }
};

class MemorySink : public ByteSink {
public:
    bool write(const void* data, size_t n) override;
    bool patch(uint64_t offset, const void* data, size_t n) override;
    std::vector<uint8_t> bytes;
};

class FileSink : public ByteSink {
public:
    explicit FileSink(const std::string& path);
    ~FileSink() override;
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;
    bool ok() const { return f_ != nullptr; }
    bool write(const void* data, size_t n) override;
    bool patch(uint64_t offset, const void* data, size_t n) override;
    bool finish() override { return close(); }
    bool close();

private:
    std::FILE* f_ = nullptr;
    bool ok_ = true;
    std::vector<char> buf_;
};

struct SensorData {
    std::vector<std::pair<uint32_t, std::string>> gps;  // (second, sentence)
    std::vector<float> gsensor;                         // X, Y, Z, X, Y, Z, ...
};

void fillGpsBlock(const SensorData& s, uint8_t* block);
void fillGSensorBlock(const SensorData& s, uint8_t* block);

struct AviStats {
    uint32_t frames[2] = {0, 0};
    uint64_t audioBytes = 0;
    uint64_t fileBytes = 0;
};

using StopFn = std::function<bool()>;

// Reads the stream from src and writes the AVI to sink (or only collects the
// sensor data when sink is null). `stopped` is polled between chunks.
//
// When the source knows its size and there is a sink, the AVI is made in
// place: the stream is read in large blocks and each chunk's 16-byte store
// header is rewritten where it lies, into a "JUNK" chunk followed by the
// chunk's own 8-byte AVI header (chunks the AVI does not keep become JUNK
// whole), so the movi list is the stream's bytes, written from the blocks
// they were read into. The frames, the audio, the index entries and the
// sensor data are the same as in the streamed form; only JUNK chunks differ.
// A read that comes up short of the known size fails the conversion.
MakeResult convertStream(ByteSource& src, ByteSink* sink, SensorData* sensors, const StopFn& stopped,
                         AviStats* stats = nullptr);

}  // namespace krv
