// The map window, its browser host and the stand-in browser control under
// Wine: a top-level dialog with the map window in it, real messages through
// the framework's filter chain, and the pixels the control paints read back.
//
// Suites: StandIn.* need the stand-in registered and the bench's Chromium;
// Container.* need nothing; NoBrowser.* need the stand-in without Chromium
// (they point it at a closed port); Offline.* run beside a wininet.dll that
// reports no connection; PlatformControl.* run with Wine's own control.
// winsock2.h goes before windows.h.
#include <winsock2.h>

#include <gtest/gtest.h>
#include <windows.h>
#include <mshtml.h>
#include <wininet.h>
#include <winternl.h>
#include <wrl/client.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>

#include "app_messages.h"
#include "browser_test_ids.h"
#include "control_ids.h"
#include "fw_app.h"
#include "fw_axhost.h"
#include "fw_dialog.h"
#include "fw_ole.h"
#include "map_dlg.h"

using Microsoft::WRL::ComPtr;

namespace {

class TestApp : public CWinApp {};
TestApp theApp;

// Runs the message loop as the viewer does (through the application's filter)
// until done() or ms have passed; the last value of done().
bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
    const ULONGLONG end = ::GetTickCount64() + ms;
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!theApp.PreTranslateMessage(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
        if (done()) return true;
        if (::GetTickCount64() >= end) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void Pump(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

std::string Narrow(const std::wstring& w) {
    std::string s;
    for (wchar_t c : w) s += c < 128 ? static_cast<char>(c) : '?';
    return s;
}

// The top-level window of the tests: keeps the keys the viewer's main window
// keeps from everything in it (key-down of Escape, Enter, Space, Cancel, Left,
// Right, Page Up, Page Down; Alt+F4).
class TestFrame : public CDialog {
public:
    TestFrame() : CDialog(IDD_BROWSER_TEST_FRAME) {}
    BOOL PreTranslateMessage(MSG* msg) override {
        if (msg->message == WM_SYSKEYDOWN && msg->wParam == VK_F4) return TRUE;
        if (msg->message == WM_KEYDOWN) {
            switch (msg->wParam) {
                case VK_ESCAPE:
                case VK_RETURN:
                case VK_SPACE:
                case VK_CANCEL:
                case VK_LEFT:
                case VK_RIGHT:
                case VK_PRIOR:
                case VK_NEXT: return TRUE;
            }
        }
        return CDialog::PreTranslateMessage(msg);
    }
};

// A property of an automation object by name; VT_EMPTY when missing.
void GetProperty(IDispatch* d, const wchar_t* name, VARIANT* out) {
    ::VariantInit(out);
    if (!d) return;
    LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
    DISPID id;
    if (FAILED(d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, out, nullptr, nullptr);
}

long LongProperty(IDispatch* d, const wchar_t* name) {
    CVariant v;
    GetProperty(d, name, &v);
    return v.vt == VT_I4 ? v.lVal : -1;
}

std::wstring TextProperty(IDispatch* d, const wchar_t* name) {
    CVariant v;
    GetProperty(d, name, &v);
    return v.vt == VT_BSTR && v.bstrVal ? std::wstring(v.bstrVal) : std::wstring();
}

bool EndsWith(const std::wstring& s, const std::wstring& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

struct Rgb {
    int r, g, b;
};

Rgb PixelOf(HWND w, int x, int y) {
    HDC dc = ::GetDC(w);
    COLORREF c = ::GetPixel(dc, x, y);
    ::ReleaseDC(w, dc);
    return {GetRValue(c), GetGValue(c), GetBValue(c)};
}

bool Near(Rgb a, Rgb b, int tolerance = 6) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

std::string Show(Rgb c) {
    return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}

const Rgb kBlock{0x00, 0xc0, 0x80};  // map.htm's block at (0, 0) 100x60
const Rgb kMapBackground{0x20, 0x40, 0xa0};
const Rgb kNoGpsBackground{0x80, 0x80, 0x00};
const Rgb kNotConnectedBackground{0xc0, 0x40, 0x00};
const Rgb kPanel{40, 44, 52};  // the stand-in without a page

// This process's open handles, counted by value (Wine's GetProcessHandleCount
// gives 0).
int OpenHandles() {
    int n = 0;
    for (uintptr_t h = 4; h < 0x40000; h += 4) {
        DWORD flags;
        if (::GetHandleInformation(reinterpret_cast<HANDLE>(h), &flags)) ++n;
    }
    return n;
}

// Live GDI objects of this process. Wine's GetGuiResources gives 0: there
// the process's GDI handle table is counted instead (PEB->GdiSharedHandleTable,
// 65536 entries of 24 bytes whose byte 14, the object type, is 0 when free).
int GdiObjects() {
    if (DWORD n = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS)) return static_cast<int>(n);
    auto* peb = reinterpret_cast<BYTE*>(NtCurrentTeb()->ProcessEnvironmentBlock);
    BYTE* table = *reinterpret_cast<BYTE**>(peb + 0xF8);
    if (!table) return -1;
    int n = 0;
    for (size_t i = 0; i < 0x10000; ++i)
        if (table[i * 24 + 14]) ++n;
    return n;
}

int ThreadWindows() {
    int n = 0;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND w, LPARAM p) -> BOOL {
            int* count = reinterpret_cast<int*>(p);
            ++*count;
            ::EnumChildWindows(
                w,
                [](HWND, LPARAM q) -> BOOL {
                    ++*reinterpret_cast<int*>(q);
                    return TRUE;
                },
                p);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&n));
    return n;
}

class MapTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_frame.Create(IDD_BROWSER_TEST_FRAME, nullptr));
        ::SetWindowPos(m_frame, HWND_TOP, 0, 0, 640, 480, SWP_SHOWWINDOW);
    }
    void TearDown() override {
        m_map.reset();
        m_frame.DestroyWindow();
        Pump(20);
    }

    // The map window as the main window sets it up: created, moved, fitted.
    BBMapDlg& CreateMap(int width = 305, int height = 253) {
        m_map = std::make_unique<BBMapDlg>();
        EXPECT_TRUE(m_map->Create(&m_frame));
        m_map->MoveWindow(10, 10, width, height);
        m_map->ShowWindow(SW_SHOW);
        m_map->FitBrowser();
        return *m_map;
    }

    IDispatch* Control() { return m_map->m_Browser.GetControlDispatch(); }
    HWND ControlWindow() { return m_map->m_Browser.GetControlWindow(); }

    // Waits for the page whose address ends with name to have loaded.
    bool WaitLoaded(const std::wstring& name, DWORD ms = 8000) {
        return PumpUntil(
            [&] {
                return LongProperty(Control(), L"ReadyState") == READYSTATE_COMPLETE &&
                       EndsWith(TextProperty(Control(), L"LocationURL"), name);
            },
            ms);
    }

    // Waits for the control's window to show colour c at (x, y).
    bool WaitPixel(int x, int y, Rgb c, DWORD ms = 5000) {
        return PumpUntil([&] { return Near(PixelOf(ControlWindow(), x, y), c); }, ms);
    }

    ComPtr<IHTMLDocument2> Document() {
        ComPtr<IHTMLDocument2> html;
        if (ComPtr<IDispatch> d = m_map->m_Browser.GetDocument()) d.As(&html);
        return html;
    }

    std::wstring Title() {
        ComPtr<IHTMLDocument2> doc = Document();
        BSTR t = nullptr;
        if (!doc || FAILED(doc->get_title(&t)) || !t) return L"<none>";
        std::wstring s(t);
        ::SysFreeString(t);
        return s;
    }

    ComPtr<IDispatch> Script() {
        ComPtr<IDispatch> script;
        if (ComPtr<IHTMLDocument2> doc = Document()) doc->get_Script(&script);
        return script;
    }

    // Calls a page function through the script object; its result.
    HRESULT CallPage(const wchar_t* name, VARIANT* result, std::initializer_list<const wchar_t*> args = {}) {
        ComPtr<IDispatch> script = Script();
        if (!script) return E_FAIL;
        LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
        DISPID id;
        HRESULT hr = script->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &id);
        if (FAILED(hr)) return hr;
        std::vector<VARIANT> v(args.size());
        size_t i = args.size();
        for (const wchar_t* a : args) {
            v[--i].vt = VT_BSTR;
            v[i].bstrVal = ::SysAllocString(a);
        }
        DISPPARAMS p{v.data(), nullptr, static_cast<UINT>(v.size()), 0};
        hr = script->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &p, result, nullptr, nullptr);
        for (auto& a : v) ::VariantClear(&a);
        return hr;
    }

    std::wstring PageLog() {
        CVariant r;
        if (FAILED(CallPage(L"GetLog", &r)) || r.vt != VT_BSTR) return L"<no log>";
        return r.bstrVal;
    }

    TestFrame m_frame;
    std::unique_ptr<BBMapDlg> m_map;
};

