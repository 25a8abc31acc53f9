// The frame's pieces without a process: the observer chain, the options,
// the single-instance lock, and filing a new call's record.
#include <gtest/gtest.h>

#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "callflow/answer_machine.h"
#include "callflow/toll_saver.h"
#include "platform/win32/win32.h"
#include "shell/call_mediator.h"
#include "shell/command_line.h"
#include "shell/signal_thread.h"
#include "shell/single_instance.h"
#include "shell/subject.h"
#include "store/app_config.h"
#include "store/list.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

namespace {

class Counting : public VM_CObserver {
public:
    explicit Counting(bool handles) : m_handles(handles) {}
    bool VM_OnMessage(HWND, UINT, WPARAM, LPARAM, LRESULT& result) override {
        ++seen;
        result = 7;
        return m_handles;
    }
    int seen = 0;

private:
    bool m_handles;
};

TEST(Subject, FirstHandlerEndsTheWalkExceptForBroadcastsAndTheChainIsBounded) {
    VM_CSubject subject;
    Counting first(true), second(true);
    EXPECT_FALSE(subject.VM_AddObserver(nullptr));
    ASSERT_TRUE(subject.VM_AddObserver(&first));
    ASSERT_TRUE(subject.VM_AddObserver(&second));
    LRESULT result = 0;
    EXPECT_TRUE(subject.VM_Notify(nullptr, VM_MSG_NEW_CALL_RECORD, 0, 0, result));
    EXPECT_EQ(7, result);
    EXPECT_EQ(1, first.seen);
    EXPECT_EQ(0, second.seen) << "handled by the first";
    subject.VM_Notify(nullptr, 0x0005 /* WM_SIZE */, 0, 0, result);
    EXPECT_EQ(1, second.seen) << "broadcast to all";

    std::vector<std::unique_ptr<Counting>> more;
    while (subject.VM_GetCount() < VM_CSubject::kMaxObservers) {
        more.push_back(std::make_unique<Counting>(false));
        ASSERT_TRUE(subject.VM_AddObserver(more.back().get()));
    }
    Counting extra(false);
    EXPECT_FALSE(subject.VM_AddObserver(&extra)) << "the 45th is refused";
    EXPECT_FALSE(subject.VM_RemoveObserver(&extra));
    EXPECT_TRUE(subject.VM_RemoveObserver(&first));
    EXPECT_EQ(VM_CSubject::kMaxObservers - 1, subject.VM_GetCount());
    subject.VM_Notify(nullptr, VM_MSG_NEW_CALL_RECORD, 0, 0, result);
    EXPECT_EQ(2, second.seen) << "the gap is closed";
}

TEST(CommandLine, HeadlessHelpVersionAndErrors) {
    using A = VM_SCommandLine::Action;
    EXPECT_EQ(A::kRunWindowed, VM_ParseCommandLine({}).action);
    EXPECT_EQ(A::kRunHeadless, VM_ParseCommandLine({"--headless"}).action);
    EXPECT_EQ(A::kHelp, VM_ParseCommandLine({"--headless", "--help"}).action);
    EXPECT_EQ(A::kVersion, VM_ParseCommandLine({"--version"}).action);
    const VM_SCommandLine bad = VM_ParseCommandLine({"--headles"});
    EXPECT_EQ(A::kError, bad.action);
    EXPECT_NE(std::string::npos, bad.error.find("--headles"));
    EXPECT_EQ(A::kError, VM_ParseCommandLine({"stray"}).action);
}

// From the moment it is started the signal thread turns a stop signal into
// one quit request, and it can be stopped at once.
TEST(SignalThreadConcurrency, StartedThreadTakesEachSignalAndStopsAtAnyMoment) {
    // Stop signals go to the signal thread alone; its wake-up signal is left
    // open here, as a test program may.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = [](HWND hwnd, UINT msg, WPARAM w, LPARAM l) { return DefWindowProcA(hwnd, msg, w, l); };
    wc.lpszClassName = "VocerraSignalTest";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, hwnd);
    for (int i = 0; i < 200; ++i) {
        VM_CSignalThread signals;
        signals.VM_Start(hwnd);
        if (i % 2 == 0) continue;  // stopped before it may even have run
        ASSERT_EQ(0, kill(getpid(), i % 4 == 1 ? SIGTERM : SIGINT));
        MSG msg{};
        // Real time only bounds a request that never comes.
        for (int wait = 0; wait < 20000 && !PeekMessageA(&msg, hwnd, 0, 0, PM_REMOVE); ++wait) Sleep(1);
        ASSERT_EQ(VM_MSG_QUIT_REQUEST, msg.message) << "round " << i;
        EXPECT_EQ(static_cast<WPARAM>(i % 4 == 1 ? SIGTERM : SIGINT), msg.wParam);
    }
    MSG extra;
    EXPECT_FALSE(PeekMessageA(&extra, hwnd, 0, 0, PM_REMOVE)) << "one signal, one request";
    DestroyWindow(hwnd);
}

