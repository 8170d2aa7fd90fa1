// Text helpers of the stand-in browser control that need no platform: page
// addresses, DevTools endpoints, the script expressions that call a page's
// global functions, and key names for forwarded keys.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace cdp {

// True when the text begins with a URL scheme of two or more characters
// ("file:", "http:", "about:"); a drive letter ("C:") is not one.
bool HasUrlScheme(std::string_view text);
// "file://" URL of an absolute Unix path, bytes outside the unreserved set and
// "/" percent-encoded.
std::string FileUrlFromUnixPath(std::string_view path);
// A TCP port number written in decimal (1..65535), else 0.
int ParsePort(std::string_view text);
// Splits "ws://host:port/path"; false for anything else.
bool ParseWebSocketUrl(std::string_view url, std::string& host, int& port, std::string& path);

// Expression that is true when the page has a global function of that name.
std::string FunctionExistsExpression(std::string_view name);
// Expression that calls the page's global function with the arguments, given
// as JSON texts, in order; it throws when no such function exists.
std::string FunctionCallExpression(std::string_view name, const std::vector<std::string>& jsonArgs);

// DOM key name and code of a Windows virtual-key code for the keys the
// control forwards outside character input (arrows, page keys, Tab, Enter...);
// false for any other key.
bool KeyNames(int virtualKey, std::string& key, std::string& code);

}  // namespace cdp