class StandIn : public MapTest {
protected:
    void SetUp() override {
        wchar_t port[16];
        ASSERT_GT(::GetEnvironmentVariableW(L"TESSARO_BROWSER_CDP_PORT", port, 16), 0u)
            << "no Chromium: run under scripts/bench (with chromium installed)";
        MapTest::SetUp();
    }
};

TEST_F(StandIn, ShowsTheMapPageInTheWindow) {
    BBMapDlg& map = CreateMap();
    EXPECT_EQ(map.GetPageKind(), BBMapDlg::kPageMap);
    ASSERT_TRUE(WaitLoaded(L"/map.htm"));
    std::wstring url = TextProperty(Control(), L"LocationURL");
    EXPECT_EQ(url.rfind(L"file:///", 0), 0u) << url;
    ASSERT_TRUE(WaitPixel(50, 30, kBlock)) << Show(PixelOf(ControlWindow(), 50, 30));
    EXPECT_TRUE(Near(PixelOf(ControlWindow(), 200, 200), kMapBackground));
    // The viewport follows the control: the page reaches its bottom right corner.
    EXPECT_TRUE(Near(PixelOf(ControlWindow(), 303, 251), kMapBackground)) << Show(PixelOf(ControlWindow(), 303, 251));
    EXPECT_EQ(Title(), L"map test");
}

