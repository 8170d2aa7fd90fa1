#include "cardgen.h"

#include <jpeglib.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <thread>

#include "framecode.h"

namespace fs = std::filesystem;

namespace cardgen {

// ---------------------------------------------------------------- time

namespace {
long long daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    long long era = (y >= 0 ? y : y - 399) / 400;
    unsigned yoe = unsigned(y - era * 400);
    unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    unsigned doe = unsigned(z - era * 146097);
    unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    unsigned mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = int(yoe + era * 400 + (m <= 2));
}
}  // namespace

DateTime DateTime::plusSeconds(long long s) const {
    long long t = daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second + s;
    long long days = t >= 0 ? t / 86400 : (t - 86399) / 86400;
    long long rest = t - days * 86400;
    DateTime r;
    civilFromDays(days, r.year, r.month, r.day);
    r.hour = int(rest / 3600);
    r.minute = int(rest / 60 % 60);
    r.second = int(rest % 60);
    return r;
}

// ---------------------------------------------------------------- plan

namespace {

bool parseDate(const std::string& s, DateTime& t) {
    if (s.size() != 6 || s.find_first_not_of("0123456789") != std::string::npos) return false;
    t.year = 2000 + std::stoi(s.substr(0, 2));
    t.month = std::stoi(s.substr(2, 2));
    t.day = std::stoi(s.substr(4, 2));
    return t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31;
}

bool parseTime(const std::string& s, DateTime& t) {
    if (s.size() != 6 || s.find_first_not_of("0123456789") != std::string::npos) return false;
    t.hour = std::stoi(s.substr(0, 2));
    t.minute = std::stoi(s.substr(2, 2));
    t.second = std::stoi(s.substr(4, 2));
    return t.hour < 24 && t.minute < 60 && t.second < 60;
}

bool parseInt(const std::string& s, int lo, int hi, int& out) {
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || *end || v < lo || v > hi) return false;
    out = int(v);
    return true;
}

struct NamedPlace {
    const char* name;
    double lat, lon, heading;
};
// Starting points of the drives, one per hemisphere pair.
const NamedPlace kPlaces[] = {
    {"seoul", 37.5665, 126.9780, 60},      {"busan", 35.1796, 129.0756, 200},  {"sydney", -33.8688, 151.2093, 330},
    {"saopaulo", -23.5505, -46.6333, 120}, {"newyork", 40.7128, -74.0060, 30}, {"london", 51.5072, -0.1276, 250},
};

bool parseOption(const std::string& key, const std::string& val, Recording& r) {
    if (key == "route") {
        for (const NamedPlace& p : kPlaces)
            if (val == p.name) {
                r.route = {p.lat, p.lon, p.heading};
                return true;
            }
        double lat, lon;
        char comma;
        std::istringstream is(val);
        if (is >> lat >> comma >> lon && comma == ',' && std::fabs(lat) < 85 && std::fabs(lon) <= 180) {
            r.route.lat = lat;
            r.route.lon = lon;
            return true;
        }
        return false;
    }
    if (key == "heading") {
        int h;
        if (!parseInt(val, 0, 359, h)) return false;
        r.route.heading = h;
        return true;
    }
    if (key == "void") {
        size_t dash = val.find('-');
        return dash != std::string::npos && parseInt(val.substr(0, dash), 0, 100000, r.voidFrom) &&
               parseInt(val.substr(dash + 1), r.voidFrom, 100000, r.voidTo);
    }
    if (key == "impact") return parseInt(val, 0, 100000, r.impactAt);
    if (key == "truncate") return parseInt(val, 1, 99, r.truncatePercent);
    return false;
}

}  // namespace

