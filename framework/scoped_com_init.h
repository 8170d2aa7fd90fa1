// COM initialised on the calling thread for the life of a scope (single-
// threaded apartment), and uninitialised at its end when this scope did it.
#pragma once
#include <objbase.h>

class CScopedComInit {
public:
    CScopedComInit() : m_hr(::CoInitialize(nullptr)) {}
    ~CScopedComInit() {
        if (SUCCEEDED(m_hr)) ::CoUninitialize();
    }
    CScopedComInit(const CScopedComInit&) = delete;
    CScopedComInit& operator=(const CScopedComInit&) = delete;

    // COM can be used on this thread: initialised here (S_OK, or S_FALSE when
    // it already was), or already initialised in the other threading model.
    bool Usable() const { return SUCCEEDED(m_hr) || m_hr == RPC_E_CHANGED_MODE; }
    HRESULT Result() const { return m_hr; }

private:
    HRESULT m_hr;
};
