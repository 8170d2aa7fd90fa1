// Files by pattern, with the search handle closed whatever happens.
#pragma once
#include <windows.h>

#include <functional>

#include "fw_string.h"

// Calls fn with the name of every file (not folder) in folder matching the
// pattern; folder ends with a backslash.
void ForEachFile(const CString& folder, const wchar_t* pattern, const std::function<void(const wchar_t* name)>& fn);
// Deletes every file in folder matching the pattern; returns how many went.
int DeleteFilesMatching(const CString& folder, const wchar_t* pattern);
