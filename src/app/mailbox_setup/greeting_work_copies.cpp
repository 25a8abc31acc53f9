#include "app/mailbox_setup/greeting_work_copies.h"

#include <memory>

#include "diag/trace.h"
#include "platform/win32/files.h"
#include "store/app_config.h"

namespace {

std::string Take(char* owned) {
    std::unique_ptr<char[]> hold(owned);
    return hold ? std::string(hold.get()) : std::string();
}

bool Exists(const std::string& path) {
    return !path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

VM_CGreetingWorkCopies::VM_CGreetingWorkCopies(VM_CAppCfg& cfg, const std::function<void(int)>& progress)
    : m_cfg(cfg) {
    // Every name is reserved before any is given up: a temporary name that
    // is deleted at once would be handed out again, and two greetings would
    // share one work copy.
    for (std::string& path : m_paths) path = Take(m_cfg.VM_GetTempFileName());
    for (int i = 0; i < kCount; ++i) {
        const std::string real = VM_RealPath(i);
        // Without a real greeting (or a copy of it) the work copy must not
        // exist, so the page offers recording only.
        if (!m_paths[i].empty() && !(Exists(real) && CopyFileA(real.c_str(), m_paths[i].c_str(), FALSE)))
            DeleteFileA(m_paths[i].c_str());
        if (progress) progress(i + 1);
    }
}

VM_CGreetingWorkCopies::~VM_CGreetingWorkCopies() {
    for (const std::string& path : m_paths)
        if (!path.empty()) DeleteFileA(path.c_str());
}

const std::string& VM_CGreetingWorkCopies::VM_GetPath(int index) const { return m_paths.at(index); }

bool VM_CGreetingWorkCopies::VM_Exists(int index) const { return Exists(m_paths.at(index)); }

std::string VM_CGreetingWorkCopies::VM_RealPath(int index) const {
    return Take(index == kMain ? m_cfg.VM_GetMainGreetingFileName() : m_cfg.VM_GetMailboxGreetingFileName(index));
}

bool VM_CGreetingWorkCopies::VM_CommitAll() {
    bool ok = true;
    for (int i = 0; i < kCount; ++i) {
        if (!VM_Exists(i)) continue;
        const std::string real = VM_RealPath(i);
        // The copy lands beside the old greeting and replaces it whole.
        if (real.empty() || !CopyFileA(m_paths[i].c_str(), real.c_str(), FALSE)) {
            VM_TRACE(g_bTraceAudio, "VM_CGreetingWorkCopies::VM_CommitAll: greeting %d not replaced", i);
            ok = false;
        }
    }
    return ok;
}
