// What the catalogue asks the platform about a drive.
#pragma once
#include <windows.h>
#include <cstdint>

// Physical disk number of the volume of a drive letter: the first disk extent,
// or, when the volume reports no extent (card readers, Wine), its storage
// device number; -1 when the volume cannot be opened or neither is known.
int ProbeDiskNumber(wchar_t letter);
// Total free bytes of a root ("E:\"); 0 when unknown.
uint64_t DriveFreeBytes(const wchar_t* root);
