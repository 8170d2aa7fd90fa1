// The web browser ActiveX control in a host window. It is driven through its
// automation interface by dispatch id (Navigate 104, Refresh -550, Document
// 203, ReadyState -525), so any control that answers those ids serves.
#pragma once
#include <wrl/client.h>

#include "fw_axhost.h"

class CWebBrowser2 : public CAxHost {
public:
    // {8856F961-340A-11D0-A96B-00C04FD705A2}
    static const CLSID kClassId;
    enum : DISPID { kDispNavigate = 104, kDispRefresh = -550, kDispDocument = 203, kDispReadyState = -525 };

    // Creates the host window as a child of parent at rect with id, and the
    // control in it.
    bool Create(CWnd* parent, const RECT& rect, UINT id);

    // Starts loading url. The optional arguments (flags, target frame name,
    // post data, headers) are passed as given, or empty when null.
    HRESULT Navigate(const wchar_t* url, VARIANT* flags = nullptr, VARIANT* targetFrameName = nullptr,
                     VARIANT* postData = nullptr, VARIANT* headers = nullptr);
    HRESULT Refresh();
    // The control's ReadyState (READYSTATE_UNINITIALIZED … READYSTATE_COMPLETE),
    // or -1 when it cannot tell.
    long ReadyState() const;
    // The loaded document's automation object, or null when there is none.
    Microsoft::WRL::ComPtr<IDispatch> GetDocument() const;
};
