#include "page_session.h"

#include <wincodec.h>
#include <wrl/client.h>

#include <atomic>
#include <chrono>

#include "websocket.h"
#include "cdp_util.h"

using Microsoft::WRL::ComPtr;

namespace standin {

namespace {

const COLORREF kPanelColour = RGB(40, 44, 52);
const unsigned kConnectMs = 1000;
const unsigned kHttpMs = 2000;
const unsigned kPollMs = 1000;  // waits end at once on stop
const unsigned kRetryMs = 1000;
const unsigned kStopWaitMs = 3000;
const int kMaxFrameSide = 8192;
// Lossless frames: the window shows the page's colours exactly.
const char kScreencastParams[] = "{\"format\":\"png\"}";

std::atomic<int> g_nextId{1};

uint64_t NowMs() { return ::GetTickCount64(); }

}  // namespace

// A TCP connection on the loopback interface with bounded waits.
class Socket {
public:
    Socket() = default;
    ~Socket() {
        Close();
        if (m_readable) ::WSACloseEvent(m_readable);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool Connect(int port, unsigned timeoutMs) {
        Close();
        m_s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (m_s == INVALID_SOCKET) return false;
        BOOL noDelay = TRUE;
        ::setsockopt(m_s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<u_short>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (!m_readable) {
            m_readable = ::WSACreateEvent();
            if (m_readable == WSA_INVALID_EVENT) m_readable = nullptr;
        }
        // Readiness to read (or the peer's close) sets m_readable; this also
        // makes the socket non-blocking.
        if (!m_readable || ::WSAEventSelect(m_s, m_readable, FD_READ | FD_CLOSE) != 0) return Fail();
        if (::connect(m_s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return true;
        if (::WSAGetLastError() != WSAEWOULDBLOCK) return Fail();
        fd_set w, e;
        FD_ZERO(&w);
        FD_ZERO(&e);
        FD_SET(m_s, &w);
        FD_SET(m_s, &e);
        timeval tv{static_cast<long>(timeoutMs / 1000), static_cast<long>((timeoutMs % 1000) * 1000)};
        if (::select(0, nullptr, &w, &e, &tv) != 1 || !FD_ISSET(m_s, &w)) return Fail();
        int err = 0;
        int len = sizeof err;
        ::getsockopt(m_s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len);
        return err == 0 ? true : Fail();
    }

    bool SendAll(const char* p, size_t n, unsigned timeoutMs) {
        const uint64_t deadline = NowMs() + timeoutMs;
        while (n > 0 && m_s != INVALID_SOCKET) {
            int chunk = n > 1 << 20 ? 1 << 20 : static_cast<int>(n);
            int sent = ::send(m_s, p, chunk, 0);
            if (sent > 0) {
                p += sent;
                n -= static_cast<size_t>(sent);
                continue;
            }
            if (::WSAGetLastError() != WSAEWOULDBLOCK) return false;
            uint64_t now = NowMs();
            if (now >= deadline) return false;
            fd_set w;
            FD_ZERO(&w);
            FD_SET(m_s, &w);
            unsigned left = static_cast<unsigned>(deadline - now);
            timeval tv{static_cast<long>(left / 1000), static_cast<long>((left % 1000) * 1000)};
            ::select(0, nullptr, &w, nullptr, &tv);
        }
        return n == 0;
    }

    // Bytes read (> 0), 0 when the peer closed, -1 on error, -2 when nothing
    // arrived within waitMs or the wake event was set.
    int Recv(char* buf, int size, unsigned waitMs, HANDLE wake = nullptr) {
        if (m_s == INVALID_SOCKET) return -1;
        const uint64_t deadline = NowMs() + waitMs;
        for (;;) {
            int got = ::recv(m_s, buf, size, 0);
            if (got >= 0) return got;
            if (::WSAGetLastError() != WSAEWOULDBLOCK) return -1;
            uint64_t now = NowMs();
            if (now >= deadline) return -2;
            HANDLE events[2] = {m_readable, wake};
            DWORD r = ::WaitForMultipleObjects(wake ? 2 : 1, events, FALSE, static_cast<DWORD>(deadline - now));
            if (r != WAIT_OBJECT_0) return -2;
            WSANETWORKEVENTS happened;
            ::WSAEnumNetworkEvents(m_s, m_readable, &happened);  // resets the event
        }
    }

    void Close() {
        if (m_s != INVALID_SOCKET) ::closesocket(m_s);
        m_s = INVALID_SOCKET;
    }

    // What the WebSocket decoder of this connection holds.
    ws::FrameDecoder decoder;

private:
    bool Fail() {
        Close();
        return false;
    }
    SOCKET m_s = INVALID_SOCKET;
    WSAEVENT m_readable = nullptr;
};

namespace {

// A pseudo-random 32-bit stream for frame masks and handshake keys.
uint32_t NextRandom(uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

// Reads an HTTP response to its end (connection closed or Content-Length
// reached) within timeoutMs; the body, or false.
bool ReadHttpBody(Socket& s, HANDLE stop, std::string& body, unsigned timeoutMs) {
    const uint64_t deadline = NowMs() + timeoutMs;
    std::string buf;
    char chunk[16384];
    ws::HttpResponse head;
    size_t headLength = 0;
    bool haveHead = false;
    size_t want = std::string::npos;
    while (NowMs() < deadline && ::WaitForSingleObject(stop, 0) == WAIT_TIMEOUT) {
        int got = s.Recv(chunk, sizeof chunk, kPollMs, stop);
        if (got == -2) continue;
        if (got < 0) return false;
        if (got > 0) buf.append(chunk, static_cast<size_t>(got));
        if (buf.size() > (4u << 20)) return false;
        if (!haveHead) {
            ws::HeadResult r = ws::ParseHttpHead(buf, head, headLength);
            if (r == ws::HeadResult::Malformed) return false;
            if (r == ws::HeadResult::Complete) {
                haveHead = true;
                if (head.status != 200) return false;
                std::string length = head.Header("content-length");
                if (!length.empty()) want = std::strtoul(length.c_str(), nullptr, 10);
            }
        }
        if (haveHead && (got == 0 || (want != std::string::npos && buf.size() - headLength >= want))) {
            body = buf.substr(headLength, want);
            return true;
        }
        if (got == 0) return false;
    }
    return false;
}

bool DecodeImage(IWICImagingFactory* wic, const std::string& bytes, std::vector<uint32_t>& pixels, int& width,
                 int& height) {
    if (!wic || bytes.empty() || bytes.size() > 0x7FFFFFFF) return false;
    ComPtr<IWICStream> stream;
    if (FAILED(wic->CreateStream(&stream)) ||
        FAILED(stream->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data())),
                                            static_cast<DWORD>(bytes.size()))))
        return false;
    ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(wic->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, &decoder)))
        return false;
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(0, &frame))) return false;
    UINT w = 0, h = 0;
    if (FAILED(frame->GetSize(&w, &h)) || w == 0 || h == 0 || w > kMaxFrameSide || h > kMaxFrameSide) return false;
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(wic->CreateFormatConverter(&converter)) ||
        FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0,
                                     WICBitmapPaletteTypeCustom)))
        return false;
    pixels.resize(size_t(w) * h);
    if (FAILED(converter->CopyPixels(nullptr, w * 4, w * h * 4, reinterpret_cast<BYTE*>(pixels.data())))) return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

}  // namespace

