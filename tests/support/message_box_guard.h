// On Windows a message box is modal and waits for a person: a test that met
// one would wait for ever. While a guard lives, a thread of its own closes
// every message box of the watched process as soon as it shows, and keeps
// its caption and text so that the test can say what was shown.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace winetest {

struct ShownBox {
    std::string caption;
    std::string text;
};

class MessageBoxGuard {
public:
    // Watches this process, or the process with the given id.
    explicit MessageBoxGuard(DWORD processId = GetCurrentProcessId()) : processId_(processId) {
        watcher_ = std::thread([this] { watch(); });
    }
    ~MessageBoxGuard() {
        stopping_ = true;
        watcher_.join();
    }
    MessageBoxGuard(const MessageBoxGuard&) = delete;
    MessageBoxGuard& operator=(const MessageBoxGuard&) = delete;

    std::vector<ShownBox> shown() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return shown_;
    }

    // "caption: text" of every box shown, one a line, for a failure message.
    std::string describe() const {
        std::string all;
        for (const auto& box : shown()) all += box.caption + ": " + box.text + "\n";
        return all;
    }

private:
    // The class of dialog boxes, message boxes among them, and the id of
    // a message box's text.
    static constexpr const char* kDialogClass = "#32770";
    static constexpr int kMessageTextId = 0xFFFF;

    void watch() {
        while (!stopping_) {
            EnumWindows(&MessageBoxGuard::visit, reinterpret_cast<LPARAM>(this));
            Sleep(50);
        }
    }

    static BOOL CALLBACK visit(HWND window, LPARAM self) {
        reinterpret_cast<MessageBoxGuard*>(self)->closeIfOurs(window);
        return TRUE;
    }

    void closeIfOurs(HWND window) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        char className[16] = {};
        if (owner != processId_ || !GetClassNameA(window, className, sizeof className) ||
            std::string(className) != kDialogClass || !IsWindowVisible(window))
            return;
        std::lock_guard<std::mutex> lock(mutex_);
        bool seen = false;
        for (HWND known : closing_) seen = seen || known == window;
        if (!seen) {
            char caption[256] = {};
            char text[1024] = {};
            GetWindowTextA(window, caption, sizeof caption);
            GetDlgItemTextA(window, kMessageTextId, text, sizeof text);
            shown_.push_back({caption, text});
            closing_.push_back(window);
        }
        // OK ends a box of the plain kind; closing ends the others.
        PostMessageA(window, WM_COMMAND, IDOK, 0);
        PostMessageA(window, WM_CLOSE, 0, 0);
    }

    const DWORD processId_;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<ShownBox> shown_;
    std::vector<HWND> closing_;
    std::thread watcher_;
};

}  // namespace winetest
