// The client side of `obsidel --exec`, `--reconfigure`, `--menu` and
// `--pick`: hands the request to the running host and reports its answer.
#include <cstdio>

#include "command_channel.h"

namespace obsidel {

int runRemoteRequest(const RemoteRequest& request) {
    RemoteReply reply;
    std::string error;
    if (!sendToRunningHost(request, reply, error)) {
        std::fprintf(stderr, "obsidel: %s\n", error.c_str());
        return 1;
    }
    if (!reply.ok) {
        std::fprintf(stderr, "obsidel: %s\n", reply.text.c_str());
        return 1;
    }
    if (!reply.text.empty()) {
        std::fputs(reply.text.c_str(), stdout);
        if (reply.text.back() != '\n') std::fputc('\n', stdout);
    }
    return 0;
}

}  // namespace obsidel
