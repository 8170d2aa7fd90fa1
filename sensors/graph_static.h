// The G-sensor graph: an owner-drawn static control that plots the open
// recording's samples as three curves (X, Y, Z) over one minute, with a
// cursor line at the playback position.
#pragma once
#include <cstdint>

#include "fw_controls.h"
#include "fw_gdi.h"
#include "sensor_data.h"

class CGraphStatic : public CStatic {
public:
    CGraphStatic();
    // The table to plot (kGSensorSlots samples); null changes nothing and
    // returns false. Repaints the whole control. The table is read again
    // only after the next SetData: call it whenever the table's contents
    // change (after building and after clearing it).
    bool SetData(const sensors::GSensorSample* samples);
    // Cursor time in ms (0: no cursor). Repaints the whole control.
    void SetCursor(uint32_t cursorMs);
    uint32_t Cursor() const { return m_nCursorMs; }
    // The time spent painting (performance counter counts) and the number of
    // paints since the last call; both start again from 0.
    void TakePaintTime(int64_t& counts, int& paints);

protected:
    bool OnChildNotify(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    void DeclareMessageMap(MessageMap& map) override;
    void DrawItem(const DRAWITEMSTRUCT& item);
    void TimedDraw(const DRAWITEMSTRUCT& item);
    // Background and curves; the cursor line.
    void DrawPlot(HDC dc, const RECT& rc);
    void DrawCursor(HDC dc);

private:
    const sensors::GSensorSample* m_pSamples = nullptr;
    uint32_t m_nCursorMs = 0;
    CBitmap m_background;
    CPen m_pens[3];
    CPen m_cursorPen;
    sensors::Curves m_curves;  // kept between paints: no allocation per paint
    // The background with the curves, as last drawn: a cursor move (three
    // times a second while playing) copies it and draws only the cursor.
    CBackBuffer m_plot, m_frame;
    bool m_plotDrawn = false;
    int64_t m_paintCounts = 0;
    int m_paints = 0;
};
