// The open recording's sensor data without windows: the GPS and G-sensor
// blocks the device library fills, the two tables built from them, the
// readouts chosen for a playback position, the speed digits and the geometry
// of the G-sensor graph.
//
// How the main window uses it (one sensors::SensorData member, here m_Sensors):
//
//   Opening a recording (after both resets):
//     label1021 = m_Sensors.Build(gsensorBlock, gpsBlock, durationMs);
//     graph.SetData(m_Sensors.GSensorTable());
//   Playback tick, GPS first:
//     sensors::GpsUpdate g = m_Sensors.UpdateGps(positionMs);
//     if (g.kind != sensors::GpsUpdate::kNothing) map.LoadMapPage(g.mapPage);
//     if (g.kind == sensors::GpsUpdate::kReadout) {
//         label1018 = g.time; label1020 = g.latitude; label1019 = g.longitude;
//         if (g.hasMapPosition) SendMessage(WM_UPDATE_MAP)   // handler: CallDrawCurrent(
//                                                            //   m_Sensors.MapLatitude(), m_Sensors.MapLongitude())
//         if (g.speedChanged) InvalidateRect(sensors::SpeedRect(clientHeight));
//     }
//     if (auto s = m_Sensors.UpdateGSensor(positionMs)) {
//         graph.SetCursor(s->cursorMs); label1015 = s->x; label1016 = s->y; label1017 = s->z;
//     }
//   Resets (open, stop, device removal, start-up; see the operations):
//     m_Sensors.ResetGps();     then show m_Sensors.Texts() in 1018-1021 and repaint the window
//     m_Sensors.ResetGSensor(); then show Texts().x/y/z, graph.SetData(GSensorTable()), SetCursor(0)
//   Painting the speed digits (cells at SpeedCellRect(i, H)):
//     for each cell c of m_Sensors.SpeedCells(fullScreen): bitmap = c == kBlankCell ? blank : digit 0 + c
//   The graph's DrawItem (table and cursor as handed to SetData / SetCursor):
//     sensors::BuildCurves(table, curves);   // then Polyline(curves.axis[0..2]) with the X, Y, Z pens
//     if (auto x = sensors::CursorX(cursorMs)) line (*x, kPlotTop) to (*x, kPlotBottom)
//   The printed report: ReportSpeed(), ReportLatitude(), ReportLongitude().
//   GPS Expand mode and device removal: GpsValid() (g_bGpsValid), GSensorBytes() (g_nGSensorBytes).
//
// The texts are single-byte ASCII; the window widens them for its labels.
// Everything here runs on the window's thread; nothing is thread-safe.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "rmc.h"

