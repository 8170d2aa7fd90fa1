// The video filters: the MJPEG decoder (pictures through the platform's
// imaging codecs), the colour converter and the brightness filter.
#include <wincodec.h>

#include <algorithm>
#include <new>
#include <vector>

#include "ds_base.h"
#include "filters.h"

namespace {

constexpr DWORD kMJPG = MAKEFOURCC('M', 'J', 'P', 'G');

// One imaging factory for the process (it is free-threaded): creating one per
// decoder costs every opened recording a few milliseconds.
IWICImagingFactory* SharedFactory() {
    static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    static IWICImagingFactory* factory = nullptr;
    InitOnceExecuteOnce(
        &once,
        [](PINIT_ONCE, PVOID, PVOID*) -> BOOL {
            CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                             reinterpret_cast<void**>(&factory));
            return TRUE;
        },
        nullptr, nullptr);
    return factory;
}

const VIDEOINFOHEADER* VideoInfo(const AM_MEDIA_TYPE* mt) {
    if (!mt || mt->majortype != MEDIATYPE_Video || mt->formattype != FORMAT_VideoInfo ||
        mt->cbFormat < sizeof(VIDEOINFOHEADER) || !mt->pbFormat)
        return nullptr;
    const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt->pbFormat);
    LONG w = vih->bmiHeader.biWidth, h = std::abs(vih->bmiHeader.biHeight);
    if (w <= 0 || w > 8192 || h <= 0 || h > 8192) return nullptr;
    return vih;
}

// RGB32, bottom-up, w x h.
HRESULT MakeRgb32(AM_MEDIA_TYPE* mt, LONG w, LONG h, REFERENCE_TIME perFrame) {
    *mt = AM_MEDIA_TYPE{};
    auto* vih = static_cast<VIDEOINFOHEADER*>(CoTaskMemAlloc(sizeof(VIDEOINFOHEADER)));
    if (!vih) return E_OUTOFMEMORY;
    *vih = VIDEOINFOHEADER{};
    vih->AvgTimePerFrame = perFrame;
    vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih->bmiHeader.biWidth = w;
    vih->bmiHeader.biHeight = h;
    vih->bmiHeader.biPlanes = 1;
    vih->bmiHeader.biBitCount = 32;
    vih->bmiHeader.biCompression = BI_RGB;
    vih->bmiHeader.biSizeImage = DWORD(w) * DWORD(h) * 4;
    mt->majortype = MEDIATYPE_Video;
    mt->subtype = MEDIASUBTYPE_RGB32;
    mt->formattype = FORMAT_VideoInfo;
    mt->bFixedSizeSamples = TRUE;
    mt->lSampleSize = long(vih->bmiHeader.biSizeImage);
    mt->cbFormat = sizeof(VIDEOINFOHEADER);
    mt->pbFormat = reinterpret_cast<BYTE*>(vih);
    return S_OK;
}

bool SameSizeRgb32(const AM_MEDIA_TYPE* mt, LONG w, LONG h) {
    const VIDEOINFOHEADER* vih = VideoInfo(mt);
    return vih && mt->subtype == MEDIASUBTYPE_RGB32 && vih->bmiHeader.biWidth == w &&
           std::abs(vih->bmiHeader.biHeight) == h;
}

// ------------------------------------------------------------ decoder

