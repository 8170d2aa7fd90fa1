#include "tp_static.h"
#include "mem_dc.h"
#include "self_paint.h"
#include <cmath>

int CTPStatic::FontHeight(int points, int dpi) {
    int base = dpi > 150 ? 144 : dpi > 125 ? 120 : dpi > 97 ? 96 : 72;
    return -static_cast<int>(std::lround(static_cast<double>(points) * dpi / base));
}

void CTPStatic::DeclareMessageMap(MessageMap& map) {
    // The text is drawn over the captured background; no erase, and a text
    // change only redraws the label, once, at the next paint. (The static
    // control's own handling paints the label at once, and the invalidation
    // then painted it a second time; labels that change three times a second
    // while a recording plays paid for both.) The same text again draws
    // nothing.
    map.On(WM_ERASEBKGND, [](WPARAM, LPARAM) -> LRESULT { return TRUE; });
    map.On(WM_PAINT, [this](WPARAM, LPARAM) -> LRESULT {
        PaintOwnerDrawn(m_hWnd, ODT_STATIC, 0, [this](const DRAWITEMSTRUCT& di) { Draw(di); });
        return 0;
    });
    map.On(WM_SETTEXT, [this](WPARAM wp, LPARAM lp) -> LRESULT {
        const auto* text = reinterpret_cast<const wchar_t*>(lp);
        if (text && GetWindowText() == text) return TRUE;
        LRESULT r = ::DefWindowProcW(m_hWnd, WM_SETTEXT, wp, lp);
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
        return r;
    });
}

bool CTPStatic::OnChildNotify(UINT msg, WPARAM, LPARAM lp, LRESULT& result) {
    if (msg != WM_DRAWITEM) return false;
    Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
    result = TRUE;
    return true;
}

void CTPStatic::Draw(const DRAWITEMSTRUCT& di) {
    RECT rc = GetClientRect();
    int dpi = ::GetDeviceCaps(di.hDC, LOGPIXELSY);
    // The font is made for the label's face, size, weight and the device's
    // resolution, and kept until one of them changes (making a font on every
    // draw costs more than the rest of the draw under Wine).
    const int height = FontHeight(m_size, dpi);
    if (!m_font || height != m_fontHeight || m_weight != m_fontWeight || m_face != m_fontFace) {
        m_font.CreateFont(height, m_weight, m_face, 0x20);
        m_fontHeight = height;
        m_fontWeight = m_weight;
        m_fontFace = m_face;
        m_drawnCurrent = false;
    }
    CString text = GetWindowText();
    // Drawn again only when something it shows has changed; otherwise the
    // last drawing is copied (drawing text costs the most of a label's paint).
    bool kept = false;
    if (!m_drawn.Ensure(di.hDC, rc.right, rc.bottom, &kept)) return;
    if (!m_drawnCurrent || !kept || text != m_drawnText) {
        HDC mem = m_drawn;  // off-screen already
        if (m_back.IsValid()) ::BitBlt(mem, 0, 0, rc.right, rc.bottom, m_back, 0, 0, SRCCOPY);
        CSelect sel(mem, m_font);
        ::SetTextColor(mem, m_textColor);
        ::SetBkMode(mem, TRANSPARENT);
        ::DrawTextW(mem, text, -1, &rc, m_format);
        m_drawnText = text;
        m_drawnCurrent = true;
    }
    ::BitBlt(di.hDC, 0, 0, rc.right, rc.bottom, m_drawn, 0, 0, SRCCOPY);
}

// An unnumbered picture is always taken.
void CTPStatic::CaptureBackground(HDC dc) { CaptureBackground(dc, 0); }

void CTPStatic::CaptureBackground(HDC dc, unsigned pictureNumber) {
    if (!m_hWnd) {
        ReleaseBackground();
        return;
    }
    RECT r = GetWindowRect();
    ::MapWindowPoints(nullptr, ::GetParent(m_hWnd), reinterpret_cast<POINT*>(&r), 2);
    if (pictureNumber != 0 && pictureNumber == m_backPicture && ::EqualRect(&r, &m_backRect) && m_back.IsValid())
        return;
    m_backPicture = pictureNumber;
    int w = r.right - r.left, h = r.bottom - r.top;
    // Its context and bitmap are made anew only when the label's size changed.
    if (!m_back.Ensure(dc, w, h)) return;
    ::BitBlt(m_back, 0, 0, w, h, dc, r.left, r.top, SRCCOPY);
    m_backRect = r;
    m_drawnCurrent = false;
}

void CTPStatic::ReleaseBackground() {
    m_back.Release();
    m_backPicture = 0;
    m_drawnCurrent = false;
}