namespace sensors {

// ---- The blocks (16 384 bytes each, little-endian) ----------------------------

constexpr size_t kBlockBytes = 16384;
// GPS block: records of 136 bytes from offset 0: 32-bit second, 32-bit text
// length, 128 bytes of text. At most 70 records; the sequence ends at the
// first record whose length is 0 or 128 or more.
constexpr size_t kGpsRecordBytes = 136;
constexpr size_t kGpsTextBytes = 128;
constexpr size_t kGpsEntries = 70;
// G-sensor block: 32-bit signed byte count, then X, Y, Z floats per sample
// (at most 1 365 fit in the block; the table has 2 000 slots).
constexpr size_t kGSensorSlots = 2000;
constexpr size_t kGSensorSampleBytes = 12;
constexpr size_t kGSensorMaxSamples = (kBlockBytes - 4) / kGSensorSampleBytes;  // 1365

struct GpsEntry {
    uint32_t nTimeSec = 0;            // the playback second up to which the sentence applies
    uint32_t nLength = 0;             // 1..127 for an entry with text
    char szText[kGpsTextBytes] = {};  // NUL at index nLength
};

struct GSensorSample {
    uint32_t nTimeMs = 0;  // playback time in ms; 0 marks an unused slot
    float fX = 0, fY = 0, fZ = 0;
};

using GpsEntryTable = std::array<GpsEntry, kGpsEntries>;
using GSensorSampleTable = std::array<GSensorSample, kGSensorSlots>;

// Reads the GPS block into a table (cleared first): record r into entry r
// until a record whose length is 0 or >= 128 (that entry keeps its time and
// length but no text) or 70 records. Returns the number of entries with text.
// A block shorter than 16 384 bytes (size) reads as if zero-padded; a null
// block reads as zeros.
size_t ReadGpsBlock(const uint8_t* block, size_t size, GpsEntryTable& table);

// Reads the G-sensor block into a table (cleared first) and returns its byte
// count. With n = count / 12: sample i (while 4 + 12 i < count, i < 2000 and
// the sample lies inside the block) gets time (duration / n) x (i + 1), in
// 64-bit integers, kept as the low 32 bits; none when n <= 0. A negative
// count or a count beyond the block reads nothing outside the block.
// *written (when given) is the number of slots filled, from slot 0.
int32_t ReadGSensorBlock(const uint8_t* block, size_t size, int64_t durationMs, GSensorSampleTable& table,
                         size_t* written = nullptr);

// Label 1021 for the first and last entry: "20YY-MM-DD hh:mm:ss / 20YY-MM-DD
// hh:mm:ss" (FixTimeText of each), or nothing when either fails to parse.
std::optional<std::string> TimeRangeText(const GpsEntry& first, const GpsEntry& last);

// ---- Readout texts ---------------------------------------------------------

extern const char kResetRangeText[];  // "0000-00-00 00:00:00 / 0000-00-00 00:00:00"
extern const char kResetTimeText[];   // "0000-00-00 00:00:00"
extern const char kResetCoordText[];  // "000000" (labels 1019, 1020 after a reset)
extern const char kNoFixCoordText[];  // "0.00000" (a second without a valid fix)
extern const char kResetXText[];      // "X : 0.0000"
extern const char kResetYText[];      // "Y : 0.0000"
extern const char kResetZText[];      // "Z : 0.0000"

// The current texts of the readout labels.
struct ReadoutTexts {
    std::string range = kResetRangeText;                            // 1021
    std::string time = kResetTimeText;                              // 1018
    std::string latitude = kResetCoordText;                         // 1020
    std::string longitude = kResetCoordText;                        // 1019
    std::string x = kResetXText, y = kResetYText, z = kResetZText;  // 1015, 1016, 1017
};

// "X : %+.4f" etc. of a sample value ("X : nan", "X : +inf", "X : -inf" for
// values that are not finite, the same on every platform).
std::string AxisText(char axis, float value);

// Map page kinds.
constexpr int kMapPage = 1;
constexpr int kNoGpsDataPage = 3;

// What a playback tick shows of the GPS data.
struct GpsUpdate {
    enum Kind {
        kNothing,   // no entry for this second: every readout keeps its value
        kPageOnly,  // the recording has no valid sentence: only ask the map for page 3
        kReadout,   // ask for mapPage, set the three labels and the speed
    };
    Kind kind = kNothing;
    int mapPage = 0;                        // kMapPage or kNoGpsDataPage (0 with kNothing)
    std::string time, latitude, longitude;  // labels 1018, 1020, 1019 (kReadout)
    bool hasMapPosition = false;            // a valid fix: the map texts below are to be sent
    std::string mapLatitude, mapLongitude;  // as kept by MapLatitude()/MapLongitude()
    int32_t speedMile = 0;                  // the speed readout after the tick
    bool speedChanged = false;              // repaint SpeedRect()
};

// What a playback tick shows of the G-sensor data.
struct GSensorUpdate {
    uint32_t cursorMs = 0;  // the graph's new cursor (the chosen sample's time)
    std::string x, y, z;    // labels 1015, 1016, 1017
};

// ---- The open recording's tables and readouts ---------------------------------

class SensorData {
public:
    SensorData();

    // Fills both tables from the blocks (each 16 384 bytes, or null for none)
    // and returns label 1021's text. Starts from empty tables, g_bGpsValid 0 and
    // the reset range text, so nothing of an earlier recording survives.
    // The time range uses the first and the last entry (of those with text)
    // whose sentence parses with a real calendar date; with fewer than two
    // entries with text, or none dated, it stays the reset text.
    const std::string& Build(const uint8_t* gsensorBlock, const uint8_t* gpsBlock, int64_t durationMs);
    // The same for blocks of any size (shorter ones read as zero-padded).
    const std::string& Build(const uint8_t* gsensorBlock, size_t gsensorSize, const uint8_t* gpsBlock, size_t gpsSize,
                             int64_t durationMs);

    // The GPS readout for a playback position (ms; below 0 counts as 0, above
    // 2^32 - 1 as 2^32 - 1): the first entry whose second is greater than the
    // position's whole second.
    GpsUpdate UpdateGps(int64_t positionMs);
    // The G-sensor readout: the first sample whose time is greater than the
    // position (same range rule); nothing when there is none or no data.
    std::optional<GSensorUpdate> UpdateGSensor(int64_t positionMs);

    // Clear the GPS table, g_bGpsValid, the speed and labels 1018-1021 (the
    // report values and the map texts stay).
    void ResetGps();
    // Clear the G-sensor table, the byte count, the cursor and labels 1015-1017.
    void ResetGSensor();

    const ReadoutTexts& Texts() const { return m_Texts; }
    const std::string& MapLatitude() const { return m_strMapLat; }
    const std::string& MapLongitude() const { return m_strMapLng; }
    int32_t SpeedMile() const { return m_nSpeedMile; }
    bool GpsValid() const { return m_bGpsValid != 0; }        // g_bGpsValid
    int32_t GSensorBytes() const { return m_nGSensorBytes; }  // g_nGSensorBytes
    uint32_t CursorMs() const { return m_nCursorMs; }         // 0: no cursor
    double ReportSpeed() const { return m_dReportSpeed; }     // g_dReportSpeed (mph)
    double ReportLatitude() const { return m_dReportLat; }    // g_dReportLat (ddmm.mmmm)
    double ReportLongitude() const { return m_dReportLng; }   // g_dReportLng (dddmm.mmmm)

