// Internal: objects behind HANDLE values (threads, events, find handles).
// Handles are small numbers looked up in a table, so a stale or forged
// handle is refused instead of being dereferenced.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/win32/types.h"

namespace platform::detail {

class KernelObject {
public:
    virtual ~KernelObject() = default;
    // Waitable objects answer under the signal lock (see SignalLock).
    virtual bool IsWaitable() const { return false; }
    virtual bool IsSignalled() const { return false; }
    // Called under the signal lock when a wait on this object succeeds.
    virtual void OnWaitSatisfied() {}
};

// Every waitable object's state changes under this one lock and wakes every
// waiter, so a wait on several objects needs no per-object bookkeeping.
std::mutex& SignalLock();
std::condition_variable& SignalChanged();

HANDLE InsertHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);
bool RemoveHandle(HANDLE handle);

template <typename T>
std::shared_ptr<T> LookupAs(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}

// Deadline for a scaled time-out in milliseconds; none for INFINITE.
std::optional<std::chrono::steady_clock::time_point> DeadlineFor(DWORD milliseconds);

}  // namespace platform::detail
