// The simulated line's remote party, served to other processes of the same
// user over a local socket, so that a tool (vocerra-call) can place calls on
// a running Vocerra. The protocol is in sim_line_protocol.h.
//
// The socket lives in a folder only its owner may enter (0700) and is itself
// 0600; a connection whose peer credentials name another user is refused
// with one error line. The server runs on a thread of its own that sleeps in
// poll() while nobody talks to it, and drives the remote party through the
// thread-safe SimCall functions. Each connection may hold one call; a call
// whose connection goes away is hung up, as a caller who puts the phone down.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

#include "platform/win32/types.h"

namespace simline {

class SimLineService;

struct RemoteServerOptions {
    std::string socketPath;       // empty: RemoteSocketPath()
    uid_t allowedUid = static_cast<uid_t>(-1);  // -1: the process's effective user
    DWORD defaultLine = 0;        // the line device a CALL without line= rings on
};

class RemoteLineServer {
public:
    // Does not start; Start does.
    RemoteLineServer(SimLineService& service, RemoteServerOptions options);
    ~RemoteLineServer();  // stops
    RemoteLineServer(const RemoteLineServer&) = delete;
    RemoteLineServer& operator=(const RemoteLineServer&) = delete;

    // Makes the folder and the socket and starts the serving thread. False,
    // with a message for the user, when the folder is not private to this
    // user, another server already answers on the socket, or a system call
    // fails.
    bool Start(std::string* error);
    // Ends every connection (hanging up their calls), stops the thread and
    // removes the socket. Must run before the service is destroyed.
    void Stop();
    const std::string& SocketPath() const;

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

// The process-wide server that whoever installs the simulated line starts
// (the headless program, the GUI). Start again after a stop is allowed;
// starting while running fails. Stop does nothing when not running.
bool StartRemoteLineServer(SimLineService& service, std::string* error,
                           RemoteServerOptions options = {});
void StopRemoteLineServer();

}  // namespace simline
