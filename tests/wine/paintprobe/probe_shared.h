// Requests and results shared between the paint probe and its hook in the
// probed process.
#pragma once
#include <windows.h>

#define PROBE_SECTION_NAME L"Local\\TessaroTestPaintProbe"
#define PROBE_MESSAGE_NAME L"TessaroTestPaintProbe"

enum ProbeAction : LONG {
    kProbeRepaint = 1,     // a full repaint of the window and every child, `runs` times
    kProbeCommand = 2,     // WM_COMMAND `param` sent to the window, then its paints
    kProbeMessage = 3,     // message `param` sent to the window, then its paints
    kProbeProfile = 4,     // the window's own repaint and each child's, `runs` times
    kProbeRepaintOwn = 5,  // the window's own repaint (background and WM_PAINT, no child), `runs` times
    kProbeTrace = 6,       // full repaints, `runs` times, timed message by message
};

struct ProbeShared {
    HWND target;
    LONG action;
    LONG param;
    LONG runs;
    LONG ignoreId;        // a child whose own repaints are not counted (the clock), or 0
    LONG settleMs;        // a command's paints are watched for this long after it
    LONG count;           // results written
    LONG done;            // set by the hook when the request is finished
    double results[256];  // milliseconds
    // kProbeProfile: per window (the window itself first, then its children
    // in z order), its control id and its median repaint time.
    // kProbeTrace: per window and message, its mean time per repaint in
    // results and the message in msgs; the last entry (id -1) is the time
    // between messages: the window system's own work.
    LONG ids[256];
    char classes[256][32];
    UINT msgs[256];
};
