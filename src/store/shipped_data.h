// The files the program ships (the system prompts, the default main
// greeting), found where the build or the installation put them, so that a
// fresh program folder works without anyone copying them there by hand.
#pragma once

#include <string>
#include <vector>

class VM_CAppCfg;

// Folders that may hold the shipped files, in the order they are tried:
// $VOCERRA_DATA when set, the data folder beside an installed executable
// ("../share/vocerra"), the build's own (for a program in its build tree
// only), and the configured install folder.
// Each holds the subfolders "Prompt" and "Greeting".
std::vector<std::string> VM_ShippedDataFolders();

// The shipped copy of "<subfolder>/<fileName>" (subfolder as VM_GetPath takes
// it, e.g. "/Prompt"); empty when no shipped folder has it.
std::string VM_FindShippedFile(const char* subfolder, const char* fileName);

// Gives ownPath (a file in the program folder) the shipped file's contents
// when it does not exist yet: the player converts a file in place for a
// device that does not take its format, which must never touch the shipped
// copy. Returns the path to use, a new[] string: ownPath when it exists or was
// filled, else the shipped copy itself (the program folder cannot be
// written), else ownPath. Null only when out of memory.
char* VM_UseShippedFile(const char* ownPath, const char* subfolder, const char* fileName);

// A path as the getters hand it out: a new[] copy; null when out of memory.
char* VM_NewPath(const std::string& path);

// Puts the shipped default main greeting into the program folder when it has
// none. True when the program folder has one afterwards.
bool VM_InstallDefaultGreeting(const VM_CAppCfg& cfg);
