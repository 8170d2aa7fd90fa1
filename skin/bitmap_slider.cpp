#include "bitmap_slider.h"
#include <cmath>
#include <cstdlib>
#include "mem_dc.h"

int CBitmapSlider::CentreFor(int pos, int minimum, int maximum, int width, int thumbWidth) {
    const int half = thumbWidth / 2;
    if (maximum == minimum) return half;  // empty range: the thumb sits at the left end
    double span = static_cast<double>(width - thumbWidth) * (static_cast<double>(pos) - minimum) /
                  (static_cast<double>(maximum) - minimum);
    return half + static_cast<int>(std::trunc(span));
}

int CBitmapSlider::PositionFor(int x, int minimum, int maximum, int width, int thumbWidth) {
    const int track = width - thumbWidth;
    if (track == 0) return minimum;
    double v = minimum + static_cast<double>(x - thumbWidth / 2) / track * (static_cast<double>(maximum) - minimum);
    return static_cast<int>(std::trunc(v));
}

bool CBitmapSlider::LoadImagePair(UINT id, CBitmap& image, CBitmap& mask, bool transparent, COLORREF key, int keyX,
                                  int keyY) {
    mask.DeleteObject();
    if (!image.LoadBitmap(id)) return false;
    if (!transparent) return true;
    SIZE s = image.GetSize();
    HDC screen = ::GetDC(nullptr);
    CDC imageDC, maskDC;
    imageDC.CreateCompatibleDC(screen);
    maskDC.CreateCompatibleDC(screen);
    ::ReleaseDC(nullptr, screen);
    mask.Attach(::CreateBitmap(s.cx, s.cy, 1, 1, nullptr));
    CSelect si(imageDC, image), sm(maskDC, mask);
    if (key == kKeyFromPixel) key = ::GetPixel(imageDC, keyX, keyY);
    // Key-coloured pixels become white in the mask, all others black ...
    ::SetBkColor(imageDC, key);
    ::BitBlt(maskDC, 0, 0, s.cx, s.cy, imageDC, 0, 0, SRCCOPY);
    // ... and black in the image, so that AND-mask-then-OR-image keeps the background there.
    ::SetBkColor(imageDC, RGB(0, 0, 0));
    ::SetTextColor(imageDC, RGB(255, 255, 255));
    ::BitBlt(imageDC, 0, 0, s.cx, s.cy, maskDC, 0, 0, SRCAND);
    return true;
}

void CBitmapSlider::ReleaseChannel() {
    for (CBitmap* b : {&m_channel, &m_channelMask, &m_activeChannel, &m_activeChannelMask}) b->DeleteObject();
}

void CBitmapSlider::ReleaseThumb() {
    for (CBitmap* b : {&m_thumb, &m_thumbMask, &m_activeThumb, &m_activeThumbMask, &m_saved}) b->DeleteObject();
    m_savedX = m_savedY = -1;
}

bool CBitmapSlider::SetChannelImages(UINT channel, UINT active, bool transparent, COLORREF key, int keyX, int keyY) {
    if (channel == 0) {
        m_channelLoaded = false;
        ReleaseChannel();
        return true;
    }
    if (!LoadImagePair(channel, m_channel, m_channelMask, transparent, key, keyX, keyY)) return false;
    if (active) {
        if (!LoadImagePair(active, m_activeChannel, m_activeChannelMask, transparent, key, keyX, keyY)) {
            m_channel.DeleteObject();
            m_channelMask.DeleteObject();
            return false;
        }
        m_channelActive = true;
    } else {
        m_activeChannel.DeleteObject();
        m_activeChannelMask.DeleteObject();
        m_channelActive = false;
    }
    SIZE s = m_channel.GetSize();
    m_width = s.cx;
    m_height = s.cy;
    if (m_hWnd) {
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, m_width, m_height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        m_client = GetClientRect();
    }
    m_transparentChannel = transparent;
    m_channelLoaded = true;
    return true;
}

