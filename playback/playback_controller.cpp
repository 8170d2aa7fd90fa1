#include "playback_controller.h"

#include <new>
#include <string>

#include "app_messages.h"
#include "bitmap_ids.h"
#include "catalogue_view.h"
#include "fw_file.h"
#include "image.h"
#include "krv_library.h"
#include "playback_rules.h"

namespace {

constexpr UINT kTickMs = 300;
constexpr UINT kWaitMs = 300;
// The longest recording name the library's names have (ANSI bytes).
constexpr size_t kMaxNameBytes = 49;
constexpr size_t kPictureBufferBytes = KrvLibrary::kPictureBufferSize;
const wchar_t kDefect[] = L"Selected video file have an defect.";
const wchar_t kPhotoDefect[] = L"Selected image file have an defect.";

std::string Ansi(const CString& s, size_t maxBytes) {
    std::string a = s.ToAnsi();
    if (a.size() > maxBytes) a.resize(maxBytes);
    return a;
}

// A file that exists and holds at least one byte.
bool FileHasData(const CString& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return false;
    return !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && (data.nFileSizeHigh || data.nFileSizeLow);
}

// Writes length bytes to a new (or truncated) file; false when any is not written.
bool WriteWholeFile(const std::string& path, const uint8_t* data, size_t length) {
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = ::WriteFile(h, data, static_cast<DWORD>(length), &written, nullptr) && written == length;
    ::CloseHandle(h);
    return ok;
}

}  // namespace

PlaybackController::PlaybackController(CWnd& window, PlaybackHost& host, PlaybackControls controls,
                                       CatalogueView& catalogue, KrvLibrary& library)
    : m_window(window),
      m_host(host),
      m_controls(controls),
      m_catalogue(catalogue),
      m_library(library),
      m_maker(library) {}

PlaybackController::~PlaybackController() = default;

void PlaybackController::SetProgramFolder(const CString& folder) {
    m_programFolder = folder;
    m_prefetch = std::make_unique<playback::CNextFilePrefetch>(m_maker, Ansi(folder, MAX_PATH));
}

// ------------------------------------------------------------ opening

bool PlaybackController::OpenFile(int step) {
    const bool opened = OpenFileSteps(step);
    // Only a video keeps the last play file's deletion for its first tick.
    if (!opened || m_nRecordKind == playback::kKindPhoto) StartPendingDiscard();
    return opened;
}

bool PlaybackController::OpenFileSteps(int step) {
    // 1. Reset what the last recording showed; the last play file goes.
    m_host.ResetGSensorReadout();
    m_host.ResetGpsReadout();
    m_nPhotoState = kNoPhoto;
    m_host.ShowPhoto(false);
    m_nRecordKind = playback::kKindEvent;
    StartPendingDiscard();  // one still noted from the open before
    if (m_strLastPlayFile.GetLength() > 13) DiscardLastPlayFile();
    m_strLastPlayFile.Empty();

    // 2-4. The row: the shown list's current row moved by step, wrapping.
    CSkinListCtrl* list = m_catalogue.ShownList();
    const int count = list ? list->GetItemCount() : 0;
    int index = m_catalogue.SelectedRow() + step;
    if (index >= count) index = 0;
    if (index < 0) index = count + step;
    // With no current row (-1) and step 0 that would name the row after the
    // last: the first row is meant.
    if (index >= count) index = 0;
    if (count == 0) {
        m_host.Notify(L"File error", L"Selected file do not exist. \r\nSelect a file in the list.");
        return false;
    }

    // 5. Its name and type text; the list's row marks are cleared.
    m_strFileName = list->GetItemText(index, CatalogueView::kNameColumn);
    m_strFileType = list->GetItemText(index, CatalogueView::kTypeColumn);
    m_catalogue.ClearRowMarks();

    // 6-8. The name as the library takes it, and the kind of its type letter.
    const std::string name = Ansi(m_strFileName, kMaxNameBytes);
    if (m_strFileType == L"F") {
        m_host.Notify(L"Playback failed", kDefect);
        return false;
    }
    const int kind = playback::RecordKindOfName(name);
    // A name that is not a plain file name would have the play file written
    // outside the program folder: it is refused like a name of no known kind.
    if (kind == playback::kKindRejected || !playback::IsPlainFileName(name)) {
        m_host.Notify(L"Playback failed2", kDefect);
        return false;
    }

    // 9-11. The photo or the video.
    const bool opened = kind == playback::kKindPhoto ? OpenPhoto(name) : OpenVideo(name);
    if (!opened) return false;

    // 12. The row becomes the list's current row.
    m_nRecordKind = kind;
    m_catalogue.MarkOpenedRow(index);
    return true;
}

