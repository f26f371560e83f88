// What `obsidel --exec`, `--reconfigure`, `--menu` and `--pick` ask of the
// running host, how such a request travels, and how the host carries it out.
#pragma once

#include <optional>
#include <string>

namespace obsidel {

struct RemoteRequest {
    enum class Kind { Exec, Reconfigure, Menu, Pick };
    Kind kind = Kind::Exec;
    // Exec: the command text to broadcast. Pick: the menu path, with
    // "=VALUE" for an integer item (menu_text.h).
    std::string text;
};

struct RemoteReply {
    bool ok = false;
    // For the person who asked: the menu as text (Menu), the command that
    // was broadcast (Pick), or what went wrong.
    std::string text;
};

// Carries the request out; runs on the user-interface thread.
//   Exec:        broadcasts the text to the registered plug-in windows (10901).
//   Reconfigure: sends them the reconfigure message (10103).
//   Menu:        right-clicks the first registered plug-in window, so its
//                plug-in builds and shows its menu, and answers that menu as text.
//   Pick:        the same, then broadcasts the command of the entry at the path.
RemoteReply handleRemoteRequest(const RemoteRequest& request);

// On the wire: the request's kind ("exec", "reconfigure", "menu", "pick"),
// a line feed and the text; the reply "ok" or "error", a line feed and the text.
std::string encodeRequest(const RemoteRequest& request);
std::optional<RemoteRequest> decodeRequest(const std::string& bytes);
std::string encodeReply(const RemoteReply& reply);
RemoteReply decodeReply(const std::string& bytes);

}  // namespace obsidel
