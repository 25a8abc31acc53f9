// The one way a stored file is replaced: the new contents go to a temporary
// file in the same folder, are flushed to disk, renamed over the old file in
// one step, and the folder is flushed so that the rename is on disk too. A
// failure at any step leaves the old file as it was.
#pragma once

#include <cstddef>

namespace platform {

// Writes bytes to an open descriptor; true when all were written. Tests pass
// one that fails midway, as a full disk does.
class FileWriter {
public:
    virtual ~FileWriter() = default;
    virtual bool Write(int fd, const void* data, std::size_t size) = 0;
};

// Replaces (or creates) path with the bytes, with permission bits mode. On
// failure errno tells why and the temporary file is gone.
bool ReplaceFileContents(const char* path, const void* data, std::size_t size, unsigned mode,
                         FileWriter* writer = nullptr);
// Puts a finished temporary file of path's folder in place of path. With
// noReplace an existing path is kept and the call fails with EEXIST.
bool CommitReplacement(const char* tempPath, const char* path, bool noReplace = false);
// Renames from to to unless to exists (then EEXIST).
bool RenameNoReplace(const char* from, const char* to);
// Flushes the folder holding path, so a rename or create in it is durable.
void SyncFolderOf(const char* path);

}  // namespace platform
