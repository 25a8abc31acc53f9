#include "store/stored_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "store/file_replace.h"

namespace {

// Far above any real list or tree; a bigger file is not ours.
constexpr off_t kMaxStoredFile = off_t{256} * 1024 * 1024;

bool ReadAll(int fd, size_t size, std::string& bytes) {
    bytes.resize(size);
    size_t done = 0;
    while (done < size) {
        ssize_t n = read(fd, bytes.data() + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    char extra;
    return read(fd, &extra, 1) == 0;  // the file did not grow under us
}

}  // namespace

VM_FileState VM_ReadStoredFile(const char* path, std::string& bytes) {
    bytes.clear();
    if (path == nullptr) return VM_FileState::kMissing;
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? VM_FileState::kMissing : VM_FileState::kUnreadable;
    struct stat info;
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaxStoredFile &&
              ReadAll(fd, static_cast<size_t>(info.st_size), bytes);
    close(fd);
    if (!ok) {
        bytes.clear();
        return VM_FileState::kUnreadable;
    }
    return VM_FileState::kRead;
}

bool VM_SaveStoredFile(const char* path, const std::string& bytes, VM_IFileWriter* writer) {
    // The call log and folders are private to the user.
    return VM_ReplaceFile(path, bytes.data(), bytes.size(), 0600, writer);
}

bool VM_DeleteStoredFile(const char* path) {
    if (path == nullptr) return true;
    return unlink(path) == 0 || errno == ENOENT;
}

bool VM_LoadStoredFile(const char* path, const std::function<void(const char* why)>& damaged,
                       const std::function<bool(const std::string& bytes)>& load) {
    std::string bytes;
    switch (VM_ReadStoredFile(path, bytes)) {
        case VM_FileState::kMissing:
            return true;
        case VM_FileState::kUnreadable:
            damaged("cannot be read");
            return false;
        case VM_FileState::kRead:
            break;
    }
    return load(bytes);
}
