#include "platform/win32/kernel_object.h"

#include <unordered_map>

#include "platform/win32/clock.h"
#include "platform/win32/errors.h"

namespace platform::detail {

namespace {

struct HandleTable {
    std::mutex lock;
    std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> objects;
    // Even numbers well above the pseudo-handles (-1, -2) and NULL.
    std::uintptr_t next = 0x1000;
};

HandleTable& Table() {
    static HandleTable* table = new HandleTable;  // outlives every thread
    return *table;
}

}  // namespace

std::mutex& SignalLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

std::condition_variable& SignalChanged() {
    static std::condition_variable* cv = new std::condition_variable;
    return *cv;
}

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
    HandleTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    std::uintptr_t value = table.next;
    table.next += 4;
    table.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
    HandleTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    auto it = table.objects.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == table.objects.end()) return nullptr;
    return it->second;
}

bool RemoveHandle(HANDLE handle) {
    std::shared_ptr<KernelObject> doomed;  // destroyed outside the table lock
    HandleTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    auto it = table.objects.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == table.objects.end()) return false;
    doomed = std::move(it->second);
    table.objects.erase(it);
    return true;
}

std::optional<std::chrono::steady_clock::time_point> DeadlineFor(DWORD milliseconds) {
    if (milliseconds == INFINITE) return std::nullopt;
    return std::chrono::steady_clock::now() +
           std::chrono::duration_cast<std::chrono::steady_clock::duration>(
               ScaledToReal(static_cast<double>(milliseconds)));
}

}  // namespace platform::detail
