#include "fw_file.h"

#include <memory>

namespace {
struct FindCloser {
    void operator()(HANDLE h) const { ::FindClose(h); }
};
using FindHandle = std::unique_ptr<void, FindCloser>;
}  // namespace

void ForEachFile(const CString& folder, const wchar_t* pattern, const std::function<void(const wchar_t* name)>& fn) {
    WIN32_FIND_DATAW fd;
    HANDLE h = ::FindFirstFileW((folder + pattern).c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    FindHandle find(h);
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) fn(fd.cFileName);
    } while (::FindNextFileW(h, &fd));
}

int DeleteFilesMatching(const CString& folder, const wchar_t* pattern) {
    int deleted = 0;
    ForEachFile(folder, pattern, [&](const wchar_t* name) {
        if (::DeleteFileW((folder + name).c_str())) ++deleted;
    });
    return deleted;
}