    const GpsEntryTable& Gps() const { return m_GpsTable; }
    size_t GpsCount() const { return m_nGpsCount; }  // entries with text
    // The table the graph plots (kGSensorSlots samples), and how many slots
    // from the first were filled (the rest hold time 0).
    const GSensorSample* GSensorTable() const { return m_GSensorTable.data(); }
    size_t GSensorCount() const { return m_nGSensorUsed; }

    // The three digit cells as the painter draws them: all blank unless the
    // recording has a valid sentence and the window is not in full screen.
    std::array<int, 3> SpeedCells(bool fullScreen) const;

private:
    GpsEntryTable m_GpsTable;
    GSensorSampleTable m_GSensorTable;
    size_t m_nGpsCount = 0;
    size_t m_nGSensorUsed = 0;
    int32_t m_bGpsValid = 0;
    int32_t m_nGSensorBytes = 0;
    int32_t m_nSpeedMile = 0;
    uint32_t m_nCursorMs = 0;
    double m_dReportSpeed = 0, m_dReportLat = 0, m_dReportLng = 0;
    ReadoutTexts m_Texts;
    std::string m_strMapLat, m_strMapLng;
};

// ---- Speed readout -------------------------------------------------------------

// Whole miles per hour shown for a speed in km/h: k = trunc(kmh) (a 32-bit
// integer; NaN counts as 0 and values beyond the 32-bit range as its ends),
// then trunc(k x 0.621371).
int32_t SpeedMileOf(double speedKmh);

constexpr int kBlankCell = -1;
// Hundreds, tens and units cells of a speed: kBlankCell or a digit 0-9.
// Leading zeros are blank (0 shows three blank cells); a digit outside 0-9 (a
// hundreds value of 10 or more, a negative speed) shows 0.
std::array<int, 3> DigitCells(int32_t mph);

struct Rect {
    int left, top, right, bottom;
};
// The area repainted when the speed changes, for the client height H:
// (37, H - 242) to (109, H - 208).
Rect SpeedRect(int clientHeight);
// Cell i (0 hundreds, 1 tens, 2 units): 24 x 34 pixels at x 37, 61, 85, top H - 242.
Rect SpeedCellRect(int cell, int clientHeight);

// ---- G-sensor graph geometry (control 630 x 108) ---------------------------------

constexpr int kGraphWidth = 630, kGraphHeight = 108;
constexpr int kPlotLeft = 30, kPlotTop = 14, kPlotWidth = 595, kPlotHeight = 81;
constexpr int kPlotRight = kPlotLeft + kPlotWidth;      // 625
constexpr int kPlotBottom = kPlotTop + kPlotHeight;     // 95
constexpr int kZeroLineY = kPlotTop + kPlotHeight / 2;  // 54
constexpr int kPixelsPerUnit = 9;
constexpr int kGraphSpanMs = 60000;  // one minute across the plot
// Curve points never leave this range of y: a value that is infinite or would
// put the point further than this from the control (|value| above about
// 3 600) is drawn at the limit. Far outside the 108-pixel control, so every
// visible part of a line stays within a pixel of the exact one, and no
// float-to-integer conversion can overflow.
constexpr int kCurveMinY = -32767, kCurveMaxY = 32767;

struct Point {
    int x, y;
};

// x of a sample: trunc(30 + time x (595 / 60 000)), in single precision (at
// most about 42.6 million for the largest time; not clipped: samples after a
// minute lie right of the plot).
int SampleX(uint32_t timeMs);
// y of a value: trunc(54 - value x 9) in single precision, limited to
// [kCurveMinY, kCurveMaxY]; nothing for NaN (the sample is skipped on that axis).
std::optional<int> SampleY(float value);

// The three curves (X, Y, Z) as polylines: per axis, the first drawn sample's
// height at the plot's left edge, then each sample in table order; slots with
// time 0 and NaN values are skipped. Empty for a null table or no samples.
struct Curves {
    std::array<std::vector<Point>, 3> axis;
};
void BuildCurves(const GSensorSample* table, size_t count, Curves& out);
inline void BuildCurves(const GSensorSample* table, Curves& out) { BuildCurves(table, table ? kGSensorSlots : 0, out); }

// x of the cursor line: trunc(30 + ms x 595 / 60 000) in double precision, at
// most the plot's right edge (625); nothing for 0 (no cursor).
std::optional<int> CursorX(uint32_t cursorMs);

}  // namespace sensors
