// Starting with the desktop session: an XDG autostart entry
// ($XDG_CONFIG_HOME/autostart/vocerra.desktop) whose Exec line quotes the
// program's path, so a path with blanks still starts, and carries the
// program folder when $VOCERRA_HOME chose it.
#pragma once

#include <optional>
#include <string>

// Writes or removes the entry; false when the file system refused.
bool VM_SetAutostart(bool enable);
// Enabled when the entry exists, is not hidden and names a program.
bool VM_IsAutostartEnabled();
// Where the entry lives.
std::string VM_GetAutostartPath();
// The Exec value that starts program: the path in double quotes with the
// characters the desktop would expand escaped; with a program folder (the
// one $VOCERRA_HOME named), through env with VOCERRA_HOME set to it. None
// for a path the entry cannot carry (not absolute, or holding a control
// character).
std::optional<std::string> VM_AutostartExecLine(const std::string& program, const std::string& programFolder = {});
