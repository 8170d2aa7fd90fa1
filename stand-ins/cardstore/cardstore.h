// Recorder card store: the on-card format written by the camera (and by the
// card authoring tool) and read by the device library.
//
// FORMAT NOTE
// ===========
// Everything is little-endian. A card volume holds:
//
//   menu.cfg                camera settings, 128 bytes: serial number at byte 84
//                           (16 bytes, NUL padded), firmware version at byte 100
//                           (20 bytes, NUL padded); the rest belongs to the camera.
//   KRVDATA\INDEX.KRV       the index: one 64-byte entry per recording.
//   KRVDATA\%08X.KRS        one stream file per video recording (file id in hex).
//   KRVDATA\%08X.JPG        one JPEG file per photo.
//
// Index file: a 32-byte header, then `count` entries of 64 bytes.
//   header  0  8  magic "KRVIDX1\0"
//           8  4  version (1)
//          12  4  entry size (64)
//          16  4  entry count
//          20 12  reserved (0)
//   entry   0  1  library type: 0 Event, 1 Normal, 2 Park, 3 Photo
//           1  1  channel count of the recording (0 for photos)
//           2  2  reserved (0)
//           4  4  file id: names the data file
//           8  4  data file size in bytes (as written)
//          12  4  duration in milliseconds (0 for photos)
//          16 40  recording name, NUL terminated, at most 39 characters;
//                 "R_YYMMDD_hhmmss_T<c>.avi" for videos and
//                 "R_YYMMDD_hhmmss_J0.jpg" for photos, where T is the type
//                 letter (N Normal, E Event, P Park, J Photo) and c the
//                 channel count: date at characters 2-7, time at 9-14, the
//                 type letter at 16.
//          56  8  reserved (0)
//
// Stream file: a 64-byte header, then chunks until the end of the file.
//   header  0  8  magic "KRVSTRM1"
//           8  4  version (1)
//          12  4  header size (64)
//          16  1  video channels (1 or 2)
//          17  1  audio channels (0 none, 1 or 2)
//          18  2  audio bits per sample (16)
//          20  2  width, 22 2 height (pixels, 16..4096)
//          24  4  frame rate numerator, 28 4 denominator (1..120 fps)
//          32  4  audio sample rate (8000..48000, 0 without audio)
//          36 28  reserved (0)
//   chunk   0  4  tag: "VID0" / "VID1" (JPEG frame of channel 1 / 2),
//                 "AUD " (PCM samples, interleaved), "GPS " (one NMEA RMC
//                 sentence without line end), "GSN " (G-sensor samples:
//                 X, Y, Z as 32-bit floats, in g)
//           4  4  payload size in bytes (at most 16 MiB)
//           8  4  sequence: frame number (video), second (audio, GPS, G-sensor)
//          12  4  time of the chunk's start in milliseconds
//          16  .. payload, then zero padding to a multiple of 4 bytes
// The camera writes chunks in time order: per second the audio chunk, the
// GPS sentence and the G-sensor samples, then that second's video frames
// (channels interleaved frame by frame). A stream cut short by power loss ends
// in an incomplete chunk: readers stop at the last complete one. Unknown tags
// are skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace krv {

enum RecordType : uint8_t { kEvent = 0, kNormal = 1, kPark = 2, kPhoto = 3 };

constexpr size_t kNameBytes = 40;  // entry record handed to the viewer
constexpr size_t kIndexHeaderBytes = 32;
constexpr size_t kIndexEntryBytes = 64;
constexpr size_t kStreamHeaderBytes = 64;
constexpr size_t kChunkHeaderBytes = 16;
constexpr uint32_t kMaxChunkBytes = 16u << 20;
constexpr uint32_t kMaxIndexEntries = 1u << 20;
constexpr size_t kMenuCfgBytes = 128;
constexpr size_t kSerialOffset = 84, kSerialBytes = 16;
constexpr size_t kFirmwareOffset = 100, kFirmwareBytes = 20;

constexpr const char* kDataDir = "KRVDATA";
constexpr const char* kIndexFile = "INDEX.KRV";

struct IndexEntry {
    uint8_t type = kNormal;
    uint8_t channels = 1;
    uint32_t fileId = 0;
    uint32_t dataBytes = 0;
    uint32_t durationMs = 0;
    char name[kNameBytes] = {};
};

struct StreamInfo {
    uint8_t channels = 1;
    uint8_t audioChannels = 1;
    uint16_t audioBits = 16;
    uint16_t width = 0, height = 0;
    uint32_t fpsNum = 30, fpsDen = 1;
    uint32_t audioRate = 16000;
};

