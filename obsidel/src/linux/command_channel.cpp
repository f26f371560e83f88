// The command channel on Linux: a Unix stream socket named
// "obsidel.socket" in $XDG_RUNTIME_DIR, or, when that is unset, in a
// folder "obsidel-UID" under the temporary folder that only the user may
// enter (0700; refused when it is anyone else's or open to others).
//
// One connection carries one request: the client writes it and shuts its
// writing side; the host answers and closes. A request is at most 64 KiB
// (command texts and menu paths are a few dozen bytes); a larger one, or
// one that is not a kind, a line feed and a text, gets an error and never
// reaches the plug-ins. Only the host's own user may send: the socket is
// made 0600, its folder must be private, and the peer's user is checked. A thread of the host accepts
// the connections and posts each request to a hidden window, so that the
// request runs on the user-interface thread; it waits for that thread's
// reply for a while and then answers without it. A request that opens a
// message box (About) is answered at once, as a failure that says so: the
// box waits for a person, not for the script.
#include "command_channel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <future>
#include <memory>
#include <thread>

#include "own_windows.h"

namespace obsidel {
namespace {

constexpr const char* kSocketName = "obsidel.socket";
constexpr const char* kRelayClass = "ObsidelCommandChannel";
constexpr UINT kRunRequest = WM_APP + 30;
constexpr std::size_t kLargestRequest = 64 * 1024;
const std::string kTooLarge = "the request is larger than 65536 bytes, the most the host takes";
// How long the channel waits for the user-interface thread (which may be
// showing a message box), and how long a client waits for the host: long
// enough for its turn behind a flood of others (a thousand clients at once
// take some 20 s on a busy machine), never for ever.
constexpr auto kHostAnswerTime = std::chrono::seconds(10);
constexpr int kClientWaitSeconds = 60;
constexpr int kRequestReadSeconds = 2;

struct Job {
    RemoteRequest request;
    std::promise<RemoteReply> reply;
    // Set on the user-interface thread when the request starts to run, with
    // the modal windows open then: one more while it runs is a box that the
    // request opened and that waits for a person.
    std::atomic<bool> started{false};
    std::atomic<int> modalAtStart{0};
};

constexpr const char* kWaitsForABox =
    "the command opened a message box, which waits for a person to close it; the host takes other commands "
    "meanwhile";

int listening = -1;
std::atomic<bool> stopping{false};
int wakePipe[2] = {-1, -1};
std::thread acceptThread;
std::string boundPath;
HWND relay = nullptr;

std::string systemError(const std::string& what) { return what + ": " + std::strerror(errno); }

// The folder of the socket, made private when the host makes it.
bool socketFolder(std::string& folder, std::string& error) {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        folder = runtime;
        return true;
    }
    std::error_code ignored;
    folder = (std::filesystem::temp_directory_path(ignored) / ("obsidel-" + std::to_string(getuid()))).string();
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = systemError("cannot make the folder " + folder);
        return false;
    }
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0) {
        error = systemError("cannot use the folder " + folder);
        return false;
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != getuid() || (info.st_mode & 077) != 0) {
        error = "the folder " + folder + " is not a private folder of this user (it must be a folder with mode 0700)";
        return false;
    }
    return true;
}

