#include "platform/win32/registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "platform/win32/errors.h"
#include "platform/win32/file_replace.h"
#include "platform/win32/registry_text.h"

// An opened key: the root and the names below it. Keys are found again by
// name at each call, because the file may have been read again meanwhile.
struct HKEY__ {
    regtext::Root root;
    std::vector<std::string> path;
    REGSAM access;
};

namespace {

// A file larger than this is not a registry a person wrote.
constexpr off_t kMaxFileBytes = 16 * 1024 * 1024;

struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    struct timespec modified {};

    bool operator==(const FileStamp& o) const {
        return exists == o.exists && device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
    }
};

struct RegistryState {
    std::mutex lock;
    regtext::Store store;
    bool loaded = false;
    bool damaged = false;  // the file exists but was not read whole: never write over it
    std::string path;
    FileStamp stamp;
    std::unordered_set<HKEY__*> handles;
};

RegistryState& State() {
    static RegistryState* state = new RegistryState;
    return *state;
}

FileStamp StampOf(const std::string& path) {
    FileStamp stamp;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return stamp;
    stamp.exists = true;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = st.st_size;
    stamp.modified = st.st_mtim;
    return stamp;
}

DWORD ErrorFromErrno(int err) {
    switch (err) {
        case ENOSPC:
        case EDQUOT: return ERROR_DISK_FULL;
        case EACCES:
        case EPERM:
        case EROFS: return ERROR_ACCESS_DENIED;
        case ENOENT: return ERROR_PATH_NOT_FOUND;
        default: return ERROR_WRITE_FAULT;
    }
}

bool ReadWholeFile(const std::string& path, const FileStamp& stamp, std::string& text) {
    if (stamp.size > kMaxFileBytes) return false;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    text.clear();
    char buffer[8192];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || static_cast<off_t>(text.size()) + n > kMaxFileBytes) {
            ok = false;
            break;
        }
        if (n == 0) break;
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return ok;
}

// Reads the file again when it is another file or changed since it was read
// or written here.
void Refresh(RegistryState& s) {
    std::string path = RegistryFilePath();
    FileStamp stamp = StampOf(path);
    if (s.loaded && path == s.path && stamp == s.stamp) return;
    s.store.Clear();
    s.path = path;
    s.stamp = stamp;
    s.loaded = true;
    s.damaged = false;
    if (!stamp.exists) return;
    std::string text;
    if (!ReadWholeFile(path, stamp, text)) {
        s.damaged = true;
        return;
    }
    s.damaged = !regtext::Parse(text, s.store);
}

bool MakeFolders(const std::string& filePath) {
    for (size_t pos = filePath.find('/', 1); pos != std::string::npos; pos = filePath.find('/', pos + 1)) {
        std::string folder = filePath.substr(0, pos);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

// Writes the whole store beside the file, flushes it and renames it over
// the file. On failure the old file stays as it was.
DWORD Save(RegistryState& s) {
    if (!MakeFolders(s.path)) return ErrorFromErrno(errno);
    const std::string text = regtext::Format(s.store);
    if (!platform::ReplaceFileContents(s.path.c_str(), text.data(), text.size(), 0600)) return ErrorFromErrno(errno);
    s.stamp = StampOf(s.path);
    return ERROR_SUCCESS;
}

// Saves after a change; when that fails the change is dropped by reading
// the file again, so memory never holds what the file does not.
DWORD Commit(RegistryState& s) {
    DWORD result = Save(s);
    if (result != ERROR_SUCCESS) s.loaded = false;
    return result;
}

bool IsPredefined(HKEY hKey, regtext::Root& root) {
    if (hKey == HKEY_LOCAL_MACHINE) {
        root = regtext::kLocalMachine;
        return true;
    }
    if (hKey == HKEY_CURRENT_USER) {
        root = regtext::kCurrentUser;
        return true;
    }
    return false;
}

// The key behind a handle, with the handle's access and its path.
struct Resolved {
    DWORD error = ERROR_SUCCESS;
    regtext::Key* key = nullptr;
    HKEY__ where{};
};

Resolved Resolve(RegistryState& s, HKEY hKey) {
    Resolved r;
    regtext::Root root;
    if (IsPredefined(hKey, root)) {
        r.where = HKEY__{root, {}, KEY_ALL_ACCESS};
        r.key = &s.store.roots[root];
        return r;
    }
    if (hKey == nullptr || s.handles.count(hKey) == 0) {
        r.error = ERROR_INVALID_HANDLE;
        return r;
    }
    r.where = *hKey;
    regtext::Key* key = &s.store.roots[hKey->root];
    for (const std::string& part : hKey->path) {
        key = key->FindSubkey(part);
        if (key == nullptr) {
            r.error = ERROR_KEY_DELETED;
            return r;
        }
    }
    r.key = key;
    return r;
}

// Under the lock: reads the file again when needed, finds the key and checks
// that the handle allows what the caller is about to do.
Resolved Begin(RegistryState& s, HKEY hKey, REGSAM needed) {
    Refresh(s);
    Resolved r = Resolve(s, hKey);
    if (r.error == ERROR_SUCCESS && (r.where.access & needed) != needed) r.error = ERROR_ACCESS_DENIED;
    return r;
}

std::vector<std::string> SplitSubKey(LPCSTR subKey) {
    std::vector<std::string> parts;
    if (subKey == nullptr) return parts;
    for (std::string_view part : regtext::SplitPath(subKey)) parts.emplace_back(part);
    return parts;
}

// Names go into a line-based text file: no line breaks or other controls.
bool IsStorableName(const std::string& name) {
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20) return false;
    }
    return true;
}

