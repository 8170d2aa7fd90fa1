// Fields of the camera's settings file "menu.cfg": fixed byte ranges read as
// they are (binary: no line-end translation, no stop at byte 0x1A), shown up
// to the first NUL. Plain C++.
#pragma once
#include <cstddef>
#include <cstdio>
#include <string>

namespace settings {

constexpr long kSerialOffset = 84;
constexpr size_t kSerialBytes = 16;
constexpr long kFirmwareOffset = 100;
constexpr size_t kFirmwareBytes = 20;

// The text of a field's bytes: up to the first NUL, at most n bytes.
std::string FieldText(const unsigned char* bytes, size_t n);

// Reads up to `length` bytes at `offset` of an open file and returns their
// text; a short file gives what it has (possibly nothing). A null file (one
// that did not open) gives an empty text.
std::string ReadField(std::FILE* file, long offset, size_t length);

}  // namespace settings
