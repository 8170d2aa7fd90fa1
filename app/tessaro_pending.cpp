// Operations of the main window whose subsystems are not part of the viewer
// yet: drive choice and the catalogue, playback, the video surfaces, the
// volume control, the sensor displays, the map, printing, export and the
// information dialog. Each is routed from the command table already and does
// nothing until its subsystem arrives.
#include "tessaro_dlg.h"

// Drive choice and catalogue.
void CTessaroDlg::OnFileOpen() {}
void CTessaroDlg::OnDriveNotify(WPARAM, LPARAM) {}
void CTessaroDlg::InsertListColumns() {}
void CTessaroDlg::OnTypeFilter(int) {}
void CTessaroDlg::ShowFileListGroup() {}
void CTessaroDlg::ShowEventList() {}
void CTessaroDlg::OnDateListClick() {}
void CTessaroDlg::OnHourListClick() {}
void CTessaroDlg::OnFileListDoubleClick() {}
void CTessaroDlg::CheckListAndBelow(UINT, bool) {}

// Playback controller.
void CTessaroDlg::OnPlay() {}
void CTessaroDlg::StopPlayback() {}
void CTessaroDlg::OnPrevious() {}
void CTessaroDlg::OnNext() {}

// Video surfaces, mirror and flip.
void CTessaroDlg::OnViewToggle() {}
void CTessaroDlg::OnViewAll() {}
void CTessaroDlg::OnMirror() {}
void CTessaroDlg::OnFlip() {}
void CTessaroDlg::ReadMirrorSettings() {}
void CTessaroDlg::SaveMirrorSettings() {}
void CTessaroDlg::CreateSurfacesAndMap() {}

// Volume control: without it there is no mixer, and the volume slider is off.
void CTessaroDlg::InitVolumeControl() {
    m_hasMixer = false;
    m_sliderVolume.EnableWindow(FALSE);
}

// Media graph.
void CTessaroDlg::InitMediaGraph() {}
void CTessaroDlg::CheckMediaComponents() {}
void CTessaroDlg::RepaintVideo() {}
void CTessaroDlg::RefitVideo() {}

// Sensor displays and the map.
void CTessaroDlg::ClearSensorDisplays() {}
void CTessaroDlg::ForwardMapPosition() {}

// Print, export, information.
void CTessaroDlg::OnPrint() {}
void CTessaroDlg::OnSave() {}
void CTessaroDlg::OnVersion() {}
