// The application object: one global instance per process. The framework's
// entry point finds it, calls InitInstance and, if that returns TRUE, runs the
// message loop while a main window exists.
#pragma once
#include "fw_wnd.h"

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance() { return TRUE; }
    // Filter applied to every message the loops fetch. The default walks from
    // the message's window up to its top-level window, giving each window
    // object its own PreTranslateMessage.
    virtual BOOL PreTranslateMessage(MSG* msg);
    // Runs the message loop until WM_QUIT or until the main window is gone.
    virtual int Run();

    // Fetches, filters and dispatches one message; false on WM_QUIT.
    bool PumpMessage();

    CWnd* m_pMainWnd = nullptr;

    static CWinApp* Get() { return s_app; }
    static HINSTANCE ResourceHandle();

private:
    static CWinApp* s_app;
};

// Starts Windows Sockets 2.2; false when it is not available.
bool AfxSocketInit();