inline uint32_t fourcc(const char (&s)[5]) {
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}
extern const uint32_t kTagVideo0, kTagVideo1, kTagAudio, kTagGps, kTagGSensor;

struct ChunkHeader {
    uint32_t tag = 0, size = 0, seq = 0, timeMs = 0;
    // Bytes the payload takes in the stream, padding included.
    uint32_t padded() const { return (size + 3u) & ~3u; }
};

// Little-endian helpers shared by the readers and writers.
inline uint32_t rd32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t rd16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline void wr32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
inline void wr16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

// Paths: the card root and folders may end in '\' or '/' or in neither.
std::string joinPath(const std::string& dir, const std::string& name);
std::string indexPath(const std::string& root);
std::string dataPath(const std::string& root, const IndexEntry& e);

// Index. parseIndex rejects a bad header; entries with an unknown type or an
// unterminated or empty name are dropped, the others kept in file order.
bool parseIndex(const uint8_t* data, size_t size, std::vector<IndexEntry>& out);
std::vector<uint8_t> serializeIndex(const std::vector<IndexEntry>& entries);
bool readIndex(const std::string& root, std::vector<IndexEntry>& out);
bool writeIndex(const std::string& root, const std::vector<IndexEntry>& entries);

// menu.cfg
std::vector<uint8_t> makeMenuCfg(const std::string& serial, const std::string& firmware);

// Byte sources for the stream reader: a file or memory.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads up to n bytes; returns how many were read (short only at the end).
    virtual size_t read(void* dst, size_t n) = 0;
    virtual bool skip(uint64_t n) = 0;
    // The next n bytes in place, without copying, and moves past them; nullptr
    // (and nothing consumed) when the source cannot lend them.
    virtual const uint8_t* view(size_t n) { return nullptr; }
    // The source's total size in bytes, when it knows it (and nothing has been
    // read yet); reads then return exactly that many bytes.
    virtual bool totalSize(uint64_t& bytes) { return false; }
};

class FileSource : public ByteSource {
public:
    explicit FileSource(const std::string& path);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    bool ok() const { return f_ != nullptr; }
    size_t read(void* dst, size_t n) override;
    bool skip(uint64_t n) override;

private:
    std::FILE* f_ = nullptr;
};

class MemorySource : public ByteSource {
public:
    MemorySource(const uint8_t* data, size_t size) : p_(data), n_(size) {}
    size_t read(void* dst, size_t n) override;
    bool skip(uint64_t n) override;
    const uint8_t* view(size_t n) override;
    bool totalSize(uint64_t& bytes) override {
        bytes = n_;
        return pos_ == 0;
    }

private:
    const uint8_t* p_;
    size_t n_, pos_ = 0;
};

bool parseStreamHeader(const uint8_t* hdr, StreamInfo& info);
// A chunk header from its kChunkHeaderBytes bytes.
ChunkHeader parseChunkHeader(const uint8_t* raw);
// Whether readers take a chunk of this tag in this stream (others are skipped).
bool knownChunk(uint32_t tag, const StreamInfo& info);
void buildStreamHeader(const StreamInfo& info, uint8_t* hdr);

// Sequential reader of a stream: header, then chunk by chunk.
class StreamReader {
public:
    explicit StreamReader(ByteSource& src) : src_(src) {}
    bool open();  // reads and validates the header
    const StreamInfo& info() const { return info_; }
    // Next complete chunk (payload into `payload`); false at the end of the
    // stream or at the first damaged or incomplete chunk.
    bool next(ChunkHeader& h, std::vector<uint8_t>& payload);
    // The same, with the payload left in place when the source can lend it
    // (data points into the source or into scratch; h.size bytes).
    bool next(ChunkHeader& h, const uint8_t*& data, std::vector<uint8_t>& scratch);

private:
    ByteSource& src_;
    StreamInfo info_;
    bool done_ = false;
};

// Writer of a stream file (the camera's side; used by the authoring tool and
// by tests).
class StreamWriter {
public:
    StreamWriter() = default;
    ~StreamWriter();
    StreamWriter(const StreamWriter&) = delete;
    StreamWriter& operator=(const StreamWriter&) = delete;
    bool open(const std::string& path, const StreamInfo& info);
    bool add(uint32_t tag, uint32_t seq, uint32_t timeMs, const void* data, size_t size);
    bool close();  // returns false if any write failed
    uint64_t bytes() const { return bytes_; }

private:
    std::FILE* f_ = nullptr;
    bool ok_ = true;
    uint64_t bytes_ = 0;
};

}  // namespace krv