bool socketAddress(sockaddr_un& address, std::string& path, std::string& error) {
    std::string folder;
    if (!socketFolder(folder, error)) return false;
    path = folder + "/" + kSocketName;
    address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        error = "the socket path " + path + " is too long for a Unix socket";
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

sockaddr* asSocketAddress(sockaddr_un& address) { return reinterpret_cast<sockaddr*>(&address); }

void setReceiveTimeout(int socket, int seconds) {
    timeval limit{seconds, 0};
    setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
}

enum class Received { whole, tooLarge, broken };

Received readAll(int socket, std::string& bytes, std::size_t largest) {
    char buffer[4096];
    for (;;) {
        ssize_t got = read(socket, buffer, sizeof buffer);
        if (got == 0) return Received::whole;
        if (got < 0) {
            if (errno == EINTR) continue;
            return Received::broken;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
        if (bytes.size() > largest) return Received::tooLarge;
    }
}

bool writeAll(int socket, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t put = send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (put < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        sent += static_cast<std::size_t>(put);
    }
    return true;
}

bool fromThisUser(int socket) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == getuid();
}

RemoteReply runOnInterfaceThread(const RemoteRequest& request) {
    auto job = std::make_shared<Job>();
    job->request = request;
    auto answer = job->reply.get_future();
    auto* posted = new std::shared_ptr<Job>(job);
    if (!PostMessageA(relay, kRunRequest, 0, reinterpret_cast<LPARAM>(posted))) {
        delete posted;
        return {false, "the host is shutting down"};
    }
    // Waits in short steps, so that a host that is stopping is not held up.
    auto deadline = std::chrono::steady_clock::now() + kHostAnswerTime;
    while (answer.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready &&
           std::chrono::steady_clock::now() < deadline && !stopping.load()) {
        if (job->started.load() && modalWindowsOpen() > job->modalAtStart.load()) return {false, kWaitsForABox};
    }
    if (answer.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        if (request.kind == RemoteRequest::Kind::Exec || request.kind == RemoteRequest::Kind::Reconfigure)
            return {true, "the host took the request but is still busy (a message box may be open)"};
        return {false, "the host did not answer in time (a message box may be open)"};
    }
    return answer.get();
}

void serve(int connection) {
    setReceiveTimeout(connection, kRequestReadSeconds);
    RemoteReply reply;
    std::string bytes;
    Received received = Received::broken;
    if (!fromThisUser(connection)) {
        reply = {false, "requests are taken from the host's own user only"};
    } else if ((received = readAll(connection, bytes, kLargestRequest)) == Received::tooLarge) {
        reply = {false, kTooLarge};
    } else if (received == Received::broken) {
        reply = {false, "the request was not received whole"};
    } else if (auto request = decodeRequest(bytes)) {
        reply = runOnInterfaceThread(*request);
    } else {
        reply = {false, "the request was not understood: it must be exec, reconfigure, menu or pick, a line feed "
                        "and the text"};
    }
    writeAll(connection, encodeReply(reply));
}

void acceptRequests() {
    pollfd watched[2] = {{listening, POLLIN, 0}, {wakePipe[0], POLLIN, 0}};
    for (;;) {
        if (poll(watched, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (watched[1].revents) return;  // stopping
        if (!(watched[0].revents & POLLIN)) continue;
        int connection = accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        serve(connection);
        close(connection);
    }
}

LRESULT CALLBACK relayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunRequest) {
        std::unique_ptr<std::shared_ptr<Job>> job(reinterpret_cast<std::shared_ptr<Job>*>(lParam));
        (*job)->modalAtStart.store(modalWindowsOpen());
        (*job)->started.store(true);
        (*job)->reply.set_value(handleRemoteRequest((*job)->request));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool anotherHostListens(sockaddr_un& address) {
    int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0) return false;
    bool answered = connect(probe, asSocketAddress(address), sizeof address) == 0;
    close(probe);
    return answered;
}

void closeEverything() {
    if (listening >= 0) close(listening);
    for (int& end : wakePipe) {
        if (end >= 0) close(end);
        end = -1;
    }
    listening = -1;
    if (relay) DestroyWindow(relay);
    relay = nullptr;
}

}  // namespace

bool startCommandChannel(HINSTANCE instance) {
    if (listening >= 0) return true;
    sockaddr_un address;
    std::string path, error;
    auto refuse = [&](const std::string& why) {
        std::fprintf(stderr, "obsidel: the host takes no remote commands: %s\n", why.c_str());
        closeEverything();
        return false;
    };
    if (!socketAddress(address, path, error)) return refuse(error);
    if (anotherHostListens(address)) return refuse("another host already listens at " + path);
    unlink(path.c_str());  // what is left of a host that ended without cleaning up

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = relayProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kRelayClass;
    RegisterClassA(&windowClass);
    relay = CreateWindowExA(WS_EX_TOOLWINDOW, kRelayClass, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, instance,
                            nullptr);
    if (!relay) return refuse("cannot create its relay window");

    listening = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listening < 0) return refuse(systemError("cannot make a socket"));
    // Made 0600 from the start: no moment in which others may connect.
    const mode_t previousMask = umask(0177);
    const bool bound = bind(listening, asSocketAddress(address), sizeof address) == 0;
    umask(previousMask);
    if (!bound) return refuse(systemError("cannot listen at " + path));
    // Room for a burst of clients (a key held down, a script's loop); the
    // others wait in connect until there is.
    if (listen(listening, SOMAXCONN) != 0) return refuse(systemError("cannot listen at " + path));
    if (pipe2(wakePipe, O_CLOEXEC) != 0) return refuse(systemError("cannot make a pipe"));
    boundPath = path;
    stopping.store(false);
    acceptThread = std::thread(acceptRequests);
    return true;
}

void stopCommandChannel() {
    if (listening < 0) return;
    stopping.store(true);
    char byte = 1;
    ssize_t ignored = write(wakePipe[1], &byte, 1);
    (void)ignored;
    if (acceptThread.joinable()) acceptThread.join();
    unlink(boundPath.c_str());
    boundPath.clear();
    closeEverything();
}

bool sendToRunningHost(const RemoteRequest& request, RemoteReply& reply, std::string& error) {
    const std::string bytes = encodeRequest(request);
    if (bytes.size() > kLargestRequest) {
        error = kTooLarge;
        return false;
    }
    sockaddr_un address;
    std::string path;
    if (!socketAddress(address, path, error)) return false;
    int connection = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (connection < 0) {
        error = systemError("cannot make a socket");
        return false;
    }
    if (connect(connection, asSocketAddress(address), sizeof address) != 0) {
        error = errno == ENOENT || errno == ECONNREFUSED
                    ? "no host is running: nothing listens at " + path + " (start one with obsidel)"
                    : systemError("cannot reach the host at " + path);
        close(connection);
        return false;
    }
    setReceiveTimeout(connection, kClientWaitSeconds);
    std::string answer;
    bool sent = writeAll(connection, bytes) && shutdown(connection, SHUT_WR) == 0;
    bool received = sent && readAll(connection, answer, kLargestRequest * 16) == Received::whole;
    close(connection);
    if (!received) {
        error = sent ? "the host did not answer" : systemError("cannot send to the host at " + path);
        return false;
    }
    reply = decodeReply(answer);
    return true;
}

}  // namespace obsidel
