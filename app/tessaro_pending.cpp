// Operations of the main window whose subsystems are not part of the viewer
// yet: playback, the video surfaces, the volume control, the sensor displays,
// the map, printing, export and the information dialog. Each is routed from
// the command table already and does nothing until its subsystem arrives.
#include "tessaro_dlg.h"

// Playback controller.
void CTessaroDlg::OnPlay() {}
void CTessaroDlg::StopPlayback() {}
void CTessaroDlg::OnPrevious() {}
void CTessaroDlg::OnNext() {}

// Video surfaces, mirror and flip.
void CTessaroDlg::OnViewToggle() {}
void CTessaroDlg::OnMirror() {}
void CTessaroDlg::OnFlip() {}
void CTessaroDlg::ReadMirrorSettings() {}
void CTessaroDlg::SaveMirrorSettings() {}
void CTessaroDlg::CreateSurfacesAndMap() {}

// Volume control: without it there is no mixer, and the volume slider is off.
void CTessaroDlg::InitVolumeControl() {
    m_hasMixer = false;
    m_controls.m_sldVolume.EnableWindow(FALSE);
}

// Sensor displays and the map.
void CTessaroDlg::ClearSensorDisplays() {}
void CTessaroDlg::ForwardMapPosition() {}

// Print, export, information.
void CTessaroDlg::OnPrint() {}
void CTessaroDlg::OnSave() {}
void CTessaroDlg::OnVersion() {}