bool CBitmapSlider::SetThumbImages(UINT thumb, UINT active, bool transparent, COLORREF key, int keyX, int keyY) {
    if (thumb == 0) {
        m_thumbLoaded = false;
        ReleaseThumb();
        return true;
    }
    if (!LoadImagePair(thumb, m_thumb, m_thumbMask, transparent, key, keyX, keyY)) return false;
    if (active) {
        if (!LoadImagePair(active, m_activeThumb, m_activeThumbMask, transparent, key, keyX, keyY)) {
            m_thumb.DeleteObject();
            m_thumbMask.DeleteObject();
            return false;
        }
        m_thumbActive = true;
    } else {
        m_activeThumb.DeleteObject();
        m_activeThumbMask.DeleteObject();
        m_thumbActive = false;
    }
    SIZE s = m_thumb.GetSize();
    m_thumbW = s.cx;
    m_thumbH = s.cy;
    if (!m_channelLoaded && m_hWnd) {
        m_client = GetClientRect();
        m_width = m_client.right - m_client.left;
        m_height = m_client.bottom - m_client.top;
    }
    m_transparentThumb = transparent;
    m_thumbLoaded = true;
    return true;
}

void CBitmapSlider::SetRange(int minimum, int maximum, bool redraw) {
    m_min = minimum;
    m_max = maximum;
    if (redraw && m_hWnd) Invalidate(FALSE);
}

void CBitmapSlider::SetRangeMin(int minimum, bool redraw) {
    m_min = minimum;
    if (redraw && m_hWnd) Invalidate(FALSE);
}

void CBitmapSlider::SetRangeMax(int maximum, bool redraw) {
    m_max = maximum;
    if (redraw && m_hWnd) Invalidate(FALSE);
}

void CBitmapSlider::SetPosition(int position) {
    m_pos = position;
    if (m_pos > m_max) m_pos = m_max;
    if (m_pos < m_min) m_pos = m_min;
    if (m_hWnd) Invalidate(FALSE);
}

void CBitmapSlider::SetFocusRectOption(bool on, bool redraw) {
    m_drawFocus = on;
    if (redraw && m_hWnd) Invalidate(FALSE);
}

void CBitmapSlider::Notify(UINT msg) {
    HWND parent = ::GetParent(m_hWnd);
    if (parent) ::PostMessageW(parent, msg, GetDlgCtrlID(), static_cast<LPARAM>(m_pos));
}

void CBitmapSlider::DrawImage(HDC dc, int x, int y, int w, int h, const CBitmap& image, const CBitmap& mask, int sx,
                              bool transparent) {
    if (!image || w <= 0 || h <= 0) return;
    CImageDC src(dc, nullptr);
    if (!src.IsValid()) return;
    if (transparent && mask) {
        {
            CSelect sm(src, mask);
            COLORREF oldBk = ::SetBkColor(dc, RGB(255, 255, 255));
            COLORREF oldText = ::SetTextColor(dc, RGB(0, 0, 0));
            ::BitBlt(dc, x, y, w, h, src, sx, 0, SRCAND);
            ::SetBkColor(dc, oldBk);
            ::SetTextColor(dc, oldText);
        }
        CSelect si(src, image);
        ::BitBlt(dc, x, y, w, h, src, sx, 0, SRCPAINT);
        return;
    }
    CSelect si(src, image);
    ::BitBlt(dc, x, y, w, h, src, sx, 0, SRCCOPY);
}

void CBitmapSlider::DrawFocus(HDC dc) {
    RECT r = m_client;
    ::DrawFocusRect(dc, &r);
}

void CBitmapSlider::Paint() {
    CSelfPaintDC paint(m_hWnd, true);
    RECT rc = GetClientRect();
    m_client = rc;
    const int c = Centre();
    QxMemDC dc(paint, &rc, m_transparentChannel);
    if (m_focusShown && (m_transparentChannel || !m_channelLoaded)) {
        DrawFocus(dc);
        m_focusShown = false;
    }
    if (m_channelLoaded) {
        if (!m_channelActive) {
            DrawImage(dc, 0, 0, m_width, m_height, m_channel, m_channelMask, 0, m_transparentChannel);
        } else {
            DrawImage(dc, c, 0, m_width - c, m_height, m_channel, m_channelMask, c, m_transparentChannel);
            DrawImage(dc, 0, 0, c, m_height, m_activeChannel, m_activeChannelMask, 0, m_transparentChannel);
        }
    }
    if (m_savedX != -1) {
        CImageDC saved(dc, m_saved);
        if (saved.IsValid()) ::BitBlt(dc, m_savedX, m_savedY, m_thumbW, m_thumbH, saved, 0, 0, SRCCOPY);
        m_savedX = m_savedY = -1;
    }
    if (m_thumbLoaded) {
        const bool active = m_dragging && m_thumbActive;
        const CBitmap& image = active ? m_activeThumb : m_thumb;
        const CBitmap& mask = active ? m_activeThumbMask : m_thumbMask;
        const int x = ThumbLeft(c, m_thumbW);
        if (m_transparentChannel || !m_channelLoaded) {
            if (!m_saved) m_saved.CreateCompatibleBitmap(dc, m_thumbW, m_thumbH);
            CImageDC saved(dc, m_saved);
            if (saved.IsValid()) {
                ::BitBlt(saved, 0, 0, m_thumbW, m_thumbH, dc, x, 0, SRCCOPY);
                m_savedX = x;
                m_savedY = 0;
            }
        }
        DrawImage(dc, x, 0, m_thumbW, m_thumbH, image, mask, 0, m_transparentThumb);
    }
    if (m_drawFocus && m_focused) {
        DrawFocus(dc);
        m_focusShown = true;
    }
}

