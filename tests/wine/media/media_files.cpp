#include "media_files.h"

#include <wincodec.h>

#include <cstdio>
#include <memory>

#include "avi.h"
#include "cardstore.h"

namespace mediatest {

std::string Narrow(const std::wstring& w) {
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n > 0 ? n - 1 : 0), '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &s[0], n, nullptr, nullptr);
    return s;
}

namespace {

class Jpeg {
public:
    Jpeg() {
        CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                         reinterpret_cast<void**>(&f_));
    }
    ~Jpeg() {
        if (f_) f_->Release();
    }
    // BGR24 rows top-down to JPEG.
    bool Encode(const std::vector<uint8_t>& bgr, int w, int h, int quality, std::vector<uint8_t>& out) {
        if (!f_) return false;
        IStream* mem = nullptr;
        if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &mem))) return false;
        IWICBitmapEncoder* enc = nullptr;
        IWICBitmapFrameEncode* frame = nullptr;
        IPropertyBag2* props = nullptr;
        HRESULT hr = f_->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, &enc);
        if (SUCCEEDED(hr)) hr = enc->Initialize(mem, WICBitmapEncoderNoCache);
        if (SUCCEEDED(hr)) hr = enc->CreateNewFrame(&frame, &props);
        if (SUCCEEDED(hr) && props) {
            PROPBAG2 opt{};
            opt.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
            VARIANT v;
            VariantInit(&v);
            v.vt = VT_R4;
            v.fltVal = float(quality) / 100.0f;
            props->Write(1, &opt, &v);
        }
        if (SUCCEEDED(hr)) hr = frame->Initialize(props);
        if (SUCCEEDED(hr)) hr = frame->SetSize(UINT(w), UINT(h));
        WICPixelFormatGUID fmt = GUID_WICPixelFormat24bppBGR;
        if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&fmt);
        if (SUCCEEDED(hr) && fmt != GUID_WICPixelFormat24bppBGR) hr = E_FAIL;
        if (SUCCEEDED(hr))
            hr = frame->WritePixels(UINT(h), UINT(w * 3), UINT(bgr.size()), const_cast<BYTE*>(bgr.data()));
        if (SUCCEEDED(hr)) hr = frame->Commit();
        if (SUCCEEDED(hr)) hr = enc->Commit();
        if (SUCCEEDED(hr)) {
            STATSTG st{};
            mem->Stat(&st, STATFLAG_NONAME);
            out.resize(size_t(st.cbSize.QuadPart));
            LARGE_INTEGER zero{};
            mem->Seek(zero, STREAM_SEEK_SET, nullptr);
            ULONG got = 0;
            hr = mem->Read(out.data(), ULONG(out.size()), &got);
            if (got != out.size()) hr = E_FAIL;
        }
        if (props) props->Release();
        if (frame) frame->Release();
        if (enc) enc->Release();
        mem->Release();
        return SUCCEEDED(hr);
    }

private:
    IWICImagingFactory* f_ = nullptr;
};

// A scene that differs by channel and has a bright block at the top left of
// the lower half, so that mirror and flip are visible beyond the strip.
void Render(std::vector<uint8_t>& bgr, int w, int h, int channel, uint32_t frame) {
    bgr.assign(size_t(w) * h * 3, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &bgr[(size_t(y) * w + x) * 3];
            p[0] = uint8_t(channel == 1 ? 160 : 40);
            p[1] = uint8_t(60 + (x * 100) / w);
            p[2] = uint8_t(channel == 2 ? 160 : 40 + (frame % 30) * 2);
        }
    for (int y = h / 2; y < h / 2 + h / 6; ++y)
        for (int x = 0; x < w / 5; ++x) {
            uint8_t* p = &bgr[(size_t(y) * w + x) * 3];
            p[0] = p[1] = p[2] = 250;
        }
    krv::drawFrameCode(bgr.data(), w, h, w * 3, frame, channel);
}

}  // namespace