PageSession::PageSession(int port, int width, int height) : m_port(port), m_width(width), m_height(height) {
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    m_maskState = static_cast<uint32_t>(t.QuadPart ^ (t.QuadPart >> 32) ^ ::GetCurrentThreadId()) | 1;
}

std::shared_ptr<PageSession> PageSession::Start(int port, int width, int height) {
    std::shared_ptr<PageSession> s(new PageSession(port, width, height));
    s->m_stopEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!s->m_stopEvent) return s;
    // The worker keeps the module loaded until it has ended.
    HMODULE pinned = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                              reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&PageSession::ThreadMain)), &pinned))
        return s;
    s->m_module = pinned;
    auto* keep = new std::shared_ptr<PageSession>(s);
    s->m_thread = ::CreateThread(nullptr, 0, &PageSession::ThreadMain, keep, 0, nullptr);
    if (!s->m_thread) {
        delete keep;
        ::FreeLibrary(pinned);
        s->m_module = nullptr;
    }
    return s;
}

PageSession::~PageSession() {
    if (m_thread) ::CloseHandle(m_thread);
    if (m_stopEvent) ::CloseHandle(m_stopEvent);
}

void PageSession::Stop() {
    SetWindow(nullptr);
    if (m_stopEvent) ::SetEvent(m_stopEvent);
    if (m_thread && ::GetThreadId(m_thread) != ::GetCurrentThreadId()) ::WaitForSingleObject(m_thread, kStopWaitMs);
}