bool parsePlan(const std::string& text, Plan& plan, std::string& error) {
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    auto fail = [&](const std::string& what) {
        error = "plan line " + std::to_string(lineNo) + ": " + what;
        return false;
    };
    while (std::getline(in, line)) {
        ++lineNo;
        line = line.substr(0, line.find('#'));
        std::istringstream ls(line);
        std::vector<std::string> tok;
        for (std::string t; ls >> t;) tok.push_back(t);
        if (tok.empty()) continue;
        if (tok[0] == "card") {
            for (size_t i = 1; i < tok.size(); ++i) {
                size_t eq = tok[i].find('=');
                if (eq == std::string::npos) return fail("expected key=value: " + tok[i]);
                std::string k = tok[i].substr(0, eq), v = tok[i].substr(eq + 1);
                int a, b;
                char x;
                if (k == "serial" && !v.empty() && v.size() <= krv::kSerialBytes) {
                    plan.serial = v;
                } else if (k == "firmware" && !v.empty() && v.size() <= krv::kFirmwareBytes) {
                    std::replace(v.begin(), v.end(), '_', ' ');
                    plan.firmware = v;
                } else if ((k == "video" || k == "photo") && std::sscanf(v.c_str(), "%dx%d%c", &a, &b, &x) == 2 &&
                           a >= 64 && b >= 64 && a <= 4096 && b <= 4096 && a % 2 == 0 && b % 2 == 0) {
                    (k == "video" ? plan.width : plan.photoWidth) = a;
                    (k == "video" ? plan.height : plan.photoHeight) = b;
                } else if (k == "fps" && parseInt(v, 1, 60, a)) {
                    plan.fpsNum = a;
                    plan.fpsDen = 1;
                } else if (k == "quality" && parseInt(v, 10, 100, a)) {
                    plan.quality = a;
                } else if (k == "audio" && parseInt(v, 8000, 48000, a)) {
                    plan.audioRate = a;
                } else {
                    return fail("bad card setting: " + tok[i]);
                }
            }
            continue;
        }
        if (tok[0] != "rec") return fail("unknown directive: " + tok[0]);
        // rec TYPE LETTER YYMMDD hhmmss [SECONDS CHANNELS] [key=value...]
        if (tok.size() < 5) return fail("rec needs type, letter, date and time");
        Recording r;
        static const char* types[] = {"event", "normal", "park", "photo"};
        auto t = std::find(std::begin(types), std::end(types), tok[1]);
        if (t == std::end(types)) return fail("unknown type: " + tok[1]);
        r.type = uint8_t(t - std::begin(types));
        if (tok[2].size() != 1 || !std::isalpha(uint8_t(tok[2][0]))) return fail("type letter: " + tok[2]);
        r.letter = tok[2][0];
        if (!parseDate(tok[3], r.start) || !parseTime(tok[4], r.start)) return fail("bad date or time");
        size_t opt = 5;
        if (r.type == krv::kPhoto) {
            r.seconds = 0;
            r.channels = 0;
        } else {
            if (tok.size() < 7 || !parseInt(tok[5], 1, 3600, r.seconds) || !parseInt(tok[6], 1, 2, r.channels))
                return fail("video needs seconds (1..3600) and channels (1 or 2)");
            opt = 7;
            if (r.type == krv::kEvent) r.impactAt = r.seconds / 2;
        }
        for (size_t i = opt; i < tok.size(); ++i) {
            if (tok[i] == "nogps") {
                r.noGps = true;
                continue;
            }
            if (tok[i] == "nogsensor") {
                r.noGSensor = true;
                continue;
            }
            size_t eq = tok[i].find('=');
            if (eq == std::string::npos || !parseOption(tok[i].substr(0, eq), tok[i].substr(eq + 1), r))
                return fail("bad option: " + tok[i]);
        }
        plan.recordings.push_back(r);
    }
    return true;
}

std::string recordingName(const Recording& r) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "R_%02d%02d%02d_%02d%02d%02d_%c%d.%s", r.start.year % 100, r.start.month,
                  r.start.day, r.start.hour, r.start.minute, r.start.second, r.letter, r.channels,
                  r.type == krv::kPhoto ? "jpg" : "avi");
    return buf;
}

// ---------------------------------------------------------------- picture

