// The x11 display's pictures in memory shared with the X server (MIT-SHM).
//
// Provides (inside the subset): subset::display::x11::sharedMemoryWorks,
// attachSharedImage, releaseSharedImage, putSharedImage, awaitSharedImage,
// takeSharedCompletion.
//
// Promises: shared memory is used only where the server has the extension,
// the connection is a local socket, and a test segment attached at set-up
// raised no error; VUMIRA_X11_NO_SHM set to anything but "" or "0" turns
// it off. Each segment is marked for removal as soon as this process has
// it mapped, so that the kernel frees it once this process and the server
// have let go, even when the process is killed; this process lets go only
// once the server has attached it. A put asks for a completion event; the
// picture is not written again before that event came (or a round trip
// showed that none will come).
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/socket.h>

#include <cstdlib>
#include <cstring>

#include "display/x11_state.h"

namespace subset::display::x11 {
namespace {

bool turnedOff() {
    const char* off = std::getenv("VUMIRA_X11_NO_SHM");
    return off && *off && std::strcmp(off, "0") != 0;
}

// A segment id means nothing to a server on another machine (or one that
// happens to hold another segment of that id), so only a Unix socket counts.
bool localConnection(Display* display) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    return getsockname(ConnectionNumber(display), reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
           address.ss_family == AF_UNIX;
}

// Makes the image and its segment and asks the server to attach it; the
// answer comes later, as an error where attaching failed.
bool makeSegment(Display* display, Visual* visual, int depth, SharedImage& shared, int width, int height) {
    XImage* image = XShmCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, nullptr, &shared.segment,
                                    static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (!image) return false;
    // The picture's rows are whole 32-bit words, one after the other.
    if (image->bits_per_pixel != 32 || image->bytes_per_line != width * 4) {
        XDestroyImage(image);
        return false;
    }
    const size_t bytes = static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(height);
    shared.segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (shared.segment.shmid < 0) {
        XDestroyImage(image);
        return false;
    }
    void* address = shmat(shared.segment.shmid, nullptr, 0);
    // Marked for removal at once: Linux lets the server attach it until the
    // last one lets go, and nothing is left behind if the process dies.
    shmctl(shared.segment.shmid, IPC_RMID, nullptr);
    if (address == reinterpret_cast<void*>(-1)) {
        XDestroyImage(image);
        return false;
    }
    shared.segment.shmaddr = image->data = static_cast<char*>(address);
    shared.segment.readOnly = True;  // the server only reads the pictures
    shared.attachRequest = NextRequest(display);
    XShmAttach(display, &shared.segment);
    shared.image = image;
    shared.beingRead = false;
    shared.attached = true;
    return true;
}

void unmapSegment(SharedImage& shared) {
    if (!shared.image) return;
    shmdt(shared.segment.shmaddr);
    shared.image->data = nullptr;  // the segment's, not the heap's
    XDestroyImage(shared.image);
    shared = SharedImage{};
}

// Set-up only: errors of the attach probe are noted instead of printed.
Display* probedDisplay = nullptr;
bool probeFailed = false;
XErrorHandler usualHandler = nullptr;

int noteProbeError(Display* display, XErrorEvent* error) {
    if (display == probedDisplay) {
        probeFailed = true;
        return 0;
    }
    return usualHandler ? usualHandler(display, error) : 0;
}

struct Completion {
    int type;
    ShmSeg segment;
};

Bool isCompletionOf(Display*, XEvent* event, XPointer wanted) {
    const auto* completion = reinterpret_cast<const Completion*>(wanted);
    return event->type == completion->type &&
           reinterpret_cast<const XShmCompletionEvent*>(event)->shmseg == completion->segment;
}

}  // namespace

bool sharedMemoryWorks(Display* display, Visual* visual, int depth) {
    if (turnedOff() || !localConnection(display) || !XShmQueryExtension(display)) return false;
    XSync(display, False);  // earlier requests' errors go to the usual handler
    SharedImage probe;
    probedDisplay = display;
    probeFailed = false;
    usualHandler = XSetErrorHandler(noteProbeError);
    const bool made = makeSegment(display, visual, depth, probe, 1, 1);
    XSync(display, False);
    XSetErrorHandler(usualHandler);
    probedDisplay = nullptr;
    if (!made) return false;
    if (!probeFailed) XShmDetach(display, &probe.segment);
    unmapSegment(probe);
    return !probeFailed;
}

bool attachSharedImage(X11State& s, SharedImage& shared, int width, int height) {
    return makeSegment(s.display, s.visual, s.depth, shared, width, height);
}

void releaseSharedImage(X11State& s, SharedImage& shared) {
    if (!shared.image) return;
    if (shared.attached && usable(s)) {
        // Marked for removal, the segment is gone once nobody has it mapped:
        // the server must have attached it before this process lets go.
        if (LastKnownRequestProcessed(s.display) < shared.attachRequest) XSync(s.display, False);
        // Behind any put still queued: the server finishes reading first.
        XShmDetach(s.display, &shared.segment);
    }
    unmapSegment(shared);
}

void putSharedImage(X11State& s, NativeWindow& w, const RECT& area) {
    // Xlib finds the segment through the image; the record may have moved.
    w.shared.image->obdata = reinterpret_cast<char*>(&w.shared.segment);
    XShmPutImage(s.display, w.id, s.gc, w.shared.image, area.left, area.top, area.left, area.top,
                 static_cast<unsigned>(area.right - area.left), static_cast<unsigned>(area.bottom - area.top), True);
    w.shared.beingRead = true;
}

void awaitSharedImage(X11State& s, NativeWindow& w) {
    if (!w.shared.beingRead) return;
    w.shared.beingRead = false;
    if (!usable(s)) return;  // no server reads any more
    XEvent event;
    Completion wanted{s.sharedCompletion, w.shared.segment.shmseg};
    auto argument = reinterpret_cast<XPointer>(&wanted);
    if (XCheckIfEvent(s.display, &event, isCompletionOf, argument)) return;
    // Not in yet: after a round trip the server has handled the put, and its
    // completion is queued (or the put failed, and none will come).
    XSync(s.display, False);
    XCheckIfEvent(s.display, &event, isCompletionOf, argument);
}

bool takeSharedCompletion(X11State& s, const XEvent& event) {
    if (!s.sharedMemory || event.type != s.sharedCompletion) return false;
    const auto& completion = reinterpret_cast<const XShmCompletionEvent&>(event);
    auto found = s.windows.find(completion.drawable);
    // One of an earlier segment of the window is of no more concern.
    if (found != s.windows.end() && found->second->shared.image &&
        found->second->shared.segment.shmseg == completion.shmseg)
        found->second->shared.beingRead = false;
    return true;
}

}  // namespace subset::display::x11
