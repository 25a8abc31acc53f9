#include "shell/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "lines/sim/sim_line_protocol.h"
#include "platform/win32/messages.h"

namespace {

// The folder must be ours and closed to others, or another user could
// hold our lock.
bool PrivateFolder(const std::string& folder, std::string& error) {
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "cannot create " + folder + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error = folder + " is not a folder";
        return false;
    }
    if (st.st_uid != geteuid() || (st.st_mode & 077) != 0) {
        error = folder + " is not private to this user";
        return false;
    }
    return true;
}

}  // namespace

VM_CSingleton::VM_CSingleton(const std::string& folder)
    : m_uFindMessage(RegisterWindowMessageA("TODO:VM_SUPPOSE_TO_BE_UNIQUE")) {
    const std::string dir = folder.empty() ? simline::RemoteSocketFolder() : folder;
    if (!PrivateFolder(dir, m_error)) return;
    m_folder = dir;
    m_path = dir + "/instance.lock";
    m_fd = open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0) {
        m_error = "cannot open " + m_path + ": " + std::strerror(errno);
        return;
    }
    if (flock(m_fd, LOCK_EX | LOCK_NB) == 0) return;
    if (errno == EWOULDBLOCK) m_bAnother = true;
    else m_error = "cannot lock " + m_path + ": " + std::strerror(errno);
    close(m_fd);
    m_fd = -1;
}

VM_CSingleton::~VM_CSingleton() {
    if (m_fd >= 0) close(m_fd);
}

bool VM_CSingleton::VM_OnMessage(HWND /*window*/, UINT message, WPARAM /*wParam*/, LPARAM /*lParam*/,
                                 LRESULT& result) {
    if (message != m_uFindMessage) return false;
    result = static_cast<LRESULT>(message);
    return true;
}