namespace {

const uint8_t kFont[][7] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
    {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}, {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E},
    {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}, {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C},
    {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}, {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10},
    {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}, {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11},
    {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}, {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C},
    {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}, {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F},
    {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}, {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11},
    {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}, {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10},
    {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}, {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11},
    {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}, {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04},
    {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}, {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04},
    {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}, {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11},
    {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F},
    {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}, {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00},
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}, {0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x00},
};

const uint8_t* glyph(char c) {
    if (c >= '0' && c <= '9') return kFont[c - '0'];
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z') return kFont[10 + c - 'A'];
    switch (c) {
        case ':': return kFont[36];
        case '-': return kFont[37];
        case '.': return kFont[38];
        case '/': return kFont[39];
    }
    return nullptr;
}

struct Canvas {
    uint8_t* p;
    int w, h;
    void fill(int x0, int y0, int x1, int y1, uint8_t r, uint8_t g, uint8_t b) {
        x0 = std::max(x0, 0), y0 = std::max(y0, 0), x1 = std::min(x1, w), y1 = std::min(y1, h);
        for (int y = y0; y < y1; ++y) {
            uint8_t* q = p + (size_t(y) * w + x0) * 3;
            for (int x = x0; x < x1; ++x, q += 3) q[0] = r, q[1] = g, q[2] = b;
        }
    }
    void text(int x, int y, int s, const std::string& str, uint8_t r, uint8_t g, uint8_t b) {
        for (int pass = 0; pass < 2; ++pass) {  // a dark shadow first, for contrast
            int off = pass == 0 ? std::max(1, s / 2) : 0;
            for (size_t i = 0; i < str.size(); ++i) {
                const uint8_t* gl = glyph(str[i]);
                if (!gl) continue;
                int cx = x + int(i) * 6 * s + off;
                for (int row = 0; row < 7; ++row)
                    for (int col = 0; col < 5; ++col)
                        if (gl[row] & (0x10 >> col)) {
                            int px = cx + col * s, py = y + row * s + off;
                            if (pass == 0) fill(px, py, px + s, py + s, 0, 0, 0);
                            else fill(px, py, px + s, py + s, r, g, b);
                        }
            }
        }
    }
};

}  // namespace