TEST(SingleInstance, SecondLockIsRefusedAndAFolderOthersCanEnterIsNotUsed) {
    testsupport::TempDir dir;
    const std::string folder = dir.file("run");
    {
        VM_CSingleton first(folder);
        ASSERT_TRUE(first.VM_GetError().empty()) << first.VM_GetError();
        EXPECT_FALSE(first.VM_AnotherInstance());
        VM_CSingleton second(folder);
        EXPECT_TRUE(second.VM_AnotherInstance());
    }
    VM_CSingleton afterwards(folder);
    EXPECT_FALSE(afterwards.VM_AnotherInstance()) << "the lock goes with its holder";

    const std::string open = dir.file("open");
    ASSERT_EQ(0, mkdir(open.c_str(), 0755));
    VM_CSingleton exposed(open);
    EXPECT_FALSE(exposed.VM_GetError().empty());
    EXPECT_FALSE(exposed.VM_AnotherInstance());
}

class Filing : public ::testing::Test {
protected:
    Filing() : m_cfg(m_dir.path().c_str()) {}

    VM_CCallInfo* Record(const char* number, DWORD flags = 0) {
        auto* record = new VM_CCallInfo();
        record->VM_SetAttr(VM_CCallInfo::kAttrNumber, number);
        if (flags != 0) record->VM_AddFlags(flags);
        return record;
    }
    int Stored(int folder) {
        std::unique_ptr<char[]> file(m_cfg.VM_GetMessageListFileName(folder));
        VM_CCallInfo prototype;
        VM_CList list(&prototype, file.get(), 0);
        return list.VM_GetCount();
    }

    testsupport::TempDir m_dir;
    VM_CAppCfg m_cfg;
    VM_CTollSaver m_tollSaver;
    std::vector<VM_SFiledCall> m_filed;
};

TEST_F(Filing, RecordThatCannotBeSavedIsReportedAndTheTollSaverIsLeftAlone) {
    VM_CCallMediator mediator(&m_cfg, &m_tollSaver);
    mediator.VM_SetFiledListener([this](const VM_SFiledCall& call) { m_filed.push_back(call); });
    {
        storetest::FileSizeLimit full(0);  // the disk is full
        mediator.VM_OnNewCallRecord(m_cfg.m_idInbox, Record("5550100"));
    }
    ASSERT_EQ(1u, m_filed.size());
    EXPECT_FALSE(m_filed[0].filed);
    EXPECT_NE(std::string::npos, VM_DescribeFiledCall(m_filed[0]).find("NOT FILED"));
    EXPECT_EQ(1, m_tollSaver.VM_GetNoNewMessages());
}

TEST_F(Filing, NewRecordsJoinTheirFolderAndTellTheTollSaver) {
    VM_CCallMediator mediator(&m_cfg, &m_tollSaver);
    mediator.VM_SetFiledListener([this](const VM_SFiledCall& call) { m_filed.push_back(call); });
    LRESULT result = 0;
    EXPECT_TRUE(mediator.VM_OnMessage(nullptr, VM_MSG_NEW_CALL_RECORD, static_cast<WPARAM>(m_cfg.m_idInbox),
                                      reinterpret_cast<LPARAM>(Record("5550100")), result));
    mediator.VM_OnNewCallRecord(m_cfg.m_idBulkCall, Record("5550101", VM_CCallInfo::kFlagBlocked));
    EXPECT_EQ(1, Stored(m_cfg.m_idInbox));
    EXPECT_EQ(1, Stored(m_cfg.m_idBulkCall));
    EXPECT_EQ(0, m_tollSaver.VM_GetNoNewMessages());
    ASSERT_EQ(2u, m_filed.size());
    EXPECT_NE(std::string::npos, VM_DescribeFiledCall(m_filed[0]).find("no message"));
    EXPECT_NE(std::string::npos, VM_DescribeFiledCall(m_filed[1]).find("blocked"));
    EXPECT_FALSE(mediator.VM_OnMessage(nullptr, VM_MSG_USER_HANGUP, 0, 0, result));
}

TEST_F(Filing, RemoteDeleteOfAnUnknownRecordLeavesEverythingAsItWas) {
    VM_CCallMediator mediator(&m_cfg, &m_tollSaver);
    mediator.VM_OnNewCallRecord(m_cfg.m_idInbox, Record("5550100"));
    bool told = false, done = true;
    mediator.VM_SetDeletedListener([&](int, int32_t, bool ok) {
        told = true;
        done = ok;
    });
    LRESULT result = 0;
    EXPECT_TRUE(mediator.VM_OnMessage(nullptr, VM_MSG_REMOTE_DELETE, static_cast<WPARAM>(m_cfg.m_idInbox), 999, result));
    EXPECT_TRUE(told);
    EXPECT_FALSE(done);
    EXPECT_EQ(1, Stored(m_cfg.m_idInbox));
    EXPECT_TRUE(mediator.VM_OnRemoteDelete(m_cfg.m_idInbox, 1));
    EXPECT_EQ(0, Stored(m_cfg.m_idInbox));
    EXPECT_EQ(1, Stored(m_cfg.m_idDeleted));
}

}  // namespace
