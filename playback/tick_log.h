// Timing of the playback tick, for the playback benchmark (bench/playback).
//
// When the environment variable TESSARO_TICK_LOG names a file at start-up,
// the main window appends one line per playback tick to it:
//
//   tick TOTAL_US MAP_US SENSORS_US PAINT_US PAINTS
//
// TOTAL_US: the whole timer handler (OnPlaybackTick: labels, slider,
// readouts, the end and prefetch checks); MAP_US: the part of it spent in
// the map window's calls (page requests and the position message), which the
// benchmark leaves out; SENSORS_US: UpdateGpsReadout and UpdateGSensorReadout
// (map calls included); PAINT_US and PAINTS: the G-sensor graph's repaints
// since the previous tick line (the repaint a tick's cursor move asks for
// comes after that tick, so it is counted on the next line). All in
// microseconds from QueryPerformanceCounter. Without the variable nothing is
// measured or written; with it the viewer behaves the same, only the
// file is written after each tick.
#pragma once
#include <windows.h>

#include <cstdint>
#include <cstdio>

class CTickLog {
public:
    CTickLog();
    ~CTickLog();
    CTickLog(const CTickLog&) = delete;
    CTickLog& operator=(const CTickLog&) = delete;

    bool On() const { return m_file != nullptr; }
    static int64_t Now() {
        LARGE_INTEGER t;
        ::QueryPerformanceCounter(&t);
        return t.QuadPart;
    }

    // The tick's parts, as they happen.
    enum Part { kMap, kSensors };
    void BeginTick();
    void Add(Part part, int64_t counts) { (part == kMap ? m_map : m_sensors) += counts; }
    // Writes the tick's line; paintCounts and paints: the graph's repaints
    // since the last line.
    void EndTick(int64_t paintCounts, int paints);

    // A span of counts in microseconds.
    double Us(int64_t counts) const { return static_cast<double>(counts) * 1e6 / static_cast<double>(m_frequency); }

    // Adds the time of a scope to a part, when the log is on.
    class Span {
    public:
        Span(CTickLog& log, Part part) : m_log(log.On() ? &log : nullptr), m_part(part) {
            if (m_log) m_start = Now();
        }
        ~Span() {
            if (m_log) m_log->Add(m_part, Now() - m_start);
        }
        Span(const Span&) = delete;
        Span& operator=(const Span&) = delete;

    private:
        CTickLog* m_log;
        Part m_part;
        int64_t m_start = 0;
    };

private:
    FILE* m_file = nullptr;
    int64_t m_frequency = 1;
    int64_t m_start = 0, m_map = 0, m_sensors = 0;
};
