#include "remote_request.h"

#include <windows.h>

#include <obsidel/api.h>

#include "host_window.h"
#include "menu_text.h"
#include "menu_tree.h"

namespace obsidel {
namespace {

struct KindName {
    RemoteRequest::Kind kind;
    const char* name;
};
constexpr KindName kKindNames[] = {
    {RemoteRequest::Kind::Exec, "exec"},
    {RemoteRequest::Kind::Reconfigure, "reconfigure"},
    {RemoteRequest::Kind::Menu, "menu"},
    {RemoteRequest::Kind::Pick, "pick"},
};

RemoteReply failed(std::string why) { return {false, std::move(why)}; }

// A right click on the first plug-in window that registered for broadcasts:
// its plug-in builds its menu afresh and shows it.
const Menu* openPluginMenu(std::string& error) {
    auto windows = windowsRegisteredFor(OBM_BROADCAST);
    if (windows.empty()) {
        error = "no plug-in window has registered with the host";
        return nullptr;
    }
    auto before = menuShowCount();
    const MenuReading reading;  // built to be read, not to pop up
    SendMessageA(windows.front(), WM_RBUTTONUP, 0, 0);
    if (menuShowCount() == before || !shownMenu()) {
        error = "the plug-in window showed no menu on a right click";
        return nullptr;
    }
    return shownMenu();
}

}  // namespace

RemoteReply handleRemoteRequest(const RemoteRequest& request) {
    std::string error;
    switch (request.kind) {
    case RemoteRequest::Kind::Exec:
        broadcast(request.text.c_str());
        return {true, ""};
    case RemoteRequest::Kind::Reconfigure:
        reconfigure();
        return {true, ""};
    case RemoteRequest::Kind::Menu: {
        const Menu* menu = openPluginMenu(error);
        if (!menu) return failed(error);
        return {true, menuText(*menu)};
    }
    case RemoteRequest::Kind::Pick: {
        const Menu* menu = openPluginMenu(error);
        if (!menu) return failed(error);
        std::string path;
        std::optional<int> value;
        splitPathAndValue(request.text, path, value);
        auto command = commandForPath(*menu, path, value, error);
        if (!command) return failed(error);
        broadcast(command->c_str());
        return {true, *command};
    }
    }
    return failed("unknown request");
}

std::string encodeRequest(const RemoteRequest& request) {
    for (const auto& k : kKindNames)
        if (k.kind == request.kind) return std::string(k.name) + "\n" + request.text;
    return {};
}

std::optional<RemoteRequest> decodeRequest(const std::string& bytes) {
    auto newline = bytes.find('\n');
    if (newline == std::string::npos) return std::nullopt;
    std::string name = bytes.substr(0, newline);
    for (const auto& k : kKindNames)
        if (name == k.name) return RemoteRequest{k.kind, bytes.substr(newline + 1)};
    return std::nullopt;
}

std::string encodeReply(const RemoteReply& reply) { return (reply.ok ? "ok\n" : "error\n") + reply.text; }

RemoteReply decodeReply(const std::string& bytes) {
    auto newline = bytes.find('\n');
    if (newline == std::string::npos) return failed("the host gave no answer");
    std::string status = bytes.substr(0, newline);
    if (status != "ok" && status != "error") return failed("the host's answer was not understood");
    return {status == "ok", bytes.substr(newline + 1)};
}

}  // namespace obsidel
