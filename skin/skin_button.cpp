#include "skin_button.h"
#include "mem_dc.h"
#include "self_paint.h"
#include <algorithm>
#include <vector>

namespace {
const COLORREF kKey = RGB(255, 0, 255);
}

CSkinButton::CSkinButton() : m_textColor(::GetSysColor(COLOR_BTNTEXT)) {}

void CSkinButton::SetSkinImages(UINT normal, UINT pressed, UINT hover, UINT disabled, UINT focus, UINT mask, short mode,
                                short border, short margin) {
    for (CBitmap* b : {&m_normal, &m_pressed, &m_disabled, &m_mask, &m_hoverImg, &m_focus}) b->DeleteObject();
    if (normal) m_normal.LoadBitmap(normal);
    if (pressed) m_pressed.LoadBitmap(pressed);
    if (hover) m_hoverImg.LoadBitmap(hover);
    if (disabled) m_disabled.LoadBitmap(disabled);
    else if (normal) m_disabled.LoadBitmap(normal);
    if (focus) m_focus.LoadBitmap(focus);
    m_mode = mode < 0 ? 0 : mode > 2 ? 2 : mode;
    m_border = border;
    m_margin = margin < 0 ? 0 : margin;
    if (mask && m_mask.LoadBitmap(mask)) {
        HRGN rgn = RegionFromMask(m_mask, kKey);
        if (rgn) {
            m_region = rgn;
            m_shape.DeleteObject();
            m_shape.Attach(::CreateRectRgn(0, 0, 0, 0));
            if (m_shape) ::CombineRgn(m_shape, rgn, nullptr, RGN_COPY);
            if (m_hWnd) ::SetWindowRgn(m_hWnd, rgn, TRUE);  // the window owns it now
            if (m_mode == 0 && m_hWnd) {
                SIZE s = m_mask.GetSize();
                ::SetWindowPos(m_hWnd, nullptr, 0, 0, s.cx, s.cy, SWP_NOMOVE | SWP_NOZORDER);
            }
        }
    }
    if (m_hWnd) Invalidate(FALSE);
}

