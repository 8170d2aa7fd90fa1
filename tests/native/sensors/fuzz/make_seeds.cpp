// Writes the fuzzing seeds into a folder (the libFuzzer corpus start): the
// built-in seeds and the blocks of two authored recordings, made by the card
// store's own block writers.
#include <cstdio>
#include <string>

#include "avi.h"
#include "cardgen.h"
#include "seeds.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    auto put = [&](const std::string& name, const std::vector<uint8_t>& d) {
        std::FILE* f = std::fopen((std::string(argv[1]) + "/" + name).c_str(), "wb");
        if (!f) return;
        std::fwrite(d.data(), 1, d.size(), f);
        std::fclose(f);
    };
    int n = 0;
    for (const auto& s : sensorSeeds()) put("seed-" + std::to_string(n++), s);
    cardgen::Recording rec;
    rec.type = krv::kEvent;
    for (int seconds : {20, 90}) {
        rec.seconds = seconds;
        rec.voidFrom = 3, rec.voidTo = 5, rec.impactAt = 10;
        rec.route.lat = -23.5505, rec.route.lon = -46.6333;
        krv::SensorData sensors;
        std::vector<double> speeds;
        auto sentences = cardgen::gpsSentences(rec, &speeds);
        for (size_t s = 0; s < sentences.size(); ++s) sensors.gps.emplace_back(uint32_t(s), sentences[s]);
        sensors.gsensor = cardgen::gsensorSamples(rec, speeds, cardgen::kGSensorPerSecond);
        std::vector<uint8_t> gps(krv::kSensorBlockBytes), gs(krv::kSensorBlockBytes);
        krv::fillGpsBlock(sensors, gps.data());
        krv::fillGSensorBlock(sensors, gs.data());
        put("card-" + std::to_string(seconds), fuzzInput(int64_t(seconds) * 1000, gps, gs));
    }
    return 0;
}
