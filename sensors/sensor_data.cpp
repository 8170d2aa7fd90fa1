// The sensor blocks, tables and readouts of the open recording; speed digits
// and the G-sensor graph's geometry.
#include "sensor_data.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <type_traits>

namespace sensors {

const char kResetRangeText[] = "0000-00-00 00:00:00 / 0000-00-00 00:00:00";
const char kResetTimeText[] = "0000-00-00 00:00:00";
const char kResetCoordText[] = "000000";
const char kNoFixCoordText[] = "0.00000";
const char kResetXText[] = "X : 0.0000";
const char kResetYText[] = "Y : 0.0000";
const char kResetZText[] = "Z : 0.0000";

namespace {

constexpr double kMilesPerKm = 0.621371;

// Little-endian 32-bit value at off of a block of `size` bytes (zero beyond it).
uint32_t Read32(const uint8_t* block, size_t size, size_t off) {
    uint8_t b[4] = {0, 0, 0, 0};
    if (block && off < size) std::memcpy(b, block + off, std::min<size_t>(4, size - off));
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

float ReadFloat(const uint8_t* block, size_t size, size_t off) {
    uint32_t bits = Read32(block, size, off);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// The position as the tables compare it: a 32-bit count of milliseconds.
uint32_t Position32(int64_t positionMs) {
    if (positionMs < 0) return 0;
    if (positionMs > int64_t(UINT32_MAX)) return UINT32_MAX;
    return uint32_t(positionMs);
}

std::string Format(const char* format, double v) {
    char buf[400];  // the widest finite double in "%011.5f" is 317 characters
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

size_t TextLength(const GpsEntry& e) { return std::min<size_t>(e.nLength, kGpsTextBytes); }

// All-zero tables (both element types are plain data, zero meaning unused).
template <typename Table>
void Clear(Table& table) {
    static_assert(std::is_trivially_copyable_v<typename Table::value_type>);
    std::memset(static_cast<void*>(table.data()), 0, sizeof(typename Table::value_type) * table.size());
}

}  // namespace

size_t ReadGpsBlock(const uint8_t* block, size_t size, GpsEntryTable& table) {
    Clear(table);
    size_t count = 0;
    for (size_t r = 0; r < kGpsEntries; ++r) {
        const size_t off = r * kGpsRecordBytes;
        GpsEntry& e = table[r];
        e.nTimeSec = Read32(block, size, off);
        e.nLength = Read32(block, size, off + 4);
        if (e.nLength == 0 || e.nLength >= kGpsTextBytes) break;
        for (size_t i = 0; i < e.nLength; ++i) {
            size_t at = off + 8 + i;
            e.szText[i] = block && at < size ? char(block[at]) : 0;
        }
        e.szText[e.nLength] = 0;
        ++count;
    }
    return count;
}

int32_t ReadGSensorBlock(const uint8_t* block, size_t size, int64_t durationMs, GSensorSampleTable& table,
                         size_t* written) {
    Clear(table);
    if (written) *written = 0;
    const int32_t bytes = int32_t(Read32(block, size, 0));
    const int32_t n = bytes / int32_t(kGSensorSampleBytes);
    if (n <= 0) return bytes;
    const int64_t step = durationMs / n;
    for (size_t i = 0; i < kGSensorSlots; ++i) {
        const size_t off = 4 + kGSensorSampleBytes * i;
        if (int64_t(off) >= int64_t(bytes) || off + kGSensorSampleBytes > kBlockBytes) break;
        GSensorSample& s = table[i];
        // Low 32 bits of the 64-bit product, without signed overflow.
        s.nTimeMs = uint32_t(uint64_t(step) * uint64_t(i + 1));
        s.fX = ReadFloat(block, size, off);
        s.fY = ReadFloat(block, size, off + 4);
        s.fZ = ReadFloat(block, size, off + 8);
        if (written) *written = i + 1;
    }
    return bytes;
}

std::optional<std::string> TimeRangeText(const GpsEntry& first, const GpsEntry& last) {
    GpsFix a, b;
    if (!ParseRmc(first.szText, TextLength(first), a) || !ParseRmc(last.szText, TextLength(last), b))
        return std::nullopt;
    return FixTimeText(a) + " / " + FixTimeText(b);
}

std::string AxisText(char axis, float value) {
    char buf[96];
    if (std::isnan(value)) std::snprintf(buf, sizeof buf, "%c : nan", axis);
    else if (std::isinf(value)) std::snprintf(buf, sizeof buf, "%c : %cinf", axis, value > 0 ? '+' : '-');
    else std::snprintf(buf, sizeof buf, "%c : %+.4f", axis, double(value));
    return buf;
}

SensorData::SensorData() {
    ResetGps();
    ResetGSensor();
}

const std::string& SensorData::Build(const uint8_t* gsensorBlock, const uint8_t* gpsBlock, int64_t durationMs) {
    return Build(gsensorBlock, kBlockBytes, gpsBlock, kBlockBytes, durationMs);
}

const std::string& SensorData::Build(const uint8_t* gsensorBlock, size_t gsensorSize, const uint8_t* gpsBlock,
                                     size_t gpsSize, int64_t durationMs) {
    m_nGSensorBytes = ReadGSensorBlock(gsensorBlock, gsensorSize, durationMs, m_GSensorTable, &m_nGSensorUsed);
    m_nGpsCount = ReadGpsBlock(gpsBlock, gpsSize, m_GpsTable);
    m_bGpsValid = 0;
    for (size_t r = 0; r < m_nGpsCount && !m_bGpsValid; ++r)
        m_bGpsValid = IsRmcValid(m_GpsTable[r].szText, TextLength(m_GpsTable[r])) ? 1 : 0;

    // The time range: the first and last entries that carry a date (a receiver
    // without time yet writes sentences with empty time and date fields).
    m_Texts.range = kResetRangeText;
    if (m_nGpsCount >= 2) {
        auto dated = [this](size_t r) {
            GpsFix f;
            return ParseRmc(m_GpsTable[r].szText, TextLength(m_GpsTable[r]), f) && HasCalendarDate(f);
        };
        size_t first = 0, last = m_nGpsCount;
        while (first < m_nGpsCount && !dated(first)) ++first;
        if (first < m_nGpsCount) {
            last = m_nGpsCount - 1;
            while (last > first && !dated(last)) --last;
            if (auto text = TimeRangeText(m_GpsTable[first], m_GpsTable[last])) m_Texts.range = *text;
        }
    }
    return m_Texts.range;
}

GpsUpdate SensorData::UpdateGps(int64_t positionMs) {
    GpsUpdate u;
    if (!m_bGpsValid) {
        u.kind = GpsUpdate::kPageOnly;
        u.mapPage = kNoGpsDataPage;
        return u;
    }
    const uint32_t second = Position32(positionMs) / 1000;
    const GpsEntry* entry = nullptr;
    for (const GpsEntry& e : m_GpsTable)
        if (e.nTimeSec > second) {
            entry = &e;
            break;
        }
    if (!entry) return u;

    GpsFix fix;
    ParseRmc(entry->szText, TextLength(*entry), fix);  // a failed parse is judged by what it read
    u.kind = GpsUpdate::kReadout;
    if (fix.bValid) {
        u.mapPage = kMapPage;
        u.latitude = Format("%010.5f", fix.dLatitude);
        u.longitude = Format("%011.5f", fix.dLongitude);
        m_strMapLat = MapText(u.latitude);
        m_strMapLng = MapText(u.longitude);
        u.hasMapPosition = true;
        u.mapLatitude = m_strMapLat;
        u.mapLongitude = m_strMapLng;
        u.time = FixTimeText(fix);
        u.speedMile = SpeedMileOf(fix.dSpeedKmh);
        m_dReportSpeed = u.speedMile;
        m_dReportLat = fix.dLatitude;
        m_dReportLng = fix.dLongitude;
    } else {
        u.mapPage = kNoGpsDataPage;
        u.latitude = kNoFixCoordText;
        u.longitude = kNoFixCoordText;
        u.time = kResetTimeText;
        u.speedMile = 0;
        m_dReportSpeed = m_dReportLat = m_dReportLng = 0;
    }
    m_Texts.time = u.time;
    m_Texts.latitude = u.latitude;
    m_Texts.longitude = u.longitude;
    u.speedChanged = u.speedMile != m_nSpeedMile;
    m_nSpeedMile = u.speedMile;
    return u;
}

std::optional<GSensorUpdate> SensorData::UpdateGSensor(int64_t positionMs) {
    if (m_nGSensorBytes == 0) return std::nullopt;
    const uint32_t position = Position32(positionMs);
    for (size_t i = 0; i < m_nGSensorUsed; ++i) {  // the slots after these hold time 0
        const GSensorSample& s = m_GSensorTable[i];
        if (s.nTimeMs <= position) continue;
        m_nCursorMs = s.nTimeMs;
        m_Texts.x = AxisText('X', s.fX);
        m_Texts.y = AxisText('Y', s.fY);
        m_Texts.z = AxisText('Z', s.fZ);
        return GSensorUpdate{s.nTimeMs, m_Texts.x, m_Texts.y, m_Texts.z};
    }
    return std::nullopt;
}

void SensorData::ResetGps() {
    Clear(m_GpsTable);
    m_nGpsCount = 0;
    m_bGpsValid = 0;
    m_nSpeedMile = 0;
    m_Texts.range = kResetRangeText;
    m_Texts.time = kResetTimeText;
    m_Texts.latitude = kResetCoordText;
    m_Texts.longitude = kResetCoordText;
}

void SensorData::ResetGSensor() {
    Clear(m_GSensorTable);
    m_nGSensorUsed = 0;
    m_nGSensorBytes = 0;
    m_nCursorMs = 0;
    m_Texts.x = kResetXText;
    m_Texts.y = kResetYText;
    m_Texts.z = kResetZText;
}

std::array<int, 3> SensorData::SpeedCells(bool fullScreen) const {
    if (!m_bGpsValid || fullScreen) return {kBlankCell, kBlankCell, kBlankCell};
    return DigitCells(m_nSpeedMile);
}

int32_t SpeedMileOf(double speedKmh) {
    int32_t k;
    if (std::isnan(speedKmh)) k = 0;
    else if (speedKmh >= 2147483648.0) k = INT32_MAX;
    else if (speedKmh <= -2147483649.0) k = INT32_MIN;
    else k = int32_t(speedKmh);
    return int32_t(k * kMilesPerKm);
}

std::array<int, 3> DigitCells(int32_t mph) {
    const int32_t h = mph / 100, t = (mph / 10) % 10, u = mph % 10;
    auto digit = [](int32_t v) { return v >= 0 && v <= 9 ? int(v) : 0; };
    return {h == 0 ? kBlankCell : digit(h), h == 0 && t == 0 ? kBlankCell : digit(t),
            h == 0 && t == 0 && u == 0 ? kBlankCell : digit(u)};
}

Rect SpeedRect(int clientHeight) { return {37, clientHeight - 242, 109, clientHeight - 208}; }

Rect SpeedCellRect(int cell, int clientHeight) {
    const int x = 37 + 24 * std::clamp(cell, 0, 2);
    return {x, clientHeight - 242, x + 24, clientHeight - 242 + 34};
}

int SampleX(uint32_t timeMs) {
    const float scale = float(kPlotWidth) / float(kGraphSpanMs);
    return int(float(kPlotLeft) + float(timeMs) * scale);  // at most about 4.3e7
}

std::optional<int> SampleY(float value) {
    if (std::isnan(value)) return std::nullopt;
    const float y = float(kZeroLineY) - value * float(kPixelsPerUnit);
    return int(std::clamp(y, float(kCurveMinY), float(kCurveMaxY)));
}

void BuildCurves(const GSensorSample* table, size_t count, Curves& out) {
    for (auto& pts : out.axis) pts.clear();
    if (!table) return;
    for (auto& pts : out.axis) pts.reserve(count + 1);
    for (size_t i = 0; i < count; ++i) {
        const GSensorSample& s = table[i];
        if (s.nTimeMs == 0) continue;
        const int x = SampleX(s.nTimeMs);
        const float values[3] = {s.fX, s.fY, s.fZ};
        for (size_t a = 0; a < 3; ++a) {
            std::optional<int> y = SampleY(values[a]);
            if (!y) continue;
            std::vector<Point>& pts = out.axis[a];
            if (pts.empty()) pts.push_back({kPlotLeft, *y});
            pts.push_back({x, *y});
        }
    }
}

std::optional<int> CursorX(uint32_t cursorMs) {
    if (cursorMs == 0) return std::nullopt;
    const double x = kPlotLeft + cursorMs * (double(kPlotWidth) / kGraphSpanMs);
    return std::min(int(x), kPlotRight);
}

}  // namespace sensors
