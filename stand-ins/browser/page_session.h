// One page in headless Chromium, driven over the DevTools protocol for one
// stand-in browser control: a WebSocket connection to the browser on the
// loopback interface, a browser context and page of its own (disposed by
// Chromium when the connection ends), and a worker thread that reads the
// connection, keeps the page's load state and decodes its screencast frames.
//
// The window thread never waits on the network for long: navigation, input
// and resizing are sent without waiting, and script evaluation waits at most
// a bounded time. Until the worker is connected, navigation is remembered and
// sent once the page exists; script calls find no page.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "json.h"

namespace standin {

class Socket;

class PageSession : public std::enable_shared_from_this<PageSession> {
public:
    // A session connecting to the DevTools endpoint on 127.0.0.1:port (0: no
    // browser; the session stays without a page), with a viewport of that
    // size. The module holding this code stays loaded while the worker runs.
    static std::shared_ptr<PageSession> Start(int port, int width, int height);
    ~PageSession();
    PageSession(const PageSession&) = delete;
    PageSession& operator=(const PageSession&) = delete;

    // Ends the worker (waits a bounded time) and the connection.
    void Stop();

    // The window frames are painted into; it is invalidated when one arrives.
    void SetWindow(HWND window);
    void SetViewport(int width, int height);
    void Navigate(const std::string& url);
    void Reload();
    // Input.dispatchMouseEvent / Input.dispatchKeyEvent with these parameters
    // (a JSON object's text).
    void DispatchInput(const char* method, const std::string& params);

    enum class EvalResult { Ok, NoPage, Exception, Failed };
    // Runs an expression in the page and waits up to timeoutMs for its value:
    // the protocol's remote object ("type", and "value" by value). On
    // Exception, error holds the message. After a timeout, calls fail at once
    // until the page has answered the late one.
    EvalResult Evaluate(const std::string& expression, json::Value* result, std::string* error,
                        unsigned timeoutMs = 2000);

    bool HasDocument() const;
    // The document's load event has fired.
    bool Loaded() const;
    // A navigation was asked for and its page has not loaded yet.
    bool Busy() const;
    // Changes with every committed main-frame navigation.
    unsigned Generation() const;
    std::string Url() const;
    int Navigations() const;
    int FramesPainted();
    // Paints the latest frame at the window's top left, a dark panel around it.
    void Paint(HDC dc, const RECT& client);

private:
    PageSession(int port, int width, int height);
    static DWORD WINAPI ThreadMain(void* param);
    void Run();
    bool Connect(Socket& socket);
    bool SetUpPage(Socket& socket);
    bool ServeConnection(Socket& socket);
    bool ReadAvailable(Socket& socket, unsigned waitMs);
    void OnMessage(const std::string& text);
    void OnFrame(const json::Value& params);
    // Sends a command with a fresh id (returned; 0 when not sent). Page
    // commands carry the page's session id.
    int Send(const std::string& method, const std::string& params, bool toPage = true);
    int SendCommand(int id, const std::string& method, const std::string& params, bool toPage);
    bool SendFrame(uint8_t opcode, const std::string& payload);
    void SendViewport(int width, int height);
    void RestartScreencast();
    // A command answered before the deadline (worker thread only).
    bool CallFromWorker(Socket& socket, const std::string& method, const std::string& params, bool toPage,
                        json::Value& result, unsigned timeoutMs = 3000);
    void DropConnection();

    const int m_port;
    HANDLE m_thread = nullptr;
    HANDLE m_stopEvent = nullptr;
    HMODULE m_module = nullptr;
    void* m_wic = nullptr;  // IWICImagingFactory of the worker thread

    mutable std::mutex m_mutex;
    std::condition_variable m_answered;
    // Lock order: m_mutex before m_sendMutex, never the other way.
    std::mutex m_sendMutex;
    Socket* m_socket = nullptr;  // while connected (m_sendMutex)
    std::string m_sessionId;     // the page's session (m_sendMutex)
    uint32_t m_maskState = 0;    // (m_sendMutex)
    std::set<int> m_awaited;
    std::map<int, json::Value> m_answers;
    int m_stuckId = 0;          // an evaluation that timed out, its answer still awaited
    bool m_connected = false;   // the page exists and is attached
    bool m_pageLost = false;    // worker only
    std::string m_url;          // the address asked for last
    std::string m_documentUrl;  // the address of the committed document
    bool m_urlSent = true;
    bool m_hasDocument = false;
    bool m_loaded = false;
    bool m_navigationPending = false;
    unsigned m_generation = 0;
    int m_navigations = 0;
    int m_width, m_height;
    bool m_viewportSent = false;
    HWND m_window = nullptr;

    // Latest frame, top-down BGRA.
    std::mutex m_frameMutex;
    std::vector<uint32_t> m_pixels;
    int m_frameWidth = 0, m_frameHeight = 0;
    unsigned m_frameSeq = 0, m_paintedSeq = 0;
    int m_framesPainted = 0;
};

}  // namespace standin
