// The sensor readouts of the main window: the open recording's GPS and
// G-sensor tables (sensors::SensorData) shown in their labels, the G-sensor
// graph and the speed digits. The main window's named operations
// (BuildSensorTables, ResetGpsReadout, UpdateGpsReadout, ...) call these; the
// map page requests and the map message stay with the window.
#pragma once
#include <cstdint>

#include "fw_gdi.h"
#include "graph_static.h"
#include "sensor_data.h"
#include "tp_static.h"

struct SensorLabels {
    CTPStatic& x;          // 1015
    CTPStatic& y;          // 1016
    CTPStatic& z;          // 1017
    CTPStatic& time;       // 1018
    CTPStatic& longitude;  // 1019
    CTPStatic& latitude;   // 1020
    CTPStatic& range;      // 1021
};

class SensorReadouts {
public:
    SensorReadouts(CWnd& window, SensorLabels labels, CGraphStatic& graph)
        : m_window(window), m_labels(labels), m_graph(graph) {}

    // The eleven digit bitmaps (blank, 0-9), loaded once.
    void LoadDigits();
    // Builds both tables from the blocks, sets the time range and hands the
    // table to the graph.
    void Build(const uint8_t* gsensorBlock, const uint8_t* gpsBlock, int64_t durationMs);
    void ResetGps();
    void ResetGSensor();
    // The GPS readout for a position: the labels and the speed are updated
    // here; what the map is to be asked is returned for the window.
    sensors::GpsUpdate UpdateGps(int64_t positionMs);
    void UpdateGSensor(int64_t positionMs);
    // The three speed cells, drawn into the window's background buffer.
    void PaintSpeed(HDC dc, int clientHeight, bool fullScreen) const;

    const sensors::SensorData& Data() const { return m_data; }

private:
    void ShowGpsTexts();
    void ShowGSensorTexts();
    void InvalidateSpeed();

    CWnd& m_window;
    SensorLabels m_labels;
    CGraphStatic& m_graph;
    sensors::SensorData m_data;
    CBitmap m_digits[11];  // blank, then 0 to 9
};
