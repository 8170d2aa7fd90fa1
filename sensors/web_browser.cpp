#include "web_browser.h"

#include "fw_ole.h"

const CLSID CWebBrowser2::kClassId = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};

bool CWebBrowser2::Create(CWnd* parent, const RECT& rect, UINT id) { return CreateControl(kClassId, parent, rect, id); }

HRESULT CWebBrowser2::Navigate(const wchar_t* url, VARIANT* flags, VARIANT* targetFrameName, VARIANT* postData,
                               VARIANT* headers) {
    IDispatch* control = GetControlDispatch();
    if (!control) return E_UNEXPECTED;
    CBstr text(url);
    CVariant empty[4];
    VARIANT* optional[4] = {flags, targetFrameName, postData, headers};
    // Automation arguments go last-first: the address is the last slot.
    VARIANT args[5];
    args[4].vt = VT_BSTR;
    args[4].bstrVal = text.Get();
    for (int i = 0; i < 4; ++i) {
        VARIANT& a = args[3 - i];
        a.vt = VT_BYREF | VT_VARIANT;
        a.pvarVal = optional[i] ? optional[i] : &empty[i];
    }
    DISPPARAMS params{args, nullptr, 5, 0};
    return control->Invoke(kDispNavigate, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                           nullptr);
}

HRESULT CWebBrowser2::Refresh() {
    IDispatch* control = GetControlDispatch();
    if (!control) return E_UNEXPECTED;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    return control->Invoke(kDispRefresh, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr,
                           nullptr);
}

long CWebBrowser2::ReadyState() const {
    IDispatch* control = GetControlDispatch();
    if (!control) return -1;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    CVariant result;
    HRESULT hr = control->Invoke(kDispReadyState, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result,
                                 nullptr, nullptr);
    if (FAILED(hr) || ::VariantChangeType(&result, &result, 0, VT_I4) != S_OK) return -1;
    return result.lVal;
}

Microsoft::WRL::ComPtr<IDispatch> CWebBrowser2::GetDocument() const {
    Microsoft::WRL::ComPtr<IDispatch> document;
    IDispatch* control = GetControlDispatch();
    if (!control) return document;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    CVariant result;
    HRESULT hr = control->Invoke(kDispDocument, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result,
                                 nullptr, nullptr);
    if (SUCCEEDED(hr) && result.vt == VT_DISPATCH && result.pdispVal) document = result.pdispVal;
    return document;
}