void CBitmapSlider::OnMouseMove(int x) {
    if (!m_dragging) return;
    const int half = m_thumbW / 2;
    int d = x - m_grab;
    if (d > m_width - half) d = m_width - half;
    if (d < half) d = half;
    if (d != Centre()) {
        SetPosition(PositionFor(d, m_min, m_max, m_width, m_thumbW));
        Notify(WM_SLIDER_MOVING);
    }
}

void CBitmapSlider::DeclareMessageMap(MessageMap& map) {
    // Position and range answer the trackbar's queries, so that anyone (a
    // test, an accessibility tool) can read them as from a slider.
    map.On(TBM_GETPOS, [this](WPARAM, LPARAM) -> LRESULT { return m_pos; });
    map.On(TBM_GETRANGEMIN, [this](WPARAM, LPARAM) -> LRESULT { return m_min; });
    map.On(TBM_GETRANGEMAX, [this](WPARAM, LPARAM) -> LRESULT { return m_max; });
    map.On(WM_ERASEBKGND, [](WPARAM, LPARAM) -> LRESULT { return TRUE; });
    map.On(WM_PAINT, [this](WPARAM, LPARAM) -> LRESULT {
        Paint();
        return 0;
    });
    map.On(WM_LBUTTONDOWN, [this](WPARAM, LPARAM lp) -> LRESULT {
        const int x = static_cast<short>(LOWORD(lp));
        ::SetCapture(m_hWnd);
        ::SetFocus(m_hWnd);
        m_dragging = true;
        const int c = Centre();
        m_grab = std::abs(x - c) <= m_thumbW / 2 ? x - c : 0;
        OnMouseMove(x);
        Invalidate(FALSE);
        return Default();
    });
    map.On(WM_MOUSEMOVE, [this](WPARAM, LPARAM lp) -> LRESULT {
        OnMouseMove(static_cast<short>(LOWORD(lp)));
        return Default();
    });
    map.On(WM_LBUTTONUP, [this](WPARAM, LPARAM) -> LRESULT {
        ::ReleaseCapture();
        m_dragging = false;
        Invalidate(FALSE);
        Notify(WM_SLIDER_MOVED);
        return Default();
    });
    map.On(WM_GETDLGCODE, [this](WPARAM, LPARAM) -> LRESULT {
        if (::GetKeyState(VK_TAB) < 0) return Default();
        return DLGC_WANTARROWS;
    });
    map.On(WM_KEYDOWN, [this](WPARAM key, LPARAM) -> LRESULT {
        int next;
        switch (key) {
            case VK_PRIOR: next = m_pos - m_page; break;
            case VK_NEXT: next = m_pos + m_page; break;
            case VK_END: next = m_max; break;
            case VK_HOME: next = m_min; break;
            case VK_LEFT:
            case VK_UP: next = m_pos - 1; break;
            case VK_RIGHT:
            case VK_DOWN: next = m_pos + 1; break;
            default: return Default();
        }
        SetPosition(next);
        Notify(WM_SLIDER_MOVED);
        return 0;
    });
    map.On(WM_SETFOCUS, [this](WPARAM, LPARAM) -> LRESULT {
        m_focused = true;
        Invalidate(FALSE);
        return Default();
    });
    map.On(WM_KILLFOCUS, [this](WPARAM, LPARAM) -> LRESULT {
        m_focused = false;
        Invalidate(FALSE);
        return Default();
    });
    map.On(WM_DESTROY, [this](WPARAM, LPARAM) -> LRESULT {
        ReleaseChannel();
        ReleaseThumb();
        m_channelLoaded = m_thumbLoaded = false;
        return Default();
    });
}
