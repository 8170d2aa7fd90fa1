// Gallery of the skinned toolkit for review: every control in its states, on
// the skin's own background. The gallery test screenshots it.
#include <windows.h>
#include <commctrl.h>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>
#include "bitmap_slider.h"
#include "loading_dlg.h"
#include "resource.h"
#include "notify_dlg.h"
#include "skin_button.h"
#include "skin_host.h"
#include "skin_list.h"
#include "tp_static.h"
#include "bitmap_ids.h"
#include "control_ids.h"

namespace {
class Gallery : public SkinHost {
public:
    std::vector<CTPStatic*> labels;
    CBitmap back;

protected:
    void DeclareMessageMap(MessageMap& map) override {
        // The first handler of a message wins: the skin background before the host's fill.
        map.On(WM_ERASEBKGND, [this](WPARAM wp, LPARAM) -> LRESULT {
            HDC dc = reinterpret_cast<HDC>(wp);
            RECT rc = GetClientRect();
            CDC mem;
            mem.CreateCompatibleDC(dc);
            CBitmap bmp;
            bmp.CreateCompatibleBitmap(dc, rc.right, rc.bottom);
            CSelect s(mem, bmp);
            mem.StretchBitmap(back, 0, 0, rc.right, rc.bottom);
            for (CTPStatic* l : labels) l->CaptureBackground(mem);
            ::BitBlt(dc, 0, 0, rc.right, rc.bottom, mem, 0, 0, SRCCOPY);
            return TRUE;
        });
        SkinHost::DeclareMessageMap(map);
    }
};

template <typename T>
T* Keep(std::vector<std::unique_ptr<CWnd>>& all, T* p) {
    all.emplace_back(p);
    return p;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    const int seconds = argc > 1 ? _wtoi(argv[1]) : 30;
    Gallery g;
    g.back.LoadBitmap(IDB_VIDEO_AREA);
    if (!g.CreateHost(0, 0, 1560, 860, L"Skin gallery (building)")) return 1;
    std::vector<std::unique_ptr<CWnd>> all;
    UINT id = 3000;

    auto label = [&](int x, int y, int w, int h, const wchar_t* text, COLORREF c, bool bold = false, UINT format = 0) {
        auto* l = Keep(all, new CTPStatic);
        l->SubclassWindow(MakeChild(g, L"STATIC", SS_OWNERDRAW, x, y, w, h, id++));
        l->SetLabelFont(L"Arial", 10);
        l->SetLabelTextColor(c);
        l->SetFontWeight(bold ? 700 : 400);
        l->AddTextFormat(format);
        l->SetWindowText(text);
        g.labels.push_back(l);
        return l;
    };
    const COLORREF white = RGB(255, 255, 255);

    // Buttons: one row per skin, one column per state.
    struct Skin {
        const wchar_t* name;
        UINT n, p, h, d, mask;
        int w, hgt;
    };
    const Skin skins[] = {
        {L"close", 236, 238, 237, 239, 0, 17, 17},          {L"full screen", 248, 250, 249, 251, 0, 17, 17},
        {L"maximise", 240, 242, 241, 243, 0, 17, 17},       {L"restore", 252, 254, 253, 255, 0, 17, 17},
        {L"minimise", 244, 246, 245, 247, 0, 17, 17},       {L"type filter", 271, 270, 0, 272, 271, 16, 16},
        {L"map hidden", 273, 275, 274, 276, 273, 19, 18},   {L"map shown", 281, 283, 282, 284, 281, 19, 18},
        {L"map expanded", 277, 279, 278, 280, 277, 19, 18}, {L"mirror / flip", 198, 200, 0, 198, 198, 51, 15},
        {L"File Open", 262, 263, 264, 265, 0, 50, 50},      {L"Save", 343, 345, 344, 346, 0, 50, 50},
        {L"Print", 347, 349, 348, 350, 0, 50, 50},          {L"Version", 324, 326, 325, 327, 0, 50, 50},
        {L"Play", 296, 298, 297, 299, 0, 63, 59},           {L"Pause", 300, 302, 301, 303, 0, 63, 59},
        {L"Stop", 304, 306, 305, 307, 0, 63, 59},           {L"Previous", 308, 310, 309, 311, 0, 42, 38},
        {L"Next", 312, 314, 313, 315, 0, 42, 38},           {L"message yes", 380, 381, 381, 0, 0, 150, 32},
        {L"message no", 376, 377, 377, 0, 0, 150, 32},
    };
    const wchar_t* states[] = {L"normal", L"hover", L"pressed", L"disabled", L"disabled+checked"};
    int x0 = 10, y = 30;
    for (int s = 0; s < 5; ++s) label(x0 + 95 + s * 70, 8, s == 4 ? 120 : 70, 16, states[s], white, true);
    CSkinButton* hoverButton = nullptr;
    for (const Skin& k : skins) {
        if (y + k.hgt > 620) {
            x0 += 460;
            y = 30;
            for (int s = 0; s < 5; ++s) label(x0 + 95 + s * 70, 8, s == 4 ? 120 : 70, 16, states[s], white, true);
        }
        if (k.w > 100) continue;  // shown below, wider
        label(x0, y, 95, 16, k.name, white);
        for (int s = 0; s < 5; ++s) {
            auto* b = Keep(all, new CSkinButton);
            b->SubclassWindow(MakeChild(g, L"BUTTON", BS_PUSHBUTTON, x0 + 95 + s * 70, y, k.w, k.hgt, id++));
            if (s == 1 && !hoverButton && k.h) hoverButton = b;
            // The hover column shows the hover picture; the one button under the
            // cursor (see below) shows it through its real hover state.
            const UINT normal = s == 1 && k.h && b != hoverButton ? k.h : k.n;
            b->SetSkinImages(normal, k.p, k.h, k.d, k.mask ? k.n : 0, k.mask, 2, 0, 0);
            if (s == 2 || s == 4) b->SetCheck(1);
            if (s >= 3) b->EnableWindow(FALSE);
        }
        y += std::max(k.hgt, 18) + 6;
    }
    // The wide message-box buttons and the tiled mode on a wider button.
    int wy = 650;
    label(10, wy, 95, 16, L"message box", white);
    for (int s = 0; s < 3; ++s) {
        auto* b = Keep(all, new CSkinButton);
        b->SubclassWindow(MakeChild(g, L"BUTTON", BS_PUSHBUTTON, 105 + s * 160, wy, 150, 32, id++));
        b->SetSkinImages(s == 2 ? IDB_NO_NORMAL : IDB_OK_NORMAL, s == 2 ? IDB_NO_PRESSED : IDB_OK_PRESSED, s == 2 ? IDB_NO_PRESSED : IDB_OK_PRESSED, 0, 0, 0, 2, 0, 0);
        if (s == 1) b->SetCheck(1);
    }
    label(10, wy + 45, 95, 16, L"tiled 3x", white);
    {
        auto* b = Keep(all, new CSkinButton);
        b->SubclassWindow(MakeChild(g, L"BUTTON", BS_PUSHBUTTON, 105, wy + 40, 57, 40, id++));
        b->SetSkinImages(IDB_CLOSE_NORMAL, IDB_CLOSE_PRESSED, IDB_CLOSE_HOVER, IDB_CLOSE_DISABLED, 0, 0, 2, 0, 0);
    }

    // Sliders.
    int sx = 930, sy = 30;
    label(sx, sy, 571, 16, L"position slider 0 / 50% / 100% / empty range / active thumb at 70%", white, true);
    const int positions[] = {0, 500, 1000, -1, 700};
    for (int i = 0; i < 5; ++i) {
        auto* sl = Keep(all, new CBitmapSlider);
        sl->SubclassWindow(MakeChild(g, L"STATIC", SS_NOTIFY, sx, sy + 22 + i * 16, 571, 9, IDC_POSITION_SLIDER));
        sl->SetChannelImages(IDB_POSITION_CHANNEL, IDB_POSITION_CHANNEL_ACTIVE, false);
        // The last one shows the thumb picture used while dragging.
        sl->SetThumbImages(i == 4 ? IDB_POSITION_THUMB_ACTIVE : IDB_POSITION_THUMB, i == 4 ? 0 : IDB_POSITION_THUMB_ACTIVE, true, RGB(255, 0, 255));
        sl->SetFocusRectOption(false);
        if (positions[i] < 0) sl->SetRange(0, 0);
        else sl->SetRange(0, 1000);
        sl->SetPosition(positions[i] < 0 ? 0 : positions[i]);
    }
    sy += 110;
    label(sx, sy, 200, 16, L"volume 0 / 4 / 10", white, true);
    for (int i = 0; i < 3; ++i) {
        auto* sl = Keep(all, new CBitmapSlider);
        sl->SubclassWindow(MakeChild(g, L"STATIC", SS_NOTIFY, sx + i * 120, sy + 22, 100, 14, IDC_VOLUME_SLIDER));
        sl->SetChannelImages(IDB_VOLUME_CHANNEL, IDB_VOLUME_CHANNEL_ACTIVE, false);
        sl->SetThumbImages(IDB_VOLUME_THUMB, IDB_VOLUME_THUMB_ACTIVE, true, RGB(255, 0, 255));
        sl->SetFocusRectOption(false);
        sl->SetRange(0, 10);
        sl->SetPosition(i == 0 ? 0 : i == 1 ? 4 : 10);
    }

    // Lists: the event list with its header check box and a selected row,
    // a long file list scrolled down, a short list without a thumb.
    CFont listFont;
    listFont.CreateFont(14, FW_NORMAL, L"Tahoma");
    int ly = sy + 60;
    label(sx, ly, 560, 16, L"event list (checked header, selected row) / scrolled / short", white, true);
    auto makeList = [&](int x, int w, UINT lid, bool check, int rows, int selected) {
        auto* l = Keep(all, new CSkinListCtrl);
        RECT r{x, ly + 22, x + w, ly + 22 + 246};
        l->Create(WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, r, &g, lid);
        l->SetFont(listFont);
        l->InitSkin(check, 16);
        l->SetColors(RGB(22, 24, 25), RGB(200, 200, 200), RGB(3, 91, 156));
        l->SetExtendedStyle(0x34);
        l->InsertColumn(0, L"Min/Sec", LVCFMT_LEFT, w / 2);
        l->InsertColumn(1, L"Rec type", LVCFMT_LEFT, w / 2);
        const wchar_t* types[] = {L"Normal", L"Event", L"Park", L"Photo"};
        for (int i = 0; i < rows; ++i) {
            wchar_t t[32];
            wsprintfW(t, L"%02d:%02d", (i / 60) % 60, i % 60);
            l->InsertItem(i, t);
            l->SetItemText(i, 1, types[i % 4]);
            if (i % 3 == 0) l->SetCheck(i, true);
        }
        if (selected >= 0) l->SetItemState(selected, LVIS_SELECTED, LVIS_SELECTED);
        l->ShowScrollbar(true);
        return l;
    };
    auto* ev = makeList(sx, 200, 1073, true, 40, 2);
    ev->SetHeaderCheck(2);
    auto* longList = makeList(sx + 225, 160, 1066, false, 2000, 1003);
    longList->EnsureVisible(1003);
    longList->Scrollbar().UpdateThumb();
    makeList(sx + 410, 120, 1067, false, 3, -1);

    // Labels as the main window sets them.
    int lab = ly + 290;
    label(sx, lab, 90, 18, L"X : 0.0123", RGB(250, 0, 250));
    label(sx, lab + 19, 90, 18, L"Y : -0.5000", RGB(0, 250, 250));
    label(sx, lab + 37, 90, 18, L"Z : 1.0000", RGB(250, 250, 0));
    label(sx + 110, lab, 270, 27, L"2024-05-01 12:00:00 / 2024-05-01 12:01:00", white, true,
          DT_VCENTER | DT_SINGLELINE);
    label(sx + 110, lab + 30, 130, 15, L"A label whose text is far longer than its rectangle", white);

    ::RedrawWindow(g, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    if (hoverButton) {
        RECT r = hoverButton->GetWindowRect();
        ::SetCursorPos(r.left + 3, r.top + 3);
        hoverButton->SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    }

    // The busy window, animating, and a message box with two buttons.
    CLoadingDlg busy;
    if (!busy.CreateModeless(&g)) fwprintf(stderr, L"gallery: no busy window (%lu)\n", ::GetLastError());
    RECT gr = g.GetWindowRect();
    ::SetWindowPos(busy, nullptr, gr.left + 1400, gr.top + 700, 100, 100, SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(busy, SW_SHOWNA);
    busy.StartAnimation(true);
    NotifyDlg note(&g);
    note.SetTitle(L"Close");
    note.SetMessage(L"Do you want to close PC viewer?");
    note.SetTwoButtons(1);
    if (!note.Create(IDD_NOTIFY, &g)) fwprintf(stderr, L"gallery: no message box (%lu)\n", ::GetLastError());
    ::SetWindowPos(note, nullptr, gr.left + 930, gr.top + 640, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    note.ShowWindow(SW_SHOWNA);

    // The final title tells the test that everything is in place.
    g.SetWindowText(L"Skin gallery");
    // The two popups are shown inside the gallery as child windows, next to the
    // controls (as owned popups of this plain window they did not reach the
    // display in the screenshot; the viewer's own popups do).
    for (HWND w : {note.GetSafeHwnd(), busy.GetSafeHwnd()}) {
        RECT pr;
        ::GetWindowRect(w, &pr);
        ::SetWindowLongPtrW(w, GWL_STYLE, (::GetWindowLongPtrW(w, GWL_STYLE) & ~WS_POPUP) | WS_CHILD);
        ::SetParent(w, g);
        ::MapWindowPoints(nullptr, g, reinterpret_cast<POINT*>(&pr), 2);
        ::SetWindowPos(w, HWND_TOP, pr.left, pr.top, 0, 0,
                       SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    Pump(100);
    DWORD end = ::GetTickCount() + static_cast<DWORD>(seconds) * 1000;
    while (static_cast<int>(end - ::GetTickCount()) > 0 && ::IsWindow(g)) Pump(50);
    busy.StartAnimation(false);
    return 0;
}
