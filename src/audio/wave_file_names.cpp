#include "audio/wave_file_names.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/win32/files.h"

namespace {

constexpr size_t kPathBuffer = MAX_PATH + 1;

char* Duplicate(const char* text, size_t length) {
    char* copy = new char[length + 1];
    std::memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

enum class Reserve { kTaken, kReserved, kFailed };

// Creates the file only when no file has the name, in one step.
Reserve ReserveName(const char* path) {
    const int fd = ::open(path, O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0) {
        ::close(fd);
        return Reserve::kReserved;
    }
    return errno == EEXIST ? Reserve::kTaken : Reserve::kFailed;
}

}  // namespace

char* VM_GetFolderOfPath(const char* path) {
    if (path == nullptr || path[0] == '\0') return nullptr;
    const char* last = std::strrchr(path + 1, '/');
    if (last == nullptr) return nullptr;
    return Duplicate(path, static_cast<size_t>(last - path));
}

char* VM_MakeTempFileName(const char* folder, const char* prefix) {
    if (folder == nullptr || prefix == nullptr) return nullptr;
    char* name = new char[kPathBuffer];
    if (GetTempFileNameA(folder, prefix, 0, name) == 0) {
        delete[] name;
        return nullptr;
    }
    return name;
}

char* VM_MakeTempFileName(const char* filePath) {
    char* folder = VM_GetFolderOfPath(filePath);
    if (folder == nullptr) return nullptr;
    char* name = VM_MakeTempFileName(folder, "Qv");
    delete[] folder;
    return name;
}

char* VM_MakeUniqueWaveName(const char* folder, const char* prefix) {
    if (folder == nullptr || prefix == nullptr) return nullptr;
    char name[kPathBuffer + 64];
    for (unsigned counter = 0; counter <= 0xFFFE; ++counter) {
        int length = std::snprintf(name, sizeof name, "%s%s%s%04x%s", folder, "/", prefix,
                                   counter, ".Wav");
        if (length < 0 || static_cast<size_t>(length) >= sizeof name) return nullptr;
        const Reserve reserved = ReserveName(name);
        if (reserved == Reserve::kReserved) return Duplicate(name, static_cast<size_t>(length));
        if (reserved == Reserve::kFailed) return nullptr;
    }
    return nullptr;
}

char* VM_CopyToUniqueWaveName(const char* existingPath, const char* prefix) {
    char* folder = VM_GetFolderOfPath(existingPath);
    if (folder == nullptr) return nullptr;
    char* name = VM_MakeUniqueWaveName(folder, prefix);
    delete[] folder;
    if (name == nullptr) return nullptr;
    if (!CopyFileA(existingPath, name, FALSE)) {
        DeleteFileA(name);
        delete[] name;
        return nullptr;
    }
    return name;
}
