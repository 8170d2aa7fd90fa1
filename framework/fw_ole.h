// OLE helpers: owners for automation strings and variants (the thread's OLE
// initialisation as a scope is CScopedOleInit of fw_com.h).
#pragma once
#include <ole2.h>
#include <oleauto.h>

#include "fw_com.h"

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
