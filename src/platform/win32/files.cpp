#include "platform/win32/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/clock.h"
#include "platform/win32/errors.h"
#include "platform/win32/file_replace.h"
#include "platform/win32/kernel_object.h"

namespace {

bool Fail(DWORD error) {
    SetLastError(error);
    return false;
}

bool FailErrno() { return Fail(Win32ErrorFromErrno(errno)); }

// Copies text into a caller's buffer of size characters; the length copied,
// or the size needed (with the terminating NUL) when it does not fit.
DWORD CopyOut(const std::string& text, LPSTR buffer, DWORD size) {
    if (buffer == nullptr || text.size() + 1 > size) return static_cast<DWORD>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

FILETIME ToFileTime(const struct timespec& ts) {
    // 100-nanosecond intervals since 1601-01-01.
    constexpr ULONGLONG kEpochDifference = 116444736000000000ULL;
    ULONGLONG value = kEpochDifference + static_cast<ULONGLONG>(ts.tv_sec) * 10000000ULL +
                      static_cast<ULONGLONG>(ts.tv_nsec) / 100;
    return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

DWORD AttributesOf(const char* path, const struct stat& st) {
    DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (access(path, W_OK) != 0) attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes;
}

bool FillFindData(const std::string& folder, const char* name, LPWIN32_FIND_DATAA data) {
    std::string path = folder + "/" + name;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return false;
    std::memset(data, 0, sizeof *data);
    data->dwFileAttributes = AttributesOf(path.c_str(), st);
    data->ftCreationTime = ToFileTime(st.st_ctim);
    data->ftLastAccessTime = ToFileTime(st.st_atim);
    data->ftLastWriteTime = ToFileTime(st.st_mtim);
    if (!S_ISDIR(st.st_mode)) {
        auto size = static_cast<ULONGLONG>(st.st_size);
        data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
        data->nFileSizeLow = static_cast<DWORD>(size);
    }
    std::snprintf(data->cFileName, sizeof data->cFileName, "%s", name);
    return true;
}

class FindObject : public platform::detail::KernelObject {
public:
    std::string folder;
    std::vector<std::string> names;
    size_t next = 0;
};

// Matches like the platform we mirror: without regard to case, and "*.*"
// also matches names without a dot.
bool NameMatches(const std::string& pattern, const char* name) {
    if (pattern == "*.*" || pattern == "*") return true;
    return fnmatch(pattern.c_str(), name, FNM_CASEFOLD) == 0;
}

bool HasWildcard(const std::string& text) { return text.find_first_of("*?") != std::string::npos; }

std::vector<std::string> MatchingNames(const std::string& folder, const std::string& pattern) {
    std::vector<std::string> names;
    if (!HasWildcard(pattern)) {
        struct stat st;
        if (stat((folder + "/" + pattern).c_str(), &st) == 0) names.push_back(pattern);
        return names;
    }
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return names;
    while (dirent* entry = readdir(dir))
        if (NameMatches(pattern, entry->d_name)) names.emplace_back(entry->d_name);
    closedir(dir);
    return names;
}

bool NextFound(FindObject& find, LPWIN32_FIND_DATAA data) {
    while (find.next < find.names.size()) {
        if (FillFindData(find.folder, find.names[find.next++].c_str(), data)) return true;
    }
    return false;
}

}  // namespace

UINT GetTempFileNameA(LPCSTR pathName, LPCSTR prefix, UINT unique, LPSTR tempFileName) {
    if (pathName == nullptr || tempFileName == nullptr) return Fail(ERROR_INVALID_PARAMETER), 0;
    std::string folder(pathName);
    if (folder.empty() || folder.back() != '/') folder += '/';
    std::string pre = prefix ? std::string(prefix).substr(0, 3) : std::string();
    auto nameFor = [&](UINT number) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%X", number & 0xFFFF);
        return folder + pre + hex + ".TMP";
    };
    if (unique != 0) {
        std::string name = nameFor(unique);
        if (name.size() >= MAX_PATH) return Fail(ERROR_FILENAME_EXCED_RANGE), 0;
        std::memcpy(tempFileName, name.c_str(), name.size() + 1);
        return unique & 0xFFFF;
    }
    // Start from the clock, as the platform does, so names rarely collide.
    UINT start = GetTickCount() & 0xFFFF;
    for (UINT i = 0; i < 0xFFFF; ++i) {
        UINT number = (start + i - 1) % 0xFFFF + 1;
        std::string name = nameFor(number);
        if (name.size() >= MAX_PATH) return Fail(ERROR_FILENAME_EXCED_RANGE), 0;
        int fd = open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
        if (fd >= 0) {
            close(fd);
            std::memcpy(tempFileName, name.c_str(), name.size() + 1);
            return number;
        }
        if (errno != EEXIST) return FailErrno(), 0;
    }
    return Fail(ERROR_FILE_EXISTS), 0;
}

DWORD GetTempPathA(DWORD bufferLength, LPSTR buffer) {
    const char* tmp = std::getenv("TMPDIR");
    std::string path = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
    if (path.back() != '/') path += '/';
    return CopyOut(path, buffer, bufferLength);
}

namespace {

bool SameFile(const struct stat& a, const char* path) {
    struct stat b;
    return stat(path, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool CopyBytes(int in, int out) {
    char block[65536];
    for (ssize_t n; (n = read(in, block, sizeof block)) != 0;) {
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        for (ssize_t done = 0; done < n;) {
            ssize_t w = write(out, block + done, static_cast<size_t>(n - done));
            if (w < 0 && errno != EINTR) return false;
            if (w == 0) {
                errno = ENOSPC;
                return false;
            }
            if (w > 0) done += w;
        }
    }
    return true;
}

}  // namespace

// The copy is made beside the target and renamed over it, so a copy that
// fails (a full disk) leaves the target as it was.
BOOL CopyFileA(LPCSTR existingFile, LPCSTR newFile, BOOL failIfExists) {
    if (existingFile == nullptr || newFile == nullptr) return Fail(ERROR_INVALID_PARAMETER);
    int in = open(existingFile, O_RDONLY | O_CLOEXEC);
    if (in < 0) return FailErrno();
    struct stat source;
    if (fstat(in, &source) != 0) {
        int err = errno;
        close(in);
        return Fail(Win32ErrorFromErrno(err));
    }
    if (SameFile(source, newFile)) {
        // Onto itself: there is nothing to copy, and nothing may be lost.
        close(in);
        return failIfExists ? Fail(ERROR_FILE_EXISTS) : TRUE;
    }
    std::string temp = std::string(newFile) + ".XXXXXX";
    int out = mkostemp(temp.data(), O_CLOEXEC);
    if (out < 0) {
        int err = errno;
        close(in);
        return Fail(Win32ErrorFromErrno(err));
    }
    bool ok = CopyBytes(in, out);
    int err = errno;
    close(in);
    if (close(out) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && !platform::CommitReplacement(temp.c_str(), newFile, failIfExists)) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        unlink(temp.c_str());
        return Fail(err == EEXIST ? ERROR_FILE_EXISTS : Win32ErrorFromErrno(err));
    }
    return TRUE;
}

BOOL MoveFileExA(LPCSTR existingFile, LPCSTR newFile, DWORD flags) {
    if (existingFile == nullptr || newFile == nullptr) return Fail(ERROR_INVALID_PARAMETER);
    struct stat st;
    if (!(flags & MOVEFILE_REPLACE_EXISTING) && lstat(newFile, &st) == 0) return Fail(ERROR_ALREADY_EXISTS);
    if (rename(existingFile, newFile) != 0) return FailErrno();
    if (flags & MOVEFILE_WRITE_THROUGH) platform::SyncFolderOf(newFile);
    return TRUE;
}

BOOL DeleteFileA(LPCSTR fileName) {
    if (fileName == nullptr) return Fail(ERROR_INVALID_PARAMETER);
    struct stat st;
    if (lstat(fileName, &st) == 0 && S_ISDIR(st.st_mode)) return Fail(ERROR_ACCESS_DENIED);
    return unlink(fileName) == 0 ? TRUE : FailErrno();
}

// Files and folders are made for their owner alone: they hold the owner's
// messages and settings.
BOOL CreateDirectoryA(LPCSTR pathName, LPSECURITY_ATTRIBUTES) {
    if (pathName == nullptr) return Fail(ERROR_INVALID_PARAMETER);
    if (mkdir(pathName, 0700) == 0) return TRUE;
    return errno == ENOENT ? Fail(ERROR_PATH_NOT_FOUND) : FailErrno();
}

BOOL RemoveDirectoryA(LPCSTR pathName) {
    if (pathName == nullptr) return Fail(ERROR_INVALID_PARAMETER);
    return rmdir(pathName) == 0 ? TRUE : FailErrno();
}

HANDLE FindFirstFileA(LPCSTR fileName, LPWIN32_FIND_DATAA findData) {
    if (fileName == nullptr || findData == nullptr || *fileName == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string path(fileName);
    size_t slash = path.rfind('/');
    auto find = std::make_shared<FindObject>();
    find->folder = slash == std::string::npos ? "." : (slash == 0 ? "" : path.substr(0, slash));
    std::string pattern = slash == std::string::npos ? path : path.substr(slash + 1);
    find->names = MatchingNames(find->folder.empty() ? "/" : find->folder, pattern);
    if (!NextFound(*find, findData)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    return platform::detail::InsertHandle(find);
}

BOOL FindNextFileA(HANDLE hFind, LPWIN32_FIND_DATAA findData) {
    auto find = platform::detail::LookupAs<FindObject>(hFind);
    if (!find || findData == nullptr) return Fail(ERROR_INVALID_HANDLE);
    return NextFound(*find, findData) ? TRUE : Fail(ERROR_NO_MORE_FILES);
}

BOOL FindClose(HANDLE hFind) {
    if (!platform::detail::LookupAs<FindObject>(hFind)) return Fail(ERROR_INVALID_HANDLE);
    return platform::detail::RemoveHandle(hFind) ? TRUE : FALSE;
}

DWORD GetFileAttributesA(LPCSTR fileName) {
    struct stat st;
    if (fileName == nullptr || stat(fileName, &st) != 0) {
        SetLastError(fileName == nullptr ? ERROR_INVALID_PARAMETER : Win32ErrorFromErrno(errno));
        return INVALID_FILE_ATTRIBUTES;
    }
    return AttributesOf(fileName, st);
}

DWORD GetModuleFileNameA(HMODULE, LPSTR fileName, DWORD size) {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n < 0 || fileName == nullptr || size == 0) return FailErrno(), 0;
    path[n] = '\0';
    // Too small a buffer gets the name cut, NUL-terminated, and the size.
    if (static_cast<DWORD>(n) >= size) {
        std::memcpy(fileName, path, size - 1);
        fileName[size - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(fileName, path, static_cast<size_t>(n) + 1);
    return static_cast<DWORD>(n);
}

DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer) {
    char path[4096];
    if (getcwd(path, sizeof path) == nullptr) return FailErrno(), 0;
    return CopyOut(path, buffer, bufferLength);
}
