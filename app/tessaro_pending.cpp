// Operations of the main window whose subsystem is not part of the viewer
// yet: printing, export and the information dialog. Each is routed from the
// command table already and does nothing until its subsystem arrives.
#include "tessaro_dlg.h"

void CTessaroDlg::OnPrint() {}
void CTessaroDlg::OnSave() {}
void CTessaroDlg::OnVersion() {}