TEST_F(StandIn, DrawCurrentGetsLatitudeFirstAndReturnsAfterThePageRanIt) {
    BBMapDlg& map = CreateMap();
    ASSERT_TRUE(WaitLoaded(L"/map.htm"));
    map.CallDrawCurrent(L"37.387458", L"127.123456");
    // No message pumped in between: the call was synchronous.
    EXPECT_EQ(Title(), L"37.387458|127.123456|string|2|1");
    EXPECT_EQ(map.m_strLat, L"37.387458");
    EXPECT_EQ(map.m_strLng, L"127.123456");
    map.CallDrawCurrent(L"-33.856159", L"-151.215256");
    EXPECT_EQ(Title(), L"-33.856159|-151.215256|string|2|2");
    // The marker's colour changes with each call and is painted.
    EXPECT_TRUE(WaitPixel(150, 30, Rgb{0xff, 0, 0}));
    map.CallDrawCurrent(L"1.000000", L"2.000000");
    EXPECT_TRUE(WaitPixel(150, 30, Rgb{0, 0, 0xff}));
    // Refresh loads the page again: its state starts over. (The kept position
    // is dropped first: a reloaded page is handed it, which has a test of its
    // own, and each hand-over would flip the marker again.)
    map.ForgetPosition();
    map.RefreshBrowser();
    EXPECT_TRUE(PumpUntil(
        [&] { return LongProperty(Control(), L"ReadyState") == READYSTATE_COMPLETE && Title() == L"map test"; }, 5000));
    EXPECT_TRUE(WaitPixel(150, 30, Rgb{0xff, 0, 0}));
}

