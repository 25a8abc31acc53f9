#include "store/file_replace.h"

#include <cerrno>

#include "diag/trace.h"

bool VM_ReplaceFile(const char* path, const void* data, std::size_t size, unsigned mode,
                    VM_IFileWriter* writer) {
    if (platform::ReplaceFileContents(path, data, size, mode, writer)) return true;
    VM_TRACE(g_bTraceAudio, "VM_ReplaceFile: %s not replaced, errno=%d", path != nullptr ? path : "", errno);
    return false;
}
