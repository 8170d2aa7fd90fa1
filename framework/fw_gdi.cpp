#include "fw_gdi.h"

#include <memory>
#include <vector>

#include "fw_app.h"

bool CBitmap::LoadBitmap(UINT id) {
    DeleteObject();
    HBITMAP loaded = static_cast<HBITMAP>(
        ::LoadImageW(CWinApp::ResourceHandle(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!loaded) return false;
    // Kept as a 32-bit DIB: drawing it onto 32-bit buffers is then a plain copy
    // rather than a 24-bit conversion on every blit, and its colours stay exact
    // whatever the display's depth (the magenta key must stay magenta).
    BITMAP bm{};
    ::GetObjectW(loaded, sizeof bm, &bm);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = bm.bmWidth;
    bi.bmiHeader.biHeight = bm.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP wide = bm.bmBitsPixel == 32 ? nullptr : ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!wide) {
        m_h = loaded;
        return true;
    }
    HDC from = ::CreateCompatibleDC(nullptr), to = ::CreateCompatibleDC(nullptr);
    HGDIOBJ oldFrom = ::SelectObject(from, loaded), oldTo = ::SelectObject(to, wide);
    ::BitBlt(to, 0, 0, bm.bmWidth, bm.bmHeight, from, 0, 0, SRCCOPY);
    ::SelectObject(from, oldFrom);
    ::SelectObject(to, oldTo);
    ::DeleteDC(from);
    ::DeleteDC(to);
    ::DeleteObject(loaded);
    m_h = wide;
    return true;
}

bool CBitmap::CreateCompatibleBitmap(HDC dc, int w, int h) {
    DeleteObject();
    m_h = ::CreateCompatibleBitmap(dc, w > 0 ? w : 1, h > 0 ? h : 1);
    return m_h != nullptr;
}

SIZE CBitmap::GetSize() const {
    BITMAP bm{};
    if (m_h && ::GetObjectW(m_h, sizeof bm, &bm)) return SIZE{bm.bmWidth, bm.bmHeight};
    return SIZE{0, 0};
}

bool CFont::CreateFont(int height, int weight, const wchar_t* face, BYTE pitchAndFamily) {
    DeleteObject();
    m_h = ::CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, pitchAndFamily, face);
    return m_h != nullptr;
}

CDC::~CDC() {
    if (m_delete && m_hDC) ::DeleteDC(m_hDC);
}

void CDC::DeleteDC() {
    if (m_delete && m_hDC) ::DeleteDC(m_hDC);
    m_hDC = nullptr;
    m_delete = false;
}

bool CDC::CreateCompatibleDC(HDC dc) {
    if (m_delete && m_hDC) ::DeleteDC(m_hDC);
    m_hDC = ::CreateCompatibleDC(dc);
    m_delete = m_hDC != nullptr;
    return m_delete;
}

void CDC::FillSolidRect(const RECT& r, COLORREF c) const {
    COLORREF old = ::SetBkColor(m_hDC, c);
    ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    ::SetBkColor(m_hDC, old);
}

void CDC::DrawBitmap(HBITMAP bmp, int x, int y) const {
    BITMAP bm{};
    if (bmp && ::GetObjectW(bmp, sizeof bm, &bm)) StretchBitmap(bmp, x, y, bm.bmWidth, bm.bmHeight);
}