TEST_F(StandIn, ScriptObjectCallsGlobalFunctionsOnly) {
    CreateMap();
    ASSERT_TRUE(WaitLoaded(L"/map.htm"));
    CVariant sum;
    ASSERT_EQ(CallPage(L"Sum", &sum, {L"a", L"b", L"c"}), S_OK);
    ASSERT_EQ(sum.vt, VT_BSTR);
    EXPECT_STREQ(sum.bstrVal, L"abc");  // script order: the reverse of rgvarg
    // Numbers and booleans arrive as such; numbers come back as numbers.
    ComPtr<IDispatch> script = Script();
    ASSERT_TRUE(script);
    LPOLESTR names[1] = {const_cast<LPOLESTR>(L"Sum")};
    DISPID id;
    ASSERT_EQ(script->GetIDsOfNames(IID_NULL, names, 1, 0x0800, &id), S_OK);
    VARIANT args[2];
    args[1].vt = VT_I4;
    args[1].lVal = 40;
    args[0].vt = VT_R8;
    args[0].dblVal = 2.5;
    DISPPARAMS p{args, nullptr, 2, 0};
    CVariant r;
    ASSERT_EQ(script->Invoke(id, IID_NULL, 0x0800, DISPATCH_METHOD, &p, &r, nullptr, nullptr), S_OK);
    ASSERT_EQ(r.vt, VT_R8);
    EXPECT_DOUBLE_EQ(r.dblVal, 42.5);
    DISPID named = 0;
    DISPPARAMS withNamed{args, &named, 2, 1};
    EXPECT_EQ(script->Invoke(id, IID_NULL, 0x0800, DISPATCH_METHOD, &withNamed, nullptr, nullptr, nullptr),
              DISP_E_NONAMEDARGS);
    // A throwing function reports an exception with the page's message.
    EXCEPINFO info{};
    names[0] = const_cast<LPOLESTR>(L"Fail");
    ASSERT_EQ(script->GetIDsOfNames(IID_NULL, names, 1, 0x0800, &id), S_OK);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(script->Invoke(id, IID_NULL, 0x0800, DISPATCH_METHOD, &none, nullptr, &info, nullptr), DISP_E_EXCEPTION);
    ASSERT_TRUE(info.bstrDescription);
    EXPECT_NE(std::wstring(info.bstrDescription).find(L"page failure"), std::wstring::npos);
    ::SysFreeString(info.bstrSource);
    ::SysFreeString(info.bstrDescription);
    // Names that are not global functions are unknown.
    for (const wchar_t* n : {L"NoSuchFunction", L"calls", L"document", L"drawcurrent"}) {
        names[0] = const_cast<LPOLESTR>(n);
        EXPECT_EQ(script->GetIDsOfNames(IID_NULL, names, 1, 0x0800, &id), DISP_E_UNKNOWNNAME) << n;
    }
}

TEST_F(StandIn, BusyPageDoesNotHoldTheWindowThread) {
    BBMapDlg& map = CreateMap();
    ASSERT_TRUE(WaitLoaded(L"/map.htm"));
    // Only the calls below reach the page (no hand-over of a kept position).
    ::KillTimer(map.GetSafeHwnd(), TIMER_MAP_RESEND);
    ULONGLONG start = ::GetTickCount64();
    EXPECT_EQ(CallPage(L"Hang", nullptr, {L"3500"}), HRESULT_FROM_WIN32(ERROR_TIMEOUT));
    EXPECT_LT(::GetTickCount64() - start, 2500u);  // the bound of a call
    // While the page is busy, calls fail at once.
    start = ::GetTickCount64();
    start = ::GetTickCount64();
    map.CallDrawCurrent(L"1.000000", L"2.000000");
    EXPECT_LT(::GetTickCount64() - start, 100u);
    // Once it has caught up, they go through again.
    Pump(2000);
    map.CallDrawCurrent(L"3.000000", L"4.000000");
    EXPECT_EQ(Title(), L"3.000000|4.000000|string|2|1");
}

TEST_F(StandIn, ReloadedPageGetsTheKeptPosition) {
    BBMapDlg& map = CreateMap();
    ASSERT_TRUE(WaitLoaded(L"/map.htm"));
    // The old page counts more calls than a hand-over ever makes, which tells
    // it from the reloaded one.
    for (int i = 0; i < 25; ++i) map.CallDrawCurrent(L"5.000000", L"6.000000");
    ASSERT_EQ(Title(), L"5.000000|6.000000|string|2|25");
    const std::wstring prefix = L"5.000000|6.000000|string|2|";
    auto newPageCalls = [&] {
        const std::wstring t = Title();
        if (t.compare(0, prefix.size(), prefix) != 0) return 0;
        const int n = _wtoi(t.c_str() + prefix.size());
        return n < 25 ? n : 0;
    };
    map.RefreshBrowser();
    EXPECT_TRUE(PumpUntil([&] { return newPageCalls() > 0; }, 4000)) << Narrow(Title());
    // Handed over for a bounded time only.
    Pump(5500);
    const std::wstring settled = Title();
    EXPECT_GT(newPageCalls(), 0) << Narrow(settled);
    Pump(1000);
    EXPECT_EQ(Title(), settled);

    // A forgotten position is not handed to the next page.
    map.ForgetPosition();
    map.RefreshBrowser();
    EXPECT_TRUE(PumpUntil([&] { return Title() == L"map test"; }, 4000)) << Narrow(Title());
    Pump(1500);
    EXPECT_EQ(Title(), L"map test");
}