void renderFrame(std::vector<uint8_t>& rgb, int w, int h, int channel, uint32_t frame, double seconds, double travel,
                 double speedKmh, const DateTime& when) {
    rgb.resize(size_t(w) * h * 3);
    Canvas c{rgb.data(), w, h};
    const bool rear = channel == 2;
    // Sky: blue for the front camera, a dusk orange for the rear one.
    int horizon = h * 45 / 100;
    for (int y = 0; y < horizon; ++y) {
        int k = y * 255 / std::max(1, horizon);
        if (rear) c.fill(0, y, w, y + 1, uint8_t(120 + k / 2), uint8_t(60 + k / 3), uint8_t(90 - k / 4));
        else c.fill(0, y, w, y + 1, uint8_t(40 + k / 3), uint8_t(90 + k / 3), uint8_t(200 + k / 5));
    }
    // Distant hills drift slowly with the heading.
    for (int x = 0; x < w; ++x) {
        double hx = x * 0.02 + travel * 0.0005;
        int top = horizon - int((std::sin(hx) * 0.5 + 0.5) * h * 0.06 + std::sin(hx * 2.7) * h * 0.015) - h / 60;
        c.fill(x, std::max(top, 0), x + 1, horizon, 70, 100, 80);
    }
    // Ground and road in perspective; lane dashes and side poles move with travel.
    int cx = w / 2 + int(std::sin(seconds * 0.21) * w * 0.04);
    for (int y = horizon; y < h; ++y) {
        double d = double(y - horizon + 1) / (h - horizon);  // 0 far .. 1 near
        c.fill(0, y, w, y + 1, 60, uint8_t(110 + 40 * d), 50);
        int half = int(w * (0.03 + 0.45 * d));
        c.fill(cx - half, y, cx + half, y + 1, 70, 70, 75);
        int line = std::max(1, int(half * 0.03));
        c.fill(cx - half, y, cx - half + line, y + 1, 230, 230, 230);
        c.fill(cx + half - line, y, cx + half, y + 1, 230, 230, 230);
        double depth = 3.0 / d;  // metres ahead
        bool dash = std::fmod(depth + travel, 12.0) < 6.0;
        if (dash) c.fill(cx - line, y, cx + line, y + 1, 240, 210, 60);
        if (std::fmod(depth + travel, 25.0) < 1.0) {  // roadside poles
            int pole = std::max(2, int(half * 0.05));
            int top = y - int(h * 0.5 * d);
            c.fill(cx - half - 3 * pole, top, cx - half - 2 * pole, y, 200, 200, 200);
            c.fill(cx + half + 2 * pole, top, cx + half + 3 * pole, y, 200, 200, 200);
        }
    }
    // A vehicle ahead (front) or behind (rear), coming closer and falling back.
    double gap = 0.35 + 0.25 * std::sin(seconds * 0.37);
    int vy = horizon + int((h - horizon) * gap);
    double vd = double(vy - horizon) / (h - horizon);
    int vw = int(w * 0.35 * vd), vh = int(vw * 0.6);
    int vx = cx + int(std::sin(seconds * 0.5) * w * 0.05 * vd);
    if (rear) c.fill(vx - vw / 2, vy - vh, vx + vw / 2, vy, 230, 230, 240);
    else c.fill(vx - vw / 2, vy - vh, vx + vw / 2, vy, 180, 30, 30);
    c.fill(vx - vw / 2, vy - vh / 3, vx - vw / 4, vy - vh / 6, 255, 200, 40);
    c.fill(vx + vw / 4, vy - vh / 3, vx + vw / 2, vy - vh / 6, 255, 200, 40);

    // Burnt-in texts below the frame code strip.
    int s = std::max(1, h / 120);
    int y0 = h / 12 + 2 * s;
    char line[96];
    std::snprintf(line, sizeof line, "CH%d %s", channel, rear ? "REAR" : "FRONT");
    c.text(2 * s, y0, s, line, 255, 255, 255);
    std::snprintf(line, sizeof line, "%04d-%02d-%02d %02d:%02d:%02d", when.year, when.month, when.day, when.hour,
                  when.minute, when.second);
    c.text(w - 2 * s - int(std::strlen(line)) * 6 * s, y0, s, line, 255, 255, 255);
    std::snprintf(line, sizeof line, "FRAME %06u", unsigned(frame));
    c.text(2 * s, y0 + 9 * s, s, line, 255, 255, 0);
    std::snprintf(line, sizeof line, "%03d KM/H", int(speedKmh));
    c.text(w - 2 * s - int(std::strlen(line)) * 6 * s, y0 + 9 * s, s, line, 255, 255, 0);
    krv::drawFrameCode(rgb.data(), w, h, w * 3, frame, channel);
}

namespace {
struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};
void onJpegError(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1); }
}  // namespace

bool encodeJpeg(const std::vector<uint8_t>& rgb, int w, int h, int quality, std::vector<uint8_t>& out) {
    if (rgb.size() < size_t(w) * h * 3) return false;
    jpeg_compress_struct cinfo;
    JpegError err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = onJpegError;
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::free(mem);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &mem, &size);
    cinfo.image_width = JDIMENSION(w);
    cinfo.image_height = JDIMENSION(h);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.dct_method = JDCT_ISLOW;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&rgb[size_t(cinfo.next_scanline) * w * 3]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    out.assign(mem, mem + size);
    jpeg_destroy_compress(&cinfo);
    std::free(mem);
    return true;
}

