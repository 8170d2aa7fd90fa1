// Image class over GDI+: a bitmap that can be attached, created, drawn into,
// drawn stretched (with its transparent colour or per-pixel alpha), loaded
// from a picture file and saved in the format the file name's extension names
// (".bmp", ".jpg", ".png", ...). GDI+ starts on the first operation that needs
// it and shuts down when the program ends.
#pragma once
#include <windows.h>

class CImage {
public:
    CImage() = default;
    ~CImage() { Destroy(); }
    CImage(const CImage&) = delete;
    CImage& operator=(const CImage&) = delete;

    // Takes ownership of a bitmap handle.
    void Attach(HBITMAP bmp);
    HBITMAP Detach();
    // An empty top-down DIB of w x h at 24 or 32 bits per pixel (32 with alpha).
    bool Create(int w, int h, int bpp, bool alpha = false);
    void Destroy();
    bool IsNull() const { return m_bmp == nullptr; }
    operator HBITMAP() const { return m_bmp; }
    int GetWidth() const { return m_w; }
    int GetHeight() const { return m_h; }
    int GetBPP() const { return m_bpp; }
    bool HasAlpha() const { return m_alpha; }

    // A memory device context with the image selected, for drawing into it;
    // every GetDC is paired with a ReleaseDC.
    HDC GetDC();
    void ReleaseDC();

    // Colour drawn as transparent by Draw (CLR_INVALID: none).
    void SetTransparentColor(COLORREF c) { m_transparent = c; }
    COLORREF GetTransparentColor() const { return m_transparent; }
    // Draws the whole image stretched onto the rectangle.
    bool Draw(HDC dc, int x, int y, int w, int h) const;
    bool Draw(HDC dc, const RECT& r) const { return Draw(dc, r.left, r.top, r.right - r.left, r.bottom - r.top); }

    // S_OK or a failure code.
    HRESULT Load(const wchar_t* path);
    HRESULT Save(const wchar_t* path) const;

    // The encoder for a file name's extension; false when none matches.
    static bool EncoderFor(const wchar_t* path, CLSID* clsid);
    static bool StartGdiplus();

private:
    HBITMAP m_bmp = nullptr;
    int m_w = 0, m_h = 0, m_bpp = 0;
    bool m_alpha = false;
    COLORREF m_transparent = CLR_INVALID;
    HDC m_dc = nullptr;
    HGDIOBJ m_dcOld = nullptr;
    int m_dcRefs = 0;
};
