// Card authoring: synthetic but realistic recorder content written in the
// recorder's card store format.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cardstore.h"

namespace cardgen {

// A point in local (camera clock) time.
struct DateTime {
    int year = 2024, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    DateTime plusSeconds(long long s) const;
};

struct Route {
    double lat = 37.5665, lon = 126.9780;  // start, degrees (south / west negative)
    double heading = 45;                   // degrees from north
};

struct Recording {
    uint8_t type = krv::kNormal;  // library type
    char letter = 'N';            // type letter in the name
    DateTime start;
    int seconds = 30;
    int channels = 1;  // 0 for a photo
    Route route;
    int voidFrom = -1, voidTo = -1;  // seconds without a fix (inclusive)
    bool noGps = false;              // every sentence void
    bool noGSensor = false;          // no G-sensor chunks
    int impactAt = -1;               // second of an impact spike (Event)
    int truncatePercent = 0;         // cut the stream file to this share (power loss)
};

struct Plan {
    std::string serial = "KRV0000000000001";
    std::string firmware = "KRV-FW 1.0.0";
    int width = 640, height = 360;
    int fpsNum = 10, fpsDen = 1;
    int quality = 60;
    int audioRate = 16000;
    int photoWidth = 1280, photoHeight = 720;
    std::vector<Recording> recordings;
};

// Parses the plan text; on failure returns false with a message naming the line.
bool parsePlan(const std::string& text, Plan& plan, std::string& error);

// The recording's name as listed by the device library.
std::string recordingName(const Recording& r);

// Scene rendering and JPEG encoding (RGB24, rows top-down).
// travelMeters moves the scene; speedKmh and `when` are burnt in as text.
void renderFrame(std::vector<uint8_t>& rgb, int width, int height, int channel, uint32_t frame, double seconds,
                 double travelMeters, double speedKmh, const DateTime& when);
bool encodeJpeg(const std::vector<uint8_t>& rgb, int width, int height, int quality, std::vector<uint8_t>& out);
bool decodeJpeg(const uint8_t* data, size_t size, std::vector<uint8_t>& rgb, int& width, int& height);

// Side streams of one recording.
std::vector<std::string> gpsSentences(const Recording& r, std::vector<double>* speedsKmh = nullptr);
std::vector<float> gsensorSamples(const Recording& r, const std::vector<double>& speedsKmh, int perSecond);
std::vector<int16_t> audioSecond(int rate, int second);

constexpr int kGSensorPerSecond = 20;

// Writes one recording's data file into dir (the card's data folder) and
// fills the entry. fileId names the file.
bool writeRecording(const Plan& plan, const Recording& r, uint32_t fileId, const std::string& dataDir,
                    krv::IndexEntry& entry, std::string& error);

// Creates the whole card under root (menu.cfg, data folder, index), using up
// to `threads` worker threads. Existing card files under root are replaced.
bool writeCard(const Plan& plan, const std::string& root, int threads, std::string& error);

}  // namespace cardgen
