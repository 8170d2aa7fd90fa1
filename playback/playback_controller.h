// The playback controller: what is open, whether it plays, and the media graph
// it plays in. It is the one record of "a recording is open / playing /
// paused": the main window and its other subsystems ask it, never the graph.
#pragma once
#include <cstdint>

#include "video_player.h"

class PlaybackController {
public:
    // The play state as the controller keeps it (m_nPlayState).
    enum : int8_t { kStopped = 0, kPlaying = 1, kPaused = -1 };

    playback::VideoPlayer& Player() { return m_player; }
    int8_t PlayState() const { return m_nPlayState; }
    // Open: playing or paused (a shown photo is not open, it leaves the state stopped).
    bool IsOpen() const { return m_nPlayState != kStopped; }
    bool IsPlaying() const { return m_nPlayState == kPlaying; }

private:
    playback::VideoPlayer m_player;
    int8_t m_nPlayState = kStopped;
};
