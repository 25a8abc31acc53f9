// Replacing a stored file without ever leaving a half-written one, the one
// way every stored file is saved (see platform/win32/file_replace.h).
#pragma once

#include <cstddef>

#include "platform/win32/file_replace.h"

// Writes bytes to an open file descriptor; true when all were written. The
// default writes them with write(2); tests pass one that fails midway.
class VM_IFileWriter : public platform::FileWriter {
public:
    virtual bool VM_Write(int fd, const void* data, std::size_t size) = 0;
    bool Write(int fd, const void* data, std::size_t size) override { return VM_Write(fd, data, size); }
};

// Replaces (or creates) path with the bytes, with permission bits mode. On
// any failure the old file stays as it was and the temporary file is removed.
bool VM_ReplaceFile(const char* path, const void* data, std::size_t size, unsigned mode,
                    VM_IFileWriter* writer = nullptr);
