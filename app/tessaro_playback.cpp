// Main window: playback, the video area, the sensor readouts and the volume,
// each handed to its subsystem.
#include "app_messages.h"
#include "tessaro_dlg.h"

// ------------------------------------------------------------ video area

void CTessaroDlg::CreateSurfacesAndMap() {
    m_surfaces.Create();
    CreateMapWindow();
}

void CTessaroDlg::CreateMapWindow() {
    if (!m_map.Create(this)) return;
    m_map.MoveWindow(775, 330, 305, 253);
    m_map.ShowWindow(SW_HIDE);
    m_map.FitBrowser();
    m_layout.SetMapPanel(m_mapPanel);
}

void CTessaroDlg::LayoutVideoArea() {
    const RECT rc = GetClientRect();
    const bool fullScreen = m_layout.DisplayMode() == WindowLayout::ModeFullScreen;
    m_surfaces.Layout(rc.right, rc.bottom, fullScreen, m_playback.PhotoOpen(), m_playback.IsOpen());
    m_layout.LayoutMapPanel(m_playback.IsOpen());
}

void CTessaroDlg::SetViewMode(int layout) {
    m_surfaces.SetViewLayout(layout);
    LayoutVideoArea();
}

void CTessaroDlg::ShowSurfaceForOpen(bool on) {
    if (!on) return m_surfaces.HideAll();
    const RECT rc = GetClientRect();
    m_surfaces.ShowForOpen(rc.right, rc.bottom, m_layout.DisplayMode() == WindowLayout::ModeFullScreen);
}

void CTessaroDlg::HidePlaybackSurfaces() {
    m_surfaces.HideAll();
    m_layout.HideMapPanel();
}

void CTessaroDlg::OnViewToggle() {
    if (!m_playback.IsOpen()) return;
    const int next = m_surfaces.ViewMode() == 1 ? 2 : 1;
    SetViewMode(next);
    m_surfaces.SetViewModeValue(next);
}

void CTessaroDlg::OnMirror() {
    if (!m_playback.IsOpen() || m_surfaces.ViewMode() != 2) return;
    m_surfaces.ToggleMirror();
    ShowTurnedPicture();
}

void CTessaroDlg::OnFlip() {
    if (!m_playback.IsOpen() || m_surfaces.ViewMode() != 2) return;
    m_surfaces.ToggleFlip();
    ShowTurnedPicture();
}

// The decoder turns the frames it decodes from now on; a paused picture is
// decoded again at its position so that the change shows at once.
void CTessaroDlg::ShowTurnedPicture() {
    if (!m_playback.IsPlaying()) m_playback.Player().Reseek();
}

// ------------------------------------------------------------ sensor readouts

void CTessaroDlg::BuildSensorTables(const uint8_t* gsensorBlock, const uint8_t* gpsBlock, int64_t durationMs) {
    m_sensors.Build(gsensorBlock, gpsBlock, durationMs);
}

void CTessaroDlg::ResetGpsReadout() {
    m_sensors.ResetGps();
    if (m_map.GetSafeHwnd()) m_map.ForgetPosition();
}
void CTessaroDlg::ResetGSensorReadout() { m_sensors.ResetGSensor(); }

void CTessaroDlg::UpdateGpsReadout(int64_t positionMs) {
    CTickLog::Span span(m_tickLog, CTickLog::kSensors);
    const sensors::GpsUpdate g = m_sensors.UpdateGps(positionMs);
    if (g.kind != sensors::GpsUpdate::kNothing) LoadMapPage(g.mapPage);
    if (g.kind == sensors::GpsUpdate::kReadout && g.hasMapPosition) SendPositionToMap();
}

void CTessaroDlg::UpdateGSensorReadout(int64_t positionMs) {
    CTickLog::Span span(m_tickLog, CTickLog::kSensors);
    m_sensors.UpdateGSensor(positionMs);
}

// The position texts are kept by the readouts; the message's handler hands
// them to the map window, synchronously.
void CTessaroDlg::SendPositionToMap() { SendMessage(WM_UPDATE_MAP); }

// The texts stay with the readouts until the map window exists.
void CTessaroDlg::ForwardMapPosition() {
    if (!m_map.GetSafeHwnd()) return;
    const sensors::SensorData& data = m_sensors.Data();
    m_map.CallDrawCurrent(CString::FromAnsi(data.MapLatitude().c_str()),
                          CString::FromAnsi(data.MapLongitude().c_str()));
}

void CTessaroDlg::LoadMapPage(int kind) {
    CTickLog::Span span(m_tickLog, CTickLog::kMap);
    if (m_map.GetSafeHwnd()) m_map.LoadMapPage(kind);
}

// ------------------------------------------------------------ the tick

// The playback tick, timed for the benchmark when TESSARO_TICK_LOG is set.
void CTessaroDlg::OnPlaybackTimer() {
    m_tickLog.BeginTick();
    m_playback.OnPlaybackTick();
    if (!m_tickLog.On()) return;
    int64_t paintCounts = 0;
    int paints = 0;
    m_controls.m_graph.TakePaintTime(paintCounts, paints);
    m_tickLog.EndTick(paintCounts, paints);
}

// ------------------------------------------------------------ volume

void CTessaroDlg::InitVolumeControl() {
    m_volume = std::make_unique<VolumeMixer>(m_hWnd, m_controls.m_sldVolume);
    m_hasMixer = m_volume->Init();
    if (m_hasMixer) m_volume->SetMute(false);
    else m_controls.m_sldVolume.EnableWindow(FALSE);
}
