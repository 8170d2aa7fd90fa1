// Skinned message box: a title, a message and one or two buttons. Returns 1
// for the first (yes) button and 2 for the second (no) button; nothing else
// ends it.
#pragma once
#include "fw_dialog.h"
#include "skin_button.h"
#include "tp_static.h"

class NotifyDlg : public CDialog {
public:
    explicit NotifyDlg(CWnd* parent = nullptr);
    ~NotifyDlg() override;
    void SetTitle(const wchar_t* title) { m_title = title; }
    void SetMessage(const wchar_t* message) { m_message = message; }
    void SetTwoButtons(int two) { m_twoButtons = two; }

    BOOL PreTranslateMessage(MSG* msg) override;
    // True for the keys the dialog swallows (Alt+F4, Escape, Enter, Space, Ctrl+Break).
    static bool IsSwallowedKey(const MSG& msg);

protected:
    BOOL OnInitDialog() override;
    void BindControls() override;
    void DeclareMessageMap(MessageMap& map) override;
    void OnOK() override {}
    void OnCancel() override {}
    LRESULT OnEraseBackground(HDC dc);

private:
    CSkinButton m_yes, m_no;
    CTPStatic m_titleLabel, m_messageLabel;
    CBackBuffer m_back;
    unsigned m_compose = 3;
    CString m_title, m_message;
    int m_twoButtons = 0;
};
