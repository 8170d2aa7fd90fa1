// Recording list with the dark skin: list colours and the header check-box
// settings. (Custom-drawn rows, the bitmap scrollbar and the header check box
// come with the list skin itself.)
#pragma once
#include "fw_controls.h"

class CSkinListCtrl : public CListCtrl {
public:
    void InitSkin(bool headerCheckBox, int checkBoxSize) {
        m_headerCheckBox = headerCheckBox;
        m_checkBoxSize = checkBoxSize;
    }
    void SetColors(COLORREF back, COLORREF text, COLORREF selection) {
        m_back = back;
        m_text = text;
        m_selection = selection;
        SetBkColor(back);
        SetTextBkColor(back);
        SetTextColor(text);
    }
    bool HasHeaderCheckBox() const { return m_headerCheckBox; }
    COLORREF SelectionColor() const { return m_selection; }

private:
    bool m_headerCheckBox = false;
    int m_checkBoxSize = 16;
    COLORREF m_back = RGB(255, 255, 255), m_text = RGB(0, 0, 0), m_selection = RGB(0, 0, 128);
};
