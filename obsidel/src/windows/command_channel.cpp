// The command channel on Windows: WM_COPYDATA to the running host's main
// window, which other processes find by its class name.
//
// The client makes a hidden window for the reply and sends the request's
// bytes with that window as wParam. The host's main window (subclassed
// while the channel is open) checks the tag, answers TRUE at once and posts
// the request to itself, so that the request runs on the user-interface
// thread from its own message loop and never inside the client's send. Once
// handled, the reply's bytes go back to the client's window with
// WM_COPYDATA. Only the first host listens, and it marks its main window so.
// A request that opens a message box (About) is answered as soon as the box
// shows, as a failure that says so: the box waits for a person, not for the
// script. A timer of the main window, which the box's own loop dispatches,
// looks for the box.
#include "command_channel.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "host_window.h"
#include "own_windows.h"

namespace obsidel {
namespace {

// WM_COPYDATA tags, so that data meant for other programs is never taken
// for a request or a reply.
constexpr ULONG_PTR kRequestTag = 0x4F425251;  // "OBRQ"
constexpr ULONG_PTR kReplyTag = 0x4F425250;    // "OBRP"
constexpr DWORD kLargestRequest = 64 * 1024;
constexpr DWORD kLargestReply = 1024 * 1024;
constexpr UINT kRunRequest = WM_APP + 31;
constexpr const char* kReplyClass = "ObsidelRemoteReply";
// Set on the main window of the host that listens, so that clients (and
// scripts that wait for a host to come up) can tell it from one that does not.
constexpr const char* kListeningProperty = "ObsidelTakesRequests";
// How long a host has to take a request, and how long the client waits for
// the user-interface thread to carry it out (a message box may be open).
constexpr UINT kTakeTimeoutMs = 5000;
constexpr auto kAnswerTime = std::chrono::seconds(15);

struct PendingRequest {
    RemoteRequest request;
    HWND client;
    int boxesAtStart = 0;  // message boxes and modal windows of this thread when the request began
    bool answered = false;
};

// The requests being carried out now, innermost last: one may come in while
// an earlier one's box is open.
std::vector<PendingRequest*> running;
constexpr UINT_PTR kBoxWatchTimer = 0x4F42;
constexpr UINT kBoxWatchMs = 50;
constexpr const char* kWaitsForABox =
    "the command opened a message box, which waits for a person to close it; the host takes other commands "
    "meanwhile";

BOOL CALLBACK countBox(HWND window, LPARAM count) {
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    if (IsWindowVisible(window) && std::string(name) == "#32770") ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// The system's message boxes (dialog class "#32770") and the host's own modal windows on this thread.
int boxesOpen() {
    int count = modalWindowsOpen();
    EnumThreadWindows(GetCurrentThreadId(), countBox, reinterpret_cast<LPARAM>(&count));
    return count;
}

HWND listeningWindow = nullptr;
WNDPROC hostProcedure = nullptr;

std::string copiedBytes(const COPYDATASTRUCT& data) {
    if (!data.lpData || !data.cbData) return std::string();
    return std::string(static_cast<const char*>(data.lpData), data.cbData);
}

bool sendBytes(HWND to, HWND from, ULONG_PTR tag, const std::string& bytes, UINT timeoutMs) {
    COPYDATASTRUCT data{};
    data.dwData = tag;
    data.cbData = static_cast<DWORD>(bytes.size());
    data.lpData = const_cast<char*>(bytes.data());
    DWORD_PTR answer = FALSE;
    return SendMessageTimeoutA(to, WM_COPYDATA, reinterpret_cast<WPARAM>(from), reinterpret_cast<LPARAM>(&data),
                               SMTO_ABORTIFHUNG, timeoutMs, &answer) &&
           answer == TRUE;
}

// The host side: takes a request, then carries it out from the message loop.
LRESULT CALLBACK listeningProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA && lParam) {
        const auto& data = *reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (data.dwData != kRequestTag) return CallWindowProcA(hostProcedure, window, message, wParam, lParam);
        if (data.cbData > kLargestRequest) return FALSE;
        auto request = decodeRequest(copiedBytes(data));
        if (!request) return FALSE;
        auto* pending = new PendingRequest{*request, reinterpret_cast<HWND>(wParam)};
        if (!PostMessageA(window, kRunRequest, 0, reinterpret_cast<LPARAM>(pending))) {
            delete pending;
            return FALSE;
        }
        return TRUE;
    }
    if (message == kRunRequest && lParam) {
        std::unique_ptr<PendingRequest> pending(reinterpret_cast<PendingRequest*>(lParam));
        pending->boxesAtStart = boxesOpen();
        running.push_back(pending.get());
        SetTimer(window, kBoxWatchTimer, kBoxWatchMs, nullptr);
        RemoteReply reply = handleRemoteRequest(pending->request);
        running.pop_back();
        if (running.empty()) KillTimer(window, kBoxWatchTimer);
        // The client may have given up waiting; then nobody reads the reply.
        if (!pending->answered && pending->client && IsWindow(pending->client))
            sendBytes(pending->client, window, kReplyTag, encodeReply(reply), kTakeTimeoutMs);
        return 0;
    }
    if (message == WM_TIMER && wParam == kBoxWatchTimer) {
        const int boxes = boxesOpen();
        for (PendingRequest* pending : running) {
            if (pending->answered || boxes <= pending->boxesAtStart) continue;
            pending->answered = true;
            if (pending->client && IsWindow(pending->client))
                sendBytes(pending->client, window, kReplyTag, encodeReply({false, kWaitsForABox}), kTakeTimeoutMs);
        }
        return 0;
    }
    return CallWindowProcA(hostProcedure, window, message, wParam, lParam);
}

// The client side: the window that receives the reply.
struct ReplyBox {
    bool arrived = false;
    std::string bytes;
};

LRESULT CALLBACK replyProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA && lParam) {
        const auto& data = *reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        auto* box = reinterpret_cast<ReplyBox*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (data.dwData != kReplyTag || data.cbData > kLargestReply || !box || box->arrived) return FALSE;
        box->bytes = copiedBytes(data);
        box->arrived = true;
        return TRUE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND makeReplyWindow(ReplyBox* box) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = replyProcedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kReplyClass;
    RegisterClassA(&windowClass);  // fails harmlessly when a second request registers it again
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, kReplyClass, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  instance, nullptr);
    if (window) SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(box));
    return window;
}

