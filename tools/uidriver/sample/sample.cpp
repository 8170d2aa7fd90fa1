// A small dialog for the UI driver's test: a button that counts presses, a
// check box, texts, an edit, a combo box, a list view with check boxes, a
// question box and a second window that appears a moment after a press.
#include <windows.h>
#include <commctrl.h>

#include <cstdarg>
#include <cwchar>
#include <initializer_list>

#include "sample.h"

namespace {

const UINT kPing = WM_USER + 0x25;  // answers wParam + lParam
int g_presses = 0;
HWND g_popup = nullptr;

void set_text(HWND dlg, int id, const wchar_t* f, ...) {
    wchar_t buf[256];
    va_list ap;
    va_start(ap, f);
    _vsnwprintf(buf, 255, f, ap);
    va_end(ap);
    buf[255] = 0;
    SetDlgItemTextW(dlg, id, buf);
}

INT_PTR CALLBACK popup_proc(HWND h, UINT m, WPARAM w, LPARAM) {
    if (m == WM_INITDIALOG) return TRUE;
    if (m == WM_COMMAND && (LOWORD(w) == IDCANCEL || LOWORD(w) == IDOK)) {
        DestroyWindow(h);
        g_popup = nullptr;
        return TRUE;
    }
    return FALSE;
}

void fill_list(HWND lv) {
    ListView_SetExtendedListViewStyle(lv, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    const wchar_t* heads[] = {L"Name", L"Size", L"Kind"};
    for (int c = 0; c < 3; ++c) {
        LVCOLUMNW col = {};
        col.mask = LVCF_TEXT | LVCF_WIDTH;
        col.cx = c ? 120 : 180;
        col.pszText = (LPWSTR)heads[c];
        ListView_InsertColumn(lv, c, &col);
    }
    const wchar_t* rows[][3] = {
        {L"alpha.avi", L"100", L"front"},
        {L"beta.avi", L"2048", L"rear"},
        {L"gamma\tjpg", L"77", L"photo"},
        {L"\xB378\xD0C0.avi", L"5", L"front"},  // a Korean name
    };
    for (int r = 0; r < 4; ++r) {
        LVITEMW it = {};
        it.mask = LVIF_TEXT;
        it.iItem = r;
        it.pszText = (LPWSTR)rows[r][0];
        ListView_InsertItem(lv, &it);
        for (int c = 1; c < 3; ++c) ListView_SetItemText(lv, r, c, (LPWSTR)rows[r][c]);
    }
    ListView_SetCheckState(lv, 1, TRUE);
}

INT_PTR CALLBACK sample_proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    switch (m) {
        case WM_INITDIALOG: {
            fill_list(GetDlgItem(h, IDC_LIST));
            HWND cb = GetDlgItem(h, IDC_COMBO);
            for (const wchar_t* s : {L"Small", L"Medium", L"Large"}) SendMessageW(cb, CB_ADDSTRING, 0, (LPARAM)s);
            SendMessageW(cb, CB_SETCURSEL, 1, 0);
            return TRUE;
        }
        case WM_COMMAND:
            switch (LOWORD(w)) {
                case IDC_PRESS: set_text(h, IDC_STATUS, L"Pressed %d", ++g_presses); return TRUE;
                case IDC_OPTION:
                    set_text(h, IDC_EVENT, L"Option %d", IsDlgButtonChecked(h, IDC_OPTION) == BST_CHECKED ? 1 : 0);
                    return TRUE;
                case IDC_ASK:
                    set_text(h, IDC_STATUS, L"Answer %d", MessageBoxW(h, L"Proceed?", L"Sample Question", MB_OKCANCEL));
                    return TRUE;
                case IDC_POPUP: SetTimer(h, 1, 300, nullptr); return TRUE;
                case IDC_COMBO:
                    if (HIWORD(w) == CBN_SELCHANGE)
                        set_text(h, IDC_EVENT, L"Combo %d", (int)SendMessageW((HWND)l, CB_GETCURSEL, 0, 0));
                    return TRUE;
                case ID_SAMPLE_CMD: set_text(h, IDC_STATUS, L"Command %d", HIWORD(w)); return TRUE;
                case IDCANCEL: EndDialog(h, 7); return TRUE;
            }
            return FALSE;
        case WM_TIMER:
            KillTimer(h, w);
            if (!g_popup)
                g_popup = CreateDialogW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_POPUP), h, popup_proc);
            return TRUE;
        case WM_NOTIFY: {
            NMLISTVIEW* nm = (NMLISTVIEW*)l;
            if (nm->hdr.idFrom == IDC_LIST && nm->hdr.code == LVN_ITEMCHANGED && (nm->uChanged & LVIF_STATE))
                set_text(h, IDC_EVENT, L"Row %d state 0x%x", nm->iItem, nm->uNewState);
            return FALSE;
        }
        case kPing:
            set_text(h, IDC_EVENT, L"Ping %lld %lld", (long long)w, (long long)l);
            SetWindowLongPtrW(h, DWLP_MSGRESULT, (LONG_PTR)(w + l));
            return TRUE;
        case WM_CLOSE: EndDialog(h, 0); return TRUE;
    }
    return FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    // The dialog has a class of its own, so that tests find it by class name.
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    GetClassInfoExW(nullptr, WC_DIALOG, &wc);
    wc.cbSize = sizeof wc;
    wc.hInstance = inst;
    wc.lpszClassName = L"UIDriver.Sample";
    if (!RegisterClassExW(&wc)) return 1;
    return (int)DialogBoxParamW(inst, MAKEINTRESOURCEW(IDD_SAMPLE), nullptr, sample_proc, 0);
}
