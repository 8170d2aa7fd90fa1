// uidriver: a console helper for the Wine UI tests. It finds windows of other
// processes, reads their state, presses their controls, sends them messages and
// reports on processes. One command per call, or many through `batch`.
// Run `uidriver --help` for the commands and output formats.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <cstdarg>
#include <cstdio>
#include <algorithm>
#include <cwchar>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "framecode.h"

namespace {

const wchar_t kHelp[] =
    LR"(uidriver - find, read and drive the windows of other processes (test tool)

usage: uidriver COMMAND [ARGS] [TARGET] [OPTIONS]
       uidriver batch < FILE        (one command per line, see below)

TARGET selects one window:
  --hwnd H          a window handle (0x hex or decimal)
  --class NAME      top-level window of this class (case-insensitive)
  --title TEXT      top-level window with exactly this title
  --title-re REGEX  top-level window whose title matches REGEX (search)
  --pid PID         top-level window of this process
  --visible         consider visible top-level windows only
  --foreground      consider the foreground window only
  --id N            then the descendant control with id N; repeat for nesting
  --child-class C   then the first descendant of class C
  Several top-level matches: the first visible one wins, else the first;
  with --id, those that have that control come first.

Commands (output on stdout, errors on stderr):
  windows [TARGET]          top-level windows, one per line:
                            HWND PID CLASS TITLE VISIBLE (tab separated)
  find TARGET               the window's HWND
  children TARGET           every descendant, one per line:
                            HWND ID CLASS TEXT L,T,R,B VISIBLE ENABLED
  info TARGET               the window itself, in the format of children
  text TARGET               window text (WM_GETTEXT), printed as is
  settext TARGET TEXT       set window text (WM_SETTEXT)
  tip TARGET                the tool-tip text of a control: its tool in a tool-tip
                            window owned by the control or by its parent
  move TARGET X Y W H       SetWindowPos to that place and size (parent client
                            coordinates for a control, screen for a top-level)
  redraw TARGET             the window and its children invalidated with their
                            background erased (RedrawWindow); its thread repaints
  visible | enabled TARGET  1 or 0
  checked TARGET            BM_GETCHECK: 0 unchecked, 1 checked, 2 indeterminate
  rect | client-rect TARGET screen coordinates: LEFT TOP RIGHT BOTTOM WIDTH HEIGHT
  pid TARGET                the owning process id
  foreground                HWND of the foreground window (0x0 if none)
  focus TARGET              HWND with keyboard focus in the window's thread
  activate TARGET           bring the window's top-level window to the foreground
  click TARGET [--post]     BM_CLICK; sent, waiting up to --send-timeout (here 2000
                            by default); prints "pending" if the handler is still
                            busy (a modal dialog); --post only posts it
  command TARGET [--cmd N] [--code C] [--post]
                            WM_COMMAND: without --cmd, from control TARGET to its
                            parent (id, code C, control handle); with --cmd, the
                            command N to TARGET itself (lParam 0). Sent unless --post.
  send TARGET MSG [W [L]]   SendMessage, prints the result in decimal
  post TARGET MSG [W [L]]   PostMessage
                            MSG is a number or WM_CLOSE, WM_COMMAND, WM_USER+N, ...
  pixel TARGET X Y          colour at client point X,Y of the window as shown on
                            the screen: R G B (decimal)
  framecode TARGET          the frame code burnt into the picture the window
                            shows: FRAME CHANNEL MIRRORED FLIPPED (0/1); fails
                            when no code is readable
  lv-count TARGET           list view rows
  lv-text TARGET ROW [COL]  one cell
  lv-rows TARGET            every row, cells tab separated (header count columns)
  lv-state TARGET ROW       selected=0|1 focused=0|1 checked=0|1 state=0xHEX
  lv-selected | lv-checked TARGET
                            indices of selected / checked rows, one per line
  lv-select TARGET ROW [--add]   select (and focus) ROW; others are deselected
                            unless --add; ROW -1 with --add selects all
  lv-check TARGET ROW 0|1   set a row's check box
  hdr-count TARGET          header items of a list view (or of a header control)
  hdr-text TARGET IDX       header item text
  cb-count | cb-sel TARGET  combo box item count / current selection (-1: none)
  cb-text TARGET IDX        combo box item text
  cb-select TARGET IDX      select IDX and notify the parent (CBN_SELCHANGE)
  proc TARGET|--pid PID [--field NAME]
                            process facts, "NAME VALUE" per line: pid, running,
                            exit_code, handles, private_bytes, working_set,
                            peak_working_set, image; --field prints one value.
                            Where Wine's psapi answers 0 for another process, the
                            values come from the system process list (private
                            bytes = its page file usage).
  procs EXE | count-procs EXE    pids (one per line) / count of running processes
                            whose exe name is EXE (".exe" may be left off)
  wait TARGET               wait until the window exists, print its HWND
  wait-gone TARGET          wait until no window matches
  wait-text TARGET --match REGEX   wait until the text matches, print it
  wait-exit TARGET|--pid PID       wait until the process ends, print its exit code
                            (nothing if it had already ended)
  wait-until [--match REGEX] -- COMMAND ARGS...
                            repeat COMMAND until it succeeds (and its output,
                            without the final newline, matches REGEX)
  sleep MS
Wait options: --timeout MS (default 5000), --interval MS (default 20).
Other options: --send-timeout MS for sent messages (default 5000).

Exit codes: 0 ok, 1 failed / not found / timed out, 2 usage error.
HWNDs are printed as 0x hex. In tab-separated lines, texts are escaped:
backslash, tab, CR and LF become \\ \t \r \n.

batch: reads commands from stdin, one per line, and runs each as soon as its
line is complete (words split at blanks; "..." with \" and \\ escapes, or '...';
empty lines and lines starting with # skipped). After each command's output
comes a line ".RC" with its exit code (".0" ok); output lines that begin with "."
get another "." in front. The batch exits with the first non-zero code (or 0).
)";

// ---------------------------------------------------------------- output

std::wstring g_out;                    // stdout text of the current command
std::vector<std::wstring*> g_capture;  // when set, output goes here instead
bool g_quiet_errors = false;

std::string to_utf8(const std::wstring& w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), &s[0], n, nullptr, nullptr);
    return s;
}

std::wstring from_utf8(const std::string& s) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), nullptr, 0);
    std::wstring w(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), &w[0], n);
    return w;
}

void write_handle(DWORD which, const std::wstring& w) {
    std::string s = to_utf8(w);
    HANDLE h = GetStdHandle(which);
    size_t done = 0;
    while (done < s.size()) {
        DWORD put = 0;
        if (!WriteFile(h, s.data() + done, (DWORD)(s.size() - done), &put, nullptr) || put == 0) return;
        done += put;
    }
}

void flush_out() {
    if (!g_out.empty()) write_handle(STD_OUTPUT_HANDLE, g_out);
    g_out.clear();
}

void out(const std::wstring& s) {
    if (!g_capture.empty()) *g_capture.back() += s;
    else g_out += s;
}

std::wstring fmt(const wchar_t* f, ...) {
    wchar_t buf[1024];
    va_list ap;
    va_start(ap, f);
    _vsnwprintf(buf, 1023, f, ap);
    va_end(ap);
    buf[1023] = 0;
    return buf;
}

void outf(const wchar_t* f, ...) {
    wchar_t buf[1024];
    va_list ap;
    va_start(ap, f);
    _vsnwprintf(buf, 1023, f, ap);
    va_end(ap);
    buf[1023] = 0;
    out(buf);
}

