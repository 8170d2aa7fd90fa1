#include "skin_list.h"
#include <algorithm>
#include "fw_app.h"
#include "bitmap_ids.h"

namespace {
// Whether the row being painted was selected; only valid between an item's
// pre-paint and post-paint notifications (rows paint one after another).
bool g_rowWasSelected = false;
const COLORREF kKey = RGB(255, 0, 255);
}  // namespace

// ---------------------------------------------------------------- scrollbar

bool CVerticalScrollbar::Create(CWnd* parent, UINT id) {
    BeginCreate(this);
    HWND w = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | WS_GROUP | SS_NOTIFY, 0, 0, 0, 0,
                               parent->GetSafeHwnd(), reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                               CWinApp::ResourceHandle(), nullptr);
    EndCreate();
    if (w && !m_loaded) LoadImages();
    return w != nullptr;
}

void CVerticalScrollbar::LoadImages() {
    m_up.LoadBitmap(IDB_SCROLL_UP);
    m_down.LoadBitmap(IDB_SCROLL_DOWN);
    m_thumb.LoadBitmap(IDB_SCROLL_THUMB);
    m_track.LoadBitmap(IDB_SCROLL_TRACK);
    m_upH = m_up.GetSize().cy;
    m_downH = m_down.GetSize().cy;
    m_thumbH = m_thumb.GetSize().cy;
    m_thumbTop = m_upH;
    m_loaded = true;
}

