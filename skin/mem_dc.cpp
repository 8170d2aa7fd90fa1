#include "mem_dc.h"

QxMemDC::QxMemDC(HDC target, const RECT* rect, bool copyFirst) : m_target(target) {
    if (rect) m_rect = *rect;
    else ::GetClipBox(target, &m_rect);
    m_memDC = ::GetDeviceCaps(target, TECHNOLOGY) != DT_RASPRINTER;
    RECT dev = m_rect;
    ::LPtoDP(target, reinterpret_cast<POINT*>(&dev), 2);
    if (!m_memDC || !m_buffer.Take(target, dev.right - dev.left, dev.bottom - dev.top)) {
        m_memDC = false;
        m_hDC = target;  // not owned
        return;
    }
    m_hDC = m_buffer.Dc();
    ::SetMapMode(m_hDC, ::GetMapMode(target));
    SIZE ext{};
    ::GetWindowExtEx(target, &ext);
    ::SetWindowExtEx(m_hDC, ext.cx, ext.cy, nullptr);
    ::GetViewportExtEx(target, &ext);
    ::SetViewportExtEx(m_hDC, ext.cx, ext.cy, nullptr);
    ::SetWindowOrgEx(m_hDC, m_rect.left, m_rect.top, nullptr);
    int w = m_rect.right - m_rect.left, h = m_rect.bottom - m_rect.top;
    if (copyFirst) {
        ::BitBlt(m_hDC, m_rect.left, m_rect.top, w, h, target, m_rect.left, m_rect.top, SRCCOPY);
    } else {
        FillSolidRect(m_rect, ::GetBkColor(target));
    }
}

QxMemDC::~QxMemDC() {
    if (m_memDC)
        ::BitBlt(m_target, m_rect.left, m_rect.top, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top, m_hDC,
                 m_rect.left, m_rect.top, SRCCOPY);
    m_hDC = nullptr;  // the lease's or the target's, not ours to delete
}

CMemoryDC::CMemoryDC(HDC target, const RECT& rect) : m_target(target), m_rect(rect) {
    if (!m_buffer.Take(target, rect.right - rect.left, rect.bottom - rect.top)) return;
    m_hDC = m_buffer.Dc();
    ::SetWindowOrgEx(m_hDC, rect.left, rect.top, nullptr);
}

CMemoryDC::~CMemoryDC() {
    if (m_hDC)
        ::BitBlt(m_target, m_rect.left, m_rect.top, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top, m_hDC,
                 m_rect.left, m_rect.top, SRCCOPY);
    m_hDC = nullptr;
}
