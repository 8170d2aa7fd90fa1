#include "sensor_readouts.h"

#include "bitmap_ids.h"

namespace {
CString Wide(const std::string& s) { return CString::FromAnsi(s.c_str()); }
}  // namespace

void SensorReadouts::LoadDigits() {
    m_digits[0].LoadBitmap(IDB_DIGIT_BLANK);
    for (int d = 0; d < 10; ++d) m_digits[d + 1].LoadBitmap(IDB_DIGIT_0 + static_cast<UINT>(d));
}

void SensorReadouts::Build(const uint8_t* gsensorBlock, const uint8_t* gpsBlock, int64_t durationMs) {
    m_labels.range.SetWindowText(Wide(m_data.Build(gsensorBlock, gpsBlock, durationMs)));
    m_graph.SetData(m_data.GSensorTable());
}

void SensorReadouts::ShowGpsTexts() {
    const sensors::ReadoutTexts& t = m_data.Texts();
    m_labels.range.SetWindowText(Wide(t.range));
    m_labels.time.SetWindowText(Wide(t.time));
    m_labels.longitude.SetWindowText(Wide(t.longitude));
    m_labels.latitude.SetWindowText(Wide(t.latitude));
}

void SensorReadouts::ShowGSensorTexts() {
    const sensors::ReadoutTexts& t = m_data.Texts();
    m_labels.x.SetWindowText(Wide(t.x));
    m_labels.y.SetWindowText(Wide(t.y));
    m_labels.z.SetWindowText(Wide(t.z));
}

void SensorReadouts::ResetGps() {
    m_data.ResetGps();
    ShowGpsTexts();
    // The speed cells go blank with the repaint of their area; nothing else
    // of the window's background depends on the readouts.
    InvalidateSpeed();
}

void SensorReadouts::InvalidateSpeed() {
    const sensors::Rect r = sensors::SpeedRect(m_window.GetClientRect().bottom);
    RECT area{r.left, r.top, r.right, r.bottom};
    ::InvalidateRect(m_window, &area, TRUE);
}

void SensorReadouts::ResetGSensor() {
    m_data.ResetGSensor();
    m_graph.SetData(m_data.GSensorTable());
    m_graph.SetCursor(0);
    ShowGSensorTexts();
}

sensors::GpsUpdate SensorReadouts::UpdateGps(int64_t positionMs) {
    sensors::GpsUpdate g = m_data.UpdateGps(positionMs);
    if (g.kind != sensors::GpsUpdate::kReadout) return g;
    m_labels.time.SetWindowText(Wide(g.time));
    m_labels.latitude.SetWindowText(Wide(g.latitude));
    m_labels.longitude.SetWindowText(Wide(g.longitude));
    if (g.speedChanged) InvalidateSpeed();
    return g;
}

void SensorReadouts::UpdateGSensor(int64_t positionMs) {
    if (auto s = m_data.UpdateGSensor(positionMs)) {
        m_graph.SetCursor(s->cursorMs);
        m_labels.x.SetWindowText(Wide(s->x));
        m_labels.y.SetWindowText(Wide(s->y));
        m_labels.z.SetWindowText(Wide(s->z));
    }
}

void SensorReadouts::PaintSpeed(HDC dc, int clientHeight, bool fullScreen) const {
    CDC target(dc);
    const std::array<int, 3> cells = m_data.SpeedCells(fullScreen);
    for (int i = 0; i < 3; ++i) {
        const sensors::Rect r = sensors::SpeedCellRect(i, clientHeight);
        const CBitmap& digit = m_digits[cells[i] == sensors::kBlankCell ? 0 : cells[i] + 1];
        if (digit) target.DrawBitmap(digit, r.left, r.top);
    }
}