void CDC::StretchBitmap(HBITMAP bmp, int x, int y, int w, int h) const {
    if (!bmp) return;
    BITMAP bm{};
    if (!::GetObjectW(bmp, sizeof bm, &bm)) return;
    CImageDC mem(m_hDC, bmp);
    if (!mem.IsValid()) return;
    if (w == bm.bmWidth && h == bm.bmHeight) {
        // Same size: a plain copy, much cheaper than stretching under Wine.
        ::BitBlt(m_hDC, x, y, w, h, mem, 0, 0, SRCCOPY);
        return;
    }
    int oldMode = ::SetStretchBltMode(m_hDC, COLORONCOLOR);
    ::StretchBlt(m_hDC, x, y, w, h, mem, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
    ::SetStretchBltMode(m_hDC, oldMode);
}

bool CBackBuffer::Ensure(HDC dc, int w, int h, bool* kept) {
    const bool same = IsValid() && w == m_size.cx && h == m_size.cy;
    if (kept) *kept = same;
    if (same) return true;
    Release();
    if (w <= 0 || h <= 0 || !m_dc.CreateCompatibleDC(dc)) return false;
    if (!m_bitmap.CreateCompatibleBitmap(dc, w, h)) {
        m_dc.DeleteDC();
        return false;
    }
    m_old = ::SelectObject(m_dc, m_bitmap);
    m_size = SIZE{w, h};
    return true;
}

void CBackBuffer::Release() {
    if (m_old) ::SelectObject(m_dc, m_old);
    m_old = nullptr;
    m_bitmap.DeleteObject();
    m_dc.DeleteDC();
    m_size = SIZE{0, 0};
}

// One buffer: its context, bitmap and the bitmap's format.
struct BufferLease::Slot {
    CDC dc;
    CBitmap bitmap;
    HGDIOBJ old = nullptr;
    int w = 0, h = 0, bits = 0;
    bool lent = false;
    ~Slot() {
        if (old) ::SelectObject(dc, old);
    }
};

namespace {
// The buffers and image contexts are kept for the thread that started the
// program, which runs the windows; another thread that paints (a busy
// window's animation) makes and frees its own per lease. (Objects kept per
// thread would have to go when their thread ends, which thread-local
// destructors do not do reliably with this runtime.)
const DWORD g_keptThread = ::GetCurrentThreadId();
bool Kept() { return ::GetCurrentThreadId() == g_keptThread; }
// Enough for the deepest nesting of buffers in one paint; a lease beyond it
// gets a slot of its own.
constexpr size_t kKeptSlots = 4;
std::vector<std::unique_ptr<BufferLease::Slot>> g_slots;
}  // namespace

BufferLease::BufferLease() = default;
BufferLease::~BufferLease() { Return(); }

bool BufferLease::Take(HDC target, int w, int h) {
    Return();
    if (w <= 0 || h <= 0) return false;
    const int bits = ::GetDeviceCaps(target, BITSPIXEL) * ::GetDeviceCaps(target, PLANES);
    // The smallest free buffer that is large enough, else the largest free
    // one (grown below), else a new one.
    Slot* pick = nullptr;
    if (Kept()) {
        Slot* fit = nullptr;
        Slot* largest = nullptr;
        for (auto& s : g_slots) {
            if (s->lent || s->bits != bits) continue;
            if (s->w >= w && s->h >= h && (!fit || s->w * s->h < fit->w * fit->h)) fit = s.get();
            if (!largest || s->w * s->h > largest->w * largest->h) largest = s.get();
        }
        pick = fit ? fit : largest;
    }
    if (!pick) {
        auto fresh = std::make_unique<Slot>();
        if (!fresh->dc.CreateCompatibleDC(target)) return false;
        fresh->bits = bits;
        pick = fresh.get();
        if (Kept() && g_slots.size() < kKeptSlots) g_slots.push_back(std::move(fresh));
        else m_own = std::move(fresh);
    }
    if (pick->w < w || pick->h < h) {  // grown to what it has been asked for so far
        CBitmap grown;
        const int gw = pick->w > w ? pick->w : w, gh = pick->h > h ? pick->h : h;
        if (!grown.CreateCompatibleBitmap(target, gw, gh)) {
            m_own.reset();
            return false;
        }
        if (pick->old) ::SelectObject(pick->dc, pick->old);
        pick->bitmap = std::move(grown);
        pick->old = ::SelectObject(pick->dc, pick->bitmap);
        pick->w = gw;
        pick->h = gh;
    }
    pick->lent = true;
    m_slot = pick;
    m_saved = ::SaveDC(pick->dc);
    ::IntersectClipRect(pick->dc, 0, 0, w, h);
    return true;
}

void BufferLease::Return() {
    if (!m_slot) return;
    if (m_saved) ::RestoreDC(m_slot->dc, m_saved);
    m_slot->lent = false;
    m_slot = nullptr;
    m_saved = 0;
    m_own.reset();
}

HDC BufferLease::Dc() const { return m_slot ? m_slot->dc.GetSafeHdc() : nullptr; }

namespace {
struct ImageSlot {
    CDC dc;
    bool lent = false;
};
// Contexts for CImageDC on the kept thread: one per image selected at once.
std::vector<std::unique_ptr<ImageSlot>> g_imageSlots;
}  // namespace

CImageDC::CImageDC(HDC compatible, HBITMAP image) {
    if (Kept()) {
        for (m_index = 0; m_index < g_imageSlots.size() && g_imageSlots[m_index]->lent; ++m_index) {
        }
        if (m_index == g_imageSlots.size()) {
            auto slot = std::make_unique<ImageSlot>();
            if (!slot->dc.CreateCompatibleDC(compatible)) return;
            g_imageSlots.push_back(std::move(slot));
        }
        g_imageSlots[m_index]->lent = true;
        m_dc = g_imageSlots[m_index]->dc;
        m_kept = true;
    } else {
        if (!m_own.CreateCompatibleDC(compatible)) return;
        m_dc = m_own;
    }
    if (image) m_old = ::SelectObject(m_dc, image);
}

CImageDC::~CImageDC() {
    if (!m_dc) return;
    if (m_old) ::SelectObject(m_dc, m_old);
    if (m_kept) g_imageSlots[m_index]->lent = false;
}