void CVerticalScrollbar::ListScroll(HWND list, int& pos, int& limit) {
    pos = limit = 0;
    if (!list) return;
    // Report view scrolls by rows: the position is the top row, the limit the
    // top row that shows the last row at the bottom.
    const int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    const int page = static_cast<int>(::SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
    pos = static_cast<int>(::SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
    limit = std::max(0, count - page);
}

void CVerticalScrollbar::UpdateThumb() {
    if (!m_hWnd) return;
    int P = 0, M = 0;
    ListScroll(m_list ? m_list->GetSafeHwnd() : nullptr, P, M);
    const int L = Height() - m_upH - m_downH - m_thumbH;
    int top = M > 0 ? m_upH + L * P / M : m_upH;
    top = std::max(MinTop(), std::min(top, MaxTop()));
    // A thumb shown where it was needs no drawing (every paint of the list asks).
    if (top == m_thumbTop && (M != 0) == m_thumbShown && m_thumbDrawn) return;
    m_thumbTop = top;
    Redraw();
}

void CVerticalScrollbar::Draw(HDC target) {
    RECT rc = GetClientRect();
    const int H = rc.bottom;
    int P = 0, M = 0;
    ListScroll(m_list ? m_list->GetSafeHwnd() : nullptr, P, M);
    const bool shown = M != 0;
    // The face is kept and drawn anew only when the thumb or the size changed.
    bool kept = false;
    if (!m_face.Ensure(target, rc.right, H, &kept)) return;
    if (!kept || m_faceThumbTop != m_thumbTop || m_faceThumbShown != shown) {
        CDC dc(m_face);  // off-screen already
        dc.FillSolidRect(rc, RGB(74, 82, 107));
        dc.DrawBitmap(m_up, 0, 0);
        dc.DrawBitmap(m_down, 0, H - m_downH);
        dc.StretchBitmap(m_track, 0, m_upH, m_track.GetSize().cx, H - m_upH - m_downH);
        if (shown) dc.DrawBitmap(m_thumb, 0, m_thumbTop);
        m_faceThumbTop = m_thumbTop;
        m_faceThumbShown = shown;
    }
    ::BitBlt(target, 0, 0, rc.right, H, m_face, 0, 0, SRCCOPY);
    m_thumbShown = shown;
    m_thumbDrawn = true;
}

void CVerticalScrollbar::Redraw() {
    if (!m_hWnd || !::IsWindowVisible(m_hWnd)) {
        m_thumbDrawn = false;
        return;
    }
    CClientDC dc(m_hWnd);
    Draw(dc);
}

void CVerticalScrollbar::Command(WPARAM code) {
    if (m_list && m_list->GetSafeHwnd()) m_list->SendMessage(WM_VSCROLL, code, 0);
    UpdateThumb();
}

void CVerticalScrollbar::DeclareMessageMap(MessageMap& map) {
    map.On(WM_CREATE, [this](WPARAM, LPARAM) -> LRESULT {
        LRESULT r = Default();
        LoadImages();
        return r;
    });
    map.On(WM_PAINT, [this](WPARAM, LPARAM) -> LRESULT {
        CSelfPaintDC dc(m_hWnd, true);
        Draw(dc);
        return 0;
    });
    map.On(WM_LBUTTONDOWN, [this](WPARAM, LPARAM lp) -> LRESULT {
        const int x = static_cast<short>(LOWORD(lp)), y = static_cast<short>(HIWORD(lp));
        ::SetCapture(m_hWnd);
        const int H = Height();
        if (In(x, y, 0, m_thumbTop, m_thumb.GetSize())) {
            m_dragging = true;
        } else if (In(x, y, 0, H - m_upH, m_down.GetSize())) {
            m_downPressed = true;
            SetTimer(TIMER_SCROLL_DELAY, 250);
        } else if (In(x, y, 0, 0, m_up.GetSize())) {
            m_upPressed = true;
            SetTimer(TIMER_SCROLL_DELAY, 250);
        }
        return Default();
    });
    map.On(WM_TIMER, [this](WPARAM id, LPARAM) -> LRESULT {
        if (id == TIMER_SCROLL_DELAY) {
            KillTimer(TIMER_SCROLL_DELAY);
            if (m_upPressed || m_downPressed) SetTimer(TIMER_SCROLL_REPEAT, 50);
        } else if (id == TIMER_SCROLL_REPEAT) {
            if (m_downPressed) Command(SB_LINEDOWN);
            else if (m_upPressed) Command(SB_LINEUP);
        }
        return 0;
    });
    map.On(WM_MOUSEMOVE, [this](WPARAM, LPARAM lp) -> LRESULT {
        if (m_dragging) {
            const int y = static_cast<short>(HIWORD(lp));
            m_thumbTop = y - m_thumb.GetSize().cx / 2;
            int P = 0, M = 0;
            HWND list = m_list ? m_list->GetSafeHwnd() : nullptr;
            ListScroll(list, P, M);
            const int L = Height() - m_upH - m_downH - m_thumbH;
            int delta = 0;
            if (M != 0 && L != 0) delta = (m_thumbTop - m_upH) * M / L - P;
            if (list && delta != 0) {
                RECT row{LVIR_BOUNDS, 0, 0, 0};
                int rowH = 0;
                if (::SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row)))
                    rowH = row.bottom - row.top;
                ::SendMessageW(list, LVM_SCROLL, 0, static_cast<LPARAM>(delta * rowH));
            }
            m_thumbTop = std::max(MinTop(), std::min(m_thumbTop, MaxTop()));
            Redraw();
        }
        return Default();
    });
    map.On(WM_LBUTTONUP, [this](WPARAM, LPARAM lp) -> LRESULT {
        const int x = static_cast<short>(LOWORD(lp)), y = static_cast<short>(HIWORD(lp));
        UpdateThumb();
        KillTimer(TIMER_SCROLL_REPEAT);
        KillTimer(TIMER_SCROLL_DELAY);
        ::ReleaseCapture();
        const int H = Height();
        bool done = false;
        if (In(x, y, 0, 0, m_up.GetSize()) && m_upPressed) {
            Command(SB_LINEUP);
            done = true;
        } else if (In(x, y, 0, H - m_upH, m_down.GetSize()) && m_downPressed) {
            Command(SB_LINEDOWN);
            done = true;
        }
        if (!done && !In(x, y, 0, m_thumbTop, m_thumb.GetSize()) && !m_dragging)
            Command(m_thumbTop < y ? SB_PAGEDOWN : SB_PAGEUP);
        m_dragging = m_upPressed = m_downPressed = false;
        return Default();
    });
}

