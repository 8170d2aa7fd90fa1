// The recorder drive dialog: lists the removable drives (refilled whenever the
// list drops down, so that a card inserted meanwhile appears) and hands back
// the chosen letter and root path text ("E:\").
#pragma once
#include "fw_controls.h"
#include "fw_dialog.h"
#include "fw_gdi.h"
#include "skin_button.h"
#include "tp_static.h"

class SelectDriveDlg : public CDialog {
public:
    explicit SelectDriveDlg(CWnd* parent = nullptr);
    ~SelectDriveDlg() override;

    // After OK: the chosen letter (0 when no entry was selected) and root text.
    wchar_t ChosenLetter() const { return m_chosenLetter; }
    const CString& ChosenRoot() const { return m_chosenRoot; }

    // Roots ("A:\" ...) of the drives in a logical-drive bit mask whose type
    // query says removable, in letter order.
    template <typename IsRemovable>
    static int RemovableRoots(DWORD mask, IsRemovable isRemovable, wchar_t letters[26]) {
        int n = 0;
        for (int i = 0; i < 26; ++i) {
            if (!(mask & (1u << i))) continue;
            wchar_t root[4] = {static_cast<wchar_t>(L'A' + i), L':', L'\\', 0};
            if (isRemovable(root)) letters[n++] = root[0];
        }
        return n;
    }

protected:
    BOOL OnInitDialog() override;
    void BindControls() override;
    void DeclareMessageMap(MessageMap& map) override;
    void OnOK() override;

private:
    void FillDriveList();
    LRESULT OnEraseBackground(HDC dc);

    CSkinButton m_ok, m_cancel;
    CTPStatic m_title, m_driveLabel;
    CComboBox m_drives;
    CBackBuffer m_back;  // background with the labels, built once
    wchar_t m_letters[26] = {};
    int m_letterCount = 0;
    wchar_t m_chosenLetter = 0;
    CString m_chosenRoot;
};
