#include "store/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "diag/trace.h"

namespace {

class PosixWriter : public VM_IFileWriter {
public:
    bool VM_Write(int fd, const void* data, std::size_t size) override {
        const char* next = static_cast<const char*>(data);
        while (size > 0) {
            ssize_t written = ::write(fd, next, size);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) return false;
            next += written;
            size -= static_cast<std::size_t>(written);
        }
        return true;
    }
};

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The rename is only durable once the folder entry is on disk too.
void SyncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

bool WriteAndSync(int fd, const void* data, std::size_t size, unsigned mode,
                  VM_IFileWriter* writer) {
    if (::fchmod(fd, static_cast<mode_t>(mode)) != 0) return false;
    if (size > 0 && !writer->VM_Write(fd, data, size)) return false;
    return ::fsync(fd) == 0;
}

}  // namespace

bool VM_ReplaceFile(const char* path, const void* data, std::size_t size, unsigned mode,
                    VM_IFileWriter* writer) {
    if (path == nullptr || path[0] == '\0' || (data == nullptr && size > 0)) return false;
    PosixWriter posixWriter;
    if (writer == nullptr) writer = &posixWriter;

    std::string temp = std::string(path) + ".XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        VM_TRACE(g_bTraceAudio, "VM_ReplaceFile: cannot create a temporary file for %s, errno=%d",
                 path, errno);
        return false;
    }
    bool written = WriteAndSync(fd, data, size, mode, writer);
    int savedErrno = errno;
    if (::close(fd) != 0) written = false;
    if (!written || ::rename(temp.c_str(), path) != 0) {
        if (written) savedErrno = errno;
        ::unlink(temp.c_str());
        VM_TRACE(g_bTraceAudio, "VM_ReplaceFile: %s not replaced, errno=%d", path, savedErrno);
        return false;
    }
    SyncFolder(FolderOf(path));
    return true;
}