// ---------------------------------------------------------------- header

CSkinHeaderCtrl::CSkinHeaderCtrl() {
    const UINT ids[5] = {IDB_HEADER_CHECK_16, IDB_HEADER_CHECK_10, IDB_HEADER_LEFT, IDB_HEADER_RIGHT, IDB_HEADER_FILL};
    for (int i = 0; i < 5; ++i) m_bitmaps[i].LoadBitmap(ids[i]);
}

CSkinHeaderCtrl::~CSkinHeaderCtrl() {
    if (m_images) ::ImageList_Destroy(m_images);
}

void CSkinHeaderCtrl::SetupCheckBox(HWND owner, bool enabled, int listId, int checkSize) {
    m_checkSize = checkSize > 15 ? 16 : 10;
    if (m_images) ::ImageList_Destroy(m_images);
    m_images = ::ImageList_Create(m_checkSize, m_checkSize, ILC_COLOR24 | ILC_MASK, 3, 0);
    if (enabled && m_images) {
        // The image list keeps its own copy; the strip stays with the header.
        HBITMAP strip = static_cast<HBITMAP>(::CopyImage(m_bitmaps[m_checkSize == 16 ? 0 : 1], IMAGE_BITMAP, 0, 0, 0));
        if (strip) {
            ::ImageList_AddMasked(m_images, strip, kKey);
            ::DeleteObject(strip);
        }
    }
    if (m_hWnd) SendMessage(HDM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(m_images));
    m_owner = owner;
    m_listId = listId;
    m_checkEnabled = enabled;
    m_faceCurrent = false;
}

void CSkinHeaderCtrl::SetCheckState(int state) {
    m_checkState = state;
    m_faceCurrent = false;
    if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CSkinHeaderCtrl::Paint() {
    CSelfPaintDC paint(m_hWnd, true);
    RECT rc = GetClientRect();
    bool kept = false;
    if (!m_face.Ensure(paint, rc.right, rc.bottom, &kept)) return;
    if (!m_faceCurrent || !kept) {
        DrawFace(rc);
        m_faceCurrent = true;
    }
    ::BitBlt(paint, 0, 0, rc.right, rc.bottom, m_face, 0, 0, SRCCOPY);
}

namespace {
// Window messages after which a control looks as it was drawn: paint
// requests and questions of every window class.
bool IsPaintOrQuestion(UINT msg) {
    switch (msg) {
        case WM_PAINT:
        case WM_ERASEBKGND:
        case WM_NCPAINT:
        case WM_NCHITTEST:
        case WM_SETCURSOR:
        case WM_GETDLGCODE:
        case WM_GETFONT:
        case WM_GETTEXT:
        case WM_GETTEXTLENGTH:
        case WM_GETOBJECT: return true;
        default: return false;
    }
}
}  // namespace

bool CSkinHeaderCtrl::LeavesFaceAsDrawn(UINT msg) {
    if (IsPaintOrQuestion(msg)) return true;
    switch (msg) {
        case HDM_GETITEMW:
        case HDM_GETITEMA:
        case HDM_GETITEMRECT:
        case HDM_GETITEMCOUNT:
        case HDM_GETIMAGELIST:
        case HDM_GETORDERARRAY:
        case HDM_HITTEST: return true;
        default: return false;
    }
}

LRESULT CSkinHeaderCtrl::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (!LeavesFaceAsDrawn(msg)) m_faceCurrent = false;
    return CHeaderCtrl::WindowProc(msg, wp, lp);
}

