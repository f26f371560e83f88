#include "host_window.h"

#include <obsidel/api.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>

#include "file_change_notice.h"
#include "live_reload.h"
#include "platform.h"
#include "status_text_window.h"
#include "style.h"

namespace obsidel {

const char* const kHostWindowClass = "ObsidelHost";

namespace {

constexpr UINT_PTR kExitTimer = 1;
constexpr UINT_PTR kSettleTimer = 2;
// Posted with a status text on the heap that the main window frees.
constexpr UINT kPostedStatusText = WM_APP + 42;

HWND mainWindow = nullptr;
// The same window for threads that post status texts to it.
std::atomic<HWND> statusTextWindow{nullptr};
std::string snapshotOnExit;
// The window handling a host message right now: a status text sent meanwhile is its.
HWND messageRecipient = nullptr;

struct Registration {
    HWND window;
    UINT message;
};
std::vector<Registration> registrations;

void registerMessages(HWND window, const UINT* messages, bool add) {
    if (!messages) return;
    for (; *messages; ++messages) {
        UINT message = *messages;
        auto same = [&](const Registration& r) { return r.window == window && r.message == message; };
        auto found = std::find_if(registrations.begin(), registrations.end(), same);
        if (add && found == registrations.end()) registrations.push_back({window, message});
        if (!add && found != registrations.end()) registrations.erase(found);
    }
}

void sendToRegistered(UINT message, LPARAM lParam) {
    // A window may unregister (or register another) while it handles the
    // message, so the list is copied first.
    for (HWND window : windowsRegisteredFor(message)) {
        if (!IsWindow(window)) continue;
        const HWND outer = messageRecipient;
        messageRecipient = window;
        SendMessageA(window, message, 0, lParam);
        messageRecipient = outer;
    }
}

// The window a status text belongs to: the one handling a host message now,
// else the first registered plug-in window that is shown.
HWND statusTextOwner() {
    if (messageRecipient && IsWindowVisible(messageRecipient)) return messageRecipient;
    for (HWND window : windowsRegisteredFor(OBM_BROADCAST))
        if (IsWindowVisible(window)) return window;
    return nullptr;
}

LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case OBM_REGISTERMESSAGE:
    case OBM_UNREGISTERMESSAGE:
        registerMessages(reinterpret_cast<HWND>(wParam), reinterpret_cast<const UINT*>(lParam),
                         message == OBM_REGISTERMESSAGE);
        return 0;
    case OBM_SETSTATUSBAR:
        if (lParam) {
            const char* text = reinterpret_cast<const char*>(lParam);
            std::fprintf(stderr, "obsidel: %s\n", text);
            std::fflush(stderr);
            if (displayShowsWindows()) showStatusText(window, statusTextOwner(), text);
        }
        return 0;
    case kPostedStatusText: {
        std::unique_ptr<std::string> text(reinterpret_cast<std::string*>(lParam));
        return hostWindowProc(window, OBM_SETSTATUSBAR, 0, reinterpret_cast<LPARAM>(text->c_str()));
    }
    case kFilesChanged:
        // Each notice starts the wait again: the files are compared once the writing has stopped.
        SetTimer(window, kSettleTimer, kSettleMs, nullptr);
        return 0;
    case kReconfigureRequest:
        std::fprintf(stderr, "obsidel: asked to reconfigure (hang-up signal); reconfiguring the plug-ins\n");
        std::fflush(stderr);
        reconfigure();
        return 0;
    case WM_TIMER:
        if (wParam == kSettleTimer) {
            KillTimer(window, kSettleTimer);
            if (reloadChangedFiles()) reconfigure();
        }
        if (wParam == kExitTimer) {
            KillTimer(window, kExitTimer);
            // A snapshot that was asked for and not written is the run's failure.
            bool written = snapshotOnExit.empty() || writeScreenSnapshot(snapshotOnExit);
            if (!written)
                std::fprintf(stderr, "obsidel: no snapshot written; name a PNG file in a folder that exists and "
                                     "that you may write\n");
            PostQuitMessage(written ? 0 : 1);
        }
        return 0;
    case WM_CLOSE:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

void postStatusText(const std::string& text) {
    auto* posted = new std::string("obsidel -> " + text);
    const HWND window = statusTextWindow.load();
    if (!window || !PostMessageA(window, kPostedStatusText, 0, reinterpret_cast<LPARAM>(posted))) {
        std::fprintf(stderr, "obsidel: %s\n", text.c_str());
        delete posted;
    }
}

HWND createHostWindow(HINSTANCE instance) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = hostWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kHostWindowClass;
    if (!RegisterClassA(&windowClass)) return nullptr;
    // Never shown: it only carries the host's messages.
    mainWindow = CreateWindowExA(WS_EX_TOOLWINDOW, kHostWindowClass, "Obsidel", WS_POPUP, 0, 0, 1, 1, nullptr,
                                 nullptr, instance, nullptr);
    statusTextWindow.store(mainWindow);
    return mainWindow;
}

void destroyHostWindow() {
    statusTextWindow.store(nullptr);
    if (mainWindow) DestroyWindow(mainWindow);
    mainWindow = nullptr;
    registrations.clear();
}

HWND hostWindow() { return mainWindow; }

void broadcast(const char* command) { sendToRegistered(OBM_BROADCAST, reinterpret_cast<LPARAM>(command)); }

void reconfigure() {
    // The style file may have changed as well: read it again before the plug-ins read the style.
    const std::string stylePath = currentStyle().path;
    if (!stylePath.empty()) loadStyleFile(stylePath);
    sendToRegistered(OBM_RECONFIGURE, 0);
}

void exitAfter(unsigned milliseconds, const std::string& snapshotPath) {
    snapshotOnExit = snapshotPath;
    SetTimer(mainWindow, kExitTimer, milliseconds, nullptr);
}

std::vector<HWND> windowsRegisteredFor(UINT message) {
    std::vector<HWND> windows;
    for (const auto& r : registrations)
        if (r.message == message) windows.push_back(r.window);
    return windows;
}

}  // namespace obsidel

extern "C" HWND GetOBWnd(void) { return obsidel::hostWindow(); }