class Decoder : public ds::TransformFilter, public IDecoderParams {
public:
    Decoder() : TransformFilter(CLSID_StandInDecoder) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return Filter::QueryInterface(riid, ppv); }
    STDMETHODIMP_(ULONG) AddRef() override { return Filter::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return Filter::Release(); }
    HRESULT ExtraInterface(REFIID riid, void** ppv) override {
        if (riid != IID_IDecoderParams) return E_NOINTERFACE;
        *ppv = static_cast<IDecoderParams*>(this);
        AddRef();
        return S_OK;
    }

    STDMETHODIMP GetParamCount(int* n) override {
        if (!n) return E_POINTER;
        *n = 3;
        return S_OK;
    }
    STDMETHODIMP GetParam(int id, int* value) override {
        if (!value) return E_POINTER;
        switch (id) {
            case kParamUnlock: *value = unlocked_; return S_OK;
            case kParamFlip: *value = flip_; return S_OK;
            case kParamMirror: *value = mirror_; return S_OK;
            default: return E_INVALIDARG;
        }
    }
    STDMETHODIMP SetParam(int id, int value) override {
        switch (id) {
            case kParamUnlock: unlocked_ = value == 1; return S_OK;
            case kParamFlip:
            case kParamMirror:
                if (!unlocked_) return E_ACCESSDENIED;
                (id == kParamFlip ? flip_ : mirror_) = value != 0;
                return S_OK;
            default: return E_INVALIDARG;
        }
    }

    HRESULT CheckInput(const AM_MEDIA_TYPE* mt) override {
        const VIDEOINFOHEADER* vih = VideoInfo(mt);
        if (!vih || (mt->subtype != ds::FourCCGuid(kMJPG) && vih->bmiHeader.biCompression != kMJPG)) return S_FALSE;
        return S_OK;
    }
    HRESULT OutputType(int i, AM_MEDIA_TYPE* mt) override {
        if (i != 0) return VFW_S_NO_MORE_ITEMS;
        const VIDEOINFOHEADER* in = VideoInfo(&input->Type());
        if (!in) return VFW_S_NO_MORE_ITEMS;
        return MakeRgb32(mt, in->bmiHeader.biWidth, std::abs(in->bmiHeader.biHeight), in->AvgTimePerFrame);
    }
    HRESULT CheckOutput(const AM_MEDIA_TYPE* mt) override {
        const VIDEOINFOHEADER* in = VideoInfo(&input->Type());
        return in && SameSizeRgb32(mt, in->bmiHeader.biWidth, std::abs(in->bmiHeader.biHeight)) ? S_OK : S_FALSE;
    }
    long OutputSize() override {
        const VIDEOINFOHEADER* in = VideoInfo(&input->Type());
        return in ? in->bmiHeader.biWidth * std::abs(in->bmiHeader.biHeight) * 4 : 0;
    }

    HRESULT Transform(IMediaSample* in, IMediaSample* out) override {
        const VIDEOINFOHEADER* vih = VideoInfo(&input->Type());
        if (!vih) return E_UNEXPECTED;
        const UINT w = UINT(vih->bmiHeader.biWidth), h = UINT(std::abs(vih->bmiHeader.biHeight));
        BYTE* src = nullptr;
        BYTE* dst = nullptr;
        in->GetPointer(&src);
        out->GetPointer(&dst);
        long len = in->GetActualDataLength();
        if (!src || !dst || len <= 0 || out->GetSize() < long(w * h * 4)) return S_FALSE;
        if (!factory_ && !(factory_ = SharedFactory())) return E_FAIL;
        int bpp = 0;
        HRESULT hr = Decode(src, DWORD(len), w, h, bpp);
        if (FAILED(hr)) return S_FALSE;  // a damaged picture is skipped
        // The output is bottom-up: an unflipped picture is written last row first.
        const bool flip = flip_, mirror = mirror_;
        const size_t inStride = size_t(w) * size_t(bpp), outStride = size_t(w) * 4;
        for (UINT y = 0; y < h; ++y) {
            const BYTE* row = &pixels_[size_t(y) * inStride];
            BYTE* to = dst + size_t(flip ? y : h - 1 - y) * outStride;
            if (bpp == 4 && !mirror) {
                memcpy(to, row, outStride);
            } else if (bpp == 4) {
                const DWORD* s = reinterpret_cast<const DWORD*>(row);
                DWORD* d = reinterpret_cast<DWORD*>(to);
                for (UINT x = 0; x < w; ++x) d[x] = s[w - 1 - x];
            } else {
                DWORD* d = reinterpret_cast<DWORD*>(to);
                if (!mirror) {
                    for (UINT x = 0; x < w; ++x, row += 3)
                        d[x] = DWORD(row[0]) | DWORD(row[1]) << 8 | DWORD(row[2]) << 16;
                } else {
                    for (UINT x = w; x-- > 0; row += 3) d[x] = DWORD(row[0]) | DWORD(row[1]) << 8 | DWORD(row[2]) << 16;
                }
            }
        }
        out->SetActualDataLength(long(w * h * 4));
        return S_OK;
    }