void CSkinHeaderCtrl::DrawFace(const RECT& rc) {
    CDC dc(m_face);  // off-screen already
    dc.FillSolidRect(rc, RGB(0, 0, 0));
    ::SetTextColor(dc, RGB(199, 198, 198));
    ::SetBkMode(dc, TRANSPARENT);
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(::GetParent(m_hWnd), WM_GETFONT, 0, 0));
    CSelect sf(dc, font);
    const int n = GetItemCount();
    for (int i = 0; i < n; ++i) {
        wchar_t text[256] = {};
        HDITEMW item{};
        item.mask = HDI_TEXT | HDI_FORMAT | HDI_ORDER;
        item.pszText = text;
        item.cchTextMax = 255;
        if (!SendMessage(HDM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item))) continue;
        RECT r{};
        SendMessage(HDM_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r));
        if (item.iOrder == 0 && m_images)
            ::ImageList_DrawEx(m_images, m_checkState, dc, 2, 2, m_checkSize, m_checkSize, CLR_NONE, CLR_NONE,
                               ILD_TRANSPARENT);
        ::InflateRect(&r, -2, -2);
        ::DrawTextW(dc, text, -1, &r, 0x8821);
    }
}

void CSkinHeaderCtrl::DeclareMessageMap(MessageMap& map) {
    map.On(WM_PAINT, [this](WPARAM, LPARAM) -> LRESULT {
        Paint();
        return 0;
    });
    map.On(WM_ERASEBKGND, [](WPARAM, LPARAM) -> LRESULT { return FALSE; });
    map.On(WM_LBUTTONDOWN, [this](WPARAM, LPARAM lp) -> LRESULT {
        const int x = static_cast<short>(LOWORD(lp)), y = static_cast<short>(HIWORD(lp));
        if (x >= 6 && x < 19 && y >= 4 && y < 17) {
            m_checkState = m_checkState == 1 ? 2 : 1;
            ::InvalidateRect(m_hWnd, nullptr, FALSE);
            if (m_owner && m_checkEnabled)
                ::PostMessageW(m_owner, WM_LIST_HEADER_CHECK,
                               MAKEWPARAM(LIST_HEADER_CHECK_ALL, static_cast<WORD>(m_listId)),
                               static_cast<LPARAM>(m_checkState));
        }
        return Default();
    });
}

// ---------------------------------------------------------------- list

void CSkinListCtrl::LoadHeaderImage() {
    if (m_headerImage) return;
    m_headerImage.LoadBitmap(IDB_HEADER_BACKGROUND);
    m_headerHeight = m_headerImage.GetSize().cy;
}

void CSkinListCtrl::PreSubclassWindow() {
    // Lists are created and then attached: the header image comes with the window.
    LoadHeaderImage();
}

void CSkinListCtrl::InitSkin(bool headerCheckBox, int checkBoxSize) {
    ::InitializeFlatSB(m_hWnd);
    ::FlatSB_EnableScrollBar(m_hWnd, SB_BOTH, ESB_DISABLE_BOTH);
    HWND parent = ::GetParent(m_hWnd);
    CWnd* parentObj = CWnd::FromHandlePermanent(parent);
    if (!m_scrollbar.GetSafeHwnd()) {
        if (parentObj) {
            m_scrollbar.Create(parentObj, 0xFFFF);
        } else {
            // A parent without an object of its own: create through a stand-in.
            struct Host : CWnd {
                explicit Host(HWND w) { m_hWnd = w; }
                ~Host() override { m_hWnd = nullptr; }
            } host(parent);
            m_scrollbar.Create(&host, 0xFFFF);
        }
    }
    m_scrollbar.SetList(this);
    if (!m_header.GetSafeHwnd()) m_header.SubclassWindow(GetHeaderCtrl());
    m_header.SetupCheckBox(parent, headerCheckBox, static_cast<int>(GetDlgCtrlID()), checkBoxSize);
    ShowScrollbar(true);
}

