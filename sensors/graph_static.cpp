#include "graph_static.h"

#include "bitmap_ids.h"
#include "mem_dc.h"

CGraphStatic::CGraphStatic()
    : m_pens{CPen(PS_SOLID, 1, RGB(250, 0, 250)), CPen(PS_SOLID, 1, RGB(0, 250, 250)),
             CPen(PS_SOLID, 1, RGB(250, 250, 0))},
      m_cursorPen(PS_SOLID, 1, RGB(255, 255, 255)) {}

bool CGraphStatic::SetData(const sensors::GSensorSample* samples) {
    if (!samples) return false;
    m_pSamples = samples;
    if (m_hWnd) Invalidate(TRUE);
    return true;
}

void CGraphStatic::SetCursor(uint32_t cursorMs) {
    m_nCursorMs = cursorMs;
    if (m_hWnd) Invalidate(TRUE);
}

void CGraphStatic::DeclareMessageMap(MessageMap& map) {
    // The whole control is drawn by DrawItem; nothing is erased first.
    map.On(WM_ERASEBKGND, [](WPARAM, LPARAM) -> LRESULT { return TRUE; });
}

bool CGraphStatic::OnChildNotify(UINT msg, WPARAM, LPARAM lp, LRESULT& result) {
    if (msg != WM_DRAWITEM) return false;
    DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
    result = TRUE;
    return true;
}

void CGraphStatic::DrawItem(const DRAWITEMSTRUCT& item) {
    RECT rc = GetClientRect();
    QxMemDC mem(item.hDC, &rc, false);
    if (!m_background) m_background.LoadBitmap(IDB_GRAPH_BACKGROUND);
    if (m_background) {
        CDC source;
        source.CreateCompatibleDC(mem);
        CSelect sel(source, m_background);
        ::BitBlt(mem, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, source, 0, 0, SRCCOPY);
    }
    HGDIOBJ oldPen = ::GetCurrentObject(mem, OBJ_PEN);
    if (m_pSamples) {
        sensors::BuildCurves(m_pSamples, m_curves);
        for (int axis = 0; axis < 3; ++axis) {
            const auto& points = m_curves.axis[axis];
            if (points.empty()) continue;
            ::SelectObject(mem, m_pens[axis]);
            // The first point is the plot's left edge at the first sample's
            // height: the first segment is horizontal.
            ::MoveToEx(mem, points[0].x, points[0].y, nullptr);
            for (size_t i = 1; i < points.size(); ++i) ::LineTo(mem, points[i].x, points[i].y);
        }
    }
    if (auto x = sensors::CursorX(m_nCursorMs)) {
        ::SelectObject(mem, m_cursorPen);
        ::MoveToEx(mem, *x, sensors::kPlotTop, nullptr);
        ::LineTo(mem, *x, sensors::kPlotBottom);
    }
    ::SelectObject(mem, oldPen);
}
