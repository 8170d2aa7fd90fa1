#include "print_report.h"
#include <shellapi.h>
#include <cstdio>
#include "folder_chooser.h"
#include "report.h"

namespace {

CString Widen(const std::string& s) { return CString(std::wstring(s.begin(), s.end())); }

// Writes the report row by row; false when the file cannot be created or a
// row cannot be written.
bool WriteReport(const CString& path, const report::Values& values) {
    // Binary mode with the line ends written out: the same bytes as the
    // platform's text mode, on every platform.
    std::FILE* f = ::_wfopen(path, L"wb");
    if (!f) return false;
    bool ok = true;
    for (const auto& row : report::Rows(values)) {
        const std::string bytes = report::ToFileBytes(row);
        if (std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) ok = false;
    }
    if (std::fclose(f) != 0) ok = false;
    return ok;
}

}  // namespace

bool PrintReport(const PrintRequest& request) {
    const bool two = request.videoStreamCount > 1;
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    const std::string stamp = report::Stamp(
        report::LocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds});
    CString folder;
    if (!ChooseFolder(request.owner, L"Select directory", folder)) return false;
    folder = CString(report::WithTrailingBackslash(folder));

    const CString base = folder + Widen(stamp);
    const CString pathA = base + L"_A.bmp", pathB = base + L"_B.bmp", pathReport = base + L".html";
    if (request.grab) {
        CImage image;
        if (request.grab(0, image) && !image.IsNull()) image.Save(pathA);
        image.Destroy();
        if (request.videoStreamCount > 1 && request.grab(1, image) && !image.IsNull()) image.Save(pathB);
    }

    report::Values values;
    values.twoChannels = two;
    values.fileName = request.fileName.ToAnsi();
    values.pathA = pathA.ToAnsi();
    values.pathB = pathB.ToAnsi();
    values.speed = request.speed;
    values.lat = request.lat;
    values.lng = request.lng;
    WriteReport(pathReport, values);

    // Printed by whatever handles the report's print verb; also when the
    // report could not be written (the handler then reports the missing file).
    ::ShellExecuteW(nullptr, L"print", pathReport, nullptr, nullptr, SW_SHOW);
    return true;
}