TEST_F(StandIn, PageWithoutDrawCurrentIsSkipped) {
    BBMapDlg& map = CreateMap();
    map.LoadMapPage(BBMapDlg::kPageNoGpsData);
    ASSERT_TRUE(WaitLoaded(L"/mapNoGPSData.htm"));
    ASSERT_TRUE(WaitPixel(100, 100, kNoGpsBackground)) << Show(PixelOf(ControlWindow(), 100, 100));
    ComPtr<IDispatch> script = Script();
    ASSERT_TRUE(script);
    LPOLESTR names[1] = {const_cast<LPOLESTR>(L"DrawCurrent")};
    DISPID id;
    EXPECT_EQ(script->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &id), DISP_E_UNKNOWNNAME);
    map.CallDrawCurrent(L"37.387458", L"127.123456");
    EXPECT_EQ(Title(), L"no gps data");
    EXPECT_EQ(map.m_strLat, L"37.387458");
}

TEST_F(StandIn, CallsBeforeTheLoadAreSkipped) {
    BBMapDlg& map = CreateMap();
    ASSERT_TRUE(WaitLoaded(L"/map.htm"));
    // A page that has its function at once but takes its time to load.
    wchar_t exe[MAX_PATH];
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring slow = std::wstring(exe, std::wstring(exe).rfind(L'\\')) + L"\\slow.htm";
    ASSERT_EQ(map.m_Browser.Navigate(slow.c_str()), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return EndsWith(TextProperty(Control(), L"LocationURL"), L"/slow.htm"); }, 5000));
    EXPECT_NE(LongProperty(Control(), L"ReadyState"), READYSTATE_COMPLETE);
    const ULONGLONG start = ::GetTickCount64();
    map.CallDrawCurrent(L"10.000000", L"20.000000");
    EXPECT_LT(::GetTickCount64() - start, 100u);  // skipped, not waiting for the page
    // The window would hand the kept position to the page once loaded: not
    // kept here, what the page shows after loading is what that call did.
    map.ForgetPosition();
    ASSERT_TRUE(WaitLoaded(L"/slow.htm"));
    EXPECT_EQ(Title(), L"slow page");
    map.CallDrawCurrent(L"10.000000", L"20.000000");
    EXPECT_EQ(Title(), L"10.000000|20.000000");

    // A script object of the page it was taken from stops working once
    // another page is loaded.
    ComPtr<IDispatch> old = Script();
    ASSERT_TRUE(old);
    map.LoadMapPage(BBMapDlg::kPageNoGpsData);
    ASSERT_TRUE(WaitLoaded(L"/mapNoGPSData.htm"));
    map.LoadMapPage(BBMapDlg::kPageMap);
    ASSERT_TRUE(WaitLoaded(L"/map.htm"));
    LPOLESTR names[1] = {const_cast<LPOLESTR>(L"DrawCurrent")};
    DISPID id;
    EXPECT_EQ(old->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &id), DISP_E_UNKNOWNNAME);
}

