#include "form_progress.h"
#include <shellapi.h>
#include <chrono>
#include <cstdio>
#include <memory>
#include <new>
#include <thread>
#include "app_messages.h"
#include "control_ids.h"
#include "folder_chooser.h"
#include "mem_dc.h"
#include "notify_dlg.h"
#include "report.h"
#include "resource.h"

namespace {

constexpr UINT kPollMs = 1000;
constexpr COLORREF kBackground = RGB(255, 224, 196);
// Texts handed to the device library: single-byte, at most 260 bytes with the
// terminating zero.
constexpr size_t kMaxLibraryText = 259;

// The text in the ANSI code page; false when a character has no single-byte
// form there or the text is too long for the library (it would name another
// file or folder).
bool LibraryText(const CString& s, std::string& out) {
    out.clear();
    if (s.IsEmpty()) return true;
    BOOL lossy = FALSE;
    int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, s.c_str(), -1, nullptr, 0, nullptr, &lossy);
    if (n <= 0 || lossy) return false;
    out.resize(static_cast<size_t>(n));
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, s.c_str(), -1, &out[0], n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n - 1));
    return out.size() <= kMaxLibraryText;
}

ULONGLONG FileTimeValue(const FILETIME& t) {
    return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

// The library's AVI for `path` is there: not empty, and written since `since`
// (two seconds of slack for file systems that keep coarse times).
bool AviWritten(const CString& path, ULONGLONG since) {
    WIN32_FILE_ATTRIBUTE_DATA fa{};
    if (!::GetFileAttributesExW(path, GetFileExInfoStandard, &fa)) return false;
    if (fa.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    if (fa.nFileSizeHigh == 0 && fa.nFileSizeLow == 0) return false;
    constexpr ULONGLONG kSlack = 2ull * 10000000ull;
    return FileTimeValue(fa.ftLastWriteTime) + kSlack >= since;
}

// Writes the whole buffer; a file left incomplete is removed.
bool WritePhoto(const CString& path, const unsigned char* data, size_t length) {
    std::FILE* f = ::_wfopen(path, L"wb");
    if (!f) return false;
    bool ok = std::fwrite(data, 1, length, f) == length;
    if (std::fclose(f) != 0) ok = false;
    if (!ok) ::DeleteFileW(path);
    return ok;
}

}  // namespace

// The run's steps on the worker thread; the bars and the label are set on the
// window thread, through calls posted to the dialog.
class CFormProgress::Steps : public exporting::Steps {
public:
    Steps(CFormProgress& dlg, HWND wnd, const CString& folder) : m_dlg(dlg), m_wnd(wnd), m_folder(folder) {}
    void SetRanges(int files) override {
        CFormProgress* dlg = &m_dlg;
        PostToWindow(m_wnd, [dlg, files] {
            dlg->m_ProgressAll.SetRange(0, files);
            dlg->m_ProgressStep.SetRange(0, 3);
        });
    }
    void SetPositions(int overall, int activity) override {
        CFormProgress* dlg = &m_dlg;
        PostToWindow(m_wnd, [dlg, overall, activity] {
            dlg->m_ProgressAll.SetPos(overall);
            dlg->m_ProgressStep.SetPos(activity);
        });
    }
    bool ExportOne(const std::wstring& name) override { return m_dlg.ExportOne(m_wnd, CString(name), m_folder); }
    void Pause() override { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }

private:
    CFormProgress& m_dlg;
    HWND m_wnd;
    CString m_folder;
};

CFormProgress::CFormProgress(CWnd* parent, const CString& folder)
    : CDialog(IDD_PROGRESS, parent), m_strFolder(folder) {}

CFormProgress::~CFormProgress() {
    // The dialog can only go early when the program is quitting: the worker
    // stops before its next file.
    m_pWorker.RequestStop();
    m_pWorker.Join();
}

void CFormProgress::BindControls() {
    Bind(IDC_PROGRESS_ALL, m_ProgressAll);
    Bind(IDC_PROGRESS_STEP, m_ProgressStep);
    Bind(IDC_PROGRESS_LABEL, m_Label);
}

void CFormProgress::DeclareMessageMap(MessageMap& map) {
    map.On(WM_TIMER, [this](WPARAM wp, LPARAM) -> LRESULT {
        Default();
        if (wp == TIMER_EXPORT_POLL) OnTimer();
        return 0;
    });
    map.On(WM_ERASEBKGND, [this](WPARAM wp, LPARAM) { return OnEraseBackground(reinterpret_cast<HDC>(wp)); });
}

BOOL CFormProgress::OnInitDialog() {
    CDialog::OnInitDialog();
    m_Label.SetLabelTextColor(RGB(0, 0, 0));
    m_Label.SetLabelFont(L"Arial", 10);
    m_Label.SetFontWeight(700);
    m_Label.MoveWindow(30, 25, 400, 20);
    m_ProgressStep.MoveWindow(25, 55, 430, 15);
    m_bDone = false;
    HWND wnd = m_hWnd;
    std::vector<CString> files = m_arrFiles;
    CString folder = m_strFolder;
    if (!m_pWorker.Start(
            [this, wnd, files, folder](const std::atomic<bool>& stop) { ExportWorker(wnd, files, folder, stop); })) {
        // Without a worker nothing is exported: every file counts as not saved.
        m_outcome = exporting::Outcome{static_cast<int>(files.size()), static_cast<int>(files.size()),
                                       files.empty() ? std::wstring() : files.front()};
        m_bDone = true;
    }
    SetTimer(TIMER_EXPORT_POLL, kPollMs);
    return TRUE;
}

void CFormProgress::ExportWorker(HWND wnd, std::vector<CString> files, CString folder, const std::atomic<bool>& stop) {
    std::vector<std::wstring> names(files.begin(), files.end());
    Steps steps(*this, wnd, folder);
    exporting::Outcome outcome = exporting::Run(names, steps, &stop);
    PostToWindow(wnd, [this, outcome] {
        m_outcome = outcome;
        m_arrFiles.clear();
        m_bDone = true;
    });
}

bool CFormProgress::ExportOne(HWND wnd, const CString& name, const CString& folder) {
    CTPStatic* label = &m_Label;
    auto requesting = [wnd, label] { PostToWindow(wnd, [label] { label->SetWindowText(L"Requesting action"); }); };
    std::string name8, folder8;
    if (!m_pDevice || !LibraryText(name, name8) || !LibraryText(folder, folder8)) return false;
    if (!exporting::IsPhotoName(name)) {
        m_pDevice->SetPcfolder(folder8.c_str());
        requesting();
        FILETIME start{};
        ::GetSystemTimeAsFileTime(&start);
        const int made = m_pDevice->MakeAviFile(name8.c_str());
        return made != 0 && AviWritten(folder + name, FileTimeValue(start));
    }
    constexpr size_t kBuffer = KrvLibrary::kPictureBufferSize;
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[kBuffer]);
    if (!buffer) return false;
    requesting();
    unsigned int length = 0;
    m_pDevice->MakePictureFile(name8.c_str(), &length, buffer.get());
    if (!exporting::PhotoLengthUsable(length, kBuffer)) return false;
    return WritePhoto(folder + name, buffer.get(), length);
}