DWORD WINAPI PageSession::ThreadMain(void* param) {
    auto* keep = static_cast<std::shared_ptr<PageSession>*>(param);
    HMODULE module = (*keep)->m_module;
    (*keep)->Run();
    delete keep;  // may end the session
    ::FreeLibraryAndExitThread(module, 0);
    return 0;
}

void PageSession::Run() {
    WSADATA wsa;
    const bool sockets = ::WSAStartup(MAKEWORD(2, 2), &wsa) == 0;
    const bool com = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    IWICImagingFactory* wic = nullptr;
    if (com)
        ::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                           reinterpret_cast<void**>(&wic));
    m_wic = wic;
    while (sockets && m_port != 0 && ::WaitForSingleObject(m_stopEvent, 0) == WAIT_TIMEOUT) {
        Socket socket;
        if (Connect(socket) && SetUpPage(socket)) ServeConnection(socket);
        DropConnection();
        socket.Close();
        ::WaitForSingleObject(m_stopEvent, kRetryMs);
    }
    m_wic = nullptr;
    if (wic) wic->Release();
    if (com) ::CoUninitialize();
    if (sockets) ::WSACleanup();
}

bool PageSession::Connect(Socket& socket) {
    // The browser's WebSocket address, from its HTTP endpoint.
    std::string body;
    {
        Socket http;
        if (!http.Connect(m_port, kConnectMs)) return false;
        std::string request = ws::HttpRequest("GET", "127.0.0.1", m_port, "/json/version");
        if (!http.SendAll(request.data(), request.size(), kHttpMs)) return false;
        if (!ReadHttpBody(http, m_stopEvent, body, kHttpMs)) return false;
    }
    auto version = json::Parse(body);
    std::string host, path;
    int port = 0;
    if (!version || !cdp::ParseWebSocketUrl((*version)["webSocketDebuggerUrl"].AsString(), host, port, path))
        return false;

    if (!socket.Connect(m_port, kConnectMs)) return false;
    std::string key;
    {
        std::lock_guard<std::mutex> lock(m_sendMutex);
        for (int i = 0; i < 4; ++i) {
            uint32_t r = NextRandom(m_maskState);
            key.append(reinterpret_cast<const char*>(&r), 4);
        }
    }
    key = ws::Base64Encode(key);
    std::string request = ws::HandshakeRequest("127.0.0.1", m_port, path, key);
    if (!socket.SendAll(request.data(), request.size(), kHttpMs)) return false;
    std::string buf;
    char chunk[4096];
    const uint64_t deadline = NowMs() + kHttpMs;
    while (NowMs() < deadline && ::WaitForSingleObject(m_stopEvent, 0) == WAIT_TIMEOUT) {
        int got = socket.Recv(chunk, sizeof chunk, kPollMs, m_stopEvent);
        if (got == -2) continue;
        if (got <= 0) return false;
        buf.append(chunk, static_cast<size_t>(got));
        ws::HttpResponse head;
        size_t headLength = 0;
        ws::HeadResult r = ws::ParseHttpHead(buf, head, headLength);
        if (r == ws::HeadResult::Malformed) return false;
        if (r == ws::HeadResult::Incomplete) continue;
        if (!ws::HandshakeAccepted(head, key)) return false;
        socket.decoder = ws::FrameDecoder();
        // Frames may follow the head in the same read.
        if (!socket.decoder.Feed(buf.data() + headLength, buf.size() - headLength)) return false;
        std::lock_guard<std::mutex> lock(m_sendMutex);
        m_socket = &socket;
        return true;
    }
    return false;
}

