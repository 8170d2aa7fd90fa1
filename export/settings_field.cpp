#include "settings_field.h"
#include <cstring>
#include <vector>

namespace settings {

std::string FieldText(const unsigned char* bytes, size_t n) {
    const void* nul = std::memchr(bytes, 0, n);
    size_t len = nul ? static_cast<size_t>(static_cast<const unsigned char*>(nul) - bytes) : n;
    return std::string(reinterpret_cast<const char*>(bytes), len);
}

std::string ReadField(std::FILE* file, long offset, size_t length) {
    if (!file || offset < 0) return std::string();
    std::vector<unsigned char> buffer(length, 0);
    size_t got = 0;
    if (std::fseek(file, offset, SEEK_SET) == 0) got = std::fread(buffer.data(), 1, length, file);
    return FieldText(buffer.data(), got);
}

}  // namespace settings
