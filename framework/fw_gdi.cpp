#include "fw_gdi.h"
#include "fw_app.h"

bool CBitmap::LoadBitmap(UINT id) {
    DeleteObject();
    HBITMAP loaded = static_cast<HBITMAP>(
        ::LoadImageW(CWinApp::ResourceHandle(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!loaded) return false;
    // Kept as a 32-bit DIB: drawing it onto 32-bit buffers is then a plain copy
    // rather than a 24-bit conversion on every blit, and its colours stay exact
    // whatever the display's depth (the magenta key must stay magenta).
    BITMAP bm{};
    ::GetObjectW(loaded, sizeof bm, &bm);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = bm.bmWidth;
    bi.bmiHeader.biHeight = bm.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP wide = bm.bmBitsPixel == 32 ? nullptr : ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!wide) {
        m_h = loaded;
        return true;
    }
    HDC from = ::CreateCompatibleDC(nullptr), to = ::CreateCompatibleDC(nullptr);
    HGDIOBJ oldFrom = ::SelectObject(from, loaded), oldTo = ::SelectObject(to, wide);
    ::BitBlt(to, 0, 0, bm.bmWidth, bm.bmHeight, from, 0, 0, SRCCOPY);
    ::SelectObject(from, oldFrom);
    ::SelectObject(to, oldTo);
    ::DeleteDC(from);
    ::DeleteDC(to);
    ::DeleteObject(loaded);
    m_h = wide;
    return true;
}

bool CBitmap::CreateCompatibleBitmap(HDC dc, int w, int h) {
    DeleteObject();
    m_h = ::CreateCompatibleBitmap(dc, w > 0 ? w : 1, h > 0 ? h : 1);
    return m_h != nullptr;
}

SIZE CBitmap::GetSize() const {
    BITMAP bm{};
    if (m_h && ::GetObjectW(m_h, sizeof bm, &bm)) return SIZE{bm.bmWidth, bm.bmHeight};
    return SIZE{0, 0};
}

bool CFont::CreateFont(int height, int weight, const wchar_t* face, BYTE pitchAndFamily) {
    DeleteObject();
    m_h = ::CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, pitchAndFamily, face);
    return m_h != nullptr;
}

CDC::~CDC() {
    if (m_delete && m_hDC) ::DeleteDC(m_hDC);
}

void CDC::DeleteDC() {
    if (m_delete && m_hDC) ::DeleteDC(m_hDC);
    m_hDC = nullptr;
    m_delete = false;
}

bool CDC::CreateCompatibleDC(HDC dc) {
    if (m_delete && m_hDC) ::DeleteDC(m_hDC);
    m_hDC = ::CreateCompatibleDC(dc);
    m_delete = m_hDC != nullptr;
    return m_delete;
}

void CDC::FillSolidRect(const RECT& r, COLORREF c) const {
    COLORREF old = ::SetBkColor(m_hDC, c);
    ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    ::SetBkColor(m_hDC, old);
}

void CDC::DrawBitmap(HBITMAP bmp, int x, int y) const {
    BITMAP bm{};
    if (bmp && ::GetObjectW(bmp, sizeof bm, &bm)) StretchBitmap(bmp, x, y, bm.bmWidth, bm.bmHeight);
}

void CDC::StretchBitmap(HBITMAP bmp, int x, int y, int w, int h) const {
    if (!bmp) return;
    BITMAP bm{};
    if (!::GetObjectW(bmp, sizeof bm, &bm)) return;
    CDC mem;
    if (!mem.CreateCompatibleDC(m_hDC)) return;
    CSelect sel(mem, bmp);
    if (w == bm.bmWidth && h == bm.bmHeight) {
        // Same size: a plain copy, much cheaper than stretching under Wine.
        ::BitBlt(m_hDC, x, y, w, h, mem, 0, 0, SRCCOPY);
        return;
    }
    int oldMode = ::SetStretchBltMode(m_hDC, COLORONCOLOR);
    ::StretchBlt(m_hDC, x, y, w, h, mem, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
    ::SetStretchBltMode(m_hDC, oldMode);
}

bool CBackBuffer::Ensure(HDC dc, int w, int h) {
    if (IsValid() && w == m_size.cx && h == m_size.cy) return true;
    Release();
    if (w <= 0 || h <= 0 || !m_dc.CreateCompatibleDC(dc)) return false;
    if (!m_bitmap.CreateCompatibleBitmap(dc, w, h)) {
        m_dc.DeleteDC();
        return false;
    }
    m_old = ::SelectObject(m_dc, m_bitmap);
    m_size = SIZE{w, h};
    return true;
}

void CBackBuffer::Release() {
    if (m_old) ::SelectObject(m_dc, m_old);
    m_old = nullptr;
    m_bitmap.DeleteObject();
    m_dc.DeleteDC();
    m_size = SIZE{0, 0};
}