TEST_F(StandIn, SameKindTwiceLoadsOnce) {
    BBMapDlg& map = CreateMap();
    EXPECT_EQ(LongProperty(Control(), L"StandInNavigations"), 1);  // OnInitDialog's map page
    map.LoadMapPage(BBMapDlg::kPageMap);
    EXPECT_EQ(LongProperty(Control(), L"StandInNavigations"), 1);
    map.LoadMapPage(BBMapDlg::kPageNoGpsData);
    map.LoadMapPage(BBMapDlg::kPageNoGpsData);
    EXPECT_EQ(LongProperty(Control(), L"StandInNavigations"), 2);
    EXPECT_EQ(map.GetPageKind(), BBMapDlg::kPageNoGpsData);
    ASSERT_TRUE(WaitLoaded(L"/mapNoGPSData.htm"));
    // Any other kind is the map page again.
    map.LoadMapPage(7);
    EXPECT_EQ(map.GetPageKind(), 7);
    EXPECT_EQ(LongProperty(Control(), L"StandInNavigations"), 3);
    ASSERT_TRUE(WaitLoaded(L"/map.htm"));
    map.LoadMapPage(7);
    EXPECT_EQ(LongProperty(Control(), L"StandInNavigations"), 3);

    wchar_t exe[MAX_PATH];
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring folder(exe, std::wstring(exe).rfind(L'\\'));
    EXPECT_EQ(BBMapDlg::PagePath(BBMapDlg::kPageMap), folder + L"\\map.htm");
    EXPECT_EQ(BBMapDlg::PagePath(BBMapDlg::kPageNotConnected), folder + L"\\mapNotConect.htm");
    EXPECT_EQ(BBMapDlg::PagePath(BBMapDlg::kPageNoGpsData), folder + L"\\mapNoGPSData.htm");
    EXPECT_EQ(BBMapDlg::PagePath(0), folder + L"\\map.htm");
}

TEST_F(StandIn, WheelAndDragReachThePage) {
    CreateMap();
    ASSERT_TRUE(WaitLoaded(L"/map.htm"));
    HWND w = ControlWindow();
    POINT p{150, 120};
    ::ClientToScreen(w, &p);
    ::PostMessageW(w, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(p.x, p.y));
    ::PostMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
    ::PostMessageW(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(120, 110));
    ::PostMessageW(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(140, 120));
    ::PostMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(140, 120));
    // The wheel takes its own path through the browser and moves may be
    // merged, as in any browser: the press, a drag to the end point and the
    // release in that order, and the wheel turned up.
    std::wstring log;
    auto complete = [&] {
        log = PageLog();
        size_t down = log.find(L"down:0@100,100"), drag = log.find(L"drag:140,120"), up = log.find(L"up:0@140,120");
        return log.find(L"wheel:-120@150,120") != std::wstring::npos && down != std::wstring::npos &&
               drag != std::wstring::npos && up != std::wstring::npos && down < drag && drag < up;
    };
    EXPECT_TRUE(PumpUntil(complete, 3000)) << std::string(log.begin(), log.end());
    EXPECT_NE(::GetCapture(), w);
}

TEST_F(StandIn, KeysReachTheControlBeforeTheDialogButKeptKeysStayKept) {
    CreateMap();
    ASSERT_TRUE(WaitLoaded(L"/map.htm"));
    HWND w = ControlWindow();
    ::SetForegroundWindow(m_frame);
    ::SetFocus(w);
    // Down and Tab would move the focus in a dialog: the control takes them.
    // Left is one of the keys the top-level window keeps from everything.
    // A letter goes the ordinary way and becomes a character too.
    for (WPARAM key : {WPARAM(VK_DOWN), WPARAM(VK_TAB), WPARAM(VK_LEFT), WPARAM('A')}) {
        ::PostMessageW(w, WM_KEYDOWN, key, 1);
        ::PostMessageW(w, WM_KEYUP, key, 1 | (3u << 30));
    }
    const std::wstring expected = L"key:ArrowDown key:Tab key:a char:a";
    std::wstring log;
    EXPECT_TRUE(PumpUntil(
        [&] {
            log = PageLog();
            return log == expected;
        },
        3000))
        << std::string(log.begin(), log.end());
    EXPECT_EQ(::GetFocus(), w);  // Tab did not move the focus
}