bool PageSession::SetUpPage(Socket& socket) {
    json::Value r;
    if (!CallFromWorker(socket, "Target.createBrowserContext", json::ObjectWriter().Add("disposeOnDetach", true).Done(),
                        false, r))
        return false;
    std::string context = r["browserContextId"].AsString();
    int width, height;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        width = m_width;
        height = m_height;
    }
    if (!CallFromWorker(socket, "Target.createTarget",
                        json::ObjectWriter()
                            .Add("url", "about:blank")
                            .Add("browserContextId", context)
                            .Add("width", width)
                            .Add("height", height)
                            .Done(),
                        false, r))
        return false;
    std::string target = r["targetId"].AsString();
    if (!CallFromWorker(socket, "Target.attachToTarget",
                        json::ObjectWriter().Add("targetId", target).Add("flatten", true).Done(), false, r))
        return false;
    {
        std::lock_guard<std::mutex> lock(m_sendMutex);
        m_sessionId = r["sessionId"].AsString();
    }
    if (!CallFromWorker(socket, "Page.enable", "{}", true, r)) return false;
    Send("Emulation.setFocusEmulationEnabled", json::ObjectWriter().Add("enabled", true).Done());
    if (!CallFromWorker(socket, "Emulation.setDeviceMetricsOverride",
                        json::ObjectWriter()
                            .Add("width", width)
                            .Add("height", height)
                            .Add("deviceScaleFactor", 1)
                            .Add("mobile", false)
                            .Done(),
                        true, r))
        return false;
    if (!CallFromWorker(socket, "Page.startScreencast", kScreencastParams, true, r)) return false;

    std::lock_guard<std::mutex> lock(m_mutex);
    m_connected = true;
    if (m_width != width || m_height != height) SendViewport(m_width, m_height);
    if (!m_url.empty() && !m_urlSent) {
        Send("Page.navigate", json::ObjectWriter().Add("url", m_url).Done());
        m_urlSent = true;
    }
    return true;
}

bool PageSession::ServeConnection(Socket& socket) {
    m_pageLost = false;
    while (::WaitForSingleObject(m_stopEvent, 0) == WAIT_TIMEOUT) {
        if (!ReadAvailable(socket, kPollMs) || m_pageLost) return false;
    }
    return true;
}

bool PageSession::ReadAvailable(Socket& socket, unsigned waitMs) {
    char buf[65536];
    int got = socket.Recv(buf, sizeof buf, waitMs, m_stopEvent);
    while (got > 0) {
        if (!socket.decoder.Feed(buf, static_cast<size_t>(got))) return false;
        ws::Event e;
        while (socket.decoder.Next(e)) {
            switch (e.kind) {
                case ws::Event::Text: OnMessage(e.data); break;
                case ws::Event::Ping: SendFrame(ws::kPong, e.data); break;
                case ws::Event::Close: SendFrame(ws::kClose, ws::ClosePayload(1000)); return false;
                default: break;
            }
        }
        got = socket.Recv(buf, sizeof buf, 0);
    }
    return got == -2;
}

void PageSession::OnMessage(const std::string& text) {
    auto message = json::Parse(text);
    if (!message) return;
    const json::Value& m = *message;
    if (m.Has("id")) {
        int id = static_cast<int>(m["id"].AsInt(-1));
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_awaited.count(id)) {
            m_answers[id] = m;
            m_answered.notify_all();
        }
        return;
    }
    const std::string& method = m["method"].AsString();
    const json::Value& params = m["params"];
    if (method == "Page.screencastFrame") {
        Send("Page.screencastFrameAck", json::ObjectWriter().Add("sessionId", params["sessionId"].AsInt()).Done());
        OnFrame(params);
    } else if (method == "Page.frameNavigated") {
        const json::Value& frame = params["frame"];
        if (frame.Has("parentId")) return;
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_generation;
        m_hasDocument = true;
        m_loaded = false;
        m_documentUrl = frame["url"].AsString();
    } else if (method == "Page.loadEventFired") {
        RestartScreencast();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_loaded = true;
        m_navigationPending = false;
    } else if (method == "Page.javascriptDialogOpening") {
        // Nobody can answer a dialog of a page nobody sees.
        Send("Page.handleJavaScriptDialog", json::ObjectWriter().Add("accept", true).Done());
    } else if (method == "Target.detachedFromTarget" || method == "Target.targetCrashed" ||
               method == "Inspector.targetCrashed" || method == "Inspector.detached") {
        m_pageLost = true;
    }
}

