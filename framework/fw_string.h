// Wide (UTF-16) string class used by every window: a std::wstring with the few
// conveniences the windows need (printf-style formatting, ANSI conversion).
#pragma once
#include <string>
#include <cstdarg>

class CString : public std::wstring {
public:
    CString() = default;
    CString(const wchar_t* s) : std::wstring(s ? s : L"") {}
    CString(const std::wstring& s) : std::wstring(s) {}
    CString(std::wstring&& s) : std::wstring(std::move(s)) {}

    operator const wchar_t*() const { return c_str(); }
    bool IsEmpty() const { return empty(); }
    int GetLength() const { return static_cast<int>(size()); }
    void Empty() { clear(); }

    // printf-style formatting into this string.
    void Format(const wchar_t* fmt, ...);
    static CString Formatted(const wchar_t* fmt, ...);

    // Conversion from and to the platform's ANSI code page (the device library
    // takes single-byte text).
    static CString FromAnsi(const char* s);
    std::string ToAnsi() const;

private:
    void FormatV(const wchar_t* fmt, va_list args);
};