// Hands the request to the host that listens.
bool handToAHost(HWND client, const std::string& bytes, std::string& error) {
    HWND host = nullptr;
    bool anyHost = false;
    while ((host = FindWindowExA(nullptr, host, kHostWindowClass, nullptr)) != nullptr) {
        anyHost = true;
        if (GetPropA(host, kListeningProperty) && sendBytes(host, client, kRequestTag, bytes, kTakeTimeoutMs))
            return true;
    }
    error = anyHost ? "the running host takes no requests (it may be starting, busy or not listening)"
                    : "no host is running (start one with obsidel)";
    return false;
}

bool waitForReply(const ReplyBox& box) {
    auto deadline = std::chrono::steady_clock::now() + kAnswerTime;
    while (!box.arrived && std::chrono::steady_clock::now() < deadline) {
        // The reply is a sent message: waiting for input lets it through.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    }
    return box.arrived;
}

}  // namespace

bool startCommandChannel(HINSTANCE) {
    if (listeningWindow) return true;
    HWND host = hostWindow();
    if (!host) {
        std::fprintf(stderr, "obsidel: the host takes no remote commands: it has no main window\n");
        return false;
    }
    // As on Linux, one host takes the requests: a later one runs without.
    HWND other = nullptr;
    while ((other = FindWindowExA(nullptr, other, kHostWindowClass, nullptr)) != nullptr) {
        if (other != host) {
            std::fprintf(stderr, "obsidel: the host takes no remote commands: another host is running\n");
            return false;
        }
    }
    SetLastError(0);
    LONG_PTR previous = SetWindowLongPtrA(host, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(listeningProcedure));
    if (!previous) {
        std::fprintf(stderr, "obsidel: the host takes no remote commands: cannot listen (error %lu)\n",
                     GetLastError());
        return false;
    }
    hostProcedure = reinterpret_cast<WNDPROC>(previous);
    listeningWindow = host;
    SetPropA(host, kListeningProperty, reinterpret_cast<HANDLE>(1));
    return true;
}

void stopCommandChannel() {
    if (listeningWindow && IsWindow(listeningWindow)) {
        RemovePropA(listeningWindow, kListeningProperty);
        SetWindowLongPtrA(listeningWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(hostProcedure));
    }
    listeningWindow = nullptr;
    hostProcedure = nullptr;
}

bool sendToRunningHost(const RemoteRequest& request, RemoteReply& reply, std::string& error) {
    std::string bytes = encodeRequest(request);
    if (bytes.size() > kLargestRequest) {
        error = "the request is larger than " + std::to_string(kLargestRequest) + " bytes, the most the host takes";
        return false;
    }
    ReplyBox box;
    HWND client = makeReplyWindow(&box);
    if (!client) {
        error = "cannot make a window for the host's reply (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    bool taken = handToAHost(client, bytes, error);
    bool answered = taken && waitForReply(box);
    DestroyWindow(client);
    if (!taken) return false;
    if (answered) {
        reply = decodeReply(box.bytes);
        return true;
    }
    // As on Linux: a broadcast or reconfigure that the host took is done
    // even while the host is held up, but a menu needs its answer.
    if (request.kind == RemoteRequest::Kind::Exec || request.kind == RemoteRequest::Kind::Reconfigure) {
        reply = {true, "the host took the request but is still busy (a message box may be open)"};
        return true;
    }
    error = "the host did not answer in time (a message box may be open)";
    return false;
}

}  // namespace obsidel