bool MakePlayFile(const std::wstring& path, const FileSpec& spec, std::string* why) {
    auto fail = [&](const char* w) {
        if (why) *why = w;
        return false;
    };
    std::string out = Narrow(path);
    std::string stream = out + ".stream";
    krv::StreamInfo info;
    info.channels = uint8_t(spec.channels);
    info.audioChannels = spec.audio ? 1 : 0;
    info.audioBits = 16;
    info.width = uint16_t(spec.width);
    info.height = uint16_t(spec.height);
    info.fpsNum = uint32_t(spec.fps);
    info.fpsDen = 1;
    info.audioRate = 16000;
    {
        krv::StreamWriter w;
        if (!w.open(stream, info)) return fail("cannot create the stream");
        Jpeg jpeg;
        std::vector<uint8_t> bgr, jpg;
        uint32_t frame = 0;
        for (int s = 0; s < spec.seconds; ++s) {
            if (spec.audio) {
                std::vector<int16_t> pcm(16000);
                for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = int16_t((i % 40) * 200 - 4000);
                w.add(krv::kTagAudio, uint32_t(s), uint32_t(s) * 1000, pcm.data(), pcm.size() * 2);
            }
            for (int f = 0; f < spec.fps; ++f, ++frame) {
                for (int ch = 1; ch <= spec.channels; ++ch) {
                    Render(bgr, spec.width, spec.height, ch, frame);
                    if (!jpeg.Encode(bgr, spec.width, spec.height, spec.quality, jpg))
                        return fail("jpeg encoding failed");
                    w.add(ch == 1 ? krv::kTagVideo0 : krv::kTagVideo1, frame, frame * 1000 / uint32_t(spec.fps),
                          jpg.data(), jpg.size());
                }
            }
        }
        if (!w.close()) return fail("cannot write the stream");
    }
    krv::FileSource src(stream);
    krv::FileSink sink(out);
    if (!src.ok() || !sink.ok()) return fail("cannot open for conversion");
    krv::MakeResult r = krv::convertStream(src, &sink, nullptr, nullptr);
    bool closed = sink.close();
    DeleteFileW((path + L".stream").c_str());
    if (r != krv::MakeResult::Ok || !closed) return fail(krv::describe(r));
    return true;
}

TempFolder::TempFolder() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    wchar_t name[64];
    swprintf(name, 64, L"mediatest-%lu-%lu", GetCurrentProcessId(), GetTickCount());
    path = std::wstring(base) + name;
    CreateDirectoryW(path.c_str(), nullptr);
}

TempFolder::~TempFolder() {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((path + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((path + L"\\" + fd.cFileName).c_str());
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(path.c_str());
}

bool ReadCode(HBITMAP bmp, krv::FrameCode& code) {
    BITMAP bm{};
    if (!bmp || !GetObject(bmp, sizeof(bm), &bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0) return false;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = bm.bmWidth;
    bi.bmiHeader.biHeight = -bm.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    std::vector<uint8_t> px(size_t(bm.bmWidth) * bm.bmHeight * 4);
    HDC dc = GetDC(nullptr);
    int got = GetDIBits(dc, bmp, 0, UINT(bm.bmHeight), px.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    if (got != bm.bmHeight) return false;
    return krv::readFrameCode(px.data(), bm.bmWidth, bm.bmHeight, bm.bmWidth * 4, 4, code);
}

bool ReadWindowCode(HWND wnd, krv::FrameCode& code) {
    RECT rc;
    GetClientRect(wnd, &rc);
    int w = rc.right, h = rc.bottom;
    if (w <= 0 || h <= 0) return false;
    HDC src = GetDC(wnd);
    HDC mem = CreateCompatibleDC(src);
    HBITMAP bmp = CreateCompatibleBitmap(src, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, src, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
    ReleaseDC(wnd, src);
    bool ok = ReadCode(bmp, code);
    DeleteObject(bmp);
    return ok;
}

}  // namespace mediatest
