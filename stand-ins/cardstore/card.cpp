#include "card.h"

#include <cstdio>
#include <cstring>

namespace krv {

bool Card::load(std::string root) {
    clear();
    root_ = std::move(root);
    if (!readIndex(root_, entries_)) {
        entries_.clear();
        return false;
    }
    for (const IndexEntry& e : entries_) ++counts_[e.type];
    loaded_ = true;
    return true;
}

void Card::clear() {
    root_.clear();
    entries_.clear();
    std::memset(counts_, 0, sizeof counts_);
    loaded_ = false;
}

int Card::count(uint8_t type) const { return type <= kPhoto ? counts_[type] : 0; }

int Card::list(uint8_t type, int max, uint8_t* records, int32_t* seconds, int32_t* kib) const {
    if (type > kPhoto || max <= 0 || !records) return 0;
    int n = 0;
    for (const IndexEntry& e : entries_) {
        if (n >= max) break;
        if (e.type != type) continue;
        std::memcpy(records + size_t(n) * kNameBytes, e.name, kNameBytes);
        if (seconds) seconds[n] = int32_t(e.durationMs / 1000);
        if (kib) kib[n] = int32_t(e.dataBytes / 1024);
        ++n;
    }
    return n;
}

const IndexEntry* Card::find(const char* name) const {
    if (!name) return nullptr;
    for (const IndexEntry& e : entries_)
        if (std::strncmp(e.name, name, kNameBytes) == 0) return &e;
    return nullptr;
}

bool isPlainName(const char* name) {
    if (!name || !*name) return false;
    size_t n = strnlen(name, kNameBytes);
    if (n >= kNameBytes) return false;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) return false;
    return std::strpbrk(name, "\\/:*?\"<>|") == nullptr;
}

MakeResult makePlayFile(const std::string& root, const IndexEntry& e, const std::string& folder, uint8_t* gsensorBlock,
                        uint8_t* gpsBlock, const StopFn& stopped, const DiscardFn& discard, const SourceOpener& open,
                        const SinkOpener& create) {
    if (!isPlainName(e.name)) return MakeResult::BadName;
    if (e.type == kPhoto) return MakeResult::NoVideo;
    std::unique_ptr<ByteSource> src;
    if (open) {
        src = open(dataPath(root, e));
    } else {
        auto file = std::make_unique<FileSource>(dataPath(root, e));
        if (file->ok()) src = std::move(file);
    }
    if (!src) return MakeResult::NotFound;
    std::string target = joinPath(folder, e.name);
    std::string temp = target + ".part";
    SensorData sensors;
    MakeResult r;
    {
        std::unique_ptr<ByteSink> sink;
        if (create) {
            sink = create(temp);
        } else {
            auto file = std::make_unique<FileSink>(temp);
            if (file->ok()) sink = std::move(file);
        }
        if (!sink) return MakeResult::WriteFailed;
        r = convertStream(*src, sink.get(), &sensors, stopped);
        if (!sink->finish() && r == MakeResult::Ok) r = MakeResult::WriteFailed;
    }
    if (r == MakeResult::Ok) {
        std::remove(target.c_str());
        if (std::rename(temp.c_str(), target.c_str()) != 0) r = MakeResult::WriteFailed;
    }
    if (r != MakeResult::Ok) {
        if (discard) discard(temp);
        else std::remove(temp.c_str());
    }
    // The blocks describe the recording even when the file could not be made.
    if (gsensorBlock) fillGSensorBlock(sensors, gsensorBlock);
    if (gpsBlock) fillGpsBlock(sensors, gpsBlock);
    return r;
}

bool makePicture(const std::string& root, const IndexEntry& e, uint32_t* length, uint8_t* buf, size_t cap) {
    if (length) *length = 0;
    if (!length || !buf || e.type != kPhoto) return false;
    std::FILE* f = std::fopen(dataPath(root, e).c_str(), "rb");
    if (!f) return false;
    size_t n = std::fread(buf, 1, cap, f);
    uint8_t extra;
    bool fits = std::fread(&extra, 1, 1, f) == 0 && !std::ferror(f);
    std::fclose(f);
    // A JPEG starts with the SOI marker; anything else, or too big, is refused.
    if (!fits || n < 4 || buf[0] != 0xFF || buf[1] != 0xD8) {
        std::memset(buf, 0, n);
        return false;
    }
    *length = uint32_t(n);
    return true;
}

}  // namespace krv