void PageSession::OnFrame(const json::Value& params) {
    std::string bytes;
    std::vector<uint32_t> pixels;
    int w = 0, h = 0;
    if (!ws::Base64Decode(params["data"].AsString(), bytes)) return;
    if (!DecodeImage(static_cast<IWICImagingFactory*>(m_wic), bytes, pixels, w, h)) return;
    {
        std::lock_guard<std::mutex> lock(m_frameMutex);
        m_pixels.swap(pixels);
        m_frameWidth = w;
        m_frameHeight = h;
        ++m_frameSeq;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_window) ::InvalidateRect(m_window, nullptr, FALSE);
}

bool PageSession::SendFrame(uint8_t opcode, const std::string& payload) {
    std::lock_guard<std::mutex> lock(m_sendMutex);
    if (!m_socket) return false;
    uint32_t mask = NextRandom(m_maskState);
    std::string frame = ws::EncodeFrame(static_cast<ws::Opcode>(opcode), payload, reinterpret_cast<uint8_t*>(&mask));
    return m_socket->SendAll(frame.data(), frame.size(), kHttpMs);
}

int PageSession::SendCommand(int id, const std::string& method, const std::string& params, bool toPage) {
    std::string text;
    {
        std::lock_guard<std::mutex> lock(m_sendMutex);
        if (!m_socket) return 0;
        json::ObjectWriter w;
        w.Add("id", id).Add("method", method).AddRaw("params", params);
        if (toPage) w.Add("sessionId", m_sessionId);
        text = w.Done();
        uint32_t mask = NextRandom(m_maskState);
        std::string frame = ws::EncodeFrame(ws::kText, text, reinterpret_cast<uint8_t*>(&mask));
        if (!m_socket->SendAll(frame.data(), frame.size(), kHttpMs)) return 0;
    }
    return id;
}

int PageSession::Send(const std::string& method, const std::string& params, bool toPage) {
    return SendCommand(g_nextId++, method, params, toPage);
}

bool PageSession::CallFromWorker(Socket& socket, const std::string& method, const std::string& params, bool toPage,
                                 json::Value& result, unsigned timeoutMs) {
    const int id = g_nextId++;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_awaited.insert(id);
    }
    bool answered = false;
    json::Value answer;
    if (SendCommand(id, method, params, toPage)) {
        const uint64_t deadline = NowMs() + timeoutMs;
        while (NowMs() < deadline && ::WaitForSingleObject(m_stopEvent, 0) == WAIT_TIMEOUT) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                auto it = m_answers.find(id);
                if (it != m_answers.end()) {
                    answer = std::move(it->second);
                    m_answers.erase(it);
                    answered = true;
                    break;
                }
            }
            if (!ReadAvailable(socket, kPollMs)) break;
        }
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_awaited.erase(id);
        m_answers.erase(id);
    }
    if (!answered || answer.Has("error")) return false;
    result = answer["result"];
    return true;
}

void PageSession::DropConnection() {
    {
        std::lock_guard<std::mutex> lock(m_sendMutex);
        m_socket = nullptr;
        m_sessionId.clear();
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_connected = false;
    if (m_hasDocument) ++m_generation;
    m_hasDocument = false;
    m_loaded = false;
    m_urlSent = false;  // a new page is sent there again
    m_stuckId = 0;
    m_awaited.clear();
    m_answers.clear();
    m_answered.notify_all();
}

void PageSession::SendViewport(int width, int height) {
    Send("Emulation.setDeviceMetricsOverride", json::ObjectWriter()
                                                   .Add("width", width)
                                                   .Add("height", height)
                                                   .Add("deviceScaleFactor", 1)
                                                   .Add("mobile", false)
                                                   .Done());
    RestartScreencast();
}

void PageSession::RestartScreencast() {
    // Chromium's screencast may stop sending frames when the viewport changes
    // (or changed while a navigation was on its way) and does not always send
    // one of a newly loaded page; started afresh, it sends the current frame.
    Send("Page.stopScreencast", "{}");
    Send("Page.startScreencast", kScreencastParams);
}

void PageSession::SetWindow(HWND window) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_window = window;
}

