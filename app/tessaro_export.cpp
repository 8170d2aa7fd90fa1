// Main window: the printed report, saving the ticked recordings, and the
// information dialog (export/).
#include "form_progress.h"
#include "information.h"
#include "print_report.h"
#include "tessaro_dlg.h"

void CTessaroDlg::OnPrint() {
    // Nothing without an open recording (a shown photo is not one); the
    // recording stays paused afterwards.
    if (!m_playback.IsOpen()) return;
    m_playback.SetPaused(-1);
    PrintRequest request;
    request.owner = m_hWnd;
    request.videoStreamCount = m_playback.Player().GetVideoStreamCount();
    request.grab = [this](int channel, CImage& image) { return m_playback.Player().GetCurrentImage(channel, image); };
    CSkinListCtrl* list = m_catalogue.ShownList();
    const int row = m_catalogue.SelectedRow();
    if (list && row >= 0) request.fileName = list->GetItemText(row, CatalogueView::kNameColumn);
    const sensors::SensorData& data = m_sensors.Data();
    request.speed = data.ReportSpeed();
    request.lat = data.ReportLatitude();
    request.lng = data.ReportLongitude();
    PrintReport(request);
}

void CTessaroDlg::OnSave() {
    StopPlayback();
    HidePlaybackSurfaces();
    ResetGpsReadout();
    // A prefetch still making its play file would share the device library
    // with the export: it is stopped and waited for first.
    AbortNextFile();
    if (SaveChecked(this, m_catalogue.CheckedFileNames(), &m_krv)) m_catalogue.UncheckFileList();
}

void CTessaroDlg::OnVersion() { ShowInformation(this, m_driveRoot); }
