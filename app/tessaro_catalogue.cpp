// Main window: choice of the recorder's drive and the recording catalogue.
#include "tessaro_dlg.h"

// Not built yet: each is routed from the command table already and does
// nothing until the drive dialog and the catalogue arrive.
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
