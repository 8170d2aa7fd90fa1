// Device contexts and GDI objects, each owning its handle (RAII).
#pragma once
#include <windows.h>
#include <memory>
#include <utility>

// A GDI object handle of one kind, deleted when the owner goes.
template <typename H>
class CGdiObject {
public:
    CGdiObject() = default;
    explicit CGdiObject(H h) : m_h(h) {}
    ~CGdiObject() { DeleteObject(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    CGdiObject(CGdiObject&& o) noexcept : m_h(std::exchange(o.m_h, nullptr)) {}
    CGdiObject& operator=(CGdiObject&& o) noexcept {
        if (this != &o) {
            DeleteObject();
            m_h = std::exchange(o.m_h, nullptr);
        }
        return *this;
    }
    void Attach(H h) {
        DeleteObject();
        m_h = h;
    }
    H Detach() { return std::exchange(m_h, nullptr); }
    void DeleteObject() {
        if (m_h) {
            ::DeleteObject(m_h);
            m_h = nullptr;
        }
    }
    H GetSafeHandle() const { return m_h; }
    operator H() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }

protected:
    H m_h = nullptr;
};

class CBitmap : public CGdiObject<HBITMAP> {
public:
    // Loads a bitmap resource of this module; false when it does not exist.
    bool LoadBitmap(UINT id);
    bool CreateCompatibleBitmap(HDC dc, int w, int h);
    SIZE GetSize() const;
};

class CFont : public CGdiObject<HFONT> {
public:
    bool CreateFont(int height, int weight, const wchar_t* face, BYTE pitchAndFamily = DEFAULT_PITCH | FF_DONTCARE);
};

class CBrush : public CGdiObject<HBRUSH> {
public:
    CBrush() = default;
    explicit CBrush(COLORREF c) { m_h = CreateSolidBrush(c); }
};

class CPen : public CGdiObject<HPEN> {
public:
    CPen() = default;
    CPen(int style, int width, COLORREF c) { m_h = CreatePen(style, width, c); }
};

class CRgn : public CGdiObject<HRGN> {};

// A device context. Owning kinds release or delete it in their destructor.
class CDC {
public:
    CDC() = default;
    explicit CDC(HDC dc) : m_hDC(dc) {}
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }

    // Makes this a memory context compatible with dc (deleted with this object).
    bool CreateCompatibleDC(HDC dc);
    // Deletes a memory context made by CreateCompatibleDC.
    void DeleteDC();

    bool BitBlt(int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop = SRCCOPY) const {
        return ::BitBlt(m_hDC, x, y, w, h, src, sx, sy, rop) != 0;
    }
    void FillSolidRect(const RECT& r, COLORREF c) const;
    // Draws a bitmap at (x, y) at its own size, or stretched to (w, h).
    void DrawBitmap(HBITMAP bmp, int x, int y) const;
    void StretchBitmap(HBITMAP bmp, int x, int y, int w, int h) const;

protected:
    HDC m_hDC = nullptr;
    bool m_delete = false;
};

class CClientDC : public CDC {
public:
    explicit CClientDC(HWND w) : m_wnd(w) { m_hDC = ::GetDC(w); }
    ~CClientDC() override {
        if (m_hDC) ::ReleaseDC(m_wnd, m_hDC);
        m_hDC = nullptr;
    }

private:
    HWND m_wnd;
};

class CWindowDC : public CDC {
public:
    explicit CWindowDC(HWND w) : m_wnd(w) { m_hDC = ::GetWindowDC(w); }
    ~CWindowDC() override {
        if (m_hDC) ::ReleaseDC(m_wnd, m_hDC);
        m_hDC = nullptr;
    }

private:
    HWND m_wnd;
};

class CPaintDC : public CDC {
public:
    explicit CPaintDC(HWND w) : m_wnd(w) { m_hDC = ::BeginPaint(w, &m_ps); }
    ~CPaintDC() override {
        ::EndPaint(m_wnd, &m_ps);
        m_hDC = nullptr;
    }
    const PAINTSTRUCT& Paint() const { return m_ps; }

private:
    HWND m_wnd;
    PAINTSTRUCT m_ps{};
};

