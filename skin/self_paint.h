// Owner-drawn controls of the skin paint themselves on WM_PAINT: the same
// drawing the platform's draw-item request would ask of them, with a
// DRAWITEMSTRUCT filled as the control classes fill it, but without the
// request's round trip through the parent and through a context of the
// window's own (CSelfPaintDC) instead of the paint bracket.
#pragma once
#include <windows.h>
#include "fw_gdi.h"

// Paints w whole through draw(const DRAWITEMSTRUCT&); state: the ODS_ flags
// besides ODS_DISABLED, which comes from the window.
template <class Draw>
void PaintOwnerDrawn(HWND w, UINT ctlType, UINT state, Draw&& draw) {
    CSelfPaintDC dc(w, true);
    if (!dc.GetSafeHdc()) return;
    DRAWITEMSTRUCT di{};
    di.CtlType = ctlType;
    di.CtlID = static_cast<UINT>(::GetDlgCtrlID(w));
    di.itemAction = ODA_DRAWENTIRE;
    di.itemState = state | (::IsWindowEnabled(w) ? 0 : ODS_DISABLED);
    di.hwndItem = w;
    di.hDC = dc;
    ::GetClientRect(w, &di.rcItem);  // the context is clipped to it already
    draw(di);
}
