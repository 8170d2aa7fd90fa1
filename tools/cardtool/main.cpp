// cardtool: authoring of recorder cards from a plan file.
//
//   cardtool make --plan FILE --out DIR [-j N] [--index-only]
//       writes the card described by the plan into DIR (menu.cfg, KRVDATA);
//       --index-only writes the index and menu.cfg without recording data
//       (enough for listing the card).
//   cardtool list DIR
//       prints the card's index: type, channels, seconds, bytes, name.
//   cardtool play DIR NAME FOLDER [GSENSOR_FILE GPS_FILE]
//       makes the play file (AVI) of recording NAME in FOLDER, as the device
//       library does, and prints the number of GPS records and G-sensor bytes;
//       with the two files, also writes the 16 384-byte G-sensor and GPS
//       blocks the library hands over with it (for tools/sensordump).
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "card.h"
#include "cardgen.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: cardtool make --plan FILE --out DIR [-j N] [--index-only]\n"
                 "       cardtool list DIR\n"
                 "       cardtool play DIR NAME FOLDER [GSENSOR_FILE GPS_FILE]\n");
    return 2;
}

int make(int argc, char** argv) {
    std::string planFile, out;
    int threads = int(std::thread::hardware_concurrency());
    bool indexOnly = false;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--plan" && i + 1 < argc) planFile = argv[++i];
        else if (a == "--out" && i + 1 < argc) out = argv[++i];
        else if (a == "-j" && i + 1 < argc) threads = std::atoi(argv[++i]);
        else if (a == "--index-only") indexOnly = true;
        else return usage();
    }
    if (planFile.empty() || out.empty()) return usage();
    std::ifstream in(planFile);
    if (!in) {
        std::fprintf(stderr, "cardtool: cannot read %s\n", planFile.c_str());
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();
    cardgen::Plan plan;
    std::string error;
    if (!cardgen::parsePlan(text.str(), plan, error)) {
        std::fprintf(stderr, "cardtool: %s: %s\n", planFile.c_str(), error.c_str());
        return 1;
    }
    bool ok;
    if (indexOnly) {
        std::vector<krv::IndexEntry> entries;
        for (size_t i = 0; i < plan.recordings.size(); ++i) {
            const cardgen::Recording& r = plan.recordings[i];
            krv::IndexEntry e;
            e.type = r.type;
            e.channels = uint8_t(r.channels);
            e.fileId = uint32_t(i + 1);
            e.durationMs = uint32_t(r.seconds) * 1000;
            std::string name = cardgen::recordingName(r);
            std::memcpy(e.name, name.c_str(), std::min(name.size(), krv::kNameBytes - 1));
            entries.push_back(e);
        }
        std::filesystem::create_directories(std::filesystem::path(out) / krv::kDataDir);
        ok = krv::writeIndex(out, entries);
        if (!ok) error = "cannot write the index";
    } else {
        ok = cardgen::writeCard(plan, out, threads, error);
    }
    if (!ok) {
        std::fprintf(stderr, "cardtool: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

int list(const char* root) {
    std::vector<krv::IndexEntry> entries;
    if (!krv::readIndex(root, entries)) {
        std::fprintf(stderr, "cardtool: no readable index under %s\n", root);
        return 1;
    }
    static const char* types[] = {"Event", "Normal", "Park", "Photo"};
    for (const krv::IndexEntry& e : entries)
        std::printf("%-6s %u %5u s %10u  %s\n", types[e.type], e.channels, e.durationMs / 1000, e.dataBytes, e.name);
    return 0;
}

bool writeBlock(const char* path, const std::vector<uint8_t>& block) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(block.data()), std::streamsize(block.size()));
    if (out.good()) return true;
    std::fprintf(stderr, "cardtool: cannot write %s\n", path);
    return false;
}

int play(const char* root, const char* name, const char* folder, const char* gsOut, const char* gpsOut) {
    krv::Card card;
    const krv::IndexEntry* e = card.load(root) ? card.find(name) : nullptr;
    if (!e) {
        std::fprintf(stderr, "cardtool: no recording %s on %s\n", name, root);
        return 1;
    }
    std::vector<uint8_t> gs(krv::kSensorBlockBytes), gps(krv::kSensorBlockBytes);
    krv::MakeResult r = krv::makePlayFile(root, *e, folder, gs.data(), gps.data(), nullptr);
    if (r != krv::MakeResult::Ok) {
        std::fprintf(stderr, "cardtool: %s: %s\n", name, krv::describe(r));
        return 1;
    }
    size_t records = 0;
    while (records < krv::kGpsMaxRecords && krv::rd32(&gps[records * krv::kGpsRecordBytes + 4]) != 0) ++records;
    std::printf("gps records %zu, g-sensor bytes %u\n", records, krv::rd32(gs.data()));
    if (gsOut && gpsOut && !(writeBlock(gsOut, gs) && writeBlock(gpsOut, gps))) return 1;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "make") == 0) return make(argc - 2, argv + 2);
    if (argc == 3 && std::strcmp(argv[1], "list") == 0) return list(argv[2]);
    if (argc == 5 && std::strcmp(argv[1], "play") == 0) return play(argv[2], argv[3], argv[4], nullptr, nullptr);
    if (argc == 7 && std::strcmp(argv[1], "play") == 0) return play(argv[2], argv[3], argv[4], argv[5], argv[6]);
    return usage();
}
