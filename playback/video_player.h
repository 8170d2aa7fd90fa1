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

class CImage;

namespace playback {

// Graph object states.
enum : int32_t { kRunning = 0, kPaused = 1, kStopped = 2, kCreated = 3 };
// Build result when the file cannot be loaded at all.
constexpr HRESULT kNotLoadable = E_ABORT;
constexpr int kMaxChannels = 4;

// Rate actually applied by Run: 1.0 as it is, anything else kept within [0.5, 2.0].
float ClampRate(float rate);
// Audio detection score of one audio pin: 1001 for PCM, 1 for anything else.
int AudioPinScore(bool isPcm);

class PlaybackGraph {
public:
    PlaybackGraph(int channels, const HWND* windows, bool sourceFlag);
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

    IGraphBuilder* Graph() const { return graph_; }
    IBaseFilter* Renderer(int k) const { return renderers_[k]; }
    IBaseFilter* Decoder(int k) const { return decoders_[k]; }
    IBaseFilter* AudioRenderer() const { return audioRenderer_; }
    IBaseFilter* AudioDecoder() const { return audioDecoder_; }
    IBaseFilter* Source() const { return source_; }

    bool valid = false;
    bool built = false;
    float rate = 1.0f;
    int32_t state = kCreated;
    int64_t durationCache = 0;  // 100 ns units; 0: not read yet
    int32_t videoStreamCount = 0;
    int32_t channelCount = 0;
    HWND windows[kMaxChannels] = {};
    wchar_t filePath[260] = {};
    bool sourceFlag = true;

private:
    HRESULT BuildOneChannel(int audioScore);
    HRESULT BuildChannels(int audioScore);
    HRESULT CreateAudio(int audioScore, const wchar_t* decoderName);
    void ConnectAudio(int audioScore);
    HRESULT SetUpRenderer(int k);
    void CacheDuration();
    void StopWhenReady();
    static constexpr DWORD kSettleMs = 3000;
    HRESULT AddFilter(const CLSID& clsid, const wchar_t* name, IBaseFilter** out);
    void Connect(IBaseFilter* up, IBaseFilter* down);
    void RemoveAndRelease(IBaseFilter*& f);

    bool comInit_ = false;
    IGraphBuilder* graph_ = nullptr;
    IBaseFilter* source_ = nullptr;
    IBaseFilter* renderers_[kMaxChannels] = {};
    IBaseFilter* decoders_[kMaxChannels] = {};
    IBaseFilter* converters_[kMaxChannels] = {};
    IBaseFilter* audioDecoder_ = nullptr;
    IBaseFilter* audioRenderer_ = nullptr;
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

    PlaybackGraph* Graph() const { return graph_; }

private:
    bool CheckFilter(const CLSID& clsid);
    HRESULT SetDecoderParam(int channel, int param, bool on);
    void DestroyGraph();

    int32_t channelCount_ = 0;
    HWND windows_[kMaxChannels] = {};
    PlaybackGraph* graph_ = nullptr;
    bool sourceFlag_ = true;
    // One Direct3D 9 object held for the player's life, so that the graphics
    // library under the mixing renderers stays initialised from one recording
    // to the next (where it is not, the first renderer of every open pays for
    // starting it again).
    HMODULE d3d9_ = nullptr;
    IUnknown* d3dKeeper_ = nullptr;
};

// Class identifiers of the components the graph is made of.
extern const CLSID kClsidSource, kClsidVideoDecoder, kClsidAudioDecoder, kClsidConverter, kClsidBrightness;

}  // namespace playback
