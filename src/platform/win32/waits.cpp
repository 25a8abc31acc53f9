#include <thread>
#include <vector>

#include "platform/win32/clock.h"
#include "platform/win32/errors.h"
#include "platform/win32/kernel_object.h"
#include "platform/win32/threads.h"

using platform::detail::KernelObject;
using platform::detail::SignalChanged;
using platform::detail::SignalLock;

namespace {

// Index of the object that satisfies the wait, or -1. Under SignalLock().
int Satisfied(const std::vector<std::shared_ptr<KernelObject>>& objects, bool waitAll) {
    if (waitAll) {
        for (const auto& object : objects)
            if (!object->IsSignalled()) return -1;
        for (const auto& object : objects) object->OnWaitSatisfied();
        return 0;
    }
    for (size_t i = 0; i < objects.size(); ++i) {
        if (objects[i]->IsSignalled()) {
            objects[i]->OnWaitSatisfied();
            return static_cast<int>(i);
        }
    }
    return -1;
}

DWORD WaitOn(const std::vector<std::shared_ptr<KernelObject>>& objects, bool waitAll, DWORD milliseconds) {
    auto deadline = platform::detail::DeadlineFor(milliseconds);
    std::unique_lock<std::mutex> lock(SignalLock());
    for (;;) {
        int index = Satisfied(objects, waitAll);
        if (index >= 0) return WAIT_OBJECT_0 + static_cast<DWORD>(index);
        if (!deadline) {
            SignalChanged().wait(lock);
        } else if (SignalChanged().wait_until(lock, *deadline) == std::cv_status::timeout) {
            index = Satisfied(objects, waitAll);
            return index >= 0 ? WAIT_OBJECT_0 + static_cast<DWORD>(index) : WAIT_TIMEOUT;
        }
    }
}

}  // namespace

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    return WaitForMultipleObjects(1, &handle, FALSE, milliseconds);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
    if (count == 0 || count > 64 || handles == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<KernelObject>> objects;
    for (DWORD i = 0; i < count; ++i) {
        auto object = platform::detail::LookupHandle(handles[i]);
        if (!object || !object->IsWaitable()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        objects.push_back(std::move(object));
    }
    return WaitOn(objects, waitAll != FALSE, milliseconds);
}

BOOL CloseHandle(HANDLE handle) {
    if (!platform::detail::RemoveHandle(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

void Sleep(DWORD milliseconds) {
    if (milliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(platform::ScaledToReal(static_cast<double>(milliseconds)));
}