void err(const std::wstring& s) {
    if (g_quiet_errors) return;
    flush_out();
    write_handle(STD_ERROR_HANDLE, L"uidriver: " + s + L"\n");
}

std::wstring hex(const void* p) { return fmt(L"0x%llx", (unsigned long long)(uintptr_t)p); }

std::wstring escape(const std::wstring& s) {
    std::wstring r;
    for (wchar_t c : s) {
        switch (c) {
            case L'\\': r += L"\\\\"; break;
            case L'\t': r += L"\\t"; break;
            case L'\n': r += L"\\n"; break;
            case L'\r': r += L"\\r"; break;
            default: r += c;
        }
    }
    return r;
}

// ---------------------------------------------------------------- arguments

struct UsageError {
    std::wstring msg;
};
struct Failure {  // exit code 1 with a message
    std::wstring msg;
};

bool parse_i64(const std::wstring& s, long long& v) {
    size_t i = 0;
    bool neg = false;
    if (i < s.size() && (s[i] == L'-' || s[i] == L'+')) neg = s[i++] == L'-';
    int base = 10;
    if (s.size() > i + 1 && s[i] == L'0' && (s[i + 1] == L'x' || s[i + 1] == L'X')) {
        base = 16;
        i += 2;
    }
    if (i >= s.size()) return false;
    unsigned long long u = 0;
    for (; i < s.size(); ++i) {
        wchar_t c = s[i];
        int d;
        if (c >= L'0' && c <= L'9') d = c - L'0';
        else if (c >= L'a' && c <= L'f') d = c - L'a' + 10;
        else if (c >= L'A' && c <= L'F') d = c - L'A' + 10;
        else return false;
        if (d >= base) return false;
        if (u > (~0ULL - d) / base) return false;
        u = u * base + d;
    }
    v = neg ? (long long)(0ULL - u) : (long long)u;
    return true;
}

long long num(const std::wstring& s, const wchar_t* what) {
    long long v;
    if (!parse_i64(s, v)) throw UsageError{fmt(L"%ls: not a number: '%ls'", what, s.c_str())};
    return v;
}

// Message numbers: a number, a known name, or NAME+N / NAME-N.
UINT message_number(const std::wstring& s) {
    static const std::map<std::wstring, UINT> names = {
        {L"WM_NULL", WM_NULL},
        {L"WM_CLOSE", WM_CLOSE},
        {L"WM_QUIT", WM_QUIT},
        {L"WM_SETTEXT", WM_SETTEXT},
        {L"WM_KEYDOWN", WM_KEYDOWN},
        {L"WM_KEYUP", WM_KEYUP},
        {L"WM_CHAR", WM_CHAR},
        {L"WM_SYSKEYDOWN", WM_SYSKEYDOWN},
        {L"WM_SYSKEYUP", WM_SYSKEYUP},
        {L"WM_COMMAND", WM_COMMAND},
        {L"WM_SYSCOMMAND", WM_SYSCOMMAND},
        {L"WM_TIMER", WM_TIMER},
        {L"WM_LBUTTONDOWN", WM_LBUTTONDOWN},
        {L"WM_LBUTTONUP", WM_LBUTTONUP},
        {L"WM_LBUTTONDBLCLK", WM_LBUTTONDBLCLK},
        {L"WM_RBUTTONDOWN", WM_RBUTTONDOWN},
        {L"WM_RBUTTONUP", WM_RBUTTONUP},
        {L"WM_MOUSEMOVE", WM_MOUSEMOVE},
        {L"WM_SIZE", WM_SIZE},
        {L"WM_USER", WM_USER},
        {L"WM_APP", WM_APP},
    };
    long long v;
    if (parse_i64(s, v)) return (UINT)v;
    size_t op = s.find_first_of(L"+-");
    std::wstring name = s.substr(0, op);
    auto it = names.find(name);
    if (it == names.end()) throw UsageError{L"unknown message: " + s};
    if (op == std::wstring::npos) return it->second;
    long long off;
    if (!parse_i64(s.substr(op), off)) throw UsageError{L"bad message offset: " + s};
    return (UINT)(it->second + off);
}

const std::vector<std::wstring> kFlags = {L"visible", L"foreground", L"post", L"add"};
const std::vector<std::wstring> kValued = {L"hwnd",  L"class",       L"title",   L"title-re", L"pid",
                                           L"id",    L"child-class", L"timeout", L"interval", L"send-timeout",
                                           L"match", L"cmd",         L"code",    L"field"};

struct Args {
    std::vector<std::wstring> pos;             // positional words after the command
    std::map<std::wstring, std::wstring> opt;  // last value of each option
    std::vector<long long> ids;                // --id, in order
    std::vector<std::wstring> rest;            // words after "--"
    bool has_rest = false;

    bool has(const wchar_t* k) const { return opt.count(k) != 0; }
    std::wstring get(const wchar_t* k, const std::wstring& def = L"") const {
        auto it = opt.find(k);
        return it == opt.end() ? def : it->second;
    }
    long long getn(const wchar_t* k, long long def) const {
        auto it = opt.find(k);
        return it == opt.end() ? def : num(it->second, k);
    }
    const std::wstring& need_pos(size_t i, const wchar_t* what) const {
        if (i >= pos.size()) throw UsageError{fmt(L"missing %ls", what)};
        return pos[i];
    }
};

Args parse_args(const std::vector<std::wstring>& words, size_t from) {
    Args a;
    for (size_t i = from; i < words.size(); ++i) {
        const std::wstring& w = words[i];
        if (w == L"--") {
            a.has_rest = true;
            a.rest.assign(words.begin() + i + 1, words.end());
            break;
        }
        if (w.size() > 2 && w[0] == L'-' && w[1] == L'-') {
            std::wstring k = w.substr(2);
            bool flag = false, valued = false;
            for (auto& f : kFlags) flag |= f == k;
            for (auto& v : kValued) valued |= v == k;
            if (flag) {
                a.opt[k] = L"1";
            } else if (valued) {
                if (i + 1 >= words.size()) throw UsageError{L"option needs a value: " + w};
                a.opt[k] = words[++i];
                if (k == L"id") a.ids.push_back(num(a.opt[k], L"--id"));
            } else {
                throw UsageError{L"unknown option: " + w};
            }
        } else {
            a.pos.push_back(w);
        }
    }
    return a;
}

UINT send_timeout(const Args& a) { return (UINT)a.getn(L"send-timeout", 5000); }

// ---------------------------------------------------------------- windows

std::wstring class_of(HWND h) {
    wchar_t buf[256] = {};
    GetClassNameW(h, buf, 256);
    return buf;
}

std::wstring title_of(HWND h) {  // no message to the window: safe with hung targets
    wchar_t buf[1024] = {};
    InternalGetWindowText(h, buf, 1024);
    return buf;
}

DWORD pid_of(HWND h) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    return pid;
}

// WM_GETTEXT across processes (the system copies the text back).
bool window_text(HWND h, std::wstring& s, UINT timeout) {
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutW(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, timeout, &len)) return false;
    if (len > (1u << 20)) len = 1u << 20;
    std::vector<wchar_t> buf(len + 2, 0);
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(h, WM_GETTEXT, len + 1, (LPARAM)buf.data(), SMTO_ABORTIFHUNG, timeout, &got)) return false;
    if (got > len) got = len;
    s.assign(buf.data(), got);
    return true;
}

std::wstring text_or_title(HWND h) {
    std::wstring s;
    if (window_text(h, s, 1000)) return s;
    return title_of(h);
}

std::vector<HWND> top_levels() {
    std::vector<HWND> v;
    EnumWindows(
        [](HWND h, LPARAM p) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
            return TRUE;
        },
        (LPARAM)&v);
    return v;
}