void PageSession::SetViewport(int width, int height) {
    if (width <= 0 || height <= 0) return;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (width == m_width && height == m_height) return;
    m_width = width;
    m_height = height;
    if (m_connected) SendViewport(width, height);
}

void PageSession::Navigate(const std::string& url) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_url = url;
    ++m_navigations;
    m_navigationPending = true;
    m_urlSent = false;
    if (m_connected) m_urlSent = Send("Page.navigate", json::ObjectWriter().Add("url", url).Done()) != 0;
}

void PageSession::Reload() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_connected) Send("Page.reload", "{}");
}

void PageSession::DispatchInput(const char* method, const std::string& params) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_connected) Send(method, params);
}

PageSession::EvalResult PageSession::Evaluate(const std::string& expression, json::Value* result, std::string* error,
                                              unsigned timeoutMs) {
    const int id = g_nextId++;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_connected) return EvalResult::NoPage;
        if (m_stuckId) {
            // A page that has not answered an earlier call is busy: fail at
            // once rather than wait again, until that answer has come.
            if (!m_answers.count(m_stuckId)) return EvalResult::Failed;
            m_answers.erase(m_stuckId);
            m_awaited.erase(m_stuckId);
            m_stuckId = 0;
        }
        m_awaited.insert(id);
    }
    std::string params =
        json::ObjectWriter().Add("expression", expression).Add("returnByValue", true).Add("awaitPromise", false).Done();
    json::Value answer;
    bool answered = false, sent = SendCommand(id, "Runtime.evaluate", params, true) != 0;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (sent)
            m_answered.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                [&] { return m_answers.count(id) != 0 || !m_connected; });
        auto it = m_answers.find(id);
        if (it != m_answers.end()) {
            answer = std::move(it->second);
            answered = true;
        }
        if (sent && !answered && m_connected) {
            m_stuckId = id;  // its answer is still awaited
        } else {
            m_awaited.erase(id);
            m_answers.erase(id);
        }
    }
    if (!answered || answer.Has("error")) return EvalResult::Failed;
    const json::Value& r = answer["result"];
    if (r.Has("exceptionDetails")) {
        if (error) {
            const json::Value& d = r["exceptionDetails"];
            *error = d["exception"]["description"].AsString();
            if (error->empty()) *error = d["text"].AsString();
        }
        return EvalResult::Exception;
    }
    if (result) *result = r["result"];
    return EvalResult::Ok;
}

bool PageSession::HasDocument() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_hasDocument;
}

bool PageSession::Loaded() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_loaded;
}

bool PageSession::Busy() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_navigationPending;
}

unsigned PageSession::Generation() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_generation;
}

std::string PageSession::Url() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_hasDocument ? m_documentUrl : m_url;
}

int PageSession::Navigations() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_navigations;
}

int PageSession::FramesPainted() {
    std::lock_guard<std::mutex> lock(m_frameMutex);
    return m_framesPainted;
}

void PageSession::Paint(HDC dc, const RECT& client) {
    HBRUSH panel = ::CreateSolidBrush(kPanelColour);
    std::lock_guard<std::mutex> lock(m_frameMutex);
    int w = 0, h = 0;
    if (!m_pixels.empty()) {
        w = m_frameWidth;
        h = m_frameHeight;
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;  // top-down rows
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        ::SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(w), static_cast<DWORD>(h), 0, 0, 0, static_cast<UINT>(h),
                            m_pixels.data(), &bi, DIB_RGB_COLORS);
        if (m_paintedSeq != m_frameSeq) {
            m_paintedSeq = m_frameSeq;
            ++m_framesPainted;
        }
    }
    // The panel colour where no frame covers the window.
    RECT right{w, 0, client.right, client.bottom};
    RECT below{0, h, w, client.bottom};
    if (right.left < right.right && right.top < right.bottom) ::FillRect(dc, &right, panel);
    if (below.left < below.right && below.top < below.bottom) ::FillRect(dc, &below, panel);
    ::DeleteObject(panel);
}

}  // namespace standin
