#include "platform/win32/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace platform {

namespace {

class PosixWriter : public FileWriter {
public:
    bool Write(int fd, const void* data, std::size_t size) override {
        const char* next = static_cast<const char*>(data);
        while (size > 0) {
            ssize_t written = ::write(fd, next, size);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) {
                if (written == 0) errno = ENOSPC;
                return false;
            }
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

bool SyncFile(const char* path) {
    int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    const int err = errno;
    ::close(fd);
    errno = err;
    return synced;
}

bool WriteAndSync(int fd, const void* data, std::size_t size, unsigned mode, FileWriter* writer) {
    if (::fchmod(fd, static_cast<mode_t>(mode)) != 0) return false;
    if (size > 0 && !writer->Write(fd, data, size)) return false;
    return ::fsync(fd) == 0;
}

}  // namespace

// Where the file system cannot keep an existing target itself, a hard link
// does, as it fails on one too.
bool RenameNoReplace(const char* from, const char* to) {
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    if (::link(from, to) != 0) return false;
    ::unlink(from);
    return true;
}

void SyncFolderOf(const char* path) {
    int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

bool CommitReplacement(const char* tempPath, const char* path, bool noReplace) {
    if (tempPath == nullptr || path == nullptr) {
        errno = EINVAL;
        return false;
    }
    const bool moved =
        SyncFile(tempPath) && (noReplace ? RenameNoReplace(tempPath, path) : ::rename(tempPath, path) == 0);
    if (!moved) return false;
    SyncFolderOf(path);
    return true;
}

bool ReplaceFileContents(const char* path, const void* data, std::size_t size, unsigned mode, FileWriter* writer) {
    if (path == nullptr || path[0] == '\0' || (data == nullptr && size > 0)) {
        errno = EINVAL;
        return false;
    }
    PosixWriter posixWriter;
    if (writer == nullptr) writer = &posixWriter;
    std::string temp = std::string(path) + ".XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return false;
    bool written = WriteAndSync(fd, data, size, mode, writer);
    int err = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        err = errno;
    }
    if (!written || ::rename(temp.c_str(), path) != 0) {
        if (written) err = errno;
        ::unlink(temp.c_str());
        errno = err;
        return false;
    }
    SyncFolderOf(path);
    return true;
}

}  // namespace platform