std::vector<HWND> descendants(HWND parent) {
    std::vector<HWND> v;
    EnumChildWindows(
        parent,
        [](HWND h, LPARAM p) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
            return TRUE;
        },
        (LPARAM)&v);
    return v;
}

struct Target {
    bool any = false;
    HWND hwnd = nullptr;
    bool has_hwnd = false;
    std::wstring cls, title;
    bool has_cls = false, has_title = false;
    bool has_re = false;
    std::wregex re;
    DWORD pid = 0;
    bool has_pid = false;
    bool visible_only = false;
    bool foreground_only = false;
    std::vector<long long> ids;
    std::wstring child_class;
};

std::wregex make_regex(const std::wstring& s) {
    try {
        return std::wregex(s, std::regex::ECMAScript);
    } catch (const std::regex_error&) {
        throw UsageError{L"bad regular expression: " + s};
    }
}

Target target_of(const Args& a) {
    Target t;
    if (a.has(L"hwnd")) {
        t.has_hwnd = true;
        t.hwnd = (HWND)(uintptr_t)num(a.get(L"hwnd"), L"--hwnd");
    }
    if (a.has(L"class")) t.has_cls = true, t.cls = a.get(L"class");
    if (a.has(L"title")) t.has_title = true, t.title = a.get(L"title");
    if (a.has(L"title-re")) t.has_re = true, t.re = make_regex(a.get(L"title-re"));
    if (a.has(L"pid")) t.has_pid = true, t.pid = (DWORD)num(a.get(L"pid"), L"--pid");
    t.visible_only = a.has(L"visible");
    t.foreground_only = a.has(L"foreground");
    t.ids = a.ids;
    t.child_class = a.get(L"child-class");
    t.any = t.has_hwnd || t.has_cls || t.has_title || t.has_re || t.has_pid || t.foreground_only;
    return t;
}

bool top_matches(const Target& t, HWND h) {
    if (t.visible_only && !IsWindowVisible(h)) return false;
    if (t.foreground_only && GetForegroundWindow() != h) return false;
    if (t.has_pid && pid_of(h) != t.pid) return false;
    if (t.has_cls && _wcsicmp(class_of(h).c_str(), t.cls.c_str()) != 0) return false;
    if (t.has_title || t.has_re) {
        std::wstring title = title_of(h);
        if (t.has_title && title != t.title) return false;
        if (t.has_re && !std::regex_search(title, t.re)) return false;
    }
    return true;
}

std::vector<HWND> matching_top_levels(const Target& t) {
    std::vector<HWND> r;
    for (HWND h : top_levels())
        if (top_matches(t, h)) r.push_back(h);
    return r;
}

HWND child_by_id(HWND parent, long long id) {
    HWND h = GetDlgItem(parent, (int)id);
    if (h) return h;
    for (HWND c : descendants(parent))
        if ((long long)GetWindowLongPtrW(c, GWLP_ID) == id) return c;
    return nullptr;
}

// Resolves a target to one window, or nullptr with the reason in *why.
HWND resolve(const Target& t, std::wstring* why) {
    HWND h = nullptr;
    if (t.has_hwnd) {
        h = IsWindow(t.hwnd) ? t.hwnd : nullptr;
        if (h && (t.has_cls || t.has_title || t.has_re || t.has_pid || t.visible_only || t.foreground_only) &&
            !top_matches(t, h))
            h = nullptr;
    } else {
        std::vector<HWND> m = matching_top_levels(t);
        // With --id, only top-levels that have the first control qualify (a
        // busy window of the same class must not hide a message box).
        if (!t.ids.empty()) {
            std::vector<HWND> with;
            for (HWND c : m)
                if (child_by_id(c, t.ids.front())) with.push_back(c);
            if (!with.empty()) m = with;
        }
        for (HWND c : m)
            if (IsWindowVisible(c)) {
                h = c;
                break;
            }
        if (!h && !m.empty()) h = m.front();
    }
    if (!h) {
        if (why) *why = L"no such window";
        return nullptr;
    }
    for (long long id : t.ids) {
        HWND c = child_by_id(h, id);
        if (!c) {
            if (why) *why = fmt(L"window %ls has no control with id %lld", hex(h).c_str(), id);
            return nullptr;
        }
        h = c;
    }
    if (!t.child_class.empty()) {
        HWND found = nullptr;
        for (HWND c : descendants(h))
            if (_wcsicmp(class_of(c).c_str(), t.child_class.c_str()) == 0) {
                found = c;
                break;
            }
        if (!found) {
            if (why) *why = fmt(L"window %ls has no descendant of class %ls", hex(h).c_str(), t.child_class.c_str());
            return nullptr;
        }
        h = found;
    }
    return h;
}

HWND need_window(const Args& a) {
    Target t = target_of(a);
    if (!t.any)
        throw UsageError{L"no target window given (--hwnd, --class, --title, --title-re, --pid or --foreground)"};
    std::wstring why;
    HWND h = resolve(t, &why);
    if (!h) throw Failure{why};
    return h;
}

RECT window_rect(HWND h) {
    RECT r = {};
    GetWindowRect(h, &r);
    return r;
}

RECT client_rect_screen(HWND h) {
    RECT r = {};
    GetClientRect(h, &r);
    POINT a = {r.left, r.top}, b = {r.right, r.bottom};
    ClientToScreen(h, &a);
    ClientToScreen(h, &b);
    return RECT{a.x, a.y, b.x, b.y};
}

std::wstring describe(HWND h) {
    RECT r = window_rect(h);
    return fmt(L"%ls\t%lld\t", hex(h).c_str(), (long long)GetWindowLongPtrW(h, GWLP_ID)) + escape(class_of(h)) + L"\t" +
           escape(text_or_title(h)) +
           fmt(L"\t%ld,%ld,%ld,%ld\t%d\t%d\n", r.left, r.top, r.right, r.bottom, IsWindowVisible(h) ? 1 : 0,
               IsWindowEnabled(h) ? 1 : 0);
}

LRESULT send_or_fail(HWND h, UINT msg, WPARAM w, LPARAM l, UINT timeout) {
    DWORD_PTR res = 0;
    SetLastError(0);
    if (!SendMessageTimeoutW(h, msg, w, l, SMTO_ABORTIFHUNG, timeout, &res)) {
        DWORD e = GetLastError();
        throw Failure{fmt(L"message 0x%x to %ls failed (%ls)", msg, hex(h).c_str(),
                          e == ERROR_TIMEOUT || e == 0 ? L"timed out" : fmt(L"error %lu", e).c_str())};
    }
    return (LRESULT)res;
}

// ---------------------------------------------------------------- memory in another process

// A block of memory in the process that owns a window, for messages whose
// parameters point to structures (the system does not copy those across).
class Remote {
public:
    Remote(HWND h, size_t size) : size_(size) {
        DWORD pid = pid_of(h);
        proc_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION,
                            FALSE, pid);
        if (!proc_) throw Failure{fmt(L"cannot open process %lu (error %lu)", pid, GetLastError())};
        BOOL wow_them = FALSE, wow_me = FALSE;
        IsWow64Process(proc_, &wow_them);
        IsWow64Process(GetCurrentProcess(), &wow_me);
        if (wow_them != wow_me) {
            CloseHandle(proc_);
            throw Failure{L"target process has a different bitness"};
        }
        base_ = (char*)VirtualAllocEx(proc_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (!base_) {
            DWORD e = GetLastError();
            CloseHandle(proc_);
            throw Failure{fmt(L"VirtualAllocEx failed (error %lu)", e)};
        }
    }
    ~Remote() {
        VirtualFreeEx(proc_, base_, 0, MEM_RELEASE);
        CloseHandle(proc_);
    }
    Remote(const Remote&) = delete;
    Remote& operator=(const Remote&) = delete;

