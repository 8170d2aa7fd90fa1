#include "cdp_util.h"

#include <cctype>

#include "json.h"

namespace cdp {

bool HasUrlScheme(std::string_view s) {
    size_t colon = s.find(':');
    if (colon == std::string_view::npos || colon < 2) return false;
    if (!std::isalpha(static_cast<unsigned char>(s[0]))) return false;
    for (size_t i = 1; i < colon; ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
    }
    return true;
}

std::string FileUrlFromUnixPath(std::string_view path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 15];
        }
    }
    return url;
}

int ParsePort(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    if (s.empty() || s.size() > 5) return 0;
    int port = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return 0;
        port = port * 10 + (c - '0');
    }
    return port >= 1 && port <= 65535 ? port : 0;
}

bool ParseWebSocketUrl(std::string_view url, std::string& host, int& port, std::string& path) {
    if (url.substr(0, 5) != "ws://") return false;
    url.remove_prefix(5);
    size_t slash = url.find('/');
    std::string_view authority = url.substr(0, slash);
    path = slash == std::string_view::npos ? "/" : std::string(url.substr(slash));
    size_t colon = authority.rfind(':');
    if (colon == std::string_view::npos || colon == 0) return false;
    host = std::string(authority.substr(0, colon));
    port = ParsePort(authority.substr(colon + 1));
    return port != 0;
}

std::string FunctionExistsExpression(std::string_view name) {
    return "typeof window[" + json::Quote(name) + "]==='function'";
}

std::string FunctionCallExpression(std::string_view name, const std::vector<std::string>& jsonArgs) {
    std::string q = json::Quote(name);
    std::string e = "(function(){var f=window[" + q + "];if(typeof f!=='function')throw new TypeError(" + q +
                    "+' is not a function');return f.call(window";
    for (const auto& a : jsonArgs) e += "," + a;
    return e + ");})()";
}

bool KeyNames(int vk, std::string& key, std::string& code) {
    struct Entry {
        int vk;
        const char* key;
        const char* code;
    };
    static const Entry table[] = {
        {0x08, "Backspace", "Backspace"},
        {0x09, "Tab", "Tab"},
        {0x0D, "Enter", "Enter"},
        {0x1B, "Escape", "Escape"},
        {0x21, "PageUp", "PageUp"},
        {0x22, "PageDown", "PageDown"},
        {0x23, "End", "End"},
        {0x24, "Home", "Home"},
        {0x25, "ArrowLeft", "ArrowLeft"},
        {0x26, "ArrowUp", "ArrowUp"},
        {0x27, "ArrowRight", "ArrowRight"},
        {0x28, "ArrowDown", "ArrowDown"},
        {0x2E, "Delete", "Delete"},
    };
    for (const auto& e : table) {
        if (e.vk == vk) {
            key = e.key;
            code = e.code;
            return true;
        }
    }
    return false;
}

}  // namespace cdp
