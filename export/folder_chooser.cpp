#include "folder_chooser.h"
#include <shlobj.h>
#include "chooser_layout.h"
#include "export_ids.h"

namespace {

// The browser's flags: file-system folders only, not below the domain, the
// new dialog style.
constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_NEWDIALOGSTYLE;
static_assert(kBrowseFlags == 0x43, "browser flags");

chooser::Box BoxOf(HWND dlg, HWND child) {
    RECT r{};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
    return chooser::Box{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void Place(HWND w, const chooser::Box& b, bool size) {
    ::SetWindowPos(w, nullptr, b.x, b.y, b.w, b.h, SWP_NOZORDER | SWP_NOACTIVATE | (size ? 0 : SWP_NOSIZE));
}

// The tree's container: the child that holds the tree. Where the browser
// keeps its tree directly in the dialog (no container window), the tree is
// its own container.
bool FindTree(HWND dlg, HWND& container, HWND& tree) {
    container = ::GetDlgItem(dlg, IDC_BROWSE_CONTAINER);
    tree = container ? ::GetDlgItem(container, IDC_BROWSE_TREE) : nullptr;
    if (container && tree) return true;
    tree = ::FindWindowExW(dlg, nullptr, WC_TREEVIEWW, nullptr);
    container = tree;
    return tree != nullptr;
}

// Lays the parts out inside the dialog's client rectangle; nothing while the
// dialog has no size yet or a part is missing.
void Arrange(HWND dlg) {
    HWND container = nullptr, tree = nullptr;
    HWND newFolder = ::GetDlgItem(dlg, IDC_BROWSE_NEW_FOLDER);
    HWND ok = ::GetDlgItem(dlg, IDOK), cancel = ::GetDlgItem(dlg, IDCANCEL);
    RECT c{};
    ::GetClientRect(dlg, &c);
    if (!FindTree(dlg, container, tree) || !newFolder || !ok || !cancel || c.right <= c.left || c.bottom <= c.top)
        return;
    const auto layout =
        chooser::Arrange(c.left, c.top, c.right, c.bottom, BoxOf(dlg, newFolder), BoxOf(dlg, ok), BoxOf(dlg, cancel));
    Place(container, layout.container, true);
    Place(newFolder, layout.newFolder, false);
    Place(ok, layout.ok, false);
    Place(cancel, layout.cancel, false);
}

// The browser lays out its own parts whenever it is sized (and some browsers
// get their size only after the initialisation notification): the dialog is
// subclassed so that the layout follows the browser's own.
const wchar_t kOldProc[] = L"Tessaro.FolderChooser.Proc";

LRESULT CALLBACK ChooserProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    auto old = reinterpret_cast<WNDPROC>(::GetPropW(dlg, kOldProc));
    if (!old) return ::DefWindowProcW(dlg, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        ::SetWindowLongPtrW(dlg, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
        ::RemovePropW(dlg, kOldProc);
        return ::CallWindowProcW(old, dlg, msg, wp, lp);
    }
    LRESULT r = ::CallWindowProcW(old, dlg, msg, wp, lp);
    if (msg == WM_SIZE && wp != SIZE_MINIMIZED) Arrange(dlg);
    return r;
}

int CALLBACK BrowseCallback(HWND dlg, UINT msg, LPARAM, LPARAM data) {
    if (msg != BFFM_INITIALIZED) return 0;
    HWND container = nullptr, tree = nullptr;
    if (!FindTree(dlg, container, tree) || !::GetDlgItem(dlg, IDC_BROWSE_NEW_FOLDER) || !::GetDlgItem(dlg, IDOK) ||
        !::GetDlgItem(dlg, IDCANCEL))
        return 0;
    if (HWND title = ::GetDlgItem(dlg, IDC_BROWSE_TITLE)) {
        ::EnableWindow(title, FALSE);
        ::ShowWindow(title, SW_HIDE);
    }
    ::SendMessageW(dlg, BFFM_SETSELECTIONW, TRUE, data);
    Arrange(dlg);
    if (!::GetPropW(dlg, kOldProc)) {
        LONG_PTR old = ::GetWindowLongPtrW(dlg, GWLP_WNDPROC);
        if (old && ::SetPropW(dlg, kOldProc, reinterpret_cast<HANDLE>(old)))
            ::SetWindowLongPtrW(dlg, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ChooserProc));
    }
    return 0;
}

// COM for the browser's new dialog style, for the length of one call.
struct ComScope {
    HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    ~ComScope() {
        if (SUCCEEDED(hr)) ::CoUninitialize();
    }
};

struct PidlOwner {
    LPITEMIDLIST pidl;
    ~PidlOwner() {
        if (pidl) ::CoTaskMemFree(pidl);
    }
};

}  // namespace

bool ChooseFolder(HWND owner, const wchar_t* title, CString& folder) {
    ComScope com;
    wchar_t initial[MAX_PATH] = L"";
    ::SHGetSpecialFolderPathW(nullptr, initial, CSIDL_DESKTOP, FALSE);
    BROWSEINFOW bi{};
    bi.hwndOwner = owner;
    bi.pidlRoot = nullptr;
    bi.lpszTitle = title;
    bi.ulFlags = kBrowseFlags;
    bi.lpfn = &BrowseCallback;
    bi.lParam = reinterpret_cast<LPARAM>(initial);
    PidlOwner chosen{::SHBrowseForFolderW(&bi)};
    if (!chosen.pidl) return false;
    wchar_t path[MAX_PATH] = L"";
    if (!::SHGetPathFromIDListW(chosen.pidl, path) || !path[0]) return false;
    folder = path;
    return true;
}