void CSkinListCtrl::ShowScrollbar(bool show) {
    if (!m_scrollbar.GetSafeHwnd()) return;
    RECT r = GetWindowRect();
    HWND parent = ::GetParent(m_hWnd);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    m_placing = true;
    m_scrollbar.UpdateThumb();
    ::SetWindowPos(m_scrollbar, m_hWnd, r.right, r.top + m_headerHeight, 11,
                   std::max(0, static_cast<int>(r.bottom - r.top) - m_headerHeight),
                   SWP_NOACTIVATE | (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
    m_scrollbar.UpdateThumb();
    m_placing = false;
}

void CSkinListCtrl::Paint() {
    CSelfPaintDC paint(m_hWnd);
    RECT rc = GetClientRect();
    if (HWND header = GetHeaderCtrl()) {
        if (::IsWindowVisible(header)) {
            RECT h{};
            ::GetWindowRect(header, &h);
            ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&h), 2);
            ::ExcludeClipRect(paint, h.left, h.top, h.right, h.bottom);
        }
    }
    SyncThumb();
    const RECT& upd = paint.PaintRect();
    bool kept = false;
    if (!m_rows.Ensure(paint, rc.right, rc.bottom, &kept)) return;
    if (!m_rowsCurrent || !kept) {
        // Rows outside the area to repaint are left alone (a line scroll
        // repaints one row, not all): the kept rows are current only when
        // drawn whole.
        const COLORREF back = static_cast<COLORREF>(SendMessage(LVM_GETBKCOLOR));
        const int saved = ::SaveDC(m_rows);
        ::IntersectClipRect(m_rows, upd.left, upd.top, upd.right, upd.bottom);
        RECT clip{};
        ::GetClipBox(m_rows, &clip);
        CDC(m_rows).FillSolidRect(clip, back);
        m_drawingRows = true;
        SetTextBkColor(back);
        DefWindowProc(WM_PAINT, reinterpret_cast<WPARAM>(m_rows.GetSafeHdc()), 0);
        m_drawingRows = false;
        ::RestoreDC(m_rows, saved);
        m_rowsCurrent = upd.left <= 0 && upd.top <= 0 && upd.right >= rc.right && upd.bottom >= rc.bottom;
    }
    ::BitBlt(paint, upd.left, upd.top, upd.right - upd.left, upd.bottom - upd.top, m_rows, upd.left, upd.top, SRCCOPY);
}

bool CSkinListCtrl::LeavesRowsAsDrawn(UINT msg) {
    if (IsPaintOrQuestion(msg)) return true;
    switch (msg) {
        case LVM_GETBKCOLOR:
        case LVM_GETTEXTCOLOR:
        case LVM_GETTEXTBKCOLOR:
        case LVM_GETITEMCOUNT:
        case LVM_GETTOPINDEX:
        case LVM_GETCOUNTPERPAGE:
        case LVM_GETNEXTITEM:
        case LVM_GETITEMSTATE:
        case LVM_GETITEMTEXTW:
        case LVM_GETITEMTEXTA:
        case LVM_GETITEMW:
        case LVM_GETITEMA:
        case LVM_GETITEMRECT:
        case LVM_GETSUBITEMRECT:
        case LVM_GETHEADER:
        case LVM_GETCOLUMNWIDTH:
        case LVM_GETSELECTEDCOUNT:
        case LVM_GETSELECTIONMARK:
        case LVM_GETEXTENDEDLISTVIEWSTYLE:
        case LVM_GETITEMPOSITION:
        case LVM_GETORIGIN:
        case LVM_GETVIEWRECT:
        case LVM_HITTEST:
        case LVM_SUBITEMHITTEST: return true;
        default: return false;
    }
}

LRESULT CSkinListCtrl::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (!m_drawingRows && !LeavesRowsAsDrawn(msg)) m_rowsCurrent = false;
    return CListCtrl::WindowProc(msg, wp, lp);
}

