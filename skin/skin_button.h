// Push button drawn entirely from bitmaps: one image per state, an optional
// mask giving the window its shape, hover tracking and an owner-set checked
// state.
#pragma once
#include "fw_controls.h"
#include "fw_gdi.h"

class CSkinButton : public CButton {
public:
    CSkinButton();
    // Resource ids (0 = none), draw mode (0 actual size, 1 stretched, 2 tiled),
    // border flag and focus margin.
    void SetSkinImages(UINT normal, UINT pressed, UINT hover, UINT disabled, UINT focus, UINT mask, short mode,
                       short border, short margin);
    void SetTipText(const wchar_t* text);
    CToolTipCtrl* ToolTip() { return m_tipCreated ? &m_tip : nullptr; }

    bool IsChecked() const { return m_checked; }
    bool IsHover() const { return m_hover; }
    short DrawMode() const { return m_mode; }
    short FocusMargin() const { return m_margin; }
    HRGN Region() const { return m_region; }

    // Region of the pixels of bmp that differ from the key colour, as
    // one-pixel-high runs.
    static HRGN RegionFromMask(HBITMAP bmp, COLORREF key);

protected:
    void PreSubclassWindow() override { ModifyStyle(0, BS_OWNERDRAW); }
    void DeclareMessageMap(MessageMap& map) override;
    bool OnChildNotify(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    void Draw(const DRAWITEMSTRUCT& di);
    void PlaceImage(HDC dc, const RECT& r, const CBitmap& image);
    void Relay(UINT msg, WPARAM wp, LPARAM lp);
    bool Pushed() const { return (SendMessage(BM_GETSTATE) & BST_PUSHED) != 0; }

private:
    bool m_checked = false;
    bool m_hover = false;
    bool m_held = false;
    CToolTipCtrl m_tip;
    bool m_tipCreated = false;
    CBitmap m_normal, m_pressed, m_disabled, m_mask, m_hoverImg, m_focus;
    short m_margin = 0;
    COLORREF m_textColor;
    HRGN m_region = nullptr;  // the window's shape, owned by the window once set
    CRgn m_shape;             // a copy of it to clip drawing to
    int m_border = 0;
    short m_mode = 1;
};
