// Text label of the skin: draws its window text over a copy of the parent's
// pixels beneath it, captured whenever the parent paints its background.
#pragma once
#include "fw_controls.h"
#include "fw_gdi.h"

class CTPStatic : public CStatic {
public:
    void SetLabelTextColor(COLORREF c) {
        m_textColor = c;
        m_drawnCurrent = false;
        if (m_hWnd) Invalidate(FALSE);
    }
    void SetLabelFont(const wchar_t* face, int size) {
        m_face = face;
        m_size = size;
        m_drawnCurrent = false;
    }
    void AddTextFormat(UINT flags) {
        m_format |= flags;
        m_drawnCurrent = false;
    }
    void SetFontWeight(int weight) {
        m_weight = weight;
        m_drawnCurrent = false;
    }
    // Takes the parent's pixels under the label from dc, a context over the
    // parent's whole client area.
    virtual void CaptureBackground(HDC dc);
    // The same, where the parent numbers the pictures it composes (any number
    // but 0): nothing is taken again from the picture already taken from,
    // while the label has not moved or changed size.
    void CaptureBackground(HDC dc, unsigned pictureNumber);

    // Font height for a point size at a device resolution (dots per inch).
    static int FontHeight(int points, int dpi);

    COLORREF TextColor() const { return m_textColor; }
    // Height of the font of the last draw (0 before the first).
    int FontHeightInUse() const { return m_fontHeight; }
    UINT TextFormat() const { return m_format; }

protected:
    void DeclareMessageMap(MessageMap& map) override;
    bool OnChildNotify(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    void Draw(const DRAWITEMSTRUCT& di);
    void ReleaseBackground();

private:
    CBackBuffer m_back;
    unsigned m_backPicture = 0;  // the parent's picture number taken from, 0 unknown
    RECT m_backRect{};
    // The label as last drawn (background and text), shown again while its
    // text, background, font, colour and format are as they were.
    CBackBuffer m_drawn;
    bool m_drawnCurrent = false;
    CString m_drawnText;
    COLORREF m_textColor = RGB(0, 0, 0);
    CString m_face = L"Arial";
    int m_size = 10;
    UINT m_format = 0;
    int m_weight = 400;
    CFont m_font;
    int m_fontHeight = 0, m_fontWeight = 0;
    CString m_fontFace;
};
