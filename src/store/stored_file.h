// Reading and replacing the files that hold the user's call log and folders.
// A save never touches the old file until the new contents are complete on
// disk: they go to a temporary file in the same folder, which is flushed and
// then renamed over the old one. A failed save leaves the old file as it was.
#pragma once

#include <functional>
#include <string>

#include "store/file_replace.h"

enum class VM_FileState {
    kRead,        // the whole file is in the buffer
    kMissing,     // there is no such file: the data is empty
    kUnreadable,  // the file exists but could not be read whole
};

VM_FileState VM_ReadStoredFile(const char* path, std::string& bytes);

// One rule for every stored file: a missing file means empty (or defaults);
// one that exists but cannot be read whole is never saved over and never
// deleted. Its owner keeps what it could read, sets the file aside with
// VM_SetAsideDamagedFile and goes on working and saving.

// Reads a list or tree file for its loader: a missing file loads as empty
// (true); one that exists but cannot be read whole goes to damaged (false).
bool VM_LoadStoredFile(const char* path, const std::function<void(const char* why)>& damaged,
                       const std::function<bool(const std::string& bytes)>& load);

// Returns false, with the old file untouched and no temporary file left
// behind, when anything fails (folder not writable, disk full, rename).
// The writer is for tests that make writing fail; null writes normally.
bool VM_SaveStoredFile(const char* path, const std::string& bytes, VM_IFileWriter* writer = nullptr);

// Renames the file to "<path>.damaged" (then "<path>.2.damaged", ...), traces
// why and tells the user once. False when it stayed where it was: then it
// must not be saved over.
bool VM_SetAsideDamagedFile(const char* path, const char* why);

// True when the file is gone afterwards (also when it never existed).
bool VM_DeleteStoredFile(const char* path);
