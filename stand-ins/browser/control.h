// COM objects of the stand-in browser control: the control (in-place
// activation, automation), its document and the document's script object.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <atomic>

namespace standin {

// The class id the stand-in serves: the web browser control's.
extern const CLSID kBrowserClassId;
// Live objects of this server (DllCanUnloadNow) and the server's module.
extern std::atomic<long> g_objects;
extern HMODULE g_module;

HRESULT CreateBrowserControl(REFIID riid, void** ppv);
// Unregisters the control's window class (process detach).
void ReleaseWindowClass();

}  // namespace standin
