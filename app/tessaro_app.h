// The application object: single-instance rule, platform services, and the
// modal run of the main window.
#pragma once
#include <memory>

#include "fw_app.h"
#include "fw_com.h"

// Name of the single-instance mutex and of the main window's class.
inline constexpr wchar_t kInstanceName[] = L"QUELMAR.Tessaro";
// Name of the 1024-byte section that marks a running sibling viewer.
inline constexpr wchar_t kSiblingSectionName[] = L"ORVEN PC Viewer";

class CTessaroApp : public CWinApp {
public:
    ~CTessaroApp() override = default;
    BOOL InitInstance() override;
    BOOL PreTranslateMessage(MSG* msg) override;

private:
    HANDLE m_instanceMutex = nullptr;   // held for the life of the process
    HANDLE m_siblingSection = nullptr;  // held for the life of the process
    // OLE for this thread (the map's browser control), from start-up on.
    std::unique_ptr<CScopedOleInit> m_ole;
};
