// The map window: a borderless child dialog holding the web browser control.
// It loads one of three local pages and hands every shown GPS position to the
// page's script function "DrawCurrent".
#pragma once
#include "fw_controls.h"
#include "fw_dialog.h"
#include "fw_string.h"
#include "web_browser.h"

class BBMapDlg : public CDialog {
public:
    // Kinds of page (m_nPageKind); 0 until the first page is loaded.
    enum PageKind { kPageNone = 0, kPageMap = 1, kPageNotConnected = 2, kPageNoGpsData = 3 };

    BBMapDlg();
    // The window goes with the object (its parent may live on).
    ~BBMapDlg() override;

    // Creates the dialog from its template as a child of parent; OnInitDialog
    // runs within.
    bool Create(UINT templateId, CWnd* parent);
    bool Create(CWnd* parent);

    // The browser at (0, 0) with the size of the client area, shown.
    void FitBrowser();
    // Reloads the page the browser shows. A reloaded (or newly loaded) page
    // starts without a position: the kept texts are handed to it again as
    // soon as its DrawCurrent answers, so that a paused recording's vehicle
    // stays on the map across a layout change.
    void RefreshBrowser();
    // Loads the page of a kind unless it is the one loaded; without an
    // internet connection the kind is kPageNotConnected whatever was asked.
    void LoadMapPage(int kind);
    // Keeps the texts and calls the page's DrawCurrent(latitude, longitude);
    // a missing document, script object or function is skipped silently.
    // True when the page's function was called.
    bool CallDrawCurrent(const CString& lat, const CString& lng);
    // Drops the kept texts (a new recording's positions are not yet known).
    void ForgetPosition();

    int GetPageKind() const { return m_nPageKind; }
    // The file of a page kind: the executable's folder (up to, not including,
    // its last backslash) followed by the page name.
    static CString PagePath(int kind);

    CString m_strLat;
    CString m_strLng;
    int m_nPageKind = kPageNone;
    CWebBrowser2 m_Browser;

protected:
    BOOL OnInitDialog() override;
    // Puts the browser control where the template reserves its place (id
    // IDC_MAP_BROWSER) and binds the spare button.
    void BindControls() override;
    // A child panel never ends itself.
    void OnOK() override {}
    void OnCancel() override {}
    void DeclareMessageMap(MessageMap& map) override;

private:
    // Hands the kept position to the page loading now, once it can take it.
    void ResendAfterLoad();
    void OnResendTimer();
    void OnWatchTimer();

    CButton m_btnSpare;
    int m_resendTicks = 0;  // timer periods since the page began loading
    int m_watchTicks = 0;   // watch periods since then
    bool m_sawLoading = false;  // the browser has been seen loading since
};
