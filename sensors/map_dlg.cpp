#include "map_dlg.h"

#include <mshtml.h>
#include <wininet.h>
#include <wrl/client.h>

#include "app_messages.h"
#include "control_ids.h"
#include "fw_ole.h"
#include "resource.h"

using Microsoft::WRL::ComPtr;

namespace {
// Size of the browser until the main window fits it to the whole panel.
const int kInitialBrowserWidth = 238;
const int kInitialBrowserHeight = 170;

const wchar_t* PageName(int kind) {
    switch (kind) {
        case BBMapDlg::kPageNotConnected: return L"\\mapNotConect.htm";
        case BBMapDlg::kPageNoGpsData: return L"\\mapNoGPSData.htm";
        default: return L"\\map.htm";
    }
}

CString ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) return CString();
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    size_t slash = path.rfind(L'\\');
    return CString(slash == std::wstring::npos ? std::wstring() : path.substr(0, slash));
}
}  // namespace

BBMapDlg::BBMapDlg() : CDialog(IDD_MAP) {}

BBMapDlg::~BBMapDlg() {
    if (m_hWnd) ::DestroyWindow(m_hWnd);
}

bool BBMapDlg::Create(UINT templateId, CWnd* parent) { return CDialog::Create(templateId, parent); }

bool BBMapDlg::Create(CWnd* parent) { return Create(IDD_MAP, parent); }

void BBMapDlg::BindControls() {
    RECT place{0, 0, kInitialBrowserWidth, kInitialBrowserHeight};
    if (HWND placeholder = GetDlgItem(IDC_MAP_BROWSER)) {
        ::GetWindowRect(placeholder, &place);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&place), 2);
        ::DestroyWindow(placeholder);
    }
    m_Browser.Create(this, place, IDC_MAP_BROWSER);
    Bind(IDC_MAP_SPARE_BUTTON, m_btnSpare);
}

BOOL BBMapDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_Browser.MoveWindow(0, 0, kInitialBrowserWidth, kInitialBrowserHeight);
    m_Browser.ShowWindow(SW_SHOW);
    LoadMapPage(kPageMap);
    m_Browser.MoveWindow(0, 0, kInitialBrowserWidth, kInitialBrowserHeight);
    return TRUE;
}

void BBMapDlg::FitBrowser() {
    RECT r = GetClientRect();
    m_Browser.MoveWindow(0, 0, r.right - r.left, r.bottom - r.top);
    m_Browser.ShowWindow(SW_SHOW);
}

void BBMapDlg::RefreshBrowser() {
    m_Browser.Refresh();
    ResendAfterLoad();
}

// A page load gives no word when it is done here, and until it has begun the
// old page still answers. Two ways hand the position over:
// - at once: the browser's ready state is watched every kWatchPeriodMs, and
//   once it has been seen loading and is complete again, the new page gets
//   the position (a load too quick to be seen loading is left to the other);
// - surely: every kResendPeriodMs for at least kResendSureTicks (a local page
//   loads well within that), then until the first call that reaches the page,
//   at most kResendMaxTicks.
// The page ignores a position it already shows.
namespace {
const UINT kResendPeriodMs = 250;
const int kResendSureTicks = 8;
const int kResendMaxTicks = 20;
const UINT kWatchPeriodMs = 15;
const int kWatchMaxTicks = 100;
}  // namespace

void BBMapDlg::ResendAfterLoad() {
    m_resendTicks = 0;
    m_watchTicks = 0;
    m_sawLoading = false;
    if (!m_hWnd) return;
    SetTimer(TIMER_MAP_RESEND, kResendPeriodMs);
    SetTimer(TIMER_MAP_WATCH, kWatchPeriodMs);
}

void BBMapDlg::OnWatchTimer() {
    ++m_watchTicks;
    bool done = m_strLat.IsEmpty() || m_watchTicks >= kWatchMaxTicks;
    const long state = m_Browser.ReadyState();
    if (state >= 0 && state != READYSTATE_COMPLETE) m_sawLoading = true;
    else if (state == READYSTATE_COMPLETE && m_sawLoading) done = CallDrawCurrent(m_strLat, m_strLng) || done;
    if (done) KillTimer(TIMER_MAP_WATCH);
}

void BBMapDlg::OnResendTimer() {
    ++m_resendTicks;
    const bool reached = !m_strLat.IsEmpty() && CallDrawCurrent(m_strLat, m_strLng);
    if ((reached && m_resendTicks >= kResendSureTicks) || m_resendTicks >= kResendMaxTicks || m_strLat.IsEmpty())
        KillTimer(TIMER_MAP_RESEND);
}

void BBMapDlg::ForgetPosition() {
    m_strLat = CString();
    m_strLng = CString();
}

void BBMapDlg::DeclareMessageMap(MessageMap& map) {
    CDialog::DeclareMessageMap(map);
    map.OnTimer(TIMER_MAP_RESEND, [this] { OnResendTimer(); });
    map.OnTimer(TIMER_MAP_WATCH, [this] { OnWatchTimer(); });
}

CString BBMapDlg::PagePath(int kind) { return CString(ProgramFolder() + PageName(kind)); }

void BBMapDlg::LoadMapPage(int kind) {
    DWORD flags = 0;
    if (::InternetGetConnectedState(&flags, 0) != TRUE) kind = kPageNotConnected;
    if (kind == m_nPageKind) return;  // the page already loaded is kept
    m_nPageKind = kind;
    m_Browser.Navigate(PagePath(kind));
    ResendAfterLoad();
}

bool BBMapDlg::CallDrawCurrent(const CString& lat, const CString& lng) {
    m_strLat = lat;
    m_strLng = lng;
    ComPtr<IDispatch> document = m_Browser.GetDocument();
    if (!document) return false;
    ComPtr<IHTMLDocument2> html;
    if (FAILED(document.As(&html)) || !html) return false;
    ComPtr<IDispatch> script;
    if (FAILED(html->get_Script(&script)) || !script) return false;

    wchar_t name[] = L"DrawCurrent";
    LPOLESTR names[1] = {name};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(script->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &id))) return false;

    // Arguments go last-first: the script receives latitude, longitude.
    CBstr latText(lat), lngText(lng);
    VARIANT args[2];
    args[0].vt = VT_BSTR;
    args[0].bstrVal = lngText.Get();
    args[1].vt = VT_BSTR;
    args[1].bstrVal = latText.Get();
    DISPPARAMS params{args, nullptr, 2, 0};
    return SUCCEEDED(
        script->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr));
}
