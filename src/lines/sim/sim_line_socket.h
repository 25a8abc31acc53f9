// Local-socket plumbing of the simulated line's remote party, shared by the
// server inside Vocerra and the tools that connect to it: a folder and a
// socket only their owner can use, peer credentials, whole writes.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

#include "lines/base/runtime_folder.h"

namespace simline {

using lines::PreparePrivateFolder;

// A listening socket at path (0600) in a private folder. A socket file left
// by a process that is gone is replaced; one that still answers is not.
// Returns -1 with the reason.
int ListenPrivate(const std::string& path, std::string* error);

// Connects to the socket at path and checks that the process serving it
// runs as this user. Returns -1 with the reason; *absent is set when nobody
// serves the socket at all (no file, or nothing listening).
int ConnectPrivate(const std::string& path, std::string* error, bool* absent);

// The peer of a connected local socket runs as `uid` (SO_PEERCRED).
bool PeerIsUser(int fd, uid_t uid);

// Writes everything, retrying short writes; false when the peer is gone or
// the socket's send time-out passed.
bool SendAll(int fd, const char* data, size_t length);

}  // namespace simline
