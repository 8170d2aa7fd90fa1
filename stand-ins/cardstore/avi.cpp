#include "avi.h"

#include <algorithm>
#include <cstring>

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

constexpr size_t kGpsKeep = 4096;              // sentences kept per recording
constexpr size_t kGSensorKeep = 3 * 1000000;   // floats kept per recording

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

  put4cc(v, "RIFF"); put32(v, riffBytes); put4cc(v, "AVI ");
  put4cc(v, "LIST");
  size_t hdrlSize = v.size();
  put32(v, 0);
  put4cc(v, "hdrl");
  put4cc(v, "avih"); put32(v, 56);
  put32(v, usPerFrame);
  put32(v, uint32_t(std::min<uint64_t>(0xFFFFFFFFu, uint64_t(maxChunk) * in.fpsNum / in.fpsDen * in.channels +
                                                       uint64_t(in.audioRate) * blockAlign)));
  put32(v, 0);                    // padding granularity
  put32(v, 0x10 | 0x100);         // has index, interleaved
  put32(v, st.frames[0]);
  put32(v, 0);                    // initial frames
  put32(v, uint32_t(streams));
  put32(v, maxChunk);
  put32(v, in.width); put32(v, in.height);
  for (int i = 0; i < 4; ++i) put32(v, 0);

  for (int ch = 0; ch < in.channels; ++ch) {
    put4cc(v, "LIST"); put32(v, 4 + 8 + 56 + 8 + 40); put4cc(v, "strl");
    put4cc(v, "strh"); put32(v, 56);
    put4cc(v, "vids"); put4cc(v, "MJPG");
    put32(v, 0); put16(v, 0); put16(v, 0); put32(v, 0);
    put32(v, in.fpsDen); put32(v, in.fpsNum); put32(v, 0);
    put32(v, st.frames[ch]);
    put32(v, maxChunk);
    put32(v, 0xFFFFFFFFu);  // quality: default
    put32(v, 0);            // sample size: variable
    put16(v, 0); put16(v, 0); put16(v, in.width); put16(v, in.height);
    put4cc(v, "strf"); put32(v, 40);
    put32(v, 40); put32(v, in.width); put32(v, in.height);
    put16(v, 1); put16(v, 24); put4cc(v, "MJPG");
    put32(v, uint32_t(in.width) * in.height * 3);
    for (int i = 0; i < 4; ++i) put32(v, 0);
  }
  if (in.audioChannels) {
    put4cc(v, "LIST"); put32(v, 4 + 8 + 56 + 8 + 18); put4cc(v, "strl");
    put4cc(v, "strh"); put32(v, 56);
    put4cc(v, "auds"); put32(v, 0);
    put32(v, 0); put16(v, 0); put16(v, 0); put32(v, 0);
    put32(v, blockAlign); put32(v, in.audioRate * blockAlign); put32(v, 0);
    put32(v, uint32_t(st.audioBytes / blockAlign));
    put32(v, in.audioRate * blockAlign);
    put32(v, 0xFFFFFFFFu);
    put32(v, blockAlign);
    put16(v, 0); put16(v, 0); put16(v, 0); put16(v, 0);
    put4cc(v, "strf"); put32(v, 18);
    put16(v, 1);  // PCM
    put16(v, in.audioChannels);
    put32(v, in.audioRate);
    put32(v, in.audioRate * blockAlign);
    put16(v, blockAlign);
    put16(v, in.audioBits);
    put16(v, 0);
  }
  wr32(&v[hdrlSize], uint32_t(v.size() - hdrlSize - 4));
  put4cc(v, "LIST"); put32(v, moviBytes); put4cc(v, "movi");
  return v;
}

}  // namespace

MakeResult convertStream(ByteSource& src, ByteSink* sink, SensorData* sensors, const StopFn& stopped,
                         AviStats* statsOut) {
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
  char audioId[5] = {'0', char('0' + in.channels), 'w', 'b', 0};
  while (reader.next(ch, payload, scratch)) {
    if (stopped && stopped()) return MakeResult::Stopped;
    const char* id = nullptr;
    size_t bytes = ch.size;
    if (ch.tag == kTagVideo0 || ch.tag == kTagVideo1) {
      int n = ch.tag == kTagVideo0 ? 0 : 1;
      if (bytes == 0) continue;
      id = n == 0 ? "00dc" : "01dc";
      ++st.frames[n];
    } else if (ch.tag == kTagAudio) {
      if (!in.audioChannels) continue;
      size_t align = size_t(in.audioChannels) * 2;
      bytes = bytes / align * align;
      if (bytes == 0) continue;
      id = audioId;
      st.audioBytes += bytes;
    } else if (ch.tag == kTagGps) {
      if (sensors && sensors->gps.size() < kGpsKeep) {
        std::string s(reinterpret_cast<const char*>(payload), bytes);
        s = s.substr(0, s.find('\0'));
        while (!s.empty() && (s.back() == '\r' || s.back() == '\n')) s.pop_back();
        sensors->gps.emplace_back(ch.seq, s);
      }
      continue;
    } else if (ch.tag == kTagGSensor) {
      if (sensors) {
        size_t n = bytes / 12 * 3;
        n = std::min(n, kGSensorKeep - std::min(kGSensorKeep, sensors->gsensor.size()));
        size_t at = sensors->gsensor.size();
        sensors->gsensor.resize(at + n);
        if (n) std::memcpy(&sensors->gsensor[at], payload, n * 4);
      }
      continue;
    } else {
      continue;
    }
    if (!sink) continue;
    uint32_t size = uint32_t(bytes);
    uint32_t padded = size + (size & 1);
    if (pos + 8 + padded + index.size() + 16 + 8 > kMaxAviBytes) return MakeResult::TooLarge;
    maxChunk = std::max(maxChunk, size);
    uint8_t rec[16];
    std::memcpy(rec, id, 4);
    wr32(rec + 4, 0x10);  // key frame
    wr32(rec + 8, uint32_t(pos - moviStart));
    wr32(rec + 12, size);
    index.insert(index.end(), rec, rec + 16);
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
    uint8_t hdr[8] = {'i', 'd', 'x', '1'};
    wr32(hdr + 4, uint32_t(index.size()));
    if (!sink->write(hdr, 8) || (!index.empty() && !sink->write(index.data(), index.size())))
      return MakeResult::WriteFailed;
    uint64_t end = pos + 8 + index.size();
    std::vector<uint8_t> final = buildHeader(in, st, maxChunk, uint32_t(pos - moviStart), uint32_t(end - 8));
    if (final.size() != header.size() || !sink->patch(0, final.data(), final.size())) return MakeResult::WriteFailed;
    st.fileBytes = end;
  }
  if (statsOut) *statsOut = st;
  return MakeResult::Ok;
}

}  // namespace krv