bool decodeJpeg(const uint8_t* data, size_t size, std::vector<uint8_t>& rgb, int& w, int& h) {
    jpeg_decompress_struct cinfo;
    JpegError err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = onJpegError;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, (unsigned long)size);
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    w = int(cinfo.output_width);
    h = int(cinfo.output_height);
    rgb.resize(size_t(w) * h * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = &rgb[size_t(cinfo.output_scanline) * w * 3];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

// ---------------------------------------------------------------- side streams

namespace {

// Small deterministic generator, so that a plan always gives the same card.
struct Rng {
    uint64_t s;
    explicit Rng(uint64_t seed) : s(seed * 0x9E3779B97F4A7C15ull + 1) {}
    double next() {  // uniform in [-1, 1)
        s ^= s << 13, s ^= s >> 7, s ^= s << 17;
        return double(s >> 11) / double(1ull << 52) - 1.0;
    }
};

uint64_t seedOf(const Recording& r) {
    return uint64_t(r.start.year) * 10000000000ull + r.start.month * 100000000ull + r.start.day * 1000000ull +
           r.start.hour * 10000ull + r.start.minute * 100ull + r.start.second;
}

// Speed profile in km/h: accelerates away, cruises with changes, stops at
// a light now and then.
std::vector<double> speedProfile(const Recording& r) {
    Rng rng(seedOf(r));
    std::vector<double> v(size_t(std::max(r.seconds, 1)));
    double cruise = 45 + 30 * (rng.next() * 0.5 + 0.5);
    double speed = 10 + 20 * (rng.next() * 0.5 + 0.5);
    int stopAt = r.seconds > 20 ? int(r.seconds * (0.55 + 0.2 * rng.next())) : -1;
    for (int s = 0; s < int(v.size()); ++s) {
        double target = cruise + 15 * std::sin(s * 0.13);
        if (stopAt >= 0 && s >= stopAt - 6 && s < stopAt + 4) target = 0;
        speed += std::clamp(target - speed, -9.0, 6.0);
        speed = std::max(0.0, speed + rng.next());
        if (target == 0 && speed < 3) speed = 0;
        v[size_t(s)] = speed;
    }
    return v;
}

int checksum(const std::string& body) {
    int x = 0;
    for (char ch : body) x ^= uint8_t(ch);
    return x;
}

}  // namespace

std::vector<std::string> gpsSentences(const Recording& r, std::vector<double>* speedsOut) {
    std::vector<double> speeds = speedProfile(r);
    std::vector<std::string> out;
    double lat = r.route.lat, lon = r.route.lon, heading = r.route.heading;
    Rng rng(seedOf(r) + 7);
    for (int s = 0; s < r.seconds; ++s) {
        double v = speeds[size_t(s)];
        // Turn now and then; the GPS time is UTC, the camera clock 9 hours ahead.
        heading = std::fmod(heading + 4 * std::sin(s * 0.07) + rng.next() + 360, 360);
        double metres = v / 3.6;
        lat += metres * std::cos(heading * M_PI / 180) / 111320.0;
        lon += metres * std::sin(heading * M_PI / 180) / (111320.0 * std::cos(lat * M_PI / 180));
        if (lon > 180) lon -= 360;
        if (lon < -180) lon += 360;
        DateTime utc = r.start.plusSeconds(s - 9 * 3600);
        char hms[16], dmy[8], body[128];
        std::snprintf(hms, sizeof hms, "%02d%02d%02d.00", utc.hour, utc.minute, utc.second);
        std::snprintf(dmy, sizeof dmy, "%02d%02d%02d", utc.day, utc.month, utc.year % 100);
        bool fix = !r.noGps && !(s >= r.voidFrom && s <= r.voidTo);
        if (fix) {
            double alat = std::fabs(lat), alon = std::fabs(lon);
            int dlat = int(alat), dlon = int(alon);
            std::snprintf(body, sizeof body, "GPRMC,%s,A,%02d%07.4f,%c,%03d%07.4f,%c,%.1f,%.1f,%s,,,A", hms, dlat,
                          (alat - dlat) * 60, lat < 0 ? 'S' : 'N', dlon, (alon - dlon) * 60, lon < 0 ? 'W' : 'E',
                          v / 1.852, heading, dmy);
        } else {
            std::snprintf(body, sizeof body, "GPRMC,%s,V,,,,,,,%s,,,N", hms, dmy);
        }
        char full[160];
        std::snprintf(full, sizeof full, "$%s*%02X", body, checksum(body));
        out.push_back(full);
    }
    if (speedsOut) *speedsOut = speeds;
    return out;
}

std::vector<float> gsensorSamples(const Recording& r, const std::vector<double>& speeds, int perSecond) {
    Rng rng(seedOf(r) + 13);
    std::vector<float> out;
    out.reserve(size_t(r.seconds) * perSecond * 3);
    for (int s = 0; s < r.seconds; ++s) {
        double v = speeds[size_t(s)];
        double prev = s > 0 ? speeds[size_t(s - 1)] : v;
        double along = (v - prev) / 3.6 / 9.81;  // longitudinal, g
        double lateral = (v / 3.6) * (4 * 0.07 * std::cos(s * 0.07) * M_PI / 180) / 9.81 * 10;
        for (int i = 0; i < perSecond; ++i) {
            double t = s + double(i) / perSecond;
            double x = along + 0.02 * rng.next();
            double y = lateral + 0.02 * rng.next();
            double z = 1.0 + 0.03 * rng.next() + 0.04 * std::sin(t * 9.0) * std::min(1.0, v / 50);
            if (r.impactAt >= 0 && t >= r.impactAt) {
                double k = std::exp(-(t - r.impactAt) * 6.0);
                double ring = std::cos((t - r.impactAt) * 40.0);
                x += -2.6 * k * ring;
                y += 1.1 * k * ring;
                z += 1.4 * k * std::sin((t - r.impactAt) * 35.0);
            }
            out.push_back(float(x));
            out.push_back(float(y));
            out.push_back(float(z));
        }
    }
    return out;
}

std::vector<int16_t> audioSecond(int rate, int second) {
    // A steady 440 Hz tone with a short 1 kHz pip at the start of every second.
    std::vector<int16_t> pcm(static_cast<size_t>(rate));
    for (int i = 0; i < rate; ++i) {
        double t = second + double(i) / rate;
        double v = 0.18 * std::sin(2 * M_PI * 440 * t);
        if (i < rate / 20) v += 0.25 * std::sin(2 * M_PI * 1000 * t);
        pcm[size_t(i)] = int16_t(std::lround(v * 32767));
    }
    return pcm;
}

// ---------------------------------------------------------------- writing

bool writeRecording(const Plan& plan, const Recording& r, uint32_t fileId, const std::string& dataDir,
                    krv::IndexEntry& e, std::string& error) {
    std::string name = recordingName(r);
    if (name.size() >= krv::kNameBytes) {
        error = "name too long: " + name;
        return false;
    }
    e = krv::IndexEntry();
    e.type = r.type;
    e.channels = uint8_t(r.channels);
    e.fileId = fileId;
    e.durationMs = uint32_t(r.seconds) * 1000;
    std::memcpy(e.name, name.c_str(), name.size());
    std::string path = krv::dataPath(fs::path(dataDir).parent_path().string(), e);
    std::vector<uint8_t> rgb, jpg;

    if (r.type == krv::kPhoto) {
        renderFrame(rgb, plan.photoWidth, plan.photoHeight, 1, 0, 0, 0, 0, r.start);
        if (!encodeJpeg(rgb, plan.photoWidth, plan.photoHeight, 85, jpg)) return error = "jpeg", false;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        bool ok = f && std::fwrite(jpg.data(), 1, jpg.size(), f) == jpg.size();
        if (f) ok = std::fclose(f) == 0 && ok;
        if (!ok) return error = "cannot write " + path, false;
        e.dataBytes = uint32_t(jpg.size());
        return true;
    }

    krv::StreamInfo info;
    info.channels = uint8_t(r.channels);
    info.audioChannels = 1;
    info.audioBits = 16;
    info.width = uint16_t(plan.width);
    info.height = uint16_t(plan.height);
    info.fpsNum = uint32_t(plan.fpsNum);
    info.fpsDen = uint32_t(plan.fpsDen);
    info.audioRate = uint32_t(plan.audioRate);
    krv::StreamWriter w;
    if (!w.open(path, info)) return error = "cannot create " + path, false;
    std::vector<double> speeds;
    std::vector<std::string> gps = gpsSentences(r, &speeds);
    std::vector<float> gs;
    if (!r.noGSensor) gs = gsensorSamples(r, speeds, kGSensorPerSecond);
    double travel = 0;
    uint32_t frame = 0;
    for (int s = 0; s < r.seconds; ++s) {
        uint32_t ms = uint32_t(s) * 1000;
        std::vector<int16_t> pcm = audioSecond(plan.audioRate, s);
        w.add(krv::kTagAudio, uint32_t(s), ms, pcm.data(), pcm.size() * 2);
        w.add(krv::kTagGps, uint32_t(s), ms, gps[size_t(s)].data(), gps[size_t(s)].size());
        if (!gs.empty())
            w.add(krv::kTagGSensor, uint32_t(s), ms, &gs[size_t(s) * kGSensorPerSecond * 3], kGSensorPerSecond * 12);
        // Frames whose start time falls into this second.
        uint64_t end = uint64_t(s + 1) * plan.fpsNum / plan.fpsDen;
        for (; frame < end; ++frame) {
            double t = double(frame) * plan.fpsDen / plan.fpsNum;
            double v = speeds[size_t(s)];
            travel += v / 3.6 * plan.fpsDen / plan.fpsNum;
            DateTime when = r.start.plusSeconds(s);
            for (int ch = 1; ch <= r.channels; ++ch) {
                renderFrame(rgb, plan.width, plan.height, ch, frame, t, travel, v, when);
                if (!encodeJpeg(rgb, plan.width, plan.height, plan.quality, jpg)) return error = "jpeg", false;
                w.add(ch == 1 ? krv::kTagVideo0 : krv::kTagVideo1, frame, uint32_t(t * 1000), jpg.data(), jpg.size());
            }
        }
    }
    uint64_t size = w.bytes();
    if (!w.close()) return error = "cannot write " + path, false;
    if (r.truncatePercent > 0) {
        // Power lost while recording: the file ends in the middle of a chunk.
        size = size * uint64_t(r.truncatePercent) / 100 + 7;
        std::error_code ec;
        fs::resize_file(path, size, ec);
        if (ec) return error = "cannot truncate " + path, false;
    }
    e.dataBytes = uint32_t(std::min<uint64_t>(size, 0xFFFFFFFFu));
    return true;
}

bool writeCard(const Plan& plan, const std::string& root, int threads, std::string& error) {
    std::error_code ec;
    fs::path dataDir = fs::path(root) / krv::kDataDir;
    fs::remove_all(dataDir, ec);
    fs::create_directories(dataDir, ec);
    if (ec) return error = "cannot create " + dataDir.string() + ": " + ec.message(), false;
    std::vector<uint8_t> cfg = krv::makeMenuCfg(plan.serial, plan.firmware);
    std::FILE* f = std::fopen((fs::path(root) / "menu.cfg").string().c_str(), "wb");
    if (!f || std::fwrite(cfg.data(), 1, cfg.size(), f) != cfg.size() || std::fclose(f) != 0)
        return error = "cannot write menu.cfg", false;

    size_t n = plan.recordings.size();
    std::vector<krv::IndexEntry> entries(n);
    std::vector<std::string> errors(n);
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    // Longest recordings first, so that the threads finish together.
    std::vector<size_t> order(n);
    for (size_t i = 0; i < n; ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return plan.recordings[a].seconds * plan.recordings[a].channels >
               plan.recordings[b].seconds * plan.recordings[b].channels;
    });
    auto work = [&] {
        for (size_t k; !failed && (k = next++) < n;) {
            size_t i = order[k];
            if (!writeRecording(plan, plan.recordings[i], uint32_t(i + 1), dataDir.string(), entries[i], errors[i]))
                failed = true;
        }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < std::max(1, threads); ++t) pool.emplace_back(work);
    work();
    for (auto& t : pool) t.join();
    for (const std::string& e : errors)
        if (!e.empty()) return error = e, false;
    if (!krv::writeIndex(root, entries)) return error = "cannot write the index", false;
    return true;
}

}  // namespace cardgen
