#include "diag/user_notice.h"

#include <atomic>
#include <cstdio>

namespace {

std::atomic<VM_UserNoticeHandler> g_handler{nullptr};

}  // namespace

VM_UserNoticeHandler VM_SetUserNoticeHandler(VM_UserNoticeHandler handler) { return g_handler.exchange(handler); }

void VM_NoticeForUser(const char* text) {
    if (text == nullptr) return;
    if (VM_UserNoticeHandler handler = g_handler.load()) {
        handler(text);
        return;
    }
    std::fprintf(stderr, "Vocerra: %s\n", text);
}
