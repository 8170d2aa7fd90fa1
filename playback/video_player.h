// The media graph: one DirectShow filter graph per opened recording, with a
// source filter, a decoder, a colour converter and a windowless mixing
// renderer per camera channel, and the sound to the DirectSound renderer.
// VideoPlayer lives as long as the main window and owns at most one
// PlaybackGraph. Everything runs on the main window's thread.
#pragma once

#define NO_DSHOW_STRSAFE
#include <windows.h>
#include <dshow.h>

#include <cstdint>
#include <memory>

#include "fw_com.h"

class CImage;

namespace playback {

// Graph object states.
enum : int32_t { kRunning = 0, kPaused = 1, kStopped = 2, kCreated = 3 };
// Build result when the file cannot be loaded at all.
constexpr HRESULT kNotLoadable = E_ABORT;
constexpr int kMaxChannels = 4;

// Rate actually applied by Run: 1.0 as it is, anything else kept within [0.5, 2.0].
float ClampRate(float rate);
// The rate a Run sets on the graph for a stored rate.
float AppliedRate(float rate);
// Audio detection score of one audio pin: 1001 for PCM, 1 for anything else.
int AudioPinScore(bool isPcm);

// Mixing renderers kept between graphs, one per channel window: made and set
// up (windowless, clipped to their window) by the first open that needs them,
// they join each later graph as they are, so that an open does not pay for a
// new renderer and its device.
struct RendererPool {
    ComPtr<IBaseFilter> kept[kMaxChannels];
};
// A mixing renderer set up windowless, drawing into `window`; S_OK when it is.
HRESULT SetUpRenderer(IBaseFilter* renderer, HWND window);

class PlaybackGraph {
public:
    PlaybackGraph(int channels, const HWND* windows, bool sourceFlag, RendererPool* pool = nullptr);
    ~PlaybackGraph();
    PlaybackGraph(const PlaybackGraph&) = delete;
    PlaybackGraph& operator=(const PlaybackGraph&) = delete;

    HRESULT Build(const wchar_t* path, int32_t a, int32_t b);
    void TearDown();
    HRESULT Run();
    HRESULT Pause();
    HRESULT Stop();
    // Absolute seek (100 ns units), current position only.
    HRESULT SeekTo(LONGLONG t);

    // Graph object state (kRunning ... kCreated); the one record of whether
    // this graph plays, is paused or stopped.
    int32_t State() const { return m_state; }
    bool IsBuilt() const { return m_built; }
    int32_t VideoStreamCount() const { return m_videoStreamCount; }
    // Duration in 100 ns units as last read from the graph; 0 before.
    int64_t CachedDuration() const { return m_durationCache; }
    // Reads the duration again when none is cached; returns the cache.
    int64_t Duration();
    // Rate handed to the graph by the next Run (clamped there).
    float Rate() const { return m_rate; }
    void SetRate(float rate) { m_rate = rate; }
    void SetSourceFlag(bool flag) { m_sourceFlag = flag; }

    IGraphBuilder* Graph() const { return m_graph.Get(); }
    IBaseFilter* Renderer(int k) const { return m_renderers[k].Get(); }
    IBaseFilter* Decoder(int k) const { return m_decoders[k].Get(); }
    IBaseFilter* AudioRenderer() const { return m_audioRenderer.Get(); }
    IBaseFilter* AudioDecoder() const { return m_audioDecoder.Get(); }
    IBaseFilter* Source() const { return m_source.Get(); }

private:
    HRESULT BuildOneChannel(int audioScore);
    HRESULT BuildChannels(int audioScore);
    HRESULT CreateAudio(int audioScore, const wchar_t* decoderName);
    void ConnectAudio(int audioScore);
    HRESULT SetUpRenderer(int k);
    // Renderer k: the pool's, else a new one set up for window k.
    HRESULT AddRenderer(int k, const wchar_t* name);
    // A run from stopped with stream time 0 just ahead of the clock's now.
    // The graph manager's own Run may put it much further ahead (200 ms on
    // one platform), and that wait is the first picture's.
    HRESULT RunSoon();
    // Time for the sources to deliver their first samples.
    static constexpr REFERENCE_TIME kStartLead = 40 * 10000;
    void CacheDuration();
    void StopWhenReady();
    static constexpr DWORD kSettleMs = 3000;
    HRESULT AddFilter(const CLSID& clsid, const wchar_t* name, ComPtr<IBaseFilter>& out);
    void Connect(IBaseFilter* up, IBaseFilter* down);
    void RemoveAndRelease(ComPtr<IBaseFilter>& f);

