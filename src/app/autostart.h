// Starting with the desktop session: an XDG autostart entry
// ($XDG_CONFIG_HOME/autostart/vocerra.desktop) whose Exec line quotes the
// program's path, so a path with blanks still starts.
#pragma once

#include <string>

// Writes or removes the entry; false when the file system refused.
bool VM_SetAutostart(bool enable);
// Enabled when the entry exists and names a program.
bool VM_IsAutostartEnabled();
// Where the entry lives.
std::string VM_GetAutostartPath();
