#include "export_run.h"

namespace exporting {

Outcome Run(const std::vector<std::wstring>& files, Steps& steps, const std::atomic<bool>* stop) {
    Outcome out;
    const int n = static_cast<int>(files.size());
    out.total = n;
    if (n == 0) return out;
    steps.SetRanges(n);
    for (int i = 0; i < n; ++i) {
        if (stop && stop->load()) break;
        steps.SetPositions(i, (i + 1) % 3);
        if (!steps.ExportOne(files[static_cast<size_t>(i)])) {
            if (out.failed++ == 0) out.firstFailed = files[static_cast<size_t>(i)];
        }
        if (i + 1 == n) steps.SetPositions(n, 3);
        steps.Pause();
    }
    return out;
}

bool IsPhotoName(const std::wstring& name) { return name.find(L"jpg") != std::wstring::npos; }

std::wstring ShortFolder(const std::wstring& folder) {
    const size_t tail = folder.size() < 8 ? folder.size() : 8;
    return folder.substr(0, 18) + L".." + folder.substr(folder.size() - tail);
}

std::wstring CompletionText(const std::wstring& folder, const Outcome& outcome) {
    const std::wstring shortFolder = ShortFolder(folder);
    if (outcome.failed == 0)
        return L"Convert and save completed where folder is\n" + shortFolder + L"\nDo you want to open the folder?";
    return L"Convert and save failed for " + std::to_wstring(outcome.failed) + L" of " +
           std::to_wstring(outcome.total) + L" files.\nFirst failed: " + outcome.firstFailed + L"\nFolder is " +
           shortFolder + L"\nDo you want to open the folder?";
}

bool PhotoLengthUsable(unsigned long long length, unsigned long long capacity) {
    return length > 0 && length <= capacity;
}

}  // namespace exporting
