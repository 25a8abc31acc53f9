// Replacing a stored file without ever leaving a half-written one: the new
// contents go to a temporary file in the same folder, are flushed to disk and
// then renamed over the old file in one step.
#pragma once

#include <cstddef>

// Writes bytes to an open file descriptor; true when all were written. The
// default writes them with write(2); tests pass one that fails midway.
class VM_IFileWriter {
public:
    virtual ~VM_IFileWriter() = default;
    virtual bool VM_Write(int fd, const void* data, std::size_t size) = 0;
};

// Replaces (or creates) path with the bytes, with permission bits mode. On
// any failure the old file stays as it was and the temporary file is removed.
bool VM_ReplaceFile(const char* path, const void* data, std::size_t size, unsigned mode,
                    VM_IFileWriter* writer = nullptr);
