// Control container: a window that hosts one ActiveX control, created by
// class id, in its client area. The control is activated in place, follows
// the window's size, and gets the first look at key messages aimed at it (its
// in-place active object's TranslateAccelerator) before the enclosing dialog's
// own key handling. The thread must have OLE initialised (CScopedOleInit).
#pragma once
#include <ole2.h>
#include "fw_com.h"

#include "fw_wnd.h"

class CAxHost : public CWnd {
public:
    CAxHost();
    ~CAxHost() override;

    // Creates the host as a child window of parent at rect (parent's client
    // coordinates) with control id id, then the control in it. False when
    // the window or the control cannot be created (the window is then gone).
    bool CreateControl(REFCLSID clsid, CWnd* parent, const RECT& rect, UINT id,
                       DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP);
    // Deactivates, closes and releases the control; the host window stays.
    void DestroyControl();

    bool HasControl() const { return m_object != nullptr; }
    // The control's automation interface, or null.
    IDispatch* GetControlDispatch() const { return m_dispatch.Get(); }
    IUnknown* GetControlUnknown() const { return m_object.Get(); }
    // The window the control shows itself in, or null.
    HWND GetControlWindow() const;

    bool TranslateHostedAccelerator(MSG* msg) override;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    class Site;
    friend class Site;
    void PlaceControl();

    Microsoft::WRL::ComPtr<Site> m_site;
    Microsoft::WRL::ComPtr<IOleObject> m_object;
    Microsoft::WRL::ComPtr<IOleInPlaceObject> m_inPlace;
    Microsoft::WRL::ComPtr<IOleInPlaceActiveObject> m_active;
    Microsoft::WRL::ComPtr<IDispatch> m_dispatch;
};
