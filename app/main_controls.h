// The controls of the main window's template, bound to their objects. The main
// window owns them; its subsystems are handed the ones they work on.
#pragma once
#include "bitmap_slider.h"
#include "fw_controls.h"
#include "fw_dialog.h"
#include "graph_static.h"
#include "skin_button.h"
#include "tp_static.h"
#include "video_surfaces.h"

struct MainControls {
    // Window buttons.
    CSkinButton m_btnClose, m_btnMinimize, m_btnFullScreen, m_btnMaximize;
    // Device, export and information.
    CSkinButton m_btnFileOpen, m_btnSave, m_btnPrint, m_btnVersion;
    // Playback.
    CSkinButton m_btnPlay, m_btnStop, m_btnPrevious, m_btnNext, m_btnPause;
    CBitmapSlider m_sldPosition;
    CTPStatic m_lblElapsed, m_lblDuration;
    CVideoSurface m_channel1, m_channel2;
    // Channel view, mirror, flip, sound and volume.
    CSkinButton m_btnChannelView, m_btnViewAll, m_btnMirror, m_btnFlip, m_btnSound;
    CBitmapSlider m_sldVolume;
    // Type filters, their labels, and the list-group buttons.
    CSkinButton m_btnFilterNormal, m_btnFilterEvent, m_btnFilterPark, m_btnFilterPhoto;
    CTPStatic m_lblNormal, m_lblEvent, m_lblPark, m_lblPhoto;
    CSkinButton m_btnShowFileGroup, m_btnShowEventList;
    // Map panel states.
    CSkinButton m_btnMapHide, m_btnMapShow, m_btnMapExpand;
    // Sensor readouts and the clock.
    CTPStatic m_lblGSensorX, m_lblGSensorY, m_lblGSensorZ;
    CTPStatic m_lblGpsTime, m_lblGpsLongitude, m_lblGpsLatitude, m_lblTimeRange;
    CTPStatic m_lblClock;
    CGraphStatic m_graph;

    // Binds every control of the template to its object.
    void Bind(CDialog& dialog);
    // The fourteen labels, for the background capture of every paint.
    CTPStatic* const* Labels() const { return m_labels; }
    static constexpr int kLabelCount = 14;
    // The four type-filter buttons, in the order Normal, Event, Park, Photo.
    CSkinButton* FilterButton(int which);

private:
    CTPStatic* const m_labels[kLabelCount] = {
        &m_lblGSensorX, &m_lblGSensorY, &m_lblGSensorZ, &m_lblGpsTime,    &m_lblGpsLongitude,
        &m_lblGpsLatitude, &m_lblTimeRange, &m_lblClock,  &m_lblElapsed, &m_lblDuration,
        &m_lblNormal,    &m_lblEvent,    &m_lblPark,     &m_lblPhoto};
};
