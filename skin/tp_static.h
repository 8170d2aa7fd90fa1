// Text label of the skin: draws its window text over a copy of the parent's
// pixels beneath it, captured whenever the parent paints its background.
#pragma once
#include "fw_controls.h"
#include "fw_gdi.h"

class CTPStatic : public CStatic {
public:
    void SetLabelTextColor(COLORREF c) {
        m_textColor = c;
        if (m_hWnd) Invalidate(FALSE);
    }
    void SetLabelFont(const wchar_t* face, int size) {
        m_face = face;
        m_size = size;
    }
    void AddTextFormat(UINT flags) { m_format |= flags; }
    void SetFontWeight(int weight) { m_weight = weight; }
    // Takes the parent's pixels under the label from dc, a context over the
    // parent's whole client area.
    virtual void CaptureBackground(HDC dc);

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
    COLORREF m_textColor = RGB(0, 0, 0);
    CString m_face = L"Arial";
    int m_size = 10;
    UINT m_format = 0;
    int m_weight = 400;
    CFont m_font;
    int m_fontHeight = 0, m_fontWeight = 0;
    CString m_fontFace;
};