private:
    // Decodes into pixels_ (rows top-down), as 24-bit BGR when the codec gives
    // that (expanded while copying out), else converted to 32-bit BGR.
    HRESULT Decode(const BYTE* data, DWORD len, UINT w, UINT h, int& bpp) {
        ds::ComPtr<IWICStream> stream;
        ds::ComPtr<IWICBitmapDecoder> dec;
        ds::ComPtr<IWICBitmapFrameDecode> frame;
        ds::ComPtr<IWICBitmapSource> bgr;
        HRESULT hr = factory_->CreateStream(&stream);
        if (SUCCEEDED(hr)) hr = stream->InitializeFromMemory(const_cast<BYTE*>(data), len);
        // The container is known: no detection over every registered codec.
        if (SUCCEEDED(hr)) hr = factory_->CreateDecoder(GUID_ContainerFormatJpeg, nullptr, &dec);
        if (SUCCEEDED(hr)) hr = dec->Initialize(stream.Get(), WICDecodeMetadataCacheOnDemand);
        if (SUCCEEDED(hr)) hr = dec->GetFrame(0, &frame);
        UINT fw = 0, fh = 0;
        if (SUCCEEDED(hr)) hr = frame->GetSize(&fw, &fh);
        if (SUCCEEDED(hr) && (fw != w || fh != h)) hr = E_FAIL;
        WICPixelFormatGUID fmt{};
        if (SUCCEEDED(hr)) hr = frame->GetPixelFormat(&fmt);
        if (SUCCEEDED(hr) && fmt == GUID_WICPixelFormat24bppBGR) {
            bpp = 3;
            pixels_.resize(size_t(w) * h * 3);
            hr = frame->CopyPixels(nullptr, w * 3, UINT(pixels_.size()), pixels_.data());
        } else if (SUCCEEDED(hr)) {
            bpp = 4;
            pixels_.resize(size_t(w) * h * 4);
            hr = WICConvertBitmapSource(GUID_WICPixelFormat32bppBGR, frame.Get(), &bgr);
            if (SUCCEEDED(hr)) hr = bgr->CopyPixels(nullptr, w * 4, UINT(pixels_.size()), pixels_.data());
        }
        return hr;
    }

    IWICImagingFactory* factory_ = nullptr;
    std::vector<BYTE> pixels_;
    std::atomic<bool> unlocked_{false}, flip_{false}, mirror_{false};
};

// ------------------------------------------------------------ converter / brightness

// Copies RGB32 through and widens RGB24 to RGB32 (the converter); the
// brightness filter takes RGB32 only and leaves the picture as it is.
class Copier : public ds::TransformFilter {
public:
    Copier(const CLSID& clsid, bool acceptRgb24) : TransformFilter(clsid), rgb24_(acceptRgb24) {}

