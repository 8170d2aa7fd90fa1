// Play files for the media tests and benchmark: recorder streams written with
// the card store's writer (JPEG frames from the platform's imaging codecs, each
// with its frame-number strip) and converted to AVI as the device library does.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framecode.h"

namespace mediatest {

struct FileSpec {
    int channels = 1;
    int width = 320, height = 240;
    int fps = 30;
    int seconds = 4;
    bool audio = true;
    int quality = 80;
};

// Writes the AVI to `path`; false (with a reason) on failure.
bool MakePlayFile(const std::wstring& path, const FileSpec& spec, std::string* why = nullptr);

// A folder of its own under the temporary folder, removed with its files.
struct TempFolder {
    std::wstring path;
    TempFolder();
    ~TempFolder();
    std::wstring File(const wchar_t* name) const { return path + L"\\" + name; }
};

// Reads the frame-number strip from a 32-bit bitmap (rows top-down).
bool ReadCode(HBITMAP bmp, krv::FrameCode& code);
// The same from what a window shows on screen.
bool ReadWindowCode(HWND wnd, krv::FrameCode& code);

std::string Narrow(const std::wstring& w);

}  // namespace mediatest
