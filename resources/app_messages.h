// Private window messages and timer ids of the viewer's windows. Every number
// is defined here once; windows, skinned controls and tests use the names.
#pragma once

// Messages to the main window.
#define WM_LIST_HEADER_CHECK    0x0401  // posted by a list header's check box: wParam low word a
                                        // LIST_HEADER_* sub-code, high word the list's id; lParam the
                                        // box's new state (2 ticked)
#define WM_ESCAPE_RELEASED      0x040D  // posted by the application's key filter
#define WM_DRIVE_NOTIFY         0x040E  // the shell's drive added/removed notifications
#define WM_SPACE_RELEASED       0x0425  // posted by the application's key filter
#define WM_PREVIOUS_REQUEST     0x0428
#define WM_NEXT_REQUEST         0x0429
#define WM_FULLSCREEN_REQUEST   0x042A
#define WM_MAXIMIZE_REQUEST     0x042B
#define WM_UPDATE_MAP           0x0464  // sent by the GPS readout: hand the position texts to the map
#define WM_SLIDER_MOVING        0x28D1  // posted by a bitmap slider while it moves; wParam its id
#define WM_SLIDER_MOVED         0x28D2  // posted by a bitmap slider when a move ends; wParam its id

// Sub-codes of WM_LIST_HEADER_CHECK.
#define LIST_HEADER_CHECK_ALL   0x040F  // tick or clear every row of the list and the lists below
#define LIST_HEADER_CHECK       0x0410  // no action

// Main window timers.
#define TIMER_PLAYBACK_TICK     6302    // 300 ms, one-shot, re-armed after each tick
#define TIMER_CLOCK             6303    // 500 ms, repeating
#define TIMER_WAIT_PREFETCH     6405    // 300 ms while Next waits for the next recording

// Timer of the map window: after its page is loaded again, the last position
// is handed to the new page until it has taken it.
#define TIMER_MAP_RESEND        6410    // 250 ms, for up to 5 s
// Timer of the map window: while a page loads again, the browser's ready
// state is watched so that the position reaches the new page at once.
#define TIMER_MAP_WATCH         6411    // 15 ms, for up to 1.5 s

// Timers of the export progress dialog.
#define TIMER_EXPORT_POLL       0       // 1000 ms: has the export worker finished?

// Timers of the skinned list's scrollbar while an arrow is held: the delay
// before repeating, then the repeats.
#define TIMER_SCROLL_REPEAT     1       // 50 ms
#define TIMER_SCROLL_DELAY      2       // 250 ms