TEST_F(StandIn, RepaintsWhenUncoveredAndWhenResized) {
    BBMapDlg& map = CreateMap();
    ASSERT_TRUE(WaitLoaded(L"/map.htm"));
    ASSERT_TRUE(WaitPixel(50, 30, kBlock));
    // Cover the map with another window painted black, then take it away.
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = L"BrowserTestCover";
    ::RegisterClassW(&wc);
    HWND cover = ::CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr,
                                   nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(cover);
    EXPECT_TRUE(PumpUntil(
        [] {
            return Near(PixelOf(nullptr, 60, 40), Rgb{0, 0, 0});
        },
        2000))
        << Show(PixelOf(nullptr, 60, 40));
    ::DestroyWindow(cover);
    EXPECT_TRUE(WaitPixel(50, 30, kBlock, 2000)) << Show(PixelOf(ControlWindow(), 50, 30));
    // And on the screen, once the server has taken the cover away.
    EXPECT_TRUE(PumpUntil([] { return Near(PixelOf(nullptr, 10 + 50, 10 + 30), kBlock); }, 2000))
        << Show(PixelOf(nullptr, 60, 40));

    // Larger: the page fills the new size (not the empty panel).
    map.MoveWindow(10, 10, 500, 400);
    map.FitBrowser();
    EXPECT_TRUE(WaitPixel(490, 390, kMapBackground)) << Show(PixelOf(ControlWindow(), 490, 390));
    EXPECT_TRUE(Near(PixelOf(ControlWindow(), 50, 30), kBlock));
    RECT r;
    ::GetClientRect(ControlWindow(), &r);
    EXPECT_EQ(r.right, 500);
    EXPECT_EQ(r.bottom, 400);
}

TEST_F(StandIn, CreateAndDestroyFiftyTimesWithoutLeaks) {
    HMODULE server = nullptr;
    ULONGLONG createMs = 0, destroyMs = 0;
    auto cycle = [&](int i) {
        ULONGLONG t0 = ::GetTickCount64();
        BBMapDlg& map = CreateMap();
        createMs += ::GetTickCount64() - t0;
        if (i % 10 == 0) {  // some of them with their page loaded and painted
            EXPECT_TRUE(WaitLoaded(L"/map.htm"));
            map.CallDrawCurrent(L"37.000000", L"127.000000");
        }
        if (!server) server = ::GetModuleHandleW(L"standin_browser.dll");
        t0 = ::GetTickCount64();
        m_map.reset();
        destroyMs += ::GetTickCount64() - t0;
        Pump(5);
    };
    cycle(0);
    cycle(1);
    ASSERT_TRUE(server);
    Pump(300);
    // The GDI count sees objects come and go.
    const int gdiBefore = GdiObjects();
    HBRUSH brushes[10];
    for (auto& b : brushes) b = ::CreateSolidBrush(RGB(1, 2, 3));
    EXPECT_EQ(GdiObjects(), gdiBefore + 10);
    for (auto& b : brushes) ::DeleteObject(b);
    EXPECT_EQ(GdiObjects(), gdiBefore);

    const int handles = OpenHandles();
    const int gdi = GdiObjects();
    const int windows = ThreadWindows();
    createMs = destroyMs = 0;
    for (int i = 0; i < 50; ++i) cycle(i);
    std::printf("create %llu ms, destroy %llu ms (50 cycles); before: %d handles, %d GDI objects, %d windows\n",
                createMs, destroyMs, handles, gdi, windows);
    Pump(300);
    EXPECT_LE(OpenHandles(), handles + 2);  // worker threads may still be on their way out
    EXPECT_LE(GdiObjects(), gdi + 2);
    EXPECT_EQ(ThreadWindows(), windows);
    // Every object of the server is gone.
    auto canUnload =
        reinterpret_cast<HRESULT(__stdcall*)()>(reinterpret_cast<void*>(::GetProcAddress(server, "DllCanUnloadNow")));
    ASSERT_TRUE(canUnload);
    EXPECT_EQ(canUnload(), S_OK);
}

// A port nothing listens on.
int ClosedPort() {
    WSADATA wsa;
    ::WSAStartup(MAKEWORD(2, 2), &wsa);
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    int len = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    ::closesocket(s);
    ::WSACleanup();
    return ntohs(a.sin_port);
}

class NoBrowser : public MapTest {
protected:
    void SetUp() override {
        wchar_t saved[16] = {};
        if (::GetEnvironmentVariableW(L"TESSARO_BROWSER_CDP_PORT", saved, 16)) m_saved = saved;
        ::SetEnvironmentVariableW(L"TESSARO_BROWSER_CDP_PORT", std::to_wstring(ClosedPort()).c_str());
        MapTest::SetUp();
    }
    void TearDown() override {
        MapTest::TearDown();
        ::SetEnvironmentVariableW(L"TESSARO_BROWSER_CDP_PORT", m_saved.empty() ? nullptr : m_saved.c_str());
    }
    std::wstring m_saved;
};