    CScopedComInit m_com;
    bool m_built = false;
    float m_rate = 1.0f;
    int32_t m_state = kCreated;
    int64_t m_durationCache = 0;  // 100 ns units; 0: not read yet
    int32_t m_videoStreamCount = 0;
    int32_t m_channelCount = 0;
    HWND m_windows[kMaxChannels] = {};
    wchar_t m_filePath[260] = {};
    bool m_sourceFlag = true;
    RendererPool* m_pool = nullptr;
    ComPtr<IGraphBuilder> m_graph;
    ComPtr<IBaseFilter> m_source;
    ComPtr<IBaseFilter> m_renderers[kMaxChannels];
    ComPtr<IBaseFilter> m_decoders[kMaxChannels];
    ComPtr<IBaseFilter> m_converters[kMaxChannels];
    ComPtr<IBaseFilter> m_audioDecoder;
    ComPtr<IBaseFilter> m_audioRenderer;
};

class VideoPlayer {
public:
    VideoPlayer();
    ~VideoPlayer();
    VideoPlayer(const VideoPlayer&) = delete;
    VideoPlayer& operator=(const VideoPlayer&) = delete;

    void Init(int channels, HWND w1, HWND w2, HWND w3, HWND w4);
    bool Open(const wchar_t* path, int32_t a, int32_t b);
    void Close();
    void Run();
    void Pause();
    void Stop();
    void SeekMs(int64_t ms);
    int64_t GetPositionMs();
    int64_t GetDurationMs();
    int32_t GetState() const;
    int32_t GetVideoStreamCount() const;
    void SetRate(float rate);
    void SetSourceFlag(bool flag);
    void RepaintAll();
    // The renderer of the channel shown in window w draws its current picture
    // there. kNoRenderer: no renderer of the open graph draws into w;
    // kNotRepainted: one does but cannot draw its picture again on request
    // (Wine's), so what it drew last is left on the window.
    enum RepaintResult { kNoRenderer, kNotRepainted, kRepainted };
    RepaintResult RepaintWindow(HWND w, HDC dc);
    void RepaintFirst(HDC dc);
    void Reseek();
    bool GetCurrentImage(int channel, CImage& image);
    HRESULT SetFlip(int channel, bool on);
    HRESULT SetMirror(int channel, bool on);
    bool CheckSourceFilter();
    bool CheckVideoDecoderFilter();
    bool CheckAudioDecoderFilter();
    bool CheckBrightnessFilter();
    int32_t CheckFilters();

    PlaybackGraph* Graph() const { return m_graph.get(); }

private:
    bool CheckFilter(const CLSID& clsid);
    HRESULT SetDecoderParam(int channel, int param, bool on);
    void DestroyGraph();

    int32_t m_channelCount = 0;
    HWND m_windows[kMaxChannels] = {};
    std::unique_ptr<PlaybackGraph> m_graph;
    RendererPool m_renderers;  // outlives every graph; released with the player
    bool m_sourceFlag = true;
    // One Direct3D 9 object held for the player's life, so that the graphics
    // library under the mixing renderers stays initialised from one recording
    // to the next (where it is not, the first renderer of every open pays for
    // starting it again).
    HMODULE m_d3d9 = nullptr;
    ComPtr<IUnknown> m_d3dKeeper;
};

// Class identifiers of the components the graph is made of.
extern const CLSID kClsidSource, kClsidVideoDecoder, kClsidAudioDecoder, kClsidConverter, kClsidBrightness;

}  // namespace playback