    char* at(size_t off) const { return base_ + off; }
    void write(size_t off, const void* p, size_t n) {
        SIZE_T done = 0;
        if (off + n > size_ || !WriteProcessMemory(proc_, base_ + off, p, n, &done) || done != n)
            throw Failure{L"WriteProcessMemory failed"};
    }
    void read(size_t off, void* p, size_t n) {
        SIZE_T done = 0;
        if (off + n > size_ || !ReadProcessMemory(proc_, base_ + off, p, n, &done) || done != n)
            throw Failure{L"ReadProcessMemory failed"};
    }

private:
    HANDLE proc_ = nullptr;
    char* base_ = nullptr;
    size_t size_;
};

const int kTextChars = 4096;

// Reads one list view cell through a Remote laid out as LVITEMW + text buffer.
std::wstring lv_cell(Remote& mem, HWND lv, int row, int col, UINT timeout) {
    LVITEMW it = {};
    it.mask = LVIF_TEXT;
    it.iItem = row;
    it.iSubItem = col;
    it.pszText = (LPWSTR)mem.at(sizeof(LVITEMW));
    it.cchTextMax = kTextChars;
    wchar_t zero = 0;
    mem.write(0, &it, sizeof it);
    mem.write(sizeof(LVITEMW), &zero, sizeof zero);
    LRESULT n = send_or_fail(lv, LVM_GETITEMTEXTW, row, (LPARAM)mem.at(0), timeout);
    if (n < 0) n = 0;
    if (n > kTextChars - 1) n = kTextChars - 1;
    std::wstring s(n, L'\0');
    if (n) mem.read(sizeof(LVITEMW), &s[0], n * sizeof(wchar_t));
    return s;
}

void lv_set_state(HWND lv, int row, UINT state, UINT mask, UINT timeout) {
    Remote mem(lv, sizeof(LVITEMW));
    LVITEMW it = {};
    it.stateMask = mask;
    it.state = state;
    mem.write(0, &it, sizeof it);
    if (!send_or_fail(lv, LVM_SETITEMSTATE, (WPARAM)row, (LPARAM)mem.at(0), timeout))
        throw Failure{fmt(L"LVM_SETITEMSTATE failed for row %d", row)};
}

HWND header_of(HWND h, UINT timeout) {
    if (_wcsicmp(class_of(h).c_str(), WC_HEADERW) == 0) return h;
    HWND hdr = (HWND)send_or_fail(h, LVM_GETHEADER, 0, 0, timeout);
    if (!hdr) throw Failure{L"the window has no header"};
    return hdr;
}

int row_arg(const Args& a, size_t i, const wchar_t* what) {
    long long v = num(a.need_pos(i, what), what);
    if (v < -1 || v > 0x7fffffff) throw UsageError{fmt(L"%ls out of range", what)};
    return (int)v;
}

// ---------------------------------------------------------------- processes

struct ProcFacts {
    bool found = false, running = false;
    DWORD exit_code = 0, handles = 0;
    bool have_handles = false, have_mem = false;
    PROCESS_MEMORY_COUNTERS_EX mem = {};
    std::wstring image;
};

// The system's process list: under Wine it carries the handle count and the
// memory counters that GetProcessHandleCount and GetProcessMemoryInfo leave at
// 0 for other processes.
bool system_process_entry(DWORD pid, ULONG& handles, VM_COUNTERS& vm) {
    typedef NTSTATUS(NTAPI * Query)(ULONG, PVOID, ULONG, PULONG);
    Query q = (Query)(void*)GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation");
    if (!q) return false;
    std::vector<char> buf(1 << 20);
    for (int tries = 0; tries < 5; ++tries) {
        ULONG need = 0;
        NTSTATUS st = q(5 /* SystemProcessInformation */, buf.data(), (ULONG)buf.size(), &need);
        if (st == (NTSTATUS)0xC0000004L /* STATUS_INFO_LENGTH_MISMATCH */) {
            buf.resize(std::max<size_t>(buf.size() * 2, need + 65536));
            continue;
        }
        if (st < 0) return false;
        size_t off = 0;
        for (;;) {
            if (off + sizeof(SYSTEM_PROCESS_INFORMATION) > buf.size()) return false;
            auto* e = (SYSTEM_PROCESS_INFORMATION*)(buf.data() + off);
            if ((DWORD)(uintptr_t)e->UniqueProcessId == pid) {
                handles = e->HandleCount;
                vm = e->VirtualMemoryCounters;
                return true;
            }
            if (!e->NextEntryOffset) return false;
            off += e->NextEntryOffset;
        }
    }
    return false;
}

ProcFacts proc_facts(DWORD pid) {
    ProcFacts f;
    HANDLE p = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, pid);
    if (!p) p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, pid);
    if (!p) return f;
    f.found = true;
    f.running = WaitForSingleObject(p, 0) == WAIT_TIMEOUT;
    GetExitCodeProcess(p, &f.exit_code);
    f.have_handles = GetProcessHandleCount(p, &f.handles) != 0;
    f.mem.cb = sizeof f.mem;
    f.have_mem = GetProcessMemoryInfo(p, (PROCESS_MEMORY_COUNTERS*)&f.mem, sizeof f.mem) != 0;
    ULONG sys_handles = 0;
    VM_COUNTERS vm = {};
    if (f.running && (f.handles == 0 || f.mem.PrivateUsage == 0 || f.mem.WorkingSetSize == 0) &&
        system_process_entry(pid, sys_handles, vm)) {
        if (f.handles == 0 && sys_handles) f.handles = sys_handles, f.have_handles = true;
        if (f.mem.PrivateUsage == 0) f.mem.PrivateUsage = vm.PagefileUsage;
        if (f.mem.WorkingSetSize == 0) f.mem.WorkingSetSize = vm.WorkingSetSize;
        if (f.mem.PeakWorkingSetSize == 0) f.mem.PeakWorkingSetSize = vm.PeakWorkingSetSize;
        f.have_mem = true;
    }
    wchar_t path[MAX_PATH * 2] = {};
    DWORD n = MAX_PATH * 2;
    if (QueryFullProcessImageNameW(p, 0, path, &n)) f.image = path;
    CloseHandle(p);
    return f;
}

std::vector<DWORD> pids_named(std::wstring name) {
    std::vector<DWORD> r;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) throw Failure{L"cannot list processes"};
    std::wstring with_exe = name + L".exe";
    PROCESSENTRY32W pe = {};
    pe.dwSize = sizeof pe;
    for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe)) {
        if (_wcsicmp(pe.szExeFile, name.c_str()) == 0 || _wcsicmp(pe.szExeFile, with_exe.c_str()) == 0)
            r.push_back(pe.th32ProcessID);
    }
    CloseHandle(snap);
    return r;
}

DWORD need_pid(const Args& a) {
    if (a.has(L"pid") && !a.has(L"hwnd") && !a.has(L"class") && !a.has(L"title") && !a.has(L"title-re") &&
        a.ids.empty())
        return (DWORD)num(a.get(L"pid"), L"--pid");
    return pid_of(need_window(a));
}

// ---------------------------------------------------------------- waiting

using Command = std::function<int(const Args&)>;
int run_words(const std::vector<std::wstring>& words);

