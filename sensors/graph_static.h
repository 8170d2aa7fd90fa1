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
    // returns false. Repaints the whole control.
    bool SetData(const sensors::GSensorSample* samples);
    // Cursor time in ms (0: no cursor). Repaints the whole control.
    void SetCursor(uint32_t cursorMs);
    uint32_t Cursor() const { return m_nCursorMs; }

protected:
    bool OnChildNotify(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    void DeclareMessageMap(MessageMap& map) override;
    void DrawItem(const DRAWITEMSTRUCT& item);

private:
    const sensors::GSensorSample* m_pSamples = nullptr;
    uint32_t m_nCursorMs = 0;
    CBitmap m_background;
    CPen m_pens[3];
    CPen m_cursorPen;
    sensors::Curves m_curves;  // kept between paints: no allocation per paint
};