bool PlaybackController::OpenPhoto(const std::string& name) {
    const std::string folder = Ansi(m_programFolder, MAX_PATH);
    const std::string narrowPath = folder + name;
    const CString widePath = m_programFolder + CString::FromAnsi(name.c_str());
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kPictureBufferBytes]);
    if (!buffer) {
        m_nPhotoState = kPhotoFailed;
        m_host.Notify(L"Photo failed2", kPhotoDefect);
        return false;
    }
    unsigned int length = 0;
    m_library.MakePictureFile(name.c_str(), &length, buffer.get());
    // A length beyond the buffer is the library's fault: nothing is written
    // rather than bytes the library never filled.
    bool written = length <= kPictureBufferBytes && WriteWholeFile(narrowPath, buffer.get(), length);
    buffer.reset();
    CImage& photo = m_host.PhotoImage();
    photo.Destroy();
    const bool loaded = written && SUCCEEDED(photo.Load(widePath));
    ::DeleteFileW(widePath);
    if (!loaded) {
        m_nPhotoState = kPhotoFailed;
        m_host.Notify(L"Photo failed1", kPhotoDefect);
        return false;
    }
    m_nPhotoState = kPhotoShown;
    return true;
}

bool PlaybackController::OpenVideo(const std::string& name) {
    const bool normal = m_host.IsNormalMode();
    if (normal) m_host.SetMovable(false);
    const CString path = m_programFolder + m_strFileName;
    // The same recording again: its old play file is gone before it is made anew.
    if (path == m_strPendingDiscard) StartPendingDiscard();
    if (path == m_strDiscarding) WaitForDiscard();
    m_GSensorBlock.fill(0);
    m_GpsBlock.fill(0);
    // The prefetched play file and blocks when they are this recording's,
    // else the library makes it now (once the old play file is gone: the
    // folder never holds it beside a ready prefetch and a new file).
    if (!(FileHasData(path) && m_prefetch->TakeIfReady(name, m_GSensorBlock.data(), m_GpsBlock.data()))) {
        StartPendingDiscard();
        WaitForDiscard();
        m_prefetch->MakeOwn(name, m_GSensorBlock.data(), m_GpsBlock.data());
    }
    m_prefetch->Reset();

    m_player.SetSourceFlag(true);
    m_host.ShowSurfaceForOpen(true);
    if (!m_player.Open(path, 0, -1)) {
        m_host.ShowSurfaceForOpen(false);
        m_host.Notify(L"Playback failed3", kDefect);
        return false;
    }
    const int64_t duration = playback::DisplayDurationMs(m_player.GetDurationMs(), m_player.GetVideoStreamCount());
    if (duration == 0) {
        m_player.Stop();
        m_player.Close();
        m_host.ShowSurfaceForOpen(false);
        m_host.Notify(L"Playback failed4", kDefect);
        return false;
    }
    m_controls.position.SetRange(0, static_cast<int>(duration), false);
    m_controls.position.SetPosition(0);
    m_controls.position.Invalidate();
    ShowDuration(duration / 1000);
    m_player.SeekMs(0);
    m_strLastPlayFile = path;
    m_host.BuildSensorTables(m_GSensorBlock.data(), m_GpsBlock.data(), duration);
    if (normal) m_host.SetMovable(true);
    return true;
}

void PlaybackController::EnablePlaybackControls(bool on) {
    PlaybackControls& c = m_controls;
    for (CSkinButton* b : {&c.play, &c.stop, &c.print, &c.channelView, &c.mirror, &c.flip, &c.mapHide, &c.mapShow,
                           &c.mapExpand})
        b->EnableWindow(on ? TRUE : FALSE);
}