// Repeats probe() until it returns true or the timeout passes.
bool poll(const Args& a, const std::function<bool()>& probe) {
    long long timeout = a.getn(L"timeout", 5000);
    long long interval = a.getn(L"interval", 20);
    if (timeout < 0 || interval < 1) throw UsageError{L"bad --timeout or --interval"};
    ULONGLONG end = GetTickCount64() + (ULONGLONG)timeout;
    for (;;) {
        if (probe()) return true;
        if (GetTickCount64() >= end) return false;
        Sleep((DWORD)interval);
    }
}

std::wstring strip_newline(std::wstring s) {
    if (!s.empty() && s.back() == L'\n') s.pop_back();
    return s;
}

// ---------------------------------------------------------------- commands

int cmd_windows(const Args& a) {
    Target t = target_of(a);
    for (HWND h : matching_top_levels(t))
        out(hex(h) + fmt(L"\t%lu\t", pid_of(h)) + escape(class_of(h)) + L"\t" + escape(title_of(h)) +
            fmt(L"\t%d\n", IsWindowVisible(h) ? 1 : 0));
    return 0;
}

int cmd_find(const Args& a) {
    out(hex(need_window(a)) + L"\n");
    return 0;
}

int cmd_children(const Args& a) {
    for (HWND c : descendants(need_window(a))) out(describe(c));
    return 0;
}

int cmd_info(const Args& a) {
    out(describe(need_window(a)));
    return 0;
}

int cmd_text(const Args& a) {
    std::wstring s;
    if (!window_text(need_window(a), s, send_timeout(a))) throw Failure{L"WM_GETTEXT failed"};
    out(s + L"\n");
    return 0;
}

struct TipSearch {
    DWORD thread;
    HWND owners[2];
    std::vector<HWND> found;
};

BOOL CALLBACK find_tip_window(HWND w, LPARAM lp) {
    auto* s = (TipSearch*)lp;
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    HWND owner = GetWindow(w, GW_OWNER);
    if (_wcsicmp(cls, TOOLTIPS_CLASSW) == 0 && GetWindowThreadProcessId(w, nullptr) == s->thread &&
        (owner == s->owners[0] || owner == s->owners[1]))
        s->found.push_back(w);
    return TRUE;
}

int cmd_tip(const Args& a) {
    HWND h = need_window(a);
    TipSearch search{GetWindowThreadProcessId(h, nullptr), {h, GetParent(h)}, {}};
    EnumWindows(find_tip_window, (LPARAM)&search);
    const size_t chars = 1024;
    for (HWND tip : search.found) {
        Remote mem(tip, sizeof(TTTOOLINFOW) + chars * sizeof(wchar_t));
        TTTOOLINFOW ti = {};
        ti.cbSize = sizeof ti;
        ti.hwnd = h;
        ti.uId = 0;
        ti.lpszText = (LPWSTR)mem.at(sizeof ti);
        wchar_t zero = 0;
        mem.write(0, &ti, sizeof ti);
        mem.write(sizeof ti, &zero, sizeof zero);
        // The tool must be this control's (a zero id names the control itself).
        if (!send_or_fail(tip, TTM_GETTOOLINFOW, 0, (LPARAM)mem.at(0), send_timeout(a))) continue;
        mem.write(0, &ti, sizeof ti);
        send_or_fail(tip, TTM_GETTEXTW, chars, (LPARAM)mem.at(0), send_timeout(a));
        std::wstring text(chars, L'\0');
        mem.read(sizeof ti, &text[0], chars * sizeof(wchar_t));
        text.resize(wcsnlen(text.c_str(), chars));
        out(text + L"\n");
        return 0;
    }
    throw Failure{L"no tool-tip for this control"};
}

int cmd_settext(const Args& a) {
    const std::wstring& s = a.need_pos(0, L"TEXT");
    HWND h = need_window(a);
    if (!send_or_fail(h, WM_SETTEXT, 0, (LPARAM)s.c_str(), send_timeout(a))) throw Failure{L"WM_SETTEXT refused"};
    return 0;
}

int cmd_move(const Args& a) {
    int v[4];
    const wchar_t* names[4] = {L"X", L"Y", L"W", L"H"};
    for (int i = 0; i < 4; ++i) v[i] = _wtoi(a.need_pos(i, names[i]).c_str());
    HWND h = need_window(a);
    if (!SetWindowPos(h, nullptr, v[0], v[1], v[2], v[3], SWP_NOZORDER | SWP_NOACTIVATE))
        throw Failure{L"SetWindowPos failed"};
    return 0;
}

int cmd_redraw(const Args& a) {
    if (!RedrawWindow(need_window(a), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME))
        throw Failure{L"RedrawWindow failed"};
    return 0;
}

int cmd_visible(const Args& a) {
    outf(L"%d\n", IsWindowVisible(need_window(a)) ? 1 : 0);
    return 0;
}

int cmd_enabled(const Args& a) {
    outf(L"%d\n", IsWindowEnabled(need_window(a)) ? 1 : 0);
    return 0;
}

int cmd_checked(const Args& a) {
    outf(L"%lld\n", (long long)send_or_fail(need_window(a), BM_GETCHECK, 0, 0, send_timeout(a)));
    return 0;
}

void print_rect(const RECT& r) {
    outf(L"%ld %ld %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom, r.right - r.left, r.bottom - r.top);
}

int cmd_rect(const Args& a) {
    print_rect(window_rect(need_window(a)));
    return 0;
}

int cmd_client_rect(const Args& a) {
    print_rect(client_rect_screen(need_window(a)));
    return 0;
}

// The window's client area as shown on the screen, 32-bit BGRA rows top-down.
std::vector<uint8_t> screen_pixels(HWND h, int& w, int& ht) {
    RECT r = client_rect_screen(h);
    w = r.right - r.left;
    ht = r.bottom - r.top;
    if (w <= 0 || ht <= 0) throw Failure{L"the window has no client area on the screen"};
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -ht;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC mem = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, w, ht, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    std::vector<uint8_t> out(static_cast<const uint8_t*>(bits), static_cast<const uint8_t*>(bits) + size_t(w) * ht * 4);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(dib);
    ReleaseDC(nullptr, screen);
    return out;
}

int cmd_pixel(const Args& a) {
    if (a.rest.size() < 3) throw UsageError{L"pixel TARGET X Y"};
    int w = 0, h = 0;
    std::vector<uint8_t> px = screen_pixels(need_window(a), w, h);
    int x = static_cast<int>(num(a.rest[1], L"X")), y = static_cast<int>(num(a.rest[2], L"Y"));
    if (x < 0 || y < 0 || x >= w || y >= h) throw Failure{L"point outside the client area"};
    const uint8_t* p = &px[(size_t(y) * w + x) * 4];
    outf(L"%d %d %d\n", p[2], p[1], p[0]);
    return 0;
}

int cmd_framecode(const Args& a) {
    int w = 0, h = 0;
    std::vector<uint8_t> px = screen_pixels(need_window(a), w, h);
    krv::FrameCode code;
    if (!krv::readFrameCode(px.data(), w, h, w * 4, 4, code)) throw Failure{L"no frame code in the picture"};
    outf(L"%u %d %d %d\n", code.frame, code.channel, code.mirrored ? 1 : 0, code.flipped ? 1 : 0);
    return 0;
}

int cmd_pid(const Args& a) {
    outf(L"%lu\n", pid_of(need_window(a)));
    return 0;
}

int cmd_foreground(const Args&) {
    out(hex(GetForegroundWindow()) + L"\n");
    return 0;
}

int cmd_focus(const Args& a) {
    HWND h = need_window(a);
    GUITHREADINFO gi = {};
    gi.cbSize = sizeof gi;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(h, nullptr), &gi)) throw Failure{L"GetGUIThreadInfo failed"};
    out(hex(gi.hwndFocus) + L"\n");
    return 0;
}

