#include "fw_string.h"
#include <windows.h>
#include <cwchar>
#include <vector>

void CString::FormatV(const wchar_t* fmt, va_list args) {
    std::vector<wchar_t> buf(256);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        int n = _vsnwprintf(buf.data(), buf.size() - 1, fmt, copy);
        va_end(copy);
        if (n >= 0 && static_cast<size_t>(n) < buf.size() - 1) {
            assign(buf.data(), static_cast<size_t>(n));
            return;
        }
        if (buf.size() > (1u << 20)) {
            clear();
            return;
        }
        buf.resize(buf.size() * 2);
    }
}

void CString::Format(const wchar_t* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    FormatV(fmt, args);
    va_end(args);
}

CString CString::Formatted(const wchar_t* fmt, ...) {
    CString s;
    va_list args;
    va_start(args, fmt);
    s.FormatV(fmt, args);
    va_end(args);
    return s;
}

CString CString::FromAnsi(const char* s) {
    if (!s || !*s) return CString();
    int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
    if (n <= 0) return CString();
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, s, -1, &w[0], n);
    w.resize(static_cast<size_t>(n - 1));
    return CString(std::move(w));
}

std::string CString::ToAnsi() const {
    if (empty()) return std::string();
    int n = WideCharToMultiByte(CP_ACP, 0, c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string a(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, c_str(), -1, &a[0], n, nullptr, nullptr);
    a.resize(static_cast<size_t>(n - 1));
    return a;
}
