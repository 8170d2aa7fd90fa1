#include "main_controls.h"

#include "control_ids.h"

void MainControls::Bind(CDialog& dialog) {
    struct Binding {
        UINT id;
        CWnd* control;
    };
    const Binding bindings[] = {
        {IDC_CLOSE, &m_btnClose},
        {IDC_MINIMIZE, &m_btnMinimize},
        {IDC_FULL_SCREEN, &m_btnFullScreen},
        {IDC_MAXIMIZE, &m_btnMaximize},
        {IDC_FILE_OPEN, &m_btnFileOpen},
        {IDC_SAVE, &m_btnSave},
        {IDC_PRINT, &m_btnPrint},
        {IDC_VERSION, &m_btnVersion},
        {IDC_PLAY, &m_btnPlay},
        {IDC_STOP, &m_btnStop},
        {IDC_PREVIOUS, &m_btnPrevious},
        {IDC_NEXT, &m_btnNext},
        {IDC_PAUSE, &m_btnPause},
        {IDC_POSITION_SLIDER, &m_sldPosition},
        {IDC_ELAPSED, &m_lblElapsed},
        {IDC_DURATION, &m_lblDuration},
        {IDC_CHANNEL1_SURFACE, &m_channel1},
        {IDC_CHANNEL2_SURFACE, &m_channel2},
        {IDC_CHANNEL_VIEW, &m_btnChannelView},
        {IDC_VIEW_ALL, &m_btnViewAll},
        {IDC_MIRROR, &m_btnMirror},
        {IDC_FLIP, &m_btnFlip},
        {IDC_SOUND, &m_btnSound},
        {IDC_VOLUME_SLIDER, &m_sldVolume},
        {IDC_FILTER_NORMAL, &m_btnFilterNormal},
        {IDC_FILTER_EVENT, &m_btnFilterEvent},
        {IDC_FILTER_PARK, &m_btnFilterPark},
        {IDC_FILTER_PHOTO, &m_btnFilterPhoto},
        {IDC_LABEL_NORMAL, &m_lblNormal},
        {IDC_LABEL_EVENT, &m_lblEvent},
        {IDC_LABEL_PARK, &m_lblPark},
        {IDC_LABEL_PHOTO, &m_lblPhoto},
        {IDC_SHOW_FILE_GROUP, &m_btnShowFileGroup},
        {IDC_SHOW_EVENT_LIST, &m_btnShowEventList},
        {IDC_MAP_HIDE, &m_btnMapHide},
        {IDC_MAP_SHOW, &m_btnMapShow},
        {IDC_MAP_EXPAND, &m_btnMapExpand},
        {IDC_GSENSOR_X, &m_lblGSensorX},
        {IDC_GSENSOR_Y, &m_lblGSensorY},
        {IDC_GSENSOR_Z, &m_lblGSensorZ},
        {IDC_GPS_TIME, &m_lblGpsTime},
        {IDC_GPS_LONGITUDE, &m_lblGpsLongitude},
        {IDC_GPS_LATITUDE, &m_lblGpsLatitude},
        {IDC_TIME_RANGE, &m_lblTimeRange},
        {IDC_CLOCK, &m_lblClock},
        {IDC_GSENSOR_GRAPH, &m_graph},
    };
    for (const Binding& b : bindings) b.control->SubclassDlgItem(b.id, &dialog);
}

CSkinButton* MainControls::FilterButton(int which) {
    CSkinButton* buttons[4] = {&m_btnFilterNormal, &m_btnFilterEvent, &m_btnFilterPark, &m_btnFilterPhoto};
    return which >= 0 && which < 4 ? buttons[which] : nullptr;
}