void CFormProgress::OnTimer() {
    if (m_bDone) {
        m_bDone = false;
        NotifyDlg ask(this);
        ask.SetTitle(L"Convert end");
        const CString text(exporting::CompletionText(m_strFolder, m_outcome));
        ask.SetMessage(text);
        ask.SetTwoButtons(1);
        if (ask.DoModal() == 1) ::ShellExecuteW(nullptr, L"explore", m_strFolder, nullptr, nullptr, SW_SHOWNORMAL);
        EndDialog(1);
        return;
    }
    SetTimer(TIMER_EXPORT_POLL, kPollMs);
}

LRESULT CFormProgress::OnEraseBackground(HDC dc) {
    RECT rc = GetClientRect();
    if (!(m_nBackState & 1) && m_back.IsValid()) {
        ::BitBlt(dc, 0, 0, rc.right, rc.bottom, m_back, 0, 0, SRCCOPY);
        return TRUE;
    }
    {
        QxMemDC mem(dc, &rc, false);
        mem.FillSolidRect(rc, kBackground);
        if (m_back.Ensure(dc, rc.right, rc.bottom)) {
            ::BitBlt(m_back, 0, 0, rc.right, rc.bottom, mem, 0, 0, SRCCOPY);
            m_Label.CaptureBackground(m_back);
        }
    }
    if (m_back.IsValid()) ::BitBlt(dc, 0, 0, rc.right, rc.bottom, m_back, 0, 0, SRCCOPY);
    m_nBackState ^= 1;
    return TRUE;
}

namespace {
void Notify(CWnd* owner, const wchar_t* title, const wchar_t* text) {
    NotifyDlg dlg(owner);
    dlg.SetTitle(title);
    dlg.SetMessage(text);
    dlg.SetTwoButtons(0);
    dlg.DoModal();
}
}  // namespace

bool SaveChecked(CWnd* owner, const std::vector<CString>& names, KrvLibrary* device) {
    if (names.empty()) {
        Notify(owner, L"File error2", L"Selected file do not exist. \r\nSelect a file in the list.");
        return false;
    }
    CString folder;
    if (!ChooseFolder(owner ? owner->GetSafeHwnd() : nullptr, L"Select folder", folder)) {
        Notify(owner, L"File copy error", L"File copy failed. \r\nTry again.");
        return false;
    }
    folder = CString(report::WithTrailingBackslash(folder));
    auto progress = std::make_unique<CFormProgress>(owner, folder);
    progress->m_pDevice = device;
    progress->ClearFiles();
    for (const auto& name : names) progress->AddFile(name);
    // A dialog that cannot be made exports nothing: the ticks stay.
    const bool ran = progress->DoModal() != -1;
    progress.reset();
    return ran;
}