HKEY NewHandle(RegistryState& s, const HKEY__& base, const std::vector<std::string>& parts, REGSAM access) {
    auto* handle = new HKEY__{base.root, base.path, access};
    handle->path.insert(handle->path.end(), parts.begin(), parts.end());
    s.handles.insert(handle);
    return handle;
}

LONG ToLong(DWORD error) { return static_cast<LONG>(error); }

}  // namespace

std::string RegistryFilePath() {
    const char* explicitPath = std::getenv("VOCERRA_REGISTRY");
    if (explicitPath != nullptr && *explicitPath != '\0') return explicitPath;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') return std::string(config) + "/vocerra/registry.reg";
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
        const struct passwd* pw = ::getpwuid(::getuid());
        home = (pw != nullptr && pw->pw_dir != nullptr) ? pw->pw_dir : "/tmp";
    }
    return std::string(home) + "/.config/vocerra/registry.reg";
}

LONG RegOpenKeyExA(HKEY hKey, LPCSTR subKey, DWORD /*options*/, REGSAM samDesired, PHKEY result) {
    if (result == nullptr) return ToLong(ERROR_INVALID_PARAMETER);
    *result = nullptr;
    RegistryState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    Resolved base = Begin(s, hKey, 0);
    if (base.error != ERROR_SUCCESS) return ToLong(base.error);
    std::vector<std::string> parts = SplitSubKey(subKey);
    std::vector<std::string> names;
    regtext::Key* key = base.key;
    for (const std::string& part : parts) {
        key = key->FindSubkey(part);
        if (key == nullptr) return ToLong(ERROR_FILE_NOT_FOUND);
        names.push_back(key->name);
    }
    *result = NewHandle(s, base.where, names, samDesired);
    return ToLong(ERROR_SUCCESS);
}

