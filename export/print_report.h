// Print: snapshots of the channels and a one-page HTML report in a folder the
// user picks, handed to the shell's print verb.
//
// The main window checks that a recording is open and pauses it, then:
//
//     PrintRequest r;
//     r.owner = m_hWnd;
//     r.videoStreamCount = m_player.GetVideoStreamCount();
//     r.grab = [this](int ch, CImage& img) { return m_player.GetCurrentImage(ch, img); };
//     r.fileName = <column 3 of the active list's current row, or empty>;
//     r.speed = g_dReportSpeed; r.lat = g_dReportLat; r.lng = g_dReportLng;
//     PrintReport(r);
#pragma once
#include <windows.h>
#include <functional>
#include "fw_string.h"
#include "image.h"

struct PrintRequest {
    HWND owner = nullptr;
    int videoStreamCount = 0;
    // Channel k's current picture into the image; false when none.
    std::function<bool(int channel, CImage& image)> grab;
    CString fileName;
    double speed = 0, lat = 0, lng = 0;
};

// Writes stamp_A.bmp, stamp_B.bmp (two channels) and stamp.html into the
// chosen folder and starts printing the report. False when the folder choice
// was cancelled (nothing written); true otherwise.
bool PrintReport(const PrintRequest& request);
