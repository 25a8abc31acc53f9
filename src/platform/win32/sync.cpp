#include "platform/win32/sync.h"

#include <mutex>

#include "platform/win32/errors.h"
#include "platform/win32/kernel_object.h"

using platform::detail::KernelObject;
using platform::detail::SignalChanged;
using platform::detail::SignalLock;

namespace {

class Event : public KernelObject {
public:
    Event(bool manualReset, bool signalled) : m_manualReset(manualReset), m_signalled(signalled) {}
    bool IsWaitable() const override { return true; }
    bool IsSignalled() const override { return m_signalled; }
    void OnWaitSatisfied() override {
        if (!m_manualReset) m_signalled = false;
    }
    void Set(bool signalled) { m_signalled = signalled; }

private:
    const bool m_manualReset;
    bool m_signalled;  // under SignalLock()
};

BOOL ChangeEvent(HANDLE hEvent, bool signalled) {
    auto event = platform::detail::LookupAs<Event>(hEvent);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    {
        std::lock_guard<std::mutex> guard(SignalLock());
        event->Set(signalled);
    }
    if (signalled) SignalChanged().notify_all();
    return TRUE;
}

std::recursive_mutex* MutexOf(LPCRITICAL_SECTION cs) {
    return static_cast<std::recursive_mutex*>(cs->impl);
}

}  // namespace

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR) {
    return platform::detail::InsertHandle(std::make_shared<Event>(manualReset != FALSE, initialState != FALSE));
}

BOOL SetEvent(HANDLE hEvent) { return ChangeEvent(hEvent, true); }

BOOL ResetEvent(HANDLE hEvent) { return ChangeEvent(hEvent, false); }

void InitializeCriticalSection(LPCRITICAL_SECTION cs) { cs->impl = new std::recursive_mutex; }

void DeleteCriticalSection(LPCRITICAL_SECTION cs) {
    delete MutexOf(cs);
    cs->impl = nullptr;
}

void EnterCriticalSection(LPCRITICAL_SECTION cs) { MutexOf(cs)->lock(); }

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION cs) { return MutexOf(cs)->try_lock() ? TRUE : FALSE; }

void LeaveCriticalSection(LPCRITICAL_SECTION cs) { MutexOf(cs)->unlock(); }

LONG InterlockedIncrement(LONG volatile* value) { return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST); }

LONG InterlockedDecrement(LONG volatile* value) { return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST); }

LONG InterlockedExchange(LONG volatile* target, LONG value) {
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
