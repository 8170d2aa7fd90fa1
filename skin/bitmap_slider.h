// Horizontal slider drawn from bitmaps: a channel (track) and a thumb, each
// with an optional "active" image. Tells its parent about every change by
// posting WM_SLIDER_MOVING while dragging and WM_SLIDER_MOVED on
// release and after each handled key.
#pragma once
#include "app_messages.h"
#include "fw_controls.h"
#include "fw_gdi.h"


class CBitmapSlider : public CStatic {
public:
    // Key colour meaning "take the key from the image's pixel at (keyX, keyY)".
    static constexpr COLORREF kKeyFromPixel = 0xFF000000;

    bool SetChannelImages(UINT channel, UINT active, bool transparent, COLORREF key = RGB(255, 0, 255), int keyX = 0,
                          int keyY = 0);
    bool SetThumbImages(UINT thumb, UINT active, bool transparent, COLORREF key = RGB(255, 0, 255), int keyX = 0,
                        int keyY = 0);
    void SetRange(int minimum, int maximum, bool redraw = false);
    void SetRangeMin(int minimum, bool redraw = false);
    void SetRangeMax(int maximum, bool redraw = false);
    void SetPosition(int position);
    int GetPosition() const { return m_pos; }
    int GetRangeMin() const { return m_min; }
    int GetRangeMax() const { return m_max; }
    void SetPageSize(int page) { m_page = page; }
    void SetFocusRectOption(bool on, bool redraw = false);

    // Geometry of the track, for a track width, thumb width and range.
    static int CentreFor(int pos, int minimum, int maximum, int width, int thumbWidth);
    static int PositionFor(int x, int minimum, int maximum, int width, int thumbWidth);
    // Left edge of the thumb image for a centre.
    static int ThumbLeft(int centre, int thumbWidth) {
        int x = centre - thumbWidth / 2 - 1;
        return x < 0 ? 0 : x;
    }

    int TrackWidth() const { return m_width; }
    int ThumbWidth() const { return m_thumbW; }
    bool IsDragging() const { return m_dragging; }

protected:
    void DeclareMessageMap(MessageMap& map) override;

private:
    bool LoadImagePair(UINT id, CBitmap& image, CBitmap& mask, bool transparent, COLORREF key, int keyX, int keyY);
    void ReleaseChannel();
    void ReleaseThumb();
    void Paint();
    void DrawImage(HDC dc, int x, int y, int w, int h, const CBitmap& image, const CBitmap& mask, int sx,
                   bool transparent);
    void DrawFocus(HDC dc);
    int Centre() const { return CentreFor(m_pos, m_min, m_max, m_width, m_thumbW); }
    void OnMouseMove(int x);
    void Notify(UINT msg);

    int m_max = 100;
    int m_min = 0;
    int m_pos = 0;
    int m_page = 20;
    RECT m_client{};
    int m_width = 0, m_height = 0;
    int m_thumbW = 0, m_thumbH = 0;
    int m_savedX = -1, m_savedY = -1;
    int m_grab = 0;
    bool m_channelActive = false;
    bool m_thumbActive = false;
    bool m_transparentChannel = false;
    bool m_transparentThumb = false;
    bool m_thumbLoaded = false;
    bool m_channelLoaded = false;
    bool m_dragging = false;
    bool m_focused = false;
    bool m_focusShown = false;
    bool m_drawFocus = true;
    CBitmap m_channel, m_channelMask, m_activeChannel, m_activeChannelMask;
    CBitmap m_thumb, m_thumbMask, m_activeThumb, m_activeThumbMask, m_saved;
};
