// Counters shared between the message spy and its hook in the watched process.
#pragma once
#include <windows.h>

#include "app_messages.h"

#define SPY_SECTION_NAME L"Local\\TessaroTestMessageSpy"

struct SpyCounters {
    HWND watched;       // messages retrieved for this window are counted
    LONG count[0x500];  // per message number below 0x500
    LONG slider;        // 0x28D1
};
