// OLE helpers: the thread's OLE initialisation as a scope, and owners for
// automation strings and variants.
#pragma once
#include <ole2.h>
#include <oleauto.h>

// OLE for one thread: initialised by the constructor (a single-threaded
// apartment with OLE's clipboard, drag-and-drop and in-place activation
// services) and uninitialised by the destructor when the initialisation
// succeeded.
class CScopedOleInit {
public:
    CScopedOleInit() : m_hr(::OleInitialize(nullptr)) {}
    ~CScopedOleInit() {
        if (SUCCEEDED(m_hr)) ::OleUninitialize();
    }
    CScopedOleInit(const CScopedOleInit&) = delete;
    CScopedOleInit& operator=(const CScopedOleInit&) = delete;

    // S_OK, S_FALSE (already initialised on this thread: still balanced), or
    // the failure (for example RPC_E_CHANGED_MODE in a multithreaded apartment).
    HRESULT Result() const { return m_hr; }
    bool Succeeded() const { return SUCCEEDED(m_hr); }

private:
    HRESULT m_hr;
};

// An automation string (BSTR) owned by a scope.
class CBstr {
public:
    explicit CBstr(const wchar_t* text) : m_s(::SysAllocString(text ? text : L"")) {}
    ~CBstr() { ::SysFreeString(m_s); }
    CBstr(const CBstr&) = delete;
    CBstr& operator=(const CBstr&) = delete;
    BSTR Get() const { return m_s; }

private:
    BSTR m_s;
};

// A VARIANT cleared when its scope ends.
class CVariant : public VARIANT {
public:
    CVariant() { ::VariantInit(this); }
    ~CVariant() { ::VariantClear(this); }
    CVariant(const CVariant&) = delete;
    CVariant& operator=(const CVariant&) = delete;
};
