#include "graph_static.h"

#include "bitmap_ids.h"
#include "mem_dc.h"
#include "self_paint.h"

CGraphStatic::CGraphStatic()
    : m_pens{CPen(PS_SOLID, 1, RGB(250, 0, 250)), CPen(PS_SOLID, 1, RGB(0, 250, 250)),
             CPen(PS_SOLID, 1, RGB(250, 250, 0))},
      m_cursorPen(PS_SOLID, 1, RGB(255, 255, 255)) {}

bool CGraphStatic::SetData(const sensors::GSensorSample* samples) {
    if (!samples) return false;
    m_pSamples = samples;
    m_plotDrawn = false;
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
    map.On(WM_PAINT, [this](WPARAM, LPARAM) -> LRESULT {
        PaintOwnerDrawn(m_hWnd, ODT_STATIC, 0, [this](const DRAWITEMSTRUCT& di) { TimedDraw(di); });
        return 0;
    });
}

bool CGraphStatic::OnChildNotify(UINT msg, WPARAM, LPARAM lp, LRESULT& result) {
    if (msg != WM_DRAWITEM) return false;
    TimedDraw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
    result = TRUE;
    return true;
}

void CGraphStatic::TimedDraw(const DRAWITEMSTRUCT& item) {
    LARGE_INTEGER start, end;
    ::QueryPerformanceCounter(&start);
    DrawItem(item);
    ::QueryPerformanceCounter(&end);
    m_paintCounts += end.QuadPart - start.QuadPart;
    ++m_paints;
}

void CGraphStatic::TakePaintTime(int64_t& counts, int& paints) {
    counts = m_paintCounts;
    paints = m_paints;
    m_paintCounts = 0;
    m_paints = 0;
}

void CGraphStatic::DrawItem(const DRAWITEMSTRUCT& item) {
    RECT rc = GetClientRect();
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    // Composed off screen and copied once: the plot (drawn again only after
    // SetData or a size change), then the cursor. Both buffers are kept.
    const SIZE had = m_plot.Size();
    if (!m_plot.Ensure(item.hDC, w, h) || !m_frame.Ensure(item.hDC, w, h)) {
        QxMemDC mem(item.hDC, &rc, false);
        DrawPlot(mem, rc);
        DrawCursor(mem);
        return;
    }
    if (!m_plotDrawn || had.cx != w || had.cy != h) {
        RECT inner{0, 0, w, h};
        DrawPlot(m_plot, inner);
        m_plotDrawn = true;
    }
    ::BitBlt(m_frame, 0, 0, w, h, m_plot, 0, 0, SRCCOPY);
    DrawCursor(m_frame);
    ::BitBlt(item.hDC, rc.left, rc.top, w, h, m_frame, 0, 0, SRCCOPY);
}

void CGraphStatic::DrawCursor(HDC dc) {
    auto x = sensors::CursorX(m_nCursorMs);
    if (!x) return;
    HGDIOBJ oldPen = ::SelectObject(dc, m_cursorPen);
    ::MoveToEx(dc, *x, sensors::kPlotTop, nullptr);
    ::LineTo(dc, *x, sensors::kPlotBottom);
    ::SelectObject(dc, oldPen);
}

void CGraphStatic::DrawPlot(HDC dc, const RECT& rc) {
    if (!m_background) m_background.LoadBitmap(IDB_GRAPH_BACKGROUND);
    if (m_background) {
        CDC source;
        source.CreateCompatibleDC(dc);
        CSelect sel(source, m_background);
        ::BitBlt(dc, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, source, 0, 0, SRCCOPY);
    }
    if (!m_pSamples) return;
    HGDIOBJ oldPen = ::GetCurrentObject(dc, OBJ_PEN);
    sensors::BuildCurves(m_pSamples, m_curves);
    for (int axis = 0; axis < 3; ++axis) {
        const auto& points = m_curves.axis[axis];
        if (points.empty()) continue;
        ::SelectObject(dc, m_pens[axis]);
        // The first point is the plot's left edge at the first sample's
        // height: the first segment is horizontal.
        ::MoveToEx(dc, points[0].x, points[0].y, nullptr);
        for (size_t i = 1; i < points.size(); ++i) ::LineTo(dc, points[i].x, points[i].y);
    }
    ::SelectObject(dc, oldPen);
}