int cmd_activate(const Args& a) {
    HWND h = GetAncestor(need_window(a), GA_ROOT);
    SetForegroundWindow(h);
    Args wait_args = a;
    if (!wait_args.has(L"timeout")) wait_args.opt[L"timeout"] = L"1000";
    if (!poll(wait_args, [&] { return GetForegroundWindow() == h; }))
        throw Failure{L"the window did not come to the foreground; now " + hex(GetForegroundWindow())};
    return 0;
}

int cmd_click(const Args& a) {
    HWND h = need_window(a);
    if (a.has(L"post")) {
        if (!PostMessageW(h, BM_CLICK, 0, 0)) throw Failure{L"PostMessage failed"};
        return 0;
    }
    DWORD_PTR res = 0;
    SetLastError(0);
    UINT timeout = (UINT)a.getn(L"send-timeout", 2000);
    if (!SendMessageTimeoutW(h, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, timeout, &res)) {
        DWORD e = GetLastError();
        if (e != ERROR_TIMEOUT && e != 0) throw Failure{fmt(L"BM_CLICK failed (error %lu)", e)};
        out(L"pending\n");
    }
    return 0;
}

int cmd_command(const Args& a) {
    HWND h = need_window(a);
    WORD code = (WORD)a.getn(L"code", 0);
    HWND to;
    WPARAM w;
    LPARAM l;
    if (a.has(L"cmd")) {
        to = h;
        w = MAKEWPARAM((WORD)a.getn(L"cmd", 0), code);
        l = 0;
    } else {
        to = GetParent(h);
        if (!to) throw Failure{L"the control has no parent"};
        w = MAKEWPARAM((WORD)GetWindowLongPtrW(h, GWLP_ID), code);
        l = (LPARAM)h;
    }
    if (a.has(L"post")) {
        if (!PostMessageW(to, WM_COMMAND, w, l)) throw Failure{L"PostMessage failed"};
    } else {
        send_or_fail(to, WM_COMMAND, w, l, send_timeout(a));
    }
    return 0;
}

void message_args(const Args& a, UINT& m, WPARAM& w, LPARAM& l) {
    m = message_number(a.need_pos(0, L"MSG"));
    w = a.pos.size() > 1 ? (WPARAM)num(a.pos[1], L"WPARAM") : 0;
    l = a.pos.size() > 2 ? (LPARAM)num(a.pos[2], L"LPARAM") : 0;
    if (a.pos.size() > 3) throw UsageError{L"too many arguments"};
}

int cmd_send(const Args& a) {
    UINT m;
    WPARAM w;
    LPARAM l;
    message_args(a, m, w, l);
    HWND h = need_window(a);
    outf(L"%lld\n", (long long)send_or_fail(h, m, w, l, send_timeout(a)));
    return 0;
}

int cmd_post(const Args& a) {
    UINT m;
    WPARAM w;
    LPARAM l;
    message_args(a, m, w, l);
    HWND h = need_window(a);
    if (!PostMessageW(h, m, w, l)) throw Failure{fmt(L"PostMessage failed (error %lu)", GetLastError())};
    return 0;
}

int lv_rows_count(HWND lv, UINT timeout) { return (int)send_or_fail(lv, LVM_GETITEMCOUNT, 0, 0, timeout); }

int cmd_lv_count(const Args& a) {
    outf(L"%d\n", lv_rows_count(need_window(a), send_timeout(a)));
    return 0;
}

int cmd_lv_text(const Args& a) {
    int row = row_arg(a, 0, L"ROW");
    int col = a.pos.size() > 1 ? row_arg(a, 1, L"COL") : 0;
    if (row < 0 || col < 0) throw UsageError{L"ROW and COL must not be negative"};
    HWND lv = need_window(a);
    if (row >= lv_rows_count(lv, send_timeout(a))) throw Failure{fmt(L"no row %d", row)};
    Remote mem(lv, sizeof(LVITEMW) + kTextChars * sizeof(wchar_t));
    out(lv_cell(mem, lv, row, col, send_timeout(a)) + L"\n");
    return 0;
}

int cmd_lv_rows(const Args& a) {
    HWND lv = need_window(a);
    UINT to = send_timeout(a);
    int rows = lv_rows_count(lv, to);
    HWND hdr = (HWND)send_or_fail(lv, LVM_GETHEADER, 0, 0, to);
    int cols = hdr ? (int)send_or_fail(hdr, HDM_GETITEMCOUNT, 0, 0, to) : 1;
    if (cols < 1) cols = 1;
    Remote mem(lv, sizeof(LVITEMW) + kTextChars * sizeof(wchar_t));
    for (int r = 0; r < rows; ++r) {
        std::wstring line;
        for (int c = 0; c < cols; ++c) line += (c ? L"\t" : L"") + escape(lv_cell(mem, lv, r, c, to));
        out(line + L"\n");
    }
    return 0;
}

int cmd_lv_state(const Args& a) {
    int row = row_arg(a, 0, L"ROW");
    HWND lv = need_window(a);
    if (row < 0 || row >= lv_rows_count(lv, send_timeout(a))) throw Failure{fmt(L"no row %d", row)};
    UINT s = (UINT)send_or_fail(lv, LVM_GETITEMSTATE, row,
                                LVIS_SELECTED | LVIS_FOCUSED | LVIS_STATEIMAGEMASK | LVIS_CUT | LVIS_DROPHILITED,
                                send_timeout(a));
    outf(L"selected=%d focused=%d checked=%d state=0x%x\n", (s & LVIS_SELECTED) ? 1 : 0, (s & LVIS_FOCUSED) ? 1 : 0,
         ((s & LVIS_STATEIMAGEMASK) >> 12) == 2 ? 1 : 0, s);
    return 0;
}

int cmd_lv_selected(const Args& a) {
    HWND lv = need_window(a);
    UINT to = send_timeout(a);
    int rows = lv_rows_count(lv, to);
    int i = -1;
    for (int guard = 0; guard <= rows; ++guard) {
        i = (int)send_or_fail(lv, LVM_GETNEXTITEM, (WPARAM)i, MAKELPARAM(LVNI_SELECTED, 0), to);
        if (i < 0) break;
        outf(L"%d\n", i);
    }
    return 0;
}

int cmd_lv_checked(const Args& a) {
    HWND lv = need_window(a);
    UINT to = send_timeout(a);
    int rows = lv_rows_count(lv, to);
    for (int i = 0; i < rows; ++i) {
        UINT s = (UINT)send_or_fail(lv, LVM_GETITEMSTATE, i, LVIS_STATEIMAGEMASK, to);
        if (((s & LVIS_STATEIMAGEMASK) >> 12) == 2) outf(L"%d\n", i);
    }
    return 0;
}

int cmd_lv_select(const Args& a) {
    int row = row_arg(a, 0, L"ROW");
    HWND lv = need_window(a);
    UINT to = send_timeout(a);
    if (row >= lv_rows_count(lv, to) || (row < 0 && !a.has(L"add"))) throw Failure{fmt(L"no row %d", row)};
    if (!a.has(L"add")) lv_set_state(lv, -1, 0, LVIS_SELECTED, to);
    if (row >= 0) {
        lv_set_state(lv, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED, to);
        send_or_fail(lv, LVM_ENSUREVISIBLE, row, FALSE, to);
    } else {
        lv_set_state(lv, -1, LVIS_SELECTED, LVIS_SELECTED, to);
    }
    return 0;
}

