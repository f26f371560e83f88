// The host's command channel under random frames. Each input is a frame
// sent as `obsidel --exec` and its kin send theirs: through the channel's
// socket to the running host's reader, which must answer "ok" or "error"
// with a text, or close, and keep taking requests. The same bytes also go
// straight to the request and reply decoders, which must give back exactly
// what they took, and a pick's path goes to the menu lookup over a small
// menu like the plug-in's.
#include <windows.h>

#include <obsidel/api.h>
#include <win32subset.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "command_channel.h"
#include "host_window.h"
#include "menu_text.h"
#include "remote_request.h"
#include "scratch.h"

namespace {

[[noreturn]] void fault(const char* what, const std::string& detail) {
    fuzzing::fault("command request", what, detail);
}

std::string socketPath;

Menu* pluginLikeMenu() {
    static Menu* menu = [] {
        Menu* root = MakeNamedMenu("Vumira", "VumiraMain", 1);
        Menu* config = MakeNamedMenu("Configuration", "VumiraConfig", 1);
        MakeMenuItem(root, "Toggle record", "@VumiraInternal ToggleRecord", 1);
        MakeMenuNOP(root, "");
        MakeMenuItemInt(config, "Max height", "@VumiraInternal SetMaxHeight", 64, 1, 1000);
        MakeMenuItem(config, "7/10", "@VumiraInternal SetFPS 7", 0);
        MakeSubmenu(root, config, "Configuration");
        return root;
    }();
    return menu;
}

void checkDecoders(const std::string& bytes) {
    if (auto request = obsidel::decodeRequest(bytes)) {
        if (obsidel::encodeRequest(*request) != bytes) fault("a request does not encode back to its bytes", bytes);
        if (request->kind == obsidel::RemoteRequest::Kind::Pick) {
            std::string path, error;
            std::optional<int> value;
            obsidel::splitPathAndValue(request->text, path, value);
            obsidel::commandForPath(*pluginLikeMenu(), path, value, error);
        }
    }
    const std::size_t newline = bytes.find('\n');
    const std::string status = bytes.substr(0, newline);
    if (newline != std::string::npos && (status == "ok" || status == "error")) {
        if (obsidel::encodeReply(obsidel::decodeReply(bytes)) != bytes)
            fault("a reply does not encode back to its bytes", bytes);
    }
}

void pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

// Sends the frame through the channel as a client does and reads the
// answer, running the host's interface thread meanwhile.
void sendThroughTheChannel(const std::string& frame) {
    const int connection = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    if (connect(connection, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        fault("the channel no longer takes connections", std::strerror(errno));
    std::size_t sent = 0;
    while (sent < frame.size()) {
        const ssize_t put = send(connection, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
        if (put <= 0) break;  // the host stopped reading: its answer says why
        sent += std::size_t(put);
    }
    shutdown(connection, SHUT_WR);
    std::string answer;
    for (;;) {
        // The host's answer waits for its interface thread, which is this
        // one: run it until the answer is there (a signal ends a poll early).
        pollfd waiting{connection, POLLIN, 0};
        if (poll(&waiting, 1, 5) <= 0) {
            pumpMessages();
            continue;
        }
        char buffer[4096];
        const ssize_t got = read(connection, buffer, sizeof buffer);
        if (got <= 0) break;
        answer.append(buffer, std::size_t(got));
    }
    close(connection);
    if (answer.empty()) return;
    if (answer.rfind("ok\n", 0) != 0 && answer.rfind("error\n", 0) != 0)
        fault("the host answered something other than ok or error", answer);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Win32SubsetSetDisplay("headless");
    Win32SubsetSetWaveIn("none");
    setenv("XDG_RUNTIME_DIR", fuzzing::scratchFolder().c_str(), 1);
    socketPath = (fuzzing::scratchFolder() / "obsidel.socket").string();
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!obsidel::createHostWindow(instance) || !obsidel::startCommandChannel(instance))
        fault("the host's channel did not start", socketPath);
    std::atexit([] { obsidel::stopCommandChannel(); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    checkDecoders(bytes);
    sendThroughTheChannel(bytes);
    return 0;
}
