// The host's command channel: how `obsidel --exec "TEXT"` and the other
// remote options reach the running host. One implementation per system:
// linux/command_channel.cpp (a Unix socket in $XDG_RUNTIME_DIR) and
// windows/ (WM_COPYDATA to the running host's main window). Either way the
// running host carries each request out with handleRemoteRequest on its
// user-interface thread and answers with its reply.
//
// What a system's side provides: the three functions below. The running
// host calls startCommandChannel once its main window exists (GetOBWnd) and
// stopCommandChannel before it stops its plug-ins; a client process calls
// sendToRunningHost. encodeRequest/decodeRequest and encodeReply/decodeReply
// (remote_request.h) give the bytes that travel each way. With WM_COPYDATA,
// for example: the client sends the request's bytes with its own (hidden)
// window as wParam; the host's window takes it on its own thread, runs
// handleRemoteRequest, sends the reply's bytes back to that window with
// WM_COPYDATA, and returns TRUE.
#pragma once

#include <windows.h>

#include <string>

#include "remote_request.h"

namespace obsidel {

// Host side: from now on, take requests. False, with a message on standard
// error, when the channel cannot be opened; the host then runs without it.
bool startCommandChannel(HINSTANCE instance);
void stopCommandChannel();

// Client side: hands the request to the running host and waits for its
// reply. False, with the reason in `error`, when no host answers.
bool sendToRunningHost(const RemoteRequest& request, RemoteReply& reply, std::string& error);

// The whole client: sends the request, prints the reply's text on standard
// output (or the failure on standard error) and returns the exit status:
// 0 when the host carried the request out, 1 otherwise.
int runRemoteRequest(const RemoteRequest& request);

}  // namespace obsidel
