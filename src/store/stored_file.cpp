#include "store/stored_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "diag/trace.h"
#include "diag/user_notice.h"
#include "platform/win32/file_replace.h"
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

namespace {

std::string AsideName(const std::string& path, int n) {
    return n == 1 ? path + ".damaged" : path + "." + std::to_string(n) + ".damaged";
}

}  // namespace

bool VM_SetAsideDamagedFile(const char* path, const char* why) {
    if (path == nullptr) return false;
    std::string aside;
    bool moved = false;
    for (int n = 1; n < 1000 && !moved; ++n) {
        aside = AsideName(path, n);
        moved = platform::RenameNoReplace(path, aside.c_str());
        if (!moved && errno != EEXIST) break;
    }
    if (!moved) {
        VM_TRACE(g_bTraceTapi, "VM_SetAsideDamagedFile: %s: %s; cannot be set aside (errno=%d), never saved over",
                 path, why, errno);
        return false;
    }
    platform::SyncFolderOf(path);
    VM_TRACE(g_bTraceTapi, "VM_SetAsideDamagedFile: %s: %s; kept as %s", path, why, aside.c_str());
    const std::string text = "The file \"" + std::string(path) + "\" could not be read whole (" + why +
                             "). It was kept as \"" + aside + "\", and Vocerra goes on with what it could read.";
    VM_NoticeForUser(text.c_str());
    return true;
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
