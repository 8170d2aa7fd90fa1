// The playback controller: turns a row of the shown recording list into
// pictures, sound and sensor readouts. It opens a recording (the device
// library writes a play file into the program folder with the recording's
// two sensor blocks, or a prefetched one is taken; a photo is extracted and
// shown as a still picture), plays, pauses and stops it, runs the playback
// tick that moves the slider and the readouts and finds the end, and has the
// next row's play file prepared in the background.
//
// It is the one record of "a recording is open / playing / paused"
// (m_nPlayState). What it needs of the rest of the window goes through
// PlaybackHost, which the main window implements with its named operations.
#pragma once
#include <array>
#include <cstdint>
#include <memory>

#include "bitmap_slider.h"
#include "krv_play_file_maker.h"
#include "prefetch.h"
#include "skin_button.h"
#include "tp_static.h"
#include "video_player.h"
#include "worker.h"

class CImage;
class CSkinListCtrl;
class CatalogueView;
class KrvLibrary;

// The main window's operations the controller calls.
class PlaybackHost {
public:
    virtual ~PlaybackHost() = default;
    virtual void ShowBusy() = 0;
    virtual void HideBusy() = 0;
    // The skinned message box with one button.
    virtual void Notify(const wchar_t* title, const wchar_t* text) = 0;
    // Sensor readouts.
    virtual void BuildSensorTables(const uint8_t* gsensorBlock, const uint8_t* gpsBlock, int64_t durationMs) = 0;
    virtual void ResetGpsReadout() = 0;
    virtual void ResetGSensorReadout() = 0;
    virtual void UpdateGpsReadout(int64_t positionMs) = 0;
    virtual void UpdateGSensorReadout(int64_t positionMs) = 0;
    // Video area, views and the photo surface.
    virtual void LayoutVideoArea() = 0;
    virtual void SetViewMode(int layout) = 0;
    virtual bool ChannelTwoViewed() const = 0;
    virtual CImage& PhotoImage() = 0;
    virtual void ShowPhoto(bool on) = 0;
    virtual void HidePlaybackSurfaces() = 0;
    // Before a video is opened: the surface its first picture goes to, shown
    // (black) where it plays, when the view is known to use it; false: the
    // surfaces hidden again after a failed open.
    virtual void ShowSurfaceForOpen(bool on) = 0;
    virtual void LoadMapPage(int kind) = 0;
    // The window's normal display mode and its dragging by the background.
    virtual bool IsNormalMode() const = 0;
    virtual void SetMovable(bool on) = 0;
};

// The controls the controller drives.
struct PlaybackControls {
    CSkinButton& play;
    CSkinButton& stop;
    CSkinButton& print;
    CSkinButton& channelView;
    CSkinButton& mirror;
    CSkinButton& flip;
    CSkinButton& mapHide;
    CSkinButton& mapShow;
    CSkinButton& mapExpand;
    CBitmapSlider& position;
    CTPStatic& elapsed;
    CTPStatic& duration;
};

class PlaybackController {
public:
    // The play state (m_nPlayState).
    enum : int8_t { kStopped = 0, kPlaying = 1, kPaused = -1 };
    // The photo state (m_nPhotoState).
    enum : int { kNoPhoto = 0, kPhotoShown = 1, kPhotoFailed = 2 };

    PlaybackController(CWnd& window, PlaybackHost& host, PlaybackControls controls, CatalogueView& catalogue,
                       KrvLibrary& library);
    ~PlaybackController();

    // The program folder (trailing backslash), known once the window starts.
    void SetProgramFolder(const CString& folder);

    // The controller's operations.
    bool OpenFile(int step);
    void StartPlayback();
    bool StopPlayback();
    void SetPaused(int direction);
    void AbortNextFile();
    void OnPlaybackTick();
    void OnNextFileWait();
    // The elapsed and duration labels ("%02d:%02d /" and "%02d:%02d", minutes not wrapped).
    void ShowElapsed(int64_t seconds);
    void ShowDuration(int64_t seconds);
    void ResetTimeLabels();

    // Handlers of the controls.
    void OnPlay();
    void OnPause();
    void OnStop();
    void OnNext();
    void OnPrevious();
    void ActivateRow();
    void OnPositionSlider();

    playback::VideoPlayer& Player() { return m_player; }
    int8_t PlayState() const { return m_nPlayState; }
    bool IsOpen() const { return m_nPlayState != kStopped; }
    bool IsPlaying() const { return m_nPlayState == kPlaying; }
    int RecordKind() const { return m_nRecordKind; }
    int PhotoState() const { return m_nPhotoState; }
    bool PhotoOpen() const { return m_nRecordKind == playback::kKindPhoto; }
    int NextFileState() const { return m_prefetch ? m_prefetch->State() : playback::kPrefetchIdle; }
    const CString& FileName() const { return m_strFileName; }
    float PlayRate() const { return m_fPlayRate; }

private:
    // The next-file rule (Next, and the automatic advance at the end).
    void OpenNext();
    void EnablePlaybackControls(bool on);
    bool OpenPhoto(const std::string& name);
    bool OpenVideo(const std::string& name);
    void SetPlayLook(bool pauseLook);
    bool OpenFileSteps(int step);
    // The last play file is deleted on a thread of its own (a large file
    // takes tens of milliseconds to delete, and holds up the program's other
    // file requests meanwhile). After a video opened from the prefetch it is
    // only noted, and its deletion starts at the first playback tick, when the
    // new picture is on screen; otherwise, and at the next open at the
    // latest, it starts at once. WaitForDiscard waits for a deletion started.
    void DiscardLastPlayFile();
    void StartPendingDiscard();
    void WaitForDiscard();

    CWnd& m_window;
    PlaybackHost& m_host;
    PlaybackControls m_controls;
    CatalogueView& m_catalogue;
    KrvLibrary& m_library;
    playback::VideoPlayer m_player;
    playback::CKrvPlayFileMaker m_maker;
    std::unique_ptr<playback::CNextFilePrefetch> m_prefetch;
    CString m_programFolder;

    int8_t m_nPlayState = kStopped;
    int m_nRecordKind = playback::kKindEvent;
    int m_nPhotoState = kNoPhoto;
    CString m_strFileName;
    CString m_strFileType;
    CString m_strLastPlayFile;
    int8_t m_nPendingStep = 0;
    float m_fPlayRate = 1.0f;
    std::array<uint8_t, playback::kSensorBlockBytes> m_GSensorBlock{};
    std::array<uint8_t, playback::kSensorBlockBytes> m_GpsBlock{};
    CWorkerThread m_discard;
    CString m_strDiscarding;      // the file m_discard deletes
    CString m_strPendingDiscard;  // the last play file, to be deleted
};
