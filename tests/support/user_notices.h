// Collects the notices for the user given while the object lives, instead of
// printing them.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "diag/user_notice.h"

namespace testsupport {

class UserNotices {
public:
    UserNotices() { m_previous = VM_SetUserNoticeHandler(&UserNotices::Take); }
    ~UserNotices() {
        VM_SetUserNoticeHandler(m_previous);
        std::lock_guard<std::mutex> guard(Lock());
        Texts().clear();
    }
    UserNotices(const UserNotices&) = delete;
    UserNotices& operator=(const UserNotices&) = delete;

    std::vector<std::string> texts() const {
        std::lock_guard<std::mutex> guard(Lock());
        return Texts();
    }

private:
    static std::mutex& Lock() {
        static std::mutex lock;
        return lock;
    }
    static std::vector<std::string>& Texts() {
        static std::vector<std::string> texts;
        return texts;
    }
    static void Take(const char* text) {
        std::lock_guard<std::mutex> guard(Lock());
        Texts().push_back(text);
    }

    VM_UserNoticeHandler m_previous = nullptr;
};

}  // namespace testsupport
