#include "store_fuzz.h"

#include <cstring>
#include <memory>
#include <vector>

#include "avi.h"
#include "avi_check.h"
#include "card.h"
#include "cardstore.h"

void fuzzCardStore(const uint8_t* data, size_t size) {
    // As an index: every kept entry is terminated and of a known type.
    std::vector<krv::IndexEntry> entries;
    if (krv::parseIndex(data, size, entries)) {
        for (const krv::IndexEntry& e : entries) {
            if (e.type > krv::kPhoto || !std::memchr(e.name, 0, krv::kNameBytes)) __builtin_trap();
        }
    }

    // As a stream: made in place and streamed, the two AVIs agree.
    if (!avicheck::compareWays(data, size).empty()) __builtin_trap();

    // Converted into memory with both blocks sized exactly.
    krv::MemorySource src(data, size);
    krv::MemorySink sink;
    krv::SensorData sensors;
    krv::AviStats stats;
    krv::MakeResult r = krv::convertStream(src, &sink, &sensors, nullptr, &stats);
    std::unique_ptr<uint8_t[]> gs(new uint8_t[krv::kSensorBlockBytes]);
    std::unique_ptr<uint8_t[]> gps(new uint8_t[krv::kSensorBlockBytes]);
    krv::fillGSensorBlock(sensors, gs.get());
    krv::fillGpsBlock(sensors, gps.get());
    if (krv::rd32(gs.get()) > krv::kSensorBlockBytes - 4) __builtin_trap();
    for (size_t i = 0; i < krv::kGpsMaxRecords; ++i)
        if (krv::rd32(gps.get() + i * krv::kGpsRecordBytes + 4) >= krv::kGpsTextBytes) __builtin_trap();
    if (r == krv::MakeResult::Ok) {
        // A finished AVI is a RIFF whose size field matches what was written.
        const std::vector<uint8_t>& avi = sink.bytes;
        if (avi.size() < 12 || std::memcmp(avi.data(), "RIFF", 4) != 0 || krv::rd32(avi.data() + 4) != avi.size() - 8)
            __builtin_trap();
    }
}