void PlaybackController::StartPlayback() {
    EnablePlaybackControls(true);
    if (m_nRecordKind != playback::kKindPhoto) {
        SetPaused(+1);
        if (m_player.GetVideoStreamCount() < 2) {
            m_controls.channelView.EnableWindow(FALSE);
            m_controls.mirror.EnableWindow(TRUE);
            m_controls.flip.EnableWindow(TRUE);
            m_host.SetViewMode(1);
        }
        m_player.SetRate(m_fPlayRate);
    }
    if (m_nPhotoState == kPhotoShown) {
        m_host.SetViewMode(1);
        m_nRecordKind = playback::kKindPhoto;
        m_host.ShowPhoto(true);
        EnablePlaybackControls(false);
        m_controls.position.SetRange(0, 0, false);
        m_controls.position.SetPosition(0);
        m_controls.position.Invalidate();
        m_host.LoadMapPage(3);
    }
    if (m_nPhotoState != kPhotoFailed) m_host.LayoutVideoArea();
}

bool PlaybackController::StopPlayback() {
    m_window.KillTimer(TIMER_PLAYBACK_TICK);
    m_player.Stop();
    m_player.SeekMs(0);
    m_player.Close();
    ResetTimeLabels();
    m_controls.position.SetPosition(0);
    m_controls.position.Invalidate();
    SetPaused(-1);
    m_nPlayState = kStopped;
    return true;
}

void PlaybackController::SetPlayLook(bool pauseLook) {
    if (pauseLook)
        m_controls.play.SetSkinImages(IDB_PAUSE_NORMAL, IDB_PAUSE_PRESSED, IDB_PAUSE_HOVER, IDB_PAUSE_DISABLED, 0, 0,
                                      2, 0, 0);
    else
        m_controls.play.SetSkinImages(IDB_PLAY_NORMAL, IDB_PLAY_PRESSED, IDB_PLAY_HOVER, IDB_PLAY_DISABLED, 0, 0, 2, 0,
                                      0);
}

void PlaybackController::SetPaused(int direction) {
    if (direction == +1) {
        m_player.Run();
        m_window.SetTimer(TIMER_PLAYBACK_TICK, kTickMs);
        SetPlayLook(true);
        m_nPlayState = kPlaying;
    } else if (direction == -1) {
        m_window.KillTimer(TIMER_PLAYBACK_TICK);
        m_player.Pause();
        SetPlayLook(false);
        m_nPlayState = kPaused;
    } else {
        return;
    }
    m_controls.play.Invalidate();
}

void PlaybackController::DiscardLastPlayFile() {
    WaitForDiscard();
    m_strPendingDiscard = m_strLastPlayFile;
}

void PlaybackController::StartPendingDiscard() {
    if (m_strPendingDiscard.IsEmpty()) return;
    WaitForDiscard();
    const CString file = m_strPendingDiscard;
    m_strPendingDiscard.Empty();
    if (m_discard.Start([file](const std::atomic<bool>&) { ::DeleteFileW(file); })) {
        m_strDiscarding = file;
        return;
    }
    ::DeleteFileW(file);
}

void PlaybackController::WaitForDiscard() {
    if (m_discard.IsAttached()) m_discard.Join();
    m_strDiscarding.Empty();
}

void PlaybackController::AbortNextFile() {
    WaitForDiscard();
    // Play files are cleared only once no worker can still be writing one.
    const bool workerGone = !m_prefetch || m_prefetch->Abort();
    if (workerGone && !m_programFolder.IsEmpty()) DeleteFilesMatching(m_programFolder, L"*.avi");
}

// ------------------------------------------------------------ the tick