    HRESULT CheckInput(const AM_MEDIA_TYPE* mt) override {
        const VIDEOINFOHEADER* vih = VideoInfo(mt);
        if (!vih || vih->bmiHeader.biCompression != BI_RGB) return S_FALSE;
        if (mt->subtype == MEDIASUBTYPE_RGB32 && vih->bmiHeader.biBitCount == 32) return S_OK;
        if (rgb24_ && mt->subtype == MEDIASUBTYPE_RGB24 && vih->bmiHeader.biBitCount == 24) return S_OK;
        return S_FALSE;
    }
    HRESULT OutputType(int i, AM_MEDIA_TYPE* mt) override {
        const VIDEOINFOHEADER* in = VideoInfo(&input->Type());
        if (i != 0 || !in) return VFW_S_NO_MORE_ITEMS;
        return MakeRgb32(mt, in->bmiHeader.biWidth, std::abs(in->bmiHeader.biHeight), in->AvgTimePerFrame);
    }
    HRESULT CheckOutput(const AM_MEDIA_TYPE* mt) override {
        const VIDEOINFOHEADER* in = VideoInfo(&input->Type());
        return in && SameSizeRgb32(mt, in->bmiHeader.biWidth, std::abs(in->bmiHeader.biHeight)) ? S_OK : S_FALSE;
    }
    long OutputSize() override {
        const VIDEOINFOHEADER* in = VideoInfo(&input->Type());
        return in ? in->bmiHeader.biWidth * std::abs(in->bmiHeader.biHeight) * 4 : 0;
    }
    // Bottom-up RGB32 is what the output carries: handed on without a copy.
    bool PassThrough(IMediaSample* in) override {
        const VIDEOINFOHEADER* vih = VideoInfo(&input->Type());
        return vih && vih->bmiHeader.biBitCount == 32 && vih->bmiHeader.biHeight > 0 &&
               in->GetActualDataLength() >= vih->bmiHeader.biWidth * vih->bmiHeader.biHeight * 4;
    }
    HRESULT Transform(IMediaSample* in, IMediaSample* out) override {
        const VIDEOINFOHEADER* vih = VideoInfo(&input->Type());
        if (!vih) return E_UNEXPECTED;
        const LONG w = vih->bmiHeader.biWidth, h = std::abs(vih->bmiHeader.biHeight);
        const bool topDown = vih->bmiHeader.biHeight < 0;
        BYTE* src = nullptr;
        BYTE* dst = nullptr;
        in->GetPointer(&src);
        out->GetPointer(&dst);
        const long outBytes = w * h * 4;
        if (!src || !dst || out->GetSize() < outBytes) return S_FALSE;
        if (vih->bmiHeader.biBitCount == 32) {
            if (in->GetActualDataLength() < outBytes) return S_FALSE;
            if (!topDown) {
                memcpy(dst, src, size_t(outBytes));
            } else {
                for (LONG y = 0; y < h; ++y) memcpy(dst + (h - 1 - y) * w * 4, src + y * w * 4, size_t(w) * 4);
            }
        } else {
            const long stride = (w * 3 + 3) & ~3L;
            if (in->GetActualDataLength() < stride * h) return S_FALSE;
            for (LONG y = 0; y < h; ++y) {
                const BYTE* s = src + (topDown ? h - 1 - y : y) * stride;
                BYTE* d = dst + y * w * 4;
                for (LONG x = 0; x < w; ++x) {
                    d[x * 4] = s[x * 3];
                    d[x * 4 + 1] = s[x * 3 + 1];
                    d[x * 4 + 2] = s[x * 3 + 2];
                    d[x * 4 + 3] = 0;
                }
            }
        }
        out->SetActualDataLength(outBytes);
        return S_OK;
    }

private:
    bool rgb24_;
};

}  // namespace

HRESULT CreateDecoderFilter(IUnknown** out) {
    auto* f = new (std::nothrow) Decoder();
    if (!f) return E_OUTOFMEMORY;
    *out = static_cast<IBaseFilter*>(f);
    return S_OK;
}

HRESULT CreateConverterFilter(IUnknown** out) {
    auto* f = new (std::nothrow) Copier(CLSID_StandInConverter, true);
    if (!f) return E_OUTOFMEMORY;
    *out = static_cast<IBaseFilter*>(f);
    return S_OK;
}

HRESULT CreateBrightnessFilter(IUnknown** out) {
    auto* f = new (std::nothrow) Copier(CLSID_StandInBrightness, false);
    if (!f) return E_OUTOFMEMORY;
    *out = static_cast<IBaseFilter*>(f);
    return S_OK;
}