HRGN CSkinButton::RegionFromMask(HBITMAP bmp, COLORREF key) {
    BITMAP bm{};
    if (!bmp || !::GetObjectW(bmp, sizeof bm, &bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0) return nullptr;
    const int w = bm.bmWidth, h = bm.bmHeight;
    // Read the pixels as top-down 32-bit rows.
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> px(static_cast<size_t>(w) * h);
    HDC screen = ::GetDC(nullptr);
    int got = ::GetDIBits(screen, bmp, 0, static_cast<UINT>(h), px.data(), &bi, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    if (got != h) return nullptr;
    const DWORD keyPx = (GetRValue(key) << 16) | (GetGValue(key) << 8) | GetBValue(key);
    std::vector<RECT> runs;
    runs.reserve(40);
    for (int y = 0; y < h; ++y) {
        const DWORD* row = &px[static_cast<size_t>(y) * w];
        for (int x = 0; x < w;) {
            if ((row[x] & 0xFFFFFF) == keyPx) {
                ++x;
                continue;
            }
            int start = x;
            while (x < w && (row[x] & 0xFFFFFF) != keyPx) ++x;
            if (runs.size() == runs.capacity()) runs.reserve(runs.capacity() + 40);
            runs.push_back(RECT{start, y, x, y + 1});
        }
    }
    HRGN rgn = ::CreateRectRgn(0, 0, 0, 0);
    if (!rgn) return nullptr;
    for (const RECT& r : runs) {
        HRGN piece = ::CreateRectRgnIndirect(&r);
        ::CombineRgn(rgn, rgn, piece, RGN_OR);
        ::DeleteObject(piece);
    }
    return rgn;
}

void CSkinButton::SetTipText(const wchar_t* text) {
    if (!m_tipCreated) {
        if (!m_tip.Create(this)) return;
        if (!m_tip.AddTool(this, text, 0)) {
            m_tip.DestroyWindow();
            return;
        }
        m_tipCreated = true;
        m_tip.Activate(true);
        return;
    }
    m_tip.UpdateTipText(text, this, 0);
}

void CSkinButton::Relay(UINT msg, WPARAM wp, LPARAM lp) {
    if (!m_tipCreated || !m_tip.GetSafeHwnd()) return;
    MSG m{};
    m.hwnd = m_hWnd;
    m.message = msg;
    m.wParam = wp;
    m.lParam = lp;
    m.time = 0;
    m.pt.x = static_cast<short>(LOWORD(lp));
    m.pt.y = static_cast<short>(HIWORD(lp));
    m_tip.RelayEvent(&m);
}

void CSkinButton::DeclareMessageMap(MessageMap& map) {
    // Attached to a template button: all drawing comes here.
    map.On(WM_ERASEBKGND, [](WPARAM, LPARAM) -> LRESULT { return TRUE; });
    map.On(WM_PAINT, [this](WPARAM, LPARAM) -> LRESULT {
        const LRESULT st = SendMessage(BM_GETSTATE);  // as the button class fills the draw request
        PaintOwnerDrawn(m_hWnd, ODT_BUTTON,
                        ((st & BST_PUSHED) ? ODS_SELECTED : 0) | ((st & BST_FOCUS) ? ODS_FOCUS : 0),
                        [this](const DRAWITEMSTRUCT& di) { Draw(di); });
        return 0;
    });
    map.On(WM_LBUTTONDOWN, [this](WPARAM wp, LPARAM lp) -> LRESULT {
        Relay(WM_LBUTTONDOWN, wp, lp);
        if (m_hover) {
            TRACKMOUSEEVENT t{sizeof t, TME_LEAVE | TME_CANCEL, m_hWnd, 0};
            if (::TrackMouseEvent(&t)) m_hover = false;
        }
        LRESULT r = Default();
        m_held = true;
        return r;
    });
    map.On(WM_LBUTTONUP, [this](WPARAM wp, LPARAM lp) -> LRESULT {
        Relay(WM_LBUTTONUP, wp, lp);
        m_held = false;
        return Default();
    });
    map.On(WM_LBUTTONDBLCLK, [this](WPARAM wp, LPARAM lp) -> LRESULT { return SendMessage(WM_LBUTTONDOWN, wp, lp); });
    map.On(WM_MOUSEMOVE, [this](WPARAM wp, LPARAM lp) -> LRESULT {
        Relay(WM_MOUSEMOVE, wp, lp);
        if (m_held && ::GetCapture() == m_hWnd) {
            POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
            ::ClientToScreen(m_hWnd, &pt);
            bool over = ::WindowFromPoint(pt) == m_hWnd;
            if (over != Pushed()) {
                SendMessage(BM_SETSTATE, over ? TRUE : FALSE);
                Invalidate(FALSE);
            }
        } else if (!m_hover) {
            TRACKMOUSEEVENT t{sizeof t, TME_LEAVE, m_hWnd, 0};
            if (::TrackMouseEvent(&t)) {
                m_hover = true;
                Invalidate(FALSE);
            }
        }
        return Default();
    });
    map.On(WM_MOUSELEAVE, [this](WPARAM, LPARAM) -> LRESULT {
        m_hover = false;
        Invalidate(FALSE);
        return 0;
    });
    map.On(WM_KILLFOCUS, [this](WPARAM, LPARAM) -> LRESULT {
        if (::GetCapture() == m_hWnd) {
            ::ReleaseCapture();
            m_held = false;
        }
        return Default();
    });
    map.On(BM_SETCHECK, [this](WPARAM wp, LPARAM) -> LRESULT {
        m_checked = wp != 0;
        Invalidate(FALSE);
        return 0;
    });
    map.On(BM_GETCHECK, [this](WPARAM, LPARAM) -> LRESULT { return m_checked ? 1 : 0; });
}

bool CSkinButton::OnChildNotify(UINT msg, WPARAM, LPARAM lp, LRESULT& result) {
    if (msg != WM_DRAWITEM) return false;
    Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
    result = TRUE;
    return true;
}

void CSkinButton::PlaceImage(HDC dc, const RECT& r, const CBitmap& image) {
    const int W = r.right - r.left, H = r.bottom - r.top;
    SIZE s = image.GetSize();
    if (s.cx <= 0 || s.cy <= 0) return;
    CImageDC src(dc, image);
    if (!src.IsValid()) return;
    if (m_mode == 2) {
        for (int y = r.top; y < r.bottom; y += s.cy)
            for (int x = r.left; x < r.right; x += s.cx)
                ::BitBlt(dc, x, y, std::min<int>(s.cx, r.right - x), std::min<int>(s.cy, r.bottom - y), src, 0, 0,
                         SRCCOPY);
        return;
    }
    const bool same = m_mode == 0 || (s.cx == W && s.cy == H);
    if (!m_mask) {
        if (same) {
            ::BitBlt(dc, r.left, r.top, W, H, src, 0, 0, SRCCOPY);
        } else {
            ::SetStretchBltMode(dc, COLORONCOLOR);
            ::StretchBlt(dc, r.left, r.top, W, H, src, 0, 0, s.cx, s.cy, SRCCOPY);
        }
        return;
    }
    // Transparent drawing through the mask, composed off-screen.
    BufferLease lease;
    if (!lease.Take(dc, W, H)) return;
    HDC buf = lease.Dc();
    ::BitBlt(buf, 0, 0, W, H, dc, r.left, r.top, SRCCOPY);
    CImageDC maskDC(dc, m_mask);
    SIZE ms = m_mask.GetSize();
    if (m_mode == 1 && !(same && ms.cx == W && ms.cy == H)) {
        ::SetStretchBltMode(buf, COLORONCOLOR);
        ::StretchBlt(buf, 0, 0, W, H, src, 0, 0, s.cx, s.cy, SRCINVERT);
        ::StretchBlt(buf, 0, 0, W, H, maskDC, 0, 0, ms.cx, ms.cy, SRCAND);
        ::StretchBlt(buf, 0, 0, W, H, src, 0, 0, s.cx, s.cy, SRCINVERT);
    } else {
        ::BitBlt(buf, 0, 0, W, H, src, 0, 0, SRCINVERT);
        ::BitBlt(buf, 0, 0, W, H, maskDC, 0, 0, SRCAND);
        ::BitBlt(buf, 0, 0, W, H, src, 0, 0, SRCINVERT);
    }
    ::BitBlt(dc, r.left, r.top, W, H, buf, 0, 0, SRCCOPY);
}

void CSkinButton::Draw(const DRAWITEMSTRUCT& di) {
    const RECT R = di.rcItem;
    const UINT S = di.itemState;
    HDC dc = di.hDC;
    // Keep the pushed look in step with the cursor while the button is held.
    if (m_held && ::GetCapture() == m_hWnd) {
        POINT pt;
        if (::GetCursorPos(&pt)) {
            HWND under = ::WindowFromPoint(pt);
            if (under == m_hWnd && !Pushed()) {
                SendMessage(BM_SETSTATE, TRUE);
                return;
            }
            if (under != m_hWnd && Pushed()) {
                SendMessage(BM_SETSTATE, FALSE);
                return;
            }
        }
    }
    // Buttons draw with their parent's clipping (the button class asks for the
    // parent's DC), which under Wine leaves the window shape out of the DC's
    // visible region: clip to the shape here, so that the parts cut away by
    // the mask are never painted, whoever asked for the drawing.
    struct ClipGuard {
        HDC dc;
        int saved;
        ~ClipGuard() {
            if (saved) ::RestoreDC(dc, saved);
        }
    } guard{dc, m_shape ? ::SaveDC(dc) : 0};
    if (guard.saved) ::ExtSelectClipRgn(dc, m_shape, RGN_AND);
    CString caption = GetWindowText();
    ::SetBkMode(dc, TRANSPARENT);
    RECT T = R;
    T.left += m_margin + 2;
    T.right -= m_margin + 2;
    CDC out(dc);
    if (S & ODS_DISABLED) {
        if (m_disabled) PlaceImage(dc, R, m_disabled);
        else out.FillSolidRect(R, ::GetSysColor(COLOR_BTNFACE));
        RECT e = R;
        if (m_border) ::DrawEdge(dc, &e, EDGE_RAISED, BF_RECT);
        ::SetTextColor(dc, ::GetSysColor(COLOR_BTNHIGHLIGHT));
        ::DrawTextW(dc, caption, -1, &T, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        ::OffsetRect(&T, -1, -1);
        ::SetTextColor(dc, ::GetSysColor(COLOR_GRAYTEXT));
        ::DrawTextW(dc, caption, -1, &T, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        return;
    }
    if ((S & ODS_SELECTED) || m_checked) {
        if (m_pressed) PlaceImage(dc, R, m_pressed);
        else out.FillSolidRect(R, ::GetSysColor(COLOR_BTNFACE));
        ::OffsetRect(&T, 1, 1);
        RECT e = R;
        if (m_border) ::DrawEdge(dc, &e, EDGE_SUNKEN, BF_RECT);
    } else {
        if (!m_normal) out.FillSolidRect(R, ::GetSysColor(COLOR_BTNFACE));
        else if (m_hover && m_hoverImg) PlaceImage(dc, R, m_hoverImg);
        else if ((S & ODS_FOCUS) && m_focus) PlaceImage(dc, R, m_focus);
        else PlaceImage(dc, R, m_normal);
        RECT e = R;
        if (m_border) ::DrawEdge(dc, &e, EDGE_RAISED, BF_RECT);
    }
    if ((S & ODS_FOCUS) && m_margin > 0) {
        RECT f = R;
        ::InflateRect(&f, -m_margin, -m_margin);
        ::DrawFocusRect(dc, &f);
    }
    if (caption.IsEmpty()) return;  // the skin's buttons are pictures only
    ::SetTextColor(dc, m_textColor);
    ::DrawTextW(dc, caption, -1, &T, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}