int cmd_lv_check(const Args& a) {
    int row = row_arg(a, 0, L"ROW");
    long long on = num(a.need_pos(1, L"0|1"), L"check state");
    if (on != 0 && on != 1) throw UsageError{L"check state must be 0 or 1"};
    HWND lv = need_window(a);
    UINT to = send_timeout(a);
    if (row < 0 || row >= lv_rows_count(lv, to)) throw Failure{fmt(L"no row %d", row)};
    lv_set_state(lv, row, INDEXTOSTATEIMAGEMASK(on ? 2 : 1), LVIS_STATEIMAGEMASK, to);
    return 0;
}

int cmd_hdr_count(const Args& a) {
    UINT to = send_timeout(a);
    outf(L"%lld\n", (long long)send_or_fail(header_of(need_window(a), to), HDM_GETITEMCOUNT, 0, 0, to));
    return 0;
}

int cmd_hdr_text(const Args& a) {
    UINT to = send_timeout(a);
    int idx = row_arg(a, 0, L"IDX");
    HWND hdr = header_of(need_window(a), to);
    if (idx < 0 || idx >= (int)send_or_fail(hdr, HDM_GETITEMCOUNT, 0, 0, to))
        throw Failure{fmt(L"no header item %d", idx)};
    Remote mem(hdr, sizeof(HDITEMW) + kTextChars * sizeof(wchar_t));
    HDITEMW it = {};
    it.mask = HDI_TEXT;
    it.pszText = (LPWSTR)mem.at(sizeof(HDITEMW));
    it.cchTextMax = kTextChars;
    wchar_t zero = 0;
    mem.write(0, &it, sizeof it);
    mem.write(sizeof(HDITEMW), &zero, sizeof zero);
    if (!send_or_fail(hdr, HDM_GETITEMW, idx, (LPARAM)mem.at(0), to)) throw Failure{L"HDM_GETITEM failed"};
    std::vector<wchar_t> buf(kTextChars, 0);
    mem.read(sizeof(HDITEMW), buf.data(), kTextChars * sizeof(wchar_t));
    buf.back() = 0;
    out(std::wstring(buf.data()) + L"\n");
    return 0;
}

int cmd_cb_count(const Args& a) {
    outf(L"%lld\n", (long long)send_or_fail(need_window(a), CB_GETCOUNT, 0, 0, send_timeout(a)));
    return 0;
}

int cmd_cb_sel(const Args& a) {
    outf(L"%lld\n", (long long)send_or_fail(need_window(a), CB_GETCURSEL, 0, 0, send_timeout(a)));
    return 0;
}

int cmd_cb_text(const Args& a) {
    int idx = row_arg(a, 0, L"IDX");
    HWND cb = need_window(a);
    UINT to = send_timeout(a);
    LRESULT len = send_or_fail(cb, CB_GETLBTEXTLEN, idx, 0, to);
    if (len == CB_ERR || idx < 0) throw Failure{fmt(L"no item %d", idx)};
    if (len > (1 << 20)) throw Failure{L"item text too long"};
    std::vector<wchar_t> buf(len + 2, 0);
    LRESULT got = send_or_fail(cb, CB_GETLBTEXT, idx, (LPARAM)buf.data(), to);
    if (got == CB_ERR) throw Failure{fmt(L"no item %d", idx)};
    buf[len] = 0;
    out(std::wstring(buf.data()) + L"\n");
    return 0;
}

int cmd_cb_select(const Args& a) {
    int idx = row_arg(a, 0, L"IDX");
    HWND cb = need_window(a);
    UINT to = send_timeout(a);
    LRESULT r = send_or_fail(cb, CB_SETCURSEL, idx, 0, to);
    if (r == CB_ERR && idx != -1) throw Failure{fmt(L"no item %d", idx)};
    HWND parent = GetParent(cb);
    if (parent)
        send_or_fail(parent, WM_COMMAND, MAKEWPARAM((WORD)GetWindowLongPtrW(cb, GWLP_ID), CBN_SELCHANGE), (LPARAM)cb,
                     to);
    return 0;
}

int cmd_proc(const Args& a) {
    DWORD pid = need_pid(a);
    ProcFacts f = proc_facts(pid);
    std::vector<std::pair<std::wstring, std::wstring>> rows;
    rows.push_back({L"pid", fmt(L"%lu", pid)});
    rows.push_back({L"running", f.running ? L"1" : L"0"});
    if (f.found && !f.running) rows.push_back({L"exit_code", fmt(L"%lu", f.exit_code)});
    if (f.running && f.have_handles) rows.push_back({L"handles", fmt(L"%lu", f.handles)});
    if (f.running && f.have_mem) {
        rows.push_back({L"private_bytes", fmt(L"%llu", (unsigned long long)f.mem.PrivateUsage)});
        rows.push_back({L"working_set", fmt(L"%llu", (unsigned long long)f.mem.WorkingSetSize)});
        rows.push_back({L"peak_working_set", fmt(L"%llu", (unsigned long long)f.mem.PeakWorkingSetSize)});
    }
    if (!f.image.empty()) rows.push_back({L"image", f.image});
    if (a.has(L"field")) {
        std::wstring want = a.get(L"field");
        for (auto& r : rows)
            if (r.first == want) {
                out(r.second + L"\n");
                return 0;
            }
        throw Failure{L"no value for " + want + (f.running ? L"" : L" (process not running)")};
    }
    for (auto& r : rows) out(r.first + L" " + r.second + L"\n");
    return 0;
}

int cmd_procs(const Args& a) {
    for (DWORD p : pids_named(a.need_pos(0, L"EXE"))) outf(L"%lu\n", p);
    return 0;
}

int cmd_count_procs(const Args& a) {
    outf(L"%zu\n", pids_named(a.need_pos(0, L"EXE")).size());
    return 0;
}

int cmd_wait(const Args& a) {
    Target t = target_of(a);
    if (!t.any) throw UsageError{L"no target window given"};
    HWND h = nullptr;
    std::wstring why;
    if (!poll(a, [&] { return (h = resolve(t, &why)) != nullptr; })) throw Failure{L"timed out: " + why};
    out(hex(h) + L"\n");
    return 0;
}

int cmd_wait_gone(const Args& a) {
    Target t = target_of(a);
    if (!t.any) throw UsageError{L"no target window given"};
    HWND h = nullptr;
    if (!poll(a, [&] { return (h = resolve(t, nullptr)) == nullptr; }))
        throw Failure{L"timed out: window still there: " + hex(h)};
    return 0;
}

int cmd_wait_text(const Args& a) {
    Target t = target_of(a);
    if (!t.any) throw UsageError{L"no target window given"};
    if (!a.has(L"match")) throw UsageError{L"wait-text needs --match REGEX"};
    std::wregex re = make_regex(a.get(L"match"));
    UINT to = send_timeout(a);
    std::wstring text, last = L"(no window)";
    bool ok = poll(a, [&] {
        HWND h = resolve(t, nullptr);
        if (!h || !window_text(h, text, to)) return false;
        last = L"'" + text + L"'";
        return std::regex_search(text, re);
    });
    if (!ok) throw Failure{L"timed out; last text " + last};
    out(text + L"\n");
    return 0;
}

int cmd_wait_exit(const Args& a) {
    long long timeout = a.getn(L"timeout", 5000);
    if (timeout < 0) throw UsageError{L"bad --timeout"};
    DWORD pid = need_pid(a);
    HANDLE p = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!p) return 0;  // already gone (its exit code is lost with it)
    DWORD r = WaitForSingleObject(p, (DWORD)timeout);
    DWORD code = 0;
    GetExitCodeProcess(p, &code);
    CloseHandle(p);
    if (r != WAIT_OBJECT_0) throw Failure{fmt(L"timed out: process %lu still running", pid)};
    outf(L"%lu\n", code);
    return 0;
}

