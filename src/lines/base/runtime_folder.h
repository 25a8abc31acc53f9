// The per-user folder of the running program's small shared files: the
// one-copy lock, the simulated line's socket, the SIP line's registration
// state. VOCERRA_RUNTIME_DIR, else $XDG_RUNTIME_DIR/vocerra, else
// /tmp/vocerra-<uid>.
#pragma once

#include <string>

namespace lines {

// The folder's path (not created here).
std::string RuntimeFolder();

// Makes the folder (0700) when missing. False, with the reason, when it is
// not a real folder owned by this user; a looser mode is tightened to 0700.
bool PreparePrivateFolder(const std::string& folder, std::string* error);

}  // namespace lines
