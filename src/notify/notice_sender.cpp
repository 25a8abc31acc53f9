#include "notify/notice_sender.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "diag/trace.h"
#include "notify/new_call_notice.h"
#include "platform/win32/messages.h"
#include "store/call_info.h"

namespace {

// One record on its way through the notice step.
struct Job {
    int folderId = -1;
    VM_CCallInfo* record = nullptr;
    bool due = false;
    VM_SNotice notice;
    DWORD flags = 0;  // set by the worker, read after the completion message
};

constexpr DWORD kNotSent = VM_CCallInfo::kFlagNotify | VM_CCallInfo::kFlagNotifyFailed;

}  // namespace

struct VM_CNoticeSender::Impl {
    explicit Impl(HWND window) : hwnd(window) {}

    void Run();
    void Finish(Job* job);

    HWND hwnd;
    std::mutex lock;  // guards queue and stopping
    std::condition_variable wake;
    std::deque<Job*> queue;
    bool stopping = false;
    std::atomic<bool> abort{false};
    std::thread worker;
    int pending = 0;  // main thread only
};

void VM_CNoticeSender::Impl::Run() {
    for (;;) {
        Job* job = nullptr;
        {
            std::unique_lock<std::mutex> guard(lock);
            wake.wait(guard, [this] { return stopping || !queue.empty(); });
            if (queue.empty()) return;
            job = queue.front();
            queue.pop_front();
        }
        if (job->due) job->flags = abort.load() ? kNotSent : VM_SendNotice(job->notice, &abort);
        Finish(job);
    }
}

void VM_CNoticeSender::Impl::Finish(Job* job) {
    if (PostMessageA(hwnd, VM_MSG_NOTICE_DONE, 0, reinterpret_cast<LPARAM>(job))) return;
    // The window is gone: nobody can file the record any more.
    VM_TRACE(g_bTraceTapi, "VM_CNoticeSender: the main window is gone, a call record is dropped");
    delete job->record;
    delete job;
}

VM_CNoticeSender::VM_CNoticeSender(HWND hwndMain) : m_impl(std::make_unique<Impl>(hwndMain)) {}

VM_CNoticeSender::~VM_CNoticeSender() { VM_Stop(); }

bool VM_CNoticeSender::VM_Begin(const VM_CAppCfg& cfg, int folderId, VM_CCallInfo* record) {
    if (record == nullptr) return false;
    const bool due = VM_DecideNotice(cfg, *record);
    if (m_impl->abort.load()) {
        if (due) record->VM_AddFlags(kNotSent);
        return false;
    }
    // A record with nothing to send still waits behind earlier ones, so
    // records are filed in the order the calls ended.
    if (!due && m_impl->pending == 0) return false;
    auto job = std::make_unique<Job>();
    job->folderId = folderId;
    job->record = record;
    job->due = due;
    if (due) job->notice = VM_PrepareNotice(cfg, *record);
    if (!m_impl->worker.joinable()) m_impl->worker = std::thread([impl = m_impl.get()] { impl->Run(); });
    {
        std::lock_guard<std::mutex> guard(m_impl->lock);
        m_impl->queue.push_back(job.release());
    }
    m_impl->wake.notify_one();
    ++m_impl->pending;
    return true;
}

VM_SNoticeDone VM_CNoticeSender::VM_Finish(LPARAM lParam) {
    std::unique_ptr<Job> job(reinterpret_cast<Job*>(lParam));
    if (!job) return {};
    if (job->due) job->record->VM_AddFlags(job->flags);
    if (m_impl->pending > 0) --m_impl->pending;
    return {job->folderId, job->record};
}

int VM_CNoticeSender::VM_GetPendingCount() const { return m_impl->pending; }

void VM_CNoticeSender::VM_Stop() {
    m_impl->abort = true;
    {
        std::lock_guard<std::mutex> guard(m_impl->lock);
        m_impl->stopping = true;
    }
    m_impl->wake.notify_one();
    if (m_impl->worker.joinable()) m_impl->worker.join();
}
