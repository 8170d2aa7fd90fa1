// Test host of the volume control: a window with the main window's volume
// slider (control 1051, same skin images) that routes the slider's moving
// message to VolumeMixer::ApplySlider as the main window does, a way to drag
// the slider with real mouse messages, and a watcher that notes the message
// boxes this process shows.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app_messages.h"
#include "bitmap_slider.h"
#include "control_ids.h"
#include "fw_wnd.h"
#include "volume_mixer.h"

// Runs the message loop for ms milliseconds (at least once).
inline void Pump(DWORD ms = 0) {
    DWORD end = ::GetTickCount() + ms;
    do {
        MSG m;
        while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&m);
            ::DispatchMessageW(&m);
        }
        if (ms) ::Sleep(5);
    } while (static_cast<int>(end - ::GetTickCount()) > 0);
}

class VolumeHost : public CWnd {
public:
    bool Create() {
        static bool registered = false;
        if (!registered) {
            WNDCLASSW wc{};
            wc.lpfnWndProc = ::DefWindowProcW;
            wc.hInstance = ::GetModuleHandleW(nullptr);
            wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
            wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
            wc.lpszClassName = L"TessaroVolumeHost";
            registered = ::RegisterClassW(&wc) != 0;
        }
        BeginCreate(this);
        HWND wnd = ::CreateWindowExW(0, L"TessaroVolumeHost", L"volume host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                                     40, 40, 300, 80, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
        EndCreate();
        if (!wnd) return false;
        HWND child = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 20, 30, 100, 14, wnd,
                                       reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_VOLUME_SLIDER)),
                                       ::GetModuleHandleW(nullptr), nullptr);
        if (!slider.SubclassWindow(child)) return false;
        SkinSlider();
        Pump(20);
        return true;
    }
    // The main window's skin step for the volume slider.
    void SkinSlider() {
        slider.SetChannelImages(207, 208, false);
        slider.SetThumbImages(351, 352, true, RGB(255, 0, 255));
        slider.SetFocusRectOption(false);
        slider.SetRange(0, 10);
    }

    // Creates the mixer and runs Init as the main window does; SetMute(false)
    // when ready, else the slider is disabled.
    bool StartMixer(bool unmute = true) {
        mixer = std::make_unique<VolumeMixer>(m_hWnd, slider);
        ready = mixer->Init();
        if (ready && unmute) mixer->SetMute(false);
        if (!ready) slider.EnableWindow(FALSE);
        return ready;
    }

    // Drags the thumb with the mouse: presses the left button on its centre,
    // moves to the pixel of the track nearest to giving the position, and
    // releases it; the slider posts its messages, which are then handled.
    // Returns the position the slider then has.
    int DragNear(int position) {
        const int lo = slider.GetRangeMin(), hi = slider.GetRangeMax();
        const int w = slider.TrackWidth(), tw = slider.ThumbWidth();
        int best = tw / 2;
        for (int x = tw / 2; x <= w - tw / 2; ++x)
            if (std::abs(CBitmapSlider::PositionFor(x, lo, hi, w, tw) - position) <
                std::abs(CBitmapSlider::PositionFor(best, lo, hi, w, tw) - position))
                best = x;
        const int from = CBitmapSlider::CentreFor(slider.GetPosition(), lo, hi, w, tw);
        Mouse(WM_LBUTTONDOWN, from);
        Mouse(WM_MOUSEMOVE, best);
        Mouse(WM_LBUTTONUP, best);
        Pump(30);
        return slider.GetPosition();
    }
    // DragNear for a position that a pixel of the track gives.
    bool DragTo(int position) { return DragNear(position) == position; }

    CBitmapSlider slider;
    std::unique_ptr<VolumeMixer> mixer;
    bool ready = false;
    int movingMessages = 0;

protected:
    void Mouse(UINT msg, int x) {
        POINT pt{x, 4};
        ::ClientToScreen(slider, &pt);
        ::SetCursorPos(pt.x, pt.y);
        slider.SendMessage(msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(x, 4));
    }
    void DeclareMessageMap(MessageMap& map) override {
        map.On(WM_SLIDER_MOVING, [this](WPARAM wp, LPARAM) -> LRESULT {
            ++movingMessages;
            if (wp == IDC_VOLUME_SLIDER && mixer && ready) mixer->ApplySlider();
            return 0;
        });
    }
};

// Notes every message box (dialog class #32770) of this process: its title,
// text, owner and icon; optionally dismisses it (else someone else must).
class MessageBoxWatcher {
public:
    struct Box {
        std::wstring title, text;
        bool owned = false;      // has an owner window
        bool errorIcon = false;  // shows the system's error icon
    };
    explicit MessageBoxWatcher(bool dismiss) : m_dismiss(dismiss), m_thread([this] { Run(); }) {}
    ~MessageBoxWatcher() {
        m_stop = true;
        m_thread.join();
    }
    std::vector<Box> Boxes() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_boxes;
    }

private:
    void Run() {
        while (!m_stop) {
            ::EnumWindows(&MessageBoxWatcher::Visit, reinterpret_cast<LPARAM>(this));
            ::Sleep(20);
        }
    }
    static BOOL CALLBACK Visit(HWND w, LPARAM self) {
        static_cast<MessageBoxWatcher*>(reinterpret_cast<void*>(self))->Look(w);
        return TRUE;
    }
    void Look(HWND w) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(w, &pid);
        wchar_t cls[16] = {};
        ::GetClassNameW(w, cls, 16);
        if (pid != ::GetCurrentProcessId() || wcscmp(cls, L"#32770") != 0 || !::IsWindowVisible(w)) return;
        for (HWND seen : m_seen)
            if (seen == w) return;
        m_seen.push_back(w);
        Box box;
        box.title = Text(w);
        box.text = Text(::GetDlgItem(w, 0xFFFF));
        box.owned = ::GetWindow(w, GW_OWNER) != nullptr;
        const HICON error = ::LoadIconW(nullptr, IDI_ERROR);
        for (HWND c = ::GetWindow(w, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
            if ((::GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) continue;
            HICON icon = reinterpret_cast<HICON>(::SendMessageW(c, STM_GETICON, 0, 0));
            box.errorIcon = icon && icon == error;
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_boxes.push_back(box);
        }
        if (m_dismiss) ::PostMessageW(w, WM_COMMAND, IDOK, 0);
    }
    static std::wstring Text(HWND w) {
        wchar_t buf[256] = {};
        if (w) ::GetWindowTextW(w, buf, 256);
        return buf;
    }

    const bool m_dismiss;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<Box> m_boxes;
    std::vector<HWND> m_seen;
    std::thread m_thread;
};
