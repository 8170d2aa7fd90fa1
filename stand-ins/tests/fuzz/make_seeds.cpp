// Writes the fuzzing seeds into a folder (the libFuzzer corpus start).
#include <cstdio>
#include <string>

#include "seeds.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    auto put = [&](const char* name, const std::vector<uint8_t>& d) {
        std::FILE* f = std::fopen((std::string(argv[1]) + "/" + name).c_str(), "wb");
        if (!f) return;
        std::fwrite(d.data(), 1, d.size(), f);
        std::fclose(f);
    };
    put("stream.krs", seedStream());
    put("index.krv", seedIndex());
    return 0;
}
