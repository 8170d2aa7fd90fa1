// The folder chooser shared by Print and Save: the platform's folder browser
// starting at the user's desktop, laid out once it has opened.
#pragma once
#include <windows.h>
#include "fw_string.h"

// Shows the browser owned by `owner` with `title`. True and the chosen
// folder's file-system path (as the platform gives it, without a trailing
// backslash except for a drive root); false when cancelled.
bool ChooseFolder(HWND owner, const wchar_t* title, CString& folder);
