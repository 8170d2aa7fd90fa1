// Class identifiers and interfaces of the stand-in filters.
#pragma once

#include <windows.h>
#include <unknwn.h>

// Stream-parsing source filter.
// {0998B6CF-702F-4F08-9638-53CC7C3A86D5}
static const GUID CLSID_StandInSource = {0x0998B6CF, 0x702F, 0x4F08, {0x96, 0x38, 0x53, 0xCC, 0x7C, 0x3A, 0x86, 0xD5}};
// Video decoder (MJPEG to RGB32).
// {2BD6A557-9A76-4DAF-805E-C1FA73C9CF0D}
static const GUID CLSID_StandInDecoder = {0x2BD6A557, 0x9A76, 0x4DAF, {0x80, 0x5E, 0xC1, 0xFA, 0x73, 0xC9, 0xCF, 0x0D}};
// Brightness filter (RGB32 pass-through).
// {16CC5240-AC7B-433F-B5D9-D3473C4F8505}
static const GUID CLSID_StandInBrightness = {
    0x16CC5240, 0xAC7B, 0x433F, {0xB5, 0xD9, 0xD3, 0x47, 0x3C, 0x4F, 0x85, 0x05}};
// Colour space converter, registered only where the platform has none.
// {1643E180-90F5-11CE-97D5-00AA0055595A}
static const GUID CLSID_StandInConverter = {
    0x1643E180, 0x90F5, 0x11CE, {0x97, 0xD5, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};

// {FF2BC10A-78EE-4228-9738-BBA99095B88D}
static const GUID IID_ISourceConfig = {0xFF2BC10A, 0x78EE, 0x4228, {0x97, 0x38, 0xBB, 0xA9, 0x90, 0x95, 0xB8, 0x8D}};
// {00F99063-70D5-4BCC-9D88-3801F3E3881B}
static const GUID IID_IDecoderParams = {0x00F99063, 0x70D5, 0x4BCC, {0x9D, 0x88, 0x38, 0x01, 0xF3, 0xE3, 0x88, 0x1B}};

// Source configuration, given before IFileSourceFilter::Load.
struct ISourceConfig : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetFlag(BYTE flag) = 0;  // false: no "Audio" pin
    virtual HRESULT STDMETHODCALLTYPE GetFlag(BYTE* flag) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStreamCount(LONG* n) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFrameCount(LONG stream, LONG* n) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetValues(LONG* first, LONG* last) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetValues(LONG first, LONG last) = 0;  // ms to play; last -1: to the end
};

// Decoder parameters, applied to the next frames.
enum : int {
    kParamUnlock = 1101,  // value 1 lets the following parameters through
    kParamFlip = 1112,    // upside down
    kParamMirror = 1113,  // left to right
};
struct IDecoderParams : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetParamCount(int* n) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetParam(int id, int* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetParam(int id, int value) = 0;
};

HRESULT CreateSourceFilter(IUnknown** out);
HRESULT CreateDecoderFilter(IUnknown** out);
HRESULT CreateConverterFilter(IUnknown** out);
HRESULT CreateBrightnessFilter(IUnknown** out);
