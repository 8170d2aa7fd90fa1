// GPS sentence reading: field splitter, parser, decimal degrees, shown time.
#include "rmc.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace sensors {

namespace {

// The parser's private copy: at most 1023 bytes of sentence and a NUL, plus a
// few zero bytes so that the pair reads of a field starting at the end stay
// inside the buffer.
constexpr size_t kCopyBytes = 1024;
constexpr size_t kCopySlack = 8;
constexpr int kClockOffsetHours = 9;
constexpr int kLastField = 9;

struct SentenceCopy {
    char text[kCopyBytes + kCopySlack] = {};
    SentenceCopy(const char* src, size_t length) {
        if (!src) return;
        size_t n = length < kCopyBytes - 1 ? length : kCopyBytes - 1;
        for (size_t i = 0; i < n && src[i]; ++i) text[i] = src[i];  // strncpy: stops at a NUL
    }
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// atoi on the two characters at p.
int32_t PairAt(const char* p) {
    char pair[3] = {p[0], p[1], 0};
    const char* s = pair;
    while (IsSpace(*s)) ++s;
    bool negative = *s == '-';
    if (*s == '-' || *s == '+') ++s;
    int32_t v = 0;
    while (IsDigit(*s)) v = v * 10 + (*s++ - '0');
    return negative ? -v : v;
}

// The value rounded to single precision, as a float variable would hold it
// (values beyond the float range become infinities, never undefined behaviour).
double ToSingle(double v) {
    constexpr double kFloatMax = 3.4028234663852886e38;        // FLT_MAX
    constexpr double kRoundsToInfinity = kFloatMax + 0x1p103;  // half an ulp above it
    if (std::isnan(v)) return v;
    if (v >= kRoundsToInfinity) return HUGE_VAL;
    if (v <= -kRoundsToInfinity) return -HUGE_VAL;
    return static_cast<float>(v);
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int month, int year) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

char* NextToken(char* text, char** saved) {
    char* p;
    if (text) {
        p = text;
        while (*p == ',') ++p;
        if (!*p) {
            *saved = nullptr;
            return nullptr;
        }
    } else {
        p = *saved;
        if (!p) return nullptr;
    }
    char* comma = std::strchr(p, ',');
    if (comma) {
        *comma = 0;
        *saved = comma + 1;
    } else {
        *saved = nullptr;
    }
    return p;
}

double ReadNumber(const char* text) {
    if (!text) return 0;
    const char* p = text;
    while (IsSpace(*p)) ++p;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    // The longest decimal number at p: digits [. digits] [e [sign] digits].
    const char* start = p;
    const char* q = p;
    size_t digits = 0;
    while (IsDigit(*q)) ++q, ++digits;
    if (*q == '.') {
        ++q;
        while (IsDigit(*q)) ++q, ++digits;
    }
    if (digits == 0) return 0;
    if (*q == 'e' || *q == 'E') {
        const char* e = q + 1;
        if (*e == '+' || *e == '-') ++e;
        if (IsDigit(*e)) {
            while (IsDigit(*e)) ++e;
            q = e;
        }
    }
    double v = 0;
    auto r = std::from_chars(start, q, v, std::chars_format::general);
    if (r.ec != std::errc() || !std::isfinite(v)) v = 0;  // out of range: unreadable
    return negative ? -v : v;
}

bool ParseRmc(const char* text, size_t length, GpsFix& fix) {
    SentenceCopy copy(text, length);
    char* saved = nullptr;
    for (int field = 0; field <= kLastField; ++field) {
        char* t = NextToken(field == 0 ? copy.text : nullptr, &saved);
        if (!t) return false;
        switch (field) {
            case 1:
                fix.nHour = PairAt(t) + kClockOffsetHours;
                fix.nMinute = PairAt(t + 2);
                fix.nSecond = PairAt(t + 4);
                break;
            case 2: fix.bValid = t[0] == 'A' ? 1 : 0; break;
            case 3: fix.dLatitude = ReadNumber(t); break;
            case 4:
                if (t[0] != 'N') fix.dLatitude = -fix.dLatitude;
                break;
            case 5: fix.dLongitude = ReadNumber(t); break;
            case 6:
                if (t[0] != 'E') fix.dLongitude = -fix.dLongitude;
                break;
            case 7: fix.dSpeedKmh = ToSingle(ReadNumber(t) * 1.852); break;
            case 8: fix.dCourse = ToSingle(ReadNumber(t)); break;
            case 9:
                fix.nDay = PairAt(t);
                fix.nMonth = PairAt(t + 2);
                fix.nYear = PairAt(t + 4);
                break;
            default: break;
        }
    }
    return true;
}

bool IsRmcValid(const char* text, size_t length) {
    SentenceCopy copy(text, length);
    char* saved = nullptr;
    for (int field = 0; field <= 2; ++field) {
        char* t = NextToken(field == 0 ? copy.text : nullptr, &saved);
        if (!t) return false;
        if (field == 2) return t[0] == 'A';
    }
    return false;
}

std::string NmeaToDecimal(const std::string& text) {
    size_t dot = text.find('.');
    if (dot == std::string::npos) dot = text.size();
    size_t p = dot >= 2 ? dot - 2 : 0;
    double degrees = 0;
    for (size_t i = 0; i < p; ++i) degrees = degrees * 10 + (IsDigit(text[i]) ? text[i] - '0' : 0);
    double minutes = ReadNumber(text.c_str() + p);
    if (minutes > 0) minutes /= 60;
    char buf[400];
    std::snprintf(buf, sizeof buf, "%f", degrees + minutes);
    return buf;
}

std::string MapText(const std::string& coordinate) {
    std::string t = NmeaToDecimal(coordinate);
    return ReadNumber(coordinate.c_str()) < 0 ? "-" + t : t;
}

bool HasCalendarDate(const GpsFix& fix) {
    return fix.nYear >= 0 && fix.nYear <= 99 && fix.nMonth >= 1 && fix.nMonth <= 12 && fix.nDay >= 1 &&
           fix.nDay <= DaysInMonth(fix.nMonth, 2000 + fix.nYear);
}

std::string FixTimeText(const GpsFix& fix) {
    char buf[96];
    const int utcHour = fix.nHour - kClockOffsetHours;
    if (HasCalendarDate(fix) && utcHour >= 24 - kClockOffsetHours && utcHour <= 23) {
        int year = 2000 + fix.nYear, month = fix.nMonth, day = fix.nDay + 1;
        if (day > DaysInMonth(month, year)) {
            day = 1;
            if (++month > 12) month = 1, ++year;
        }
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, fix.nHour - 24, fix.nMinute,
                      fix.nSecond);
    } else {
        std::snprintf(buf, sizeof buf, "20%02d-%02d-%02d %02d:%02d:%02d", fix.nYear, fix.nMonth, fix.nDay, fix.nHour,
                      fix.nMinute, fix.nSecond);
    }
    return buf;
}

}  // namespace sensors
