// COM and OLE initialised for the current thread for the life of a scope, and
// the smart pointer every COM object of the viewer is held in.
#pragma once
#include <objbase.h>
#include <ole2.h>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

class CScopedComInit {
public:
    explicit CScopedComInit(DWORD model = COINIT_APARTMENTTHREADED) : m_hr(::CoInitializeEx(nullptr, model)) {}
    ~CScopedComInit() {
        if (SUCCEEDED(m_hr)) ::CoUninitialize();
    }
    CScopedComInit(const CScopedComInit&) = delete;
    CScopedComInit& operator=(const CScopedComInit&) = delete;
    // S_FALSE (already initialised on this thread) counts as success.
    bool Succeeded() const { return SUCCEEDED(m_hr); }
    // COM can be used on this thread: initialised here, or already
    // initialised, also in the other threading model.
    bool Usable() const { return SUCCEEDED(m_hr) || m_hr == RPC_E_CHANGED_MODE; }
    HRESULT Result() const { return m_hr; }

private:
    HRESULT m_hr;
};

class CScopedOleInit {
public:
    CScopedOleInit() : m_hr(::OleInitialize(nullptr)) {}
    ~CScopedOleInit() {
        if (SUCCEEDED(m_hr)) ::OleUninitialize();
    }
    CScopedOleInit(const CScopedOleInit&) = delete;
    CScopedOleInit& operator=(const CScopedOleInit&) = delete;
    bool Succeeded() const { return SUCCEEDED(m_hr); }

private:
    HRESULT m_hr;
};