TEST_F(NoBrowser, PaintsAnEmptyPanelAndNeverBlocks) {
    ULONGLONG start = ::GetTickCount64();
    BBMapDlg& map = CreateMap();
    EXPECT_LT(::GetTickCount64() - start, 500u);
    ASSERT_TRUE(map.m_Browser.HasControl());
    ASSERT_TRUE(WaitPixel(100, 100, kPanel)) << Show(PixelOf(ControlWindow(), 100, 100));
    start = ::GetTickCount64();
    map.LoadMapPage(BBMapDlg::kPageNoGpsData);
    map.CallDrawCurrent(L"37.387458", L"127.123456");
    map.RefreshBrowser();
    EXPECT_LT(::GetTickCount64() - start, 200u);
    EXPECT_FALSE(map.m_Browser.GetDocument());
    EXPECT_EQ(map.m_strLng, L"127.123456");
    Pump(1500);  // a connection attempt or two
    EXPECT_TRUE(Near(PixelOf(ControlWindow(), 100, 100), kPanel));
    start = ::GetTickCount64();
    m_map.reset();
    EXPECT_LT(::GetTickCount64() - start, 500u);
}

class Container : public MapTest {};

TEST_F(Container, UnknownClassLeavesNothingBehind) {
    const CLSID unknown = {0x1b2f0a51, 0x7d3e, 0x4c2a, {0x9e, 0x11, 0x52, 0x6b, 0x0c, 0x3d, 0x44, 0x17}};
    CAxHost host;
    EXPECT_FALSE(host.CreateControl(unknown, &m_frame, RECT{0, 0, 100, 100}, IDC_MAP_BROWSER));
    EXPECT_FALSE(host.GetSafeHwnd());
    EXPECT_FALSE(host.HasControl());
    EXPECT_FALSE(::GetDlgItem(m_frame, IDC_MAP_BROWSER));
    EXPECT_FALSE(host.TranslateHostedAccelerator(nullptr));
}

// Beside a wininet.dll that reports no connection.
class Offline : public StandIn {};

TEST_F(Offline, ShowsTheNotConnectedPageWhateverIsAsked) {
    DWORD flags = 0;
    ASSERT_FALSE(::InternetGetConnectedState(&flags, 0)) << "the test's wininet.dll is not in use";
    BBMapDlg& map = CreateMap();
    EXPECT_EQ(map.GetPageKind(), BBMapDlg::kPageNotConnected);
    ASSERT_TRUE(WaitLoaded(L"/mapNotConect.htm"));
    ASSERT_TRUE(WaitPixel(100, 100, kNotConnectedBackground));
    map.LoadMapPage(BBMapDlg::kPageNoGpsData);
    map.LoadMapPage(BBMapDlg::kPageMap);
    EXPECT_EQ(map.GetPageKind(), BBMapDlg::kPageNotConnected);
    EXPECT_EQ(LongProperty(Control(), L"StandInNavigations"), 1);
    map.CallDrawCurrent(L"37.387458", L"127.123456");
    EXPECT_EQ(Title(), L"not connected");
}

// With Wine's own control (no Gecko): creating, navigating and calling into
// the page do nothing harmful.
class PlatformControl : public MapTest {};

TEST_F(PlatformControl, CreateNavigateAndCallAreHarmless) {
    BBMapDlg& map = CreateMap();
    ASSERT_TRUE(map.m_Browser.HasControl()) << "the platform's control is not registered";
    CVariant probe;
    GetProperty(Control(), L"StandInNavigations", &probe);
    ASSERT_EQ(probe.vt, VT_EMPTY) << "the stand-in is registered";
    EXPECT_EQ(map.GetPageKind(), BBMapDlg::kPageMap);
    Pump(1000);
    map.LoadMapPage(BBMapDlg::kPageNoGpsData);
    EXPECT_EQ(map.GetPageKind(), BBMapDlg::kPageNoGpsData);
    Pump(300);
    const bool noDocument = !map.m_Browser.GetDocument();
    const ULONGLONG start = ::GetTickCount64();
    map.CallDrawCurrent(L"37.387458", L"127.123456");
    if (noDocument) {
        EXPECT_LT(::GetTickCount64() - start, 200u);
    }
    map.RefreshBrowser();
    map.FitBrowser();
    EXPECT_EQ(map.m_strLat, L"37.387458");
    Pump(200);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    CScopedOleInit ole;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
