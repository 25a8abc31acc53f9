// Where the program keeps its files.
#pragma once

#include <string>

// $VOCERRA_HOME when set; otherwise the executable's folder (the current
// directory when the executable's path is unknown) when it already holds a
// program folder ("Config/Vocerra.Cfg", a portable copy); otherwise the
// user's data folder, $XDG_DATA_HOME/vocerra (by default
// ~/.local/share/vocerra), or the executable's folder when there is none.
// The folder is created when missing. Empty when none can be worked out.
std::string VM_FindProgramFolder();
// The same choice for a given $VOCERRA_HOME (null when unset) and executable folder.
std::string VM_ChooseProgramFolder(const char* configuredHome, const std::string& executableFolder);

// Creates the folder and any missing parents; true when it exists afterwards.
bool VM_MakeFolders(const std::string& folder);
