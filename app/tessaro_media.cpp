// Main window: the media graph of the two video channels.
#include "tessaro_dlg.h"

// Not built yet: nothing to initialise, check, repaint or re-fit until the
// media graph arrives.
void CTessaroDlg::InitMediaGraph() {}
void CTessaroDlg::CheckMediaComponents() {}
void CTessaroDlg::RepaintVideo() {}
void CTessaroDlg::RefitVideo() {}
