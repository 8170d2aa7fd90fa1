#include "image.h"
#include <algorithm>
#include <cwctype>
#include <mutex>
#include <string>
#include <vector>
#include <objidl.h>
#include <gdiplus.h>

namespace {
struct GdiplusSession {
    ULONG_PTR token = 0;
    bool ok = false;
    GdiplusSession() {
        Gdiplus::GdiplusStartupInput in;
        ok = Gdiplus::GdiplusStartup(&token, &in, nullptr) == Gdiplus::Ok;
    }
    ~GdiplusSession() {
        if (ok) Gdiplus::GdiplusShutdown(token);
    }
};

GdiplusSession& Session() {
    static GdiplusSession s;  // shut down when the program ends
    return s;
}

std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}
}  // namespace

bool CImage::StartGdiplus() { return Session().ok; }

void CImage::Attach(HBITMAP bmp) {
    Destroy();
    m_bmp = bmp;
    BITMAP bm{};
    if (bmp && ::GetObjectW(bmp, sizeof bm, &bm)) {
        m_w = bm.bmWidth;
        m_h = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
        m_bpp = bm.bmBitsPixel;
    }
}

HBITMAP CImage::Detach() {
    HBITMAP b = m_bmp;
    m_bmp = nullptr;
    m_w = m_h = m_bpp = 0;
    m_alpha = false;
    return b;
}

bool CImage::Create(int w, int h, int bpp, bool alpha) {
    Destroy();
    if (w <= 0 || h <= 0 || (bpp != 24 && bpp != 32)) return false;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = static_cast<WORD>(bpp);
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP b = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!b) return false;
    Attach(b);
    m_alpha = alpha && bpp == 32;
    return true;
}

void CImage::Destroy() {
    while (m_dcRefs > 0) ReleaseDC();
    if (m_bmp) ::DeleteObject(m_bmp);
    m_bmp = nullptr;
    m_w = m_h = m_bpp = 0;
    m_alpha = false;
}

HDC CImage::GetDC() {
    if (!m_bmp) return nullptr;
    if (m_dcRefs++ == 0) {
        m_dc = ::CreateCompatibleDC(nullptr);
        m_dcOld = ::SelectObject(m_dc, m_bmp);
    }
    return m_dc;
}

void CImage::ReleaseDC() {
    if (m_dcRefs <= 0) return;
    if (--m_dcRefs == 0) {
        ::SelectObject(m_dc, m_dcOld);
        ::DeleteDC(m_dc);
        m_dc = nullptr;
    }
}

bool CImage::Draw(HDC dc, int x, int y, int w, int h) const {
    if (!m_bmp || !dc) return false;
    HDC src = ::CreateCompatibleDC(dc);
    if (!src) return false;
    HGDIOBJ old = ::SelectObject(src, m_bmp);
    BOOL ok;
    if (m_transparent != CLR_INVALID) {
        ok = ::TransparentBlt(dc, x, y, w, h, src, 0, 0, m_w, m_h, m_transparent);
    } else if (m_alpha) {
        BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        ok = ::AlphaBlend(dc, x, y, w, h, src, 0, 0, m_w, m_h, bf);
    } else {
        int mode = ::SetStretchBltMode(dc, COLORONCOLOR);
        ok = ::StretchBlt(dc, x, y, w, h, src, 0, 0, m_w, m_h, SRCCOPY);
        ::SetStretchBltMode(dc, mode);
    }
    ::SelectObject(src, old);
    ::DeleteDC(src);
    return ok != FALSE;
}

HRESULT CImage::Load(const wchar_t* path) {
    Destroy();
    if (!path || !StartGdiplus()) return E_FAIL;
    Gdiplus::Bitmap* pic = Gdiplus::Bitmap::FromFile(path, FALSE);
    if (!pic) return E_OUTOFMEMORY;
    HRESULT hr = E_FAIL;
    if (pic->GetLastStatus() == Gdiplus::Ok) {
        const int w = static_cast<int>(pic->GetWidth()), h = static_cast<int>(pic->GetHeight());
        const bool alpha = Gdiplus::IsAlphaPixelFormat(pic->GetPixelFormat()) != FALSE;
        if (Create(w, h, 32, alpha)) {
            Gdiplus::Rect r(0, 0, w, h);
            Gdiplus::BitmapData data{};
            // Premultiplied rows are what AlphaBlend wants; opaque pictures are unaffected.
            if (pic->LockBits(&r, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB, &data) == Gdiplus::Ok) {
                DIBSECTION ds{};
                ::GetObjectW(m_bmp, sizeof ds, &ds);
                auto* dst = static_cast<BYTE*>(ds.dsBm.bmBits);
                for (int row = 0; row < h; ++row)
                    std::copy_n(static_cast<const BYTE*>(data.Scan0) + static_cast<ptrdiff_t>(row) * data.Stride,
                                static_cast<size_t>(w) * 4, dst + static_cast<size_t>(row) * w * 4);
                pic->UnlockBits(&data);
                ::GdiFlush();
                hr = S_OK;
            }
        }
    }
    delete pic;
    if (hr != S_OK) Destroy();
    return hr;
}

bool CImage::EncoderFor(const wchar_t* path, CLSID* clsid) {
    if (!path || !StartGdiplus()) return false;
    std::wstring p = Lower(path);
    size_t dot = p.rfind(L'.');
    if (dot == std::wstring::npos || p.find_first_of(L"\\/", dot) != std::wstring::npos) return false;
    std::wstring ext = L"*" + p.substr(dot);
    UINT n = 0, bytes = 0;
    if (Gdiplus::GetImageEncodersSize(&n, &bytes) != Gdiplus::Ok || bytes == 0) return false;
    std::vector<BYTE> buf(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buf.data());
    if (Gdiplus::GetImageEncoders(n, bytes, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < n; ++i) {
        std::wstring list = Lower(codecs[i].FilenameExtension ? codecs[i].FilenameExtension : L"");
        size_t start = 0;
        while (start <= list.size()) {
            size_t end = list.find(L';', start);
            if (end == std::wstring::npos) end = list.size();
            if (list.compare(start, end - start, ext) == 0) {
                *clsid = codecs[i].Clsid;
                return true;
            }
            start = end + 1;
        }
    }
    return false;
}

HRESULT CImage::Save(const wchar_t* path) const {
    if (!m_bmp) return E_FAIL;
    CLSID encoder;
    if (!EncoderFor(path, &encoder)) return E_INVALIDARG;
    Gdiplus::Bitmap* pic = nullptr;
    if (m_bpp == 32) {
        DIBSECTION ds{};
        if (::GetObjectW(m_bmp, sizeof ds, &ds) == sizeof ds && ds.dsBm.bmBits) {
            const bool topDown = ds.dsBmih.biHeight < 0;
            BYTE* first = static_cast<BYTE*>(ds.dsBm.bmBits) +
                          (topDown ? 0 : static_cast<ptrdiff_t>(m_h - 1) * ds.dsBm.bmWidthBytes);
            pic = new Gdiplus::Bitmap(m_w, m_h, topDown ? ds.dsBm.bmWidthBytes : -ds.dsBm.bmWidthBytes,
                                      m_alpha ? PixelFormat32bppPARGB : PixelFormat32bppRGB, first);
        }
    }
    if (!pic) pic = Gdiplus::Bitmap::FromHBITMAP(m_bmp, nullptr);
    if (!pic) return E_OUTOFMEMORY;
    HRESULT hr =
        pic->GetLastStatus() == Gdiplus::Ok && pic->Save(path, &encoder, nullptr) == Gdiplus::Ok ? S_OK : E_FAIL;
    delete pic;
    return hr;
}