LONG RegCreateKeyExA(HKEY hKey, LPCSTR subKey, DWORD /*reserved*/, LPSTR /*keyClass*/, DWORD /*options*/,
                     REGSAM samDesired, LPSECURITY_ATTRIBUTES /*security*/, PHKEY result,
                     LPDWORD disposition) {
    if (result == nullptr || subKey == nullptr) return ToLong(ERROR_INVALID_PARAMETER);
    *result = nullptr;
    std::vector<std::string> parts = SplitSubKey(subKey);
    for (const std::string& part : parts) {
        if (!IsStorableName(part)) return ToLong(ERROR_INVALID_PARAMETER);
    }
    RegistryState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    Resolved base = Begin(s, hKey, 0);
    if (base.error != ERROR_SUCCESS) return ToLong(base.error);
    if (base.where.path.size() + parts.size() > regtext::kMaxKeyDepth) return ToLong(ERROR_INVALID_PARAMETER);
    regtext::Key* key = base.key;
    size_t existing = 0;
    while (existing < parts.size() && key->FindSubkey(parts[existing]) != nullptr) {
        key = key->FindSubkey(parts[existing++]);
    }
    bool create = existing < parts.size();
    if (create) {
        if ((base.where.access & KEY_CREATE_SUB_KEY) == 0) return ToLong(ERROR_ACCESS_DENIED);
        if (s.damaged) return ToLong(ERROR_BADDB);
        for (size_t i = existing; i < parts.size(); ++i) key = key->AddSubkey(parts[i]);
        DWORD saved = Commit(s);
        if (saved != ERROR_SUCCESS) return ToLong(saved);
    }
    // The handle keeps the stored spelling of every name.
    std::vector<std::string> names;
    regtext::Key* walk = base.key;
    for (const std::string& part : parts) {
        walk = walk->FindSubkey(part);
        names.push_back(walk->name);
    }
    *result = NewHandle(s, base.where, names, samDesired);
    if (disposition != nullptr) *disposition = create ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ToLong(ERROR_SUCCESS);
}

LONG RegQueryValueExA(HKEY hKey, LPCSTR valueName, LPDWORD /*reserved*/, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize) {
    if (data != nullptr && dataSize == nullptr) return ToLong(ERROR_INVALID_PARAMETER);
    RegistryState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    Resolved r = Begin(s, hKey, KEY_QUERY_VALUE);
    if (r.error != ERROR_SUCCESS) return ToLong(r.error);
    const regtext::Value* value = r.key->FindValue(valueName != nullptr ? valueName : "");
    if (value == nullptr) return ToLong(ERROR_FILE_NOT_FOUND);
    if (type != nullptr) *type = value->type;
    auto size = static_cast<DWORD>(value->data.size());
    if (data != nullptr && *dataSize < size) {
        *dataSize = size;
        return ToLong(ERROR_MORE_DATA);
    }
    if (data != nullptr && size > 0) std::memcpy(data, value->data.data(), size);
    if (dataSize != nullptr) *dataSize = size;
    return ToLong(ERROR_SUCCESS);
}

LONG RegSetValueExA(HKEY hKey, LPCSTR valueName, DWORD /*reserved*/, DWORD type, const BYTE* data,
                    DWORD dataSize) {
    if (data == nullptr && dataSize > 0) return ToLong(ERROR_INVALID_PARAMETER);
    std::string name = valueName != nullptr ? valueName : "";
    if (!IsStorableName(name)) return ToLong(ERROR_INVALID_PARAMETER);
    RegistryState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    Resolved r = Begin(s, hKey, KEY_SET_VALUE);
    if (r.error != ERROR_SUCCESS) return ToLong(r.error);
    if (s.damaged) return ToLong(ERROR_BADDB);
    std::string bytes = dataSize > 0 ? std::string(reinterpret_cast<const char*>(data), dataSize) : std::string();
    r.key->SetValue(name, type, std::move(bytes));
    return ToLong(Commit(s));
}

LONG RegDeleteValueA(HKEY hKey, LPCSTR valueName) {
    std::string name = valueName != nullptr ? valueName : "";
    RegistryState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    Resolved r = Begin(s, hKey, KEY_SET_VALUE);
    if (r.error != ERROR_SUCCESS) return ToLong(r.error);
    if (r.key->FindValue(name) == nullptr) return ToLong(ERROR_FILE_NOT_FOUND);
    if (s.damaged) return ToLong(ERROR_BADDB);
    r.key->RemoveValue(name);
    return ToLong(Commit(s));
}

LONG RegCloseKey(HKEY hKey) {
    regtext::Root root;
    if (IsPredefined(hKey, root)) return ToLong(ERROR_SUCCESS);
    RegistryState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    if (hKey == nullptr || s.handles.erase(hKey) == 0) return ToLong(ERROR_INVALID_HANDLE);
    delete hKey;
    return ToLong(ERROR_SUCCESS);
}
