// Choosing the display back end.
//
// Provides: Win32SubsetSetDisplay, Win32SubsetDisplayName,
// Win32SubsetDescribeDisplay; and, inside the subset,
// subset::user::displayBackend, chosenDisplayBackend.
//
// Promises: the choice "name[:options]" names a back end of the table below;
// NULL or "" takes VUMIRA_DISPLAY when set, else the first back end of the
// table that opens (headless always does). The choice is made once, before
// the first window: a later call while windows exist fails. A name that is
// not in this build, or a back end that cannot open, gives -1 and a message
// on standard error that lists the names there are. Used before any call,
// the default opens by itself; a VUMIRA_DISPLAY that does not open is then
// reported and headless used. The back end in use, chosen again (another X
// display, say), is not closed after its open: it moves over by itself.
// Every back end opens with the window manager's sink (display_sink.cpp).
#include <win32subset.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "display/backend.h"
#include "subset_backends.h"
#include "user/window_manager.h"

namespace subset::user {
namespace {

using display::Backend;

// Priority order for the default: an X display when $DISPLAY answers, else
// the terminal when standard output is one, else headless (always opens).
// A back end whose library this build lacks has no row.
const Backend* const kBackends[] = {
#if SUBSET_HAS_X11
    &display::x11Backend,
#endif
    &display::termBackend,
    &display::headlessBackend,
};

// The choice is made under the mutex; reading it needs none, so that the
// window manager may ask for the screen size while it holds its own lock.
std::mutex choiceMutex;
std::atomic<const Backend*> active{nullptr};

std::string knownNames() {
    std::string names;
    for (const Backend* backend : kBackends) {
        if (!names.empty()) names += ", ";
        names += backend->name;
    }
    return names;
}

// Opens the back end that `choice` names; choiceMutex held.
bool openNamedWhileChoosing(const std::string& choice) {
    std::string name = choice.substr(0, choice.find(':'));
    std::string options = choice.size() > name.size() ? choice.substr(name.size() + 1) : std::string();
    for (const Backend* backend : kBackends) {
        if (name != backend->name) continue;
        if (!backend->open(options.c_str(), true, displaySink())) {
            std::fprintf(stderr, "win32subset: the display \"%s\" did not open\n", choice.c_str());
            return false;
        }
        if (const Backend* previous = active.load(); previous && previous != backend) previous->close();
        active = backend;
        return true;
    }
    std::fprintf(stderr, "win32subset: no display \"%s\" in this build (there are: %s)\n", name.c_str(),
                 knownNames().c_str());
    return false;
}

// The first back end that opens; choiceMutex held.
void openFirstWhileChoosing() {
    for (const Backend* backend : kBackends) {
        if (backend->open("", false, displaySink())) {
            if (const Backend* previous = active.load(); previous && previous != backend) previous->close();
            active = backend;
            return;
        }
    }
}

const char* environmentChoice() {
    const char* chosen = std::getenv("VUMIRA_DISPLAY");
    return chosen && chosen[0] ? chosen : nullptr;
}

}  // namespace

const Backend* chosenDisplayBackend() { return active.load(); }

const Backend& displayBackend() {
    if (const Backend* chosen = active.load()) return *chosen;
    std::lock_guard<std::mutex> lock(choiceMutex);
    if (!active.load()) {
        const char* chosen = environmentChoice();
        if (!chosen || !openNamedWhileChoosing(chosen)) openFirstWhileChoosing();
    }
    return *active.load();
}

}  // namespace subset::user

using namespace subset::user;

extern "C" {

int Win32SubsetSetDisplay(const char* choice) {
    if (userObjectCount() > 0) {
        std::fprintf(stderr, "win32subset: the display is chosen before the first window is made\n");
        return -1;
    }
    std::lock_guard<std::mutex> lock(choiceMutex);
    const char* chosen = choice && choice[0] ? choice : environmentChoice();
    if (chosen) return openNamedWhileChoosing(chosen) ? 0 : -1;
    openFirstWhileChoosing();
    return 0;
}

const char* Win32SubsetDisplayName(void) { return displayBackend().name; }

int Win32SubsetDescribeDisplay(const char* name, Win32SubsetDisplayFacts* facts) {
    const Backend* described = name ? nullptr : &displayBackend();
    std::string passedOver;
    for (const Backend* backend : kBackends) {
        if (described ? backend == described : std::strcmp(backend->name, name) == 0) {
            described = backend;
            break;
        }
        // The default tries the table in order: each before this one failed.
        passedOver += (passedOver.empty() ? "" : " and ") + backend->unavailable();
    }
    if (!described || !facts) return -1;
    facts->name = described->name;
    facts->screen = described->screen;
    facts->needs = described->needs;
    std::snprintf(facts->inUse, sizeof facts->inUse, "%s", described->inUse().c_str());
    std::snprintf(facts->passedOver, sizeof facts->passedOver, "%s", passedOver.c_str());
    return 0;
}

}  // extern "C"