// Paints a window that draws every pixel of what it repaints, without the
// BeginPaint/EndPaint bracket: the area to repaint is read and validated
// first (what is invalidated while painting gets a paint of its own, as with
// the bracket), then a context clipped to the window itself (and its shape)
// is taken, also for a class that asks for its parent's: the parent's
// clipping would be worked out anew for every control. No erase message is
// sent. Under Wine the bracket (the update region made the context's clip,
// the erase and non-client steps) costs a small window more than twice what
// its drawing does, and a full repaint of the main window pays it for every
// control.
class CSelfPaintDC : public CDC {
public:
    // whole: the window repaints all of itself whatever is invalid (the
    // update area is then not asked for).
    explicit CSelfPaintDC(HWND w, bool whole = false) : m_wnd(w) {
        if (whole || !::GetUpdateRect(w, &m_paint, FALSE)) ::GetClientRect(w, &m_paint);
        // The window only: its children keep their own paints to come.
        ::RedrawWindow(w, nullptr, nullptr, RDW_VALIDATE | RDW_NOCHILDREN);
        m_hDC = ::GetDCEx(w, nullptr, DCX_CACHE | DCX_CLIPSIBLINGS | DCX_CLIPCHILDREN);
        // What lies outside the area to repaint stays as it is on the screen,
        // whatever is copied there.
        if (m_hDC && !whole) ::IntersectClipRect(m_hDC, m_paint.left, m_paint.top, m_paint.right, m_paint.bottom);
    }
    ~CSelfPaintDC() override {
        if (m_hDC) ::ReleaseDC(m_wnd, m_hDC);
        m_hDC = nullptr;
    }
    // The area to repaint, in client coordinates (the whole client area when
    // painting whole or when nothing was invalid, as for a paint asked for
    // directly).
    const RECT& PaintRect() const { return m_paint; }

private:
    HWND m_wnd;
    RECT m_paint{};
};

// Selects a GDI object into a context for the life of the guard.
class CSelect {
public:
    CSelect(HDC dc, HGDIOBJ obj) : m_dc(dc), m_old(obj ? ::SelectObject(dc, obj) : nullptr) {}
    ~CSelect() {
        if (m_old) ::SelectObject(m_dc, m_old);
    }
    CSelect(const CSelect&) = delete;
    CSelect& operator=(const CSelect&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

// A memory context with a bitmap of its own selected into it, kept between
// paints: a window's cached background, a label's copy of the pixels under it.
class CBackBuffer {
public:
    CBackBuffer() = default;
    ~CBackBuffer() { Release(); }
    CBackBuffer(const CBackBuffer&) = delete;
    CBackBuffer& operator=(const CBackBuffer&) = delete;

    // Makes the buffer w x h, compatible with dc; an existing buffer of that
    // size is kept as it is, and *kept (when given) tells whether it was, with
    // what was drawn in it. False when it cannot be made.
    bool Ensure(HDC dc, int w, int h, bool* kept = nullptr);
    void Release();
    bool IsValid() const { return m_dc.GetSafeHdc() != nullptr; }
    HDC GetSafeHdc() const { return m_dc.GetSafeHdc(); }
    operator HDC() const { return m_dc.GetSafeHdc(); }
    SIZE Size() const { return m_size; }

private:
    CDC m_dc;
    CBitmap m_bitmap;
    HGDIOBJ m_old = nullptr;
    SIZE m_size{0, 0};
};

// A memory context with a bitmap of at least the asked size, lent for one
// paint from the window thread's few kept ones and given back when the lease
// ends with the context's state as it was lent (fonts, colours, clipping,
// mapping are the borrower's to change). Under Wine, making a context and a bitmap
// and selecting one into the other costs a small control's paint more than
// its drawing; the buffers of the skinned controls are made once this way.
class BufferLease {
public:
    BufferLease();
    ~BufferLease();
    BufferLease(const BufferLease&) = delete;
    BufferLease& operator=(const BufferLease&) = delete;

    // A buffer of w x h or more compatible with target, clipped to (0, 0, w,
    // h) in device units; false when none can be made.
    bool Take(HDC target, int w, int h);
    void Return();
    HDC Dc() const;

    struct Slot;  // one kept buffer

private:
    Slot* m_slot = nullptr;
    std::unique_ptr<Slot> m_own;  // a slot that is not kept
    int m_saved = 0;
};

// A memory context with an image selected into it, to copy the image from;
// the context is one of the window thread's kept few (see BufferLease), the
// image deselected again when the object goes.
class CImageDC {
public:
    CImageDC(HDC compatible, HBITMAP image);
    ~CImageDC();
    CImageDC(const CImageDC&) = delete;
    CImageDC& operator=(const CImageDC&) = delete;
    operator HDC() const { return m_dc; }
    bool IsValid() const { return m_dc != nullptr; }

private:
    HDC m_dc = nullptr;
    HGDIOBJ m_old = nullptr;
    size_t m_index = 0;  // of the kept context, when m_kept
    bool m_kept = false;
    CDC m_own;  // a context that is not kept
};
