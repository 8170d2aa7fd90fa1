// Device contexts and GDI objects, each owning its handle (RAII).
#pragma once
#include <windows.h>
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
    // size is kept as it is. False when it cannot be made.
    bool Ensure(HDC dc, int w, int h);
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
