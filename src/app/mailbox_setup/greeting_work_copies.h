// The greetings the mailbox set-up works on: a temporary copy of the main
// greeting and of each mailbox greeting, recorded over on the pages and
// copied back only when the user confirms. The copies go with the object.
#pragma once

#include <array>
#include <functional>
#include <string>

class VM_CAppCfg;

class VM_CGreetingWorkCopies {
public:
    static constexpr int kMailboxes = 10;
    static constexpr int kMain = kMailboxes;  // the index of the main greeting
    static constexpr int kCount = kMailboxes + 1;

    // Copies every greeting that exists; progress(done) after each one.
    VM_CGreetingWorkCopies(VM_CAppCfg& cfg, const std::function<void(int)>& progress = {});
    ~VM_CGreetingWorkCopies();
    VM_CGreetingWorkCopies(const VM_CGreetingWorkCopies&) = delete;
    VM_CGreetingWorkCopies& operator=(const VM_CGreetingWorkCopies&) = delete;

    // The work copy's path (empty when none could be made) and whether a
    // greeting is in it now.
    const std::string& VM_GetPath(int index) const;
    bool VM_Exists(int index) const;
    // Copies each work copy that holds a greeting over its real greeting;
    // a copy that fails leaves that greeting as it was. False when any failed.
    bool VM_CommitAll();

private:
    VM_CAppCfg& m_cfg;
    std::array<std::string, kCount> m_paths;

    std::string VM_RealPath(int index) const;
};