void PlaybackController::OnPlaybackTick() {
    StartPendingDiscard();
    const int32_t state = m_player.GetState();
    const int64_t pos = m_player.GetPositionMs();
    const int64_t dur = m_player.GetDurationMs();
    m_window.KillTimer(TIMER_PLAYBACK_TICK);

    // The next row's play file, 5 s into a recording of 11 s or more.
    if (m_prefetch && playback::ShouldTrigger(m_prefetch->State(), pos, dur)) {
        playback::NextRow row;
        CSkinListCtrl* list = m_catalogue.ShownList();
        const int next = m_catalogue.SelectedRow() + 1;
        if (list && next >= 0 && next < list->GetItemCount()) {
            row.present = true;
            row.name = Ansi(list->GetItemText(next, CatalogueView::kNameColumn), kMaxNameBytes);
            row.type = list->GetItemText(next, CatalogueView::kTypeColumn);
        }
        m_prefetch->Trigger(row);
    }
    if (state == playback::kCreated || state < 0) return;

    if (pos >= dur || pos < 0) {
        const int count = m_catalogue.ShownListCount();
        const int current = m_catalogue.SelectedRow();
        if (count > 0 && current + 1 < count) {
            OpenNext();
        } else {
            StopPlayback();
            m_host.HidePlaybackSurfaces();
            m_host.ResetGSensorReadout();
            m_host.ResetGpsReadout();
        }
        return;
    }
    m_controls.position.SetPosition(static_cast<int>(pos));
    ShowElapsed(pos / 1000);
    m_controls.position.Invalidate();
    m_host.UpdateGpsReadout(pos);
    m_host.UpdateGSensorReadout(pos);
    m_window.SetTimer(TIMER_PLAYBACK_TICK, kTickMs);
}

void PlaybackController::OpenNext() {
    StopPlayback();
    const int state = NextFileState();
    if (state == playback::kPrefetchFailed) m_prefetch->ClearFailed();
    if (state == playback::kPrefetchRequested || state == playback::kPrefetchRunning) {
        m_host.ShowBusy();
        m_nPendingStep = +1;
        m_window.SetTimer(TIMER_WAIT_PREFETCH, kWaitMs);
        return;
    }
    m_host.ShowBusy();
    if (OpenFile(+1))
        StartPlayback();
    else
        m_host.HidePlaybackSurfaces();
    m_host.HideBusy();
}

void PlaybackController::OnNextFileWait() {
    m_window.KillTimer(TIMER_WAIT_PREFETCH);
    const int state = NextFileState();
    if (state == playback::kPrefetchRequested || state == playback::kPrefetchRunning) {
        m_window.SetTimer(TIMER_WAIT_PREFETCH, kWaitMs);
        return;
    }
    if (state == playback::kPrefetchReady || state == playback::kPrefetchFailed) {
        m_host.ShowBusy();
        if (OpenFile(m_nPendingStep))
            StartPlayback();
        else
            m_host.HidePlaybackSurfaces();
    }
    m_host.HideBusy();
}

// ------------------------------------------------------------ labels

void PlaybackController::ShowElapsed(int64_t seconds) {
    m_controls.elapsed.SetWindowText(
        CString::Formatted(L"%02d:%02d /", static_cast<int>(seconds / 60), static_cast<int>(seconds % 60)));
}

void PlaybackController::ShowDuration(int64_t seconds) {
    m_controls.duration.SetWindowText(
        CString::Formatted(L"%02d:%02d", static_cast<int>(seconds / 60), static_cast<int>(seconds % 60)));
}

void PlaybackController::ResetTimeLabels() {
    ShowDuration(0);
    ShowElapsed(0);
}

// ------------------------------------------------------------ controls

void PlaybackController::OnPlay() {
    switch (m_nPlayState) {
        case kStopped:
            m_host.ShowBusy();
            if (OpenFile(0)) StartPlayback();
            m_host.HideBusy();
            break;
        case kPlaying: SetPaused(-1); break;
        default: SetPaused(+1); break;
    }
}

void PlaybackController::OnPause() {
    m_nPlayState = kPlaying;
    OnPlay();
}

void PlaybackController::OnStop() {
    if (m_nPlayState == kStopped) return;
    StopPlayback();
    m_host.HidePlaybackSurfaces();
    m_host.ResetGpsReadout();
    m_host.ResetGSensorReadout();
}

void PlaybackController::OnNext() { OpenNext(); }

void PlaybackController::OnPrevious() {
    StopPlayback();
    m_host.ShowBusy();
    AbortNextFile();
    if (OpenFile(-1))
        StartPlayback();
    else
        m_host.HidePlaybackSurfaces();
    m_host.HideBusy();
}

void PlaybackController::ActivateRow() {
    StopPlayback();
    m_host.ShowBusy();
    AbortNextFile();
    if (OpenFile(0)) StartPlayback();
    m_host.HideBusy();
    if (CSkinListCtrl* list = m_catalogue.ShownList()) list->Invalidate();
}

void PlaybackController::OnPositionSlider() { m_player.SeekMs(m_controls.position.GetPosition()); }
