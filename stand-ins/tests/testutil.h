// Helpers shared by the native tests of the card store and the authoring tool.
#pragma once

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

struct TempDir {
    std::string path;
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "krvtest-XXXXXX").string();
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back(0);
        path = mkdtemp(buf.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
};

inline std::string runCommand(const std::string& cmd) {
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        std::array<char, 4096> buf;
        size_t n;
        while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
        pclose(p);
    }
    return out;
}

// One stream as ffprobe (an outside tool) sees it.
struct ProbedStream {
    std::string type, codec;
    long frames = -1;   // from the header
    long decoded = -1;  // frames actually read (video)
    double duration = -1;
    long rate = -1;  // audio sample rate
};

inline std::vector<ProbedStream> ffprobe(const std::string& file) {
    std::string out = runCommand(
        "ffprobe -v error -count_frames -show_entries "
        "stream=codec_type,codec_name,nb_frames,nb_read_frames,duration,sample_rate -of flat '" +
        file + "' 2>&1");
    std::map<int, ProbedStream> streams;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        int idx;
        char key[64], value[128];
        if (std::sscanf(line.c_str(), "streams.stream.%d.%63[^=]=\"%127[^\"]\"", &idx, key, value) != 3) continue;
        ProbedStream& s = streams[idx];
        if (std::string(value) == "N/A") continue;
        std::string k = key;
        if (k == "codec_type") s.type = value;
        else if (k == "codec_name") s.codec = value;
        else if (k == "nb_frames") s.frames = std::atol(value);
        else if (k == "nb_read_frames") s.decoded = std::atol(value);
        else if (k == "duration") s.duration = std::atof(value);
        else if (k == "sample_rate") s.rate = std::atol(value);
    }
    // PCM in AVI has no duration of its own: its frames are samples.
    for (auto& kv : streams)
        if (kv.second.duration < 0 && kv.second.rate > 0 && kv.second.frames > 0)
            kv.second.duration = double(kv.second.frames) / kv.second.rate;
    std::vector<ProbedStream> v;
    for (auto& kv : streams) v.push_back(kv.second);
    return v;
}