bool CSkinListCtrl::OnChildNotify(UINT msg, WPARAM, LPARAM lp, LRESULT& result) {
    if (msg != WM_NOTIFY) return false;
    auto* nm = reinterpret_cast<NMHDR*>(lp);
    if (nm->code != static_cast<UINT>(NM_CUSTOMDRAW)) return false;
    auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(lp);
    switch (cd->nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            // Rows are coloured one by one only when a selected one is in
            // view: the others draw as the list draws them anyway, and a
            // notification for every row of every list costs a full repaint
            // of the window more than the rows' own drawing.
            result = SelectedRowInView() ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
            return true;
        case CDDS_ITEMPREPAINT: {
            const int item = static_cast<int>(cd->nmcd.dwItemSpec);
            g_rowWasSelected = (GetItemState(item, LVIS_SELECTED) & LVIS_SELECTED) != 0;
            if (g_rowWasSelected) {
                cd->clrTextBk = m_selection;
                SetItemState(item, 0, LVIS_SELECTED);
                cd->nmcd.uItemState &= ~CDIS_SELECTED;
            }
            result = CDRF_NOTIFYPOSTPAINT;
            return true;
        }
        case CDDS_ITEMPOSTPAINT:
            if (g_rowWasSelected) {
                SetItemState(static_cast<int>(cd->nmcd.dwItemSpec), LVIS_SELECTED, LVIS_SELECTED);
                g_rowWasSelected = false;
            }
            result = CDRF_DODEFAULT;
            return true;
        default: result = CDRF_DODEFAULT; return true;
    }
}

bool CSkinListCtrl::SelectedRowInView() const {
    const int top = static_cast<int>(::SendMessageW(m_hWnd, LVM_GETTOPINDEX, 0, 0));
    const int last = top + static_cast<int>(::SendMessageW(m_hWnd, LVM_GETCOUNTPERPAGE, 0, 0));
    for (int i = static_cast<int>(::SendMessageW(m_hWnd, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
         i >= 0 && i <= last;
         i = static_cast<int>(::SendMessageW(m_hWnd, LVM_GETNEXTITEM, static_cast<WPARAM>(i), LVNI_SELECTED)))
        if (i >= top) return true;
    return false;
}

void CSkinListCtrl::DeclareMessageMap(MessageMap& map) {
    map.On(WM_CREATE, [this](WPARAM, LPARAM) -> LRESULT {
        LRESULT r = Default();
        LoadHeaderImage();
        return r;
    });
    map.On(WM_NCCALCSIZE, [this](WPARAM, LPARAM) -> LRESULT {
        LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
        if (style & (WS_HSCROLL | WS_VSCROLL))
            ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, style & ~(WS_HSCROLL | WS_VSCROLL));
        return Default();
    });
    map.On(WM_MOUSEWHEEL, [this](WPARAM wp, LPARAM) -> LRESULT {
        const short delta = static_cast<short>(HIWORD(wp));
        SendMessage(WM_VSCROLL, delta >= 0 ? SB_LINEUP : SB_LINEDOWN, 0);
        SyncThumb();
        LRESULT r = Default();
        SyncThumb();
        return r;
    });
    auto key = [this](WPARAM, LPARAM) -> LRESULT {
        SyncThumb();
        return 0;
    };
    map.On(WM_KEYDOWN, key);
    map.On(WM_KEYUP, key);
    map.On(WM_ERASEBKGND, [this](WPARAM, LPARAM) -> LRESULT {
        SyncThumb();
        return FALSE;
    });
    map.On(WM_PAINT, [this](WPARAM wp, LPARAM) -> LRESULT {
        if (wp) return Default();  // painting into a given context (printing, tests)
        Paint();
        return 0;
    });
    map.On(WM_NOTIFY, [this](WPARAM, LPARAM lp) -> LRESULT {
        auto* nm = reinterpret_cast<NMHDR*>(lp);
        // Columns are not resized by the user.
        if (nm->code == static_cast<UINT>(HDN_BEGINTRACKW) || nm->code == static_cast<UINT>(HDN_BEGINTRACKA))
            return TRUE;
        if (nm->code == static_cast<UINT>(HDN_DIVIDERDBLCLICKW) || nm->code == static_cast<UINT>(HDN_DIVIDERDBLCLICKA))
            return 0;
        return Default();
    });
    // The scrollbar follows the list when the layout moves, shows or hides it.
    map.On(WM_WINDOWPOSCHANGED, [this](WPARAM, LPARAM) -> LRESULT {
        LRESULT r = Default();
        if (!m_placing && m_scrollbar.GetSafeHwnd())
            ShowScrollbar((::GetWindowLongPtrW(m_hWnd, GWL_STYLE) & WS_VISIBLE) != 0);
        return r;
    });
}