int cmd_wait_until(const Args& a) {
    if (!a.has_rest || a.rest.empty()) throw UsageError{L"wait-until needs -- COMMAND ARGS..."};
    if (a.rest[0] == L"batch" || a.rest[0].rfind(L"wait", 0) == 0)
        throw UsageError{L"wait-until cannot repeat " + a.rest[0]};
    bool has_re = a.has(L"match");
    std::wregex re;
    if (has_re) re = make_regex(a.get(L"match"));
    std::wstring last;
    int last_rc = 1;
    bool ok = poll(a, [&] {
        std::wstring got;
        g_capture.push_back(&got);
        g_quiet_errors = true;
        int rc = run_words(a.rest);
        g_quiet_errors = false;
        g_capture.pop_back();
        if (rc == 2) throw UsageError{L"bad command for wait-until"};
        last = strip_newline(got);
        last_rc = rc;
        return rc == 0 && (!has_re || std::regex_search(last, re));
    });
    if (!ok) throw Failure{fmt(L"timed out; last exit code %d, output '", last_rc) + last + L"'"};
    out(last + L"\n");
    return 0;
}

int cmd_sleep(const Args& a) {
    long long ms = num(a.need_pos(0, L"MS"), L"MS");
    if (ms < 0 || ms > 600000) throw UsageError{L"MS out of range"};
    Sleep((DWORD)ms);
    return 0;
}

int cmd_help(const Args&) {
    out(kHelp);
    return 0;
}

// Splits a batch line into words.
bool split_line(const std::wstring& line, std::vector<std::wstring>& words) {
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && iswspace(line[i])) ++i;
        if (i >= line.size()) break;
        std::wstring w;
        while (i < line.size() && !iswspace(line[i])) {
            wchar_t c = line[i];
            if (c == L'"') {
                ++i;
                while (i < line.size() && line[i] != L'"') {
                    if (line[i] == L'\\' && i + 1 < line.size() && (line[i + 1] == L'"' || line[i + 1] == L'\\')) ++i;
                    w += line[i++];
                }
                if (i >= line.size()) return false;
                ++i;
            } else if (c == L'\'') {
                size_t e = line.find(L'\'', i + 1);
                if (e == std::wstring::npos) return false;
                w += line.substr(i + 1, e - i - 1);
                i = e + 1;
            } else {
                w += c;
                ++i;
            }
        }
        words.push_back(w);
    }
    return true;
}

// Runs one batch line: its output, dot-stuffed, then ".RC".
int batch_line(std::wstring line) {
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    size_t f = line.find_first_not_of(L" \t");
    if (f == std::wstring::npos || line[f] == L'#') return -1;
    std::vector<std::wstring> words;
    int rc;
    std::wstring got;
    if (!split_line(line, words)) {
        err(L"unbalanced quotes: " + line);
        rc = 2;
    } else if (!words.empty() && words[0] == L"batch") {
        err(L"batch cannot nest");
        rc = 2;
    } else {
        g_capture.push_back(&got);
        rc = run_words(words);
        g_capture.pop_back();
    }
    if (!got.empty() && got.back() != L'\n') got += L'\n';
    std::wstring framed;
    for (size_t at = 0; at < got.size();) {
        size_t e = got.find(L'\n', at);
        if (got[at] == L'.') framed += L'.';
        framed += got.substr(at, e + 1 - at);
        at = e + 1;
    }
    out(framed + fmt(L".%d\n", rc));
    flush_out();
    return rc;
}

// Commands come from stdin and each runs as soon as its line is complete, so
// a test can keep one driver process and talk to it through two pipes.
int cmd_batch(const Args& a) {
    if (!a.pos.empty()) throw UsageError{L"batch takes its commands from stdin"};
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    std::string pending;
    char buf[4096];
    int first_bad = 0;
    for (bool eof = false; !eof;) {
        DWORD got = 0;
        if (!ReadFile(in, buf, sizeof buf, &got, nullptr) || got == 0) eof = true;
        else pending.append(buf, got);
        size_t nl;
        while ((nl = pending.find('\n')) != std::string::npos || (eof && !pending.empty())) {
            if (nl == std::string::npos) nl = pending.size();
            std::wstring line = from_utf8(pending.substr(0, nl));
            pending.erase(0, nl + 1 > pending.size() ? pending.size() : nl + 1);
            int rc = batch_line(line);
            if (rc > 0 && !first_bad) first_bad = rc;
        }
    }
    return first_bad;
}

const std::map<std::wstring, Command>& commands() {
    static const std::map<std::wstring, Command> m = {
        {L"windows", cmd_windows},
        {L"find", cmd_find},
        {L"children", cmd_children},
        {L"info", cmd_info},
        {L"text", cmd_text},
        {L"settext", cmd_settext},
        {L"tip", cmd_tip},
        {L"move", cmd_move},
        {L"redraw", cmd_redraw},
        {L"visible", cmd_visible},
        {L"enabled", cmd_enabled},
        {L"checked", cmd_checked},
        {L"rect", cmd_rect},
        {L"client-rect", cmd_client_rect},
        {L"pid", cmd_pid},
        {L"pixel", cmd_pixel},
        {L"framecode", cmd_framecode},
        {L"foreground", cmd_foreground},
        {L"focus", cmd_focus},
        {L"activate", cmd_activate},
        {L"click", cmd_click},
        {L"command", cmd_command},
        {L"send", cmd_send},
        {L"post", cmd_post},
        {L"lv-count", cmd_lv_count},
        {L"lv-text", cmd_lv_text},
        {L"lv-rows", cmd_lv_rows},
        {L"lv-state", cmd_lv_state},
        {L"lv-selected", cmd_lv_selected},
        {L"lv-checked", cmd_lv_checked},
        {L"lv-select", cmd_lv_select},
        {L"lv-check", cmd_lv_check},
        {L"hdr-count", cmd_hdr_count},
        {L"hdr-text", cmd_hdr_text},
        {L"cb-count", cmd_cb_count},
        {L"cb-sel", cmd_cb_sel},
        {L"cb-text", cmd_cb_text},
        {L"cb-select", cmd_cb_select},
        {L"proc", cmd_proc},
        {L"procs", cmd_procs},
        {L"count-procs", cmd_count_procs},
        {L"wait", cmd_wait},
        {L"wait-gone", cmd_wait_gone},
        {L"wait-text", cmd_wait_text},
        {L"wait-exit", cmd_wait_exit},
        {L"wait-until", cmd_wait_until},
        {L"sleep", cmd_sleep},
        {L"batch", cmd_batch},
        {L"help", cmd_help},
        {L"--help", cmd_help},
        {L"-h", cmd_help},
    };
    return m;
}

int run_words(const std::vector<std::wstring>& words) {
    try {
        if (words.empty()) throw UsageError{L"no command (try --help)"};
        auto it = commands().find(words[0]);
        if (it == commands().end()) throw UsageError{L"unknown command: " + words[0] + L" (try --help)"};
        return it->second(parse_args(words, 1));
    } catch (const UsageError& e) {
        err(e.msg);
        return 2;
    } catch (const Failure& e) {
        err(e.msg);
        return 1;
    } catch (const std::exception& e) {
        err(from_utf8(e.what()));
        return 1;
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    SetConsoleOutputCP(CP_UTF8);
    std::vector<std::wstring> words(argv + 1, argv + argc);
    int rc = run_words(words);
    flush_out();
    return rc;
}
