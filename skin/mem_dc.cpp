#include "mem_dc.h"

QxMemDC::QxMemDC(HDC target, const RECT* rect, bool copyFirst) : m_target(target) {
    if (rect) m_rect = *rect;
    else ::GetClipBox(target, &m_rect);
    m_memDC = ::GetDeviceCaps(target, TECHNOLOGY) != DT_RASPRINTER;
    if (!m_memDC) {
        m_hDC = target;  // not owned
        return;
    }
    if (!CreateCompatibleDC(target)) {
        m_memDC = false;
        m_hDC = target;
        return;
    }
    RECT dev = m_rect;
    ::LPtoDP(target, reinterpret_cast<POINT*>(&dev), 2);
    m_bitmap.CreateCompatibleBitmap(target, dev.right - dev.left, dev.bottom - dev.top);
    m_oldBitmap = static_cast<HBITMAP>(::SelectObject(m_hDC, m_bitmap));
    ::SetMapMode(m_hDC, ::GetMapMode(target));
    SIZE ext{};
    ::GetWindowExtEx(target, &ext);
    ::SetWindowExtEx(m_hDC, ext.cx, ext.cy, nullptr);
    ::GetViewportExtEx(target, &ext);
    ::SetViewportExtEx(m_hDC, ext.cx, ext.cy, nullptr);
    ::DPtoLP(target, reinterpret_cast<POINT*>(&dev), 2);
    ::SetWindowOrgEx(m_hDC, m_rect.left, m_rect.top, nullptr);
    int w = m_rect.right - m_rect.left, h = m_rect.bottom - m_rect.top;
    if (copyFirst) {
        ::BitBlt(m_hDC, m_rect.left, m_rect.top, w, h, target, m_rect.left, m_rect.top, SRCCOPY);
    } else {
        FillSolidRect(m_rect, ::GetBkColor(target));
    }
}

QxMemDC::~QxMemDC() {
    if (m_memDC) {
        ::BitBlt(m_target, m_rect.left, m_rect.top, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top, m_hDC,
                 m_rect.left, m_rect.top, SRCCOPY);
        ::SelectObject(m_hDC, m_oldBitmap);
    } else {
        m_hDC = nullptr;  // the target is not ours to delete
    }
}

CMemoryDC::CMemoryDC(HDC target, const RECT& rect) : m_target(target), m_rect(rect) {
    CreateCompatibleDC(target);
    m_bitmap.CreateCompatibleBitmap(target, rect.right - rect.left, rect.bottom - rect.top);
    m_oldBitmap = static_cast<HBITMAP>(::SelectObject(m_hDC, m_bitmap));
    ::SetWindowOrgEx(m_hDC, rect.left, rect.top, nullptr);
}

CMemoryDC::~CMemoryDC() {
    ::BitBlt(m_target, m_rect.left, m_rect.top, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top, m_hDC,
             m_rect.left, m_rect.top, SRCCOPY);
    ::SelectObject(m_hDC, m_oldBitmap);
}
