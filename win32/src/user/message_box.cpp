// Message boxes.
//
// Provides: MessageBoxA, the program's way to show boxes itself
// (Win32SubsetSetMessageBoxPresenter), and the log of boxes shown
// (win32subset.h): Win32SubsetMessageBoxCount, Win32SubsetMessageBoxCaption,
// Win32SubsetMessageBoxText, Win32SubsetMessageBoxType,
// Win32SubsetClearMessageBoxes.
//
// Promises: every box is printed to standard error as "caption: text" and
// kept in the log. The subset draws no boxes itself, since it knows no
// program's look: a presenter that the program installed shows the box and
// its answer is returned. Without one, or when it declines (answers 0), the
// box is answered at once with its first button, as pressing Return on a
// fresh box would: IDOK for MB_OK and MB_OKCANCEL, IDABORT, IDYES or
// IDRETRY for the other kinds. The log keeps each text until it is cleared,
// so a pointer from the log stays valid until then. Safe on any thread; the
// presenter runs on the calling thread with no lock held, so it may run a
// message loop (and another box may open from inside it).
#include <windows.h>
#include <win32subset.h>

#include <atomic>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>

namespace {

struct ShownBox {
    std::string caption;
    std::string text;
    UINT type;
};

std::mutex logMutex;
std::atomic<Win32SubsetMessageBoxPresenter> installedPresenter{nullptr};
std::deque<ShownBox>& shownBoxes() {
    static auto* boxes = new std::deque<ShownBox>;  // outlives every thread
    return *boxes;
}

int firstButton(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_ABORTRETRYIGNORE: return IDABORT;
    case MB_YESNOCANCEL:
    case MB_YESNO: return IDYES;
    case MB_RETRYCANCEL: return IDRETRY;
    default: return IDOK;
    }
}

const ShownBox* boxAt(int index) {
    auto& boxes = shownBoxes();
    if (index < 0 || static_cast<size_t>(index) >= boxes.size()) return nullptr;
    return &boxes[static_cast<size_t>(index)];
}

}  // namespace

extern "C" {

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    ShownBox box{caption ? caption : "Error", text ? text : "", type};
    {
        std::lock_guard<std::mutex> lock(logMutex);
        std::fprintf(stderr, "%s: %s\n", box.caption.c_str(), box.text.c_str());
        std::fflush(stderr);
        shownBoxes().push_back(box);
    }
    if (Win32SubsetMessageBoxPresenter presenter = installedPresenter.load()) {
        const int answer = presenter(owner, box.text.c_str(), box.caption.c_str(), type);
        if (answer != 0) return answer;
    }
    return firstButton(type);
}

void Win32SubsetSetMessageBoxPresenter(Win32SubsetMessageBoxPresenter presenter) {
    installedPresenter.store(presenter);
}

int Win32SubsetMessageBoxCount(void) {
    std::lock_guard<std::mutex> lock(logMutex);
    return static_cast<int>(shownBoxes().size());
}

const char* Win32SubsetMessageBoxCaption(int index) {
    std::lock_guard<std::mutex> lock(logMutex);
    const ShownBox* box = boxAt(index);
    return box ? box->caption.c_str() : nullptr;
}

const char* Win32SubsetMessageBoxText(int index) {
    std::lock_guard<std::mutex> lock(logMutex);
    const ShownBox* box = boxAt(index);
    return box ? box->text.c_str() : nullptr;
}

UINT Win32SubsetMessageBoxType(int index) {
    std::lock_guard<std::mutex> lock(logMutex);
    const ShownBox* box = boxAt(index);
    return box ? box->type : 0;
}

void Win32SubsetClearMessageBoxes(void) {
    std::lock_guard<std::mutex> lock(logMutex);
    shownBoxes().clear();
}

}  // extern "C"
