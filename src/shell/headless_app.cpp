#include "shell/headless_app.h"

#include <sys/stat.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "callflow/answer_machine.h"
#include "callflow/main_window.h"
#include "callflow/modem_table.h"
#include "callflow/toll_saver.h"
#include "diag/user_notice.h"
#include "platform/alsa/alsa_sound_cards.h"
#include "platform/win32/win32.h"
#include "shell/call_mediator.h"
#include "shell/instance_requests.h"
#include "shell/instance_socket.h"
#include "shell/line_choice.h"
#include "shell/line_services.h"
#include "shell/signal_thread.h"
#include "shell/single_instance.h"
#include "shell/subject.h"
#include "shell/terminal_text.h"
#include "store/app_config.h"
#include "store/folder_tree_model.h"
#include "store/message_recovery.h"
#include "store/tree_node.h"

namespace {

constexpr const char* kWindowClass = "VocerraHeadlessWindow";

std::string ClockText() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y/%m/%d, %H:%M:%S", &local);
    return text;
}

// Whoever reads the output may have gone (`| head`): the calls are still
// answered and filed, so a failed write is let go.
void PrintLine(std::FILE* out, const std::string& line) {
    std::fprintf(out, "%s\n", VM_EscapeControls(line).c_str());
    std::fflush(out);
    clearerr(out);
}

// Run by systemd with the stream going to the journal ($JOURNAL_STREAM names
// it), a line that starts with "<7>" is filed at debug level, which the
// user unit does not keep: its journal holds the calls and what went wrong.
bool GoesToJournal(std::FILE* stream) {
    const char* names = std::getenv("JOURNAL_STREAM");
    unsigned long long device = 0, inode = 0;
    struct stat st {};
    return names != nullptr && std::sscanf(names, "%llu:%llu", &device, &inode) == 2 &&
           ::fstat(::fileno(stream), &st) == 0 && st.st_dev == device && st.st_ino == inode;
}

// Notices come from any thread (the SIP line's registration from its own).
std::atomic<std::FILE*> g_noticeOut{nullptr};

void PrintNotice(const char* text) {
    if (std::FILE* out = g_noticeOut.load()) PrintLine(out, ClockText() + "  " + text);
}

// Notices go to the log, stamped like its other lines, while the frame runs.
class NoticesToLog {
public:
    explicit NoticesToLog(std::FILE* log) {
        g_noticeOut = log;
        m_previous = VM_SetUserNoticeHandler(PrintNotice);
    }
    ~NoticesToLog() {
        VM_SetUserNoticeHandler(m_previous);
        g_noticeOut = nullptr;
    }
    NoticesToLog(const NoticesToLog&) = delete;
    NoticesToLog& operator=(const NoticesToLog&) = delete;

private:
    VM_UserNoticeHandler m_previous = nullptr;
};

class HeadlessFrame : public VM_CObserver {
public:
    explicit HeadlessFrame(const VM_SHeadlessOutput& output) : m_out(output), m_bJournal(GoesToJournal(output.log)) {}
    int Run();
    bool VM_OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool CreateMainWindow();
    bool StartUp();
    void PrepareFolders();
    void OnQuitRequest();
    void ServeInstanceSocket(const std::string& folder);
    void StopAnswering();
    void Log(const std::string& line) { PrintLine(m_out.log, ClockText() + "  " + line); }
    // A call's progress, which the journal keeps only at debug level.
    void Progress(const std::string& line) {
        PrintLine(m_out.log, (m_bJournal ? "<7>" : "") + ClockText() + "  " + line);
    }

    VM_SHeadlessOutput m_out;
    bool m_bJournal;
    HWND m_hWnd = nullptr;
    VM_CSubject m_subject;
    std::unique_ptr<VM_CAppCfg> m_cfg;
    VM_CTollSaver m_tollSaver;
    std::unique_ptr<VM_CCallMediator> m_mediator;
    std::unique_ptr<VM_CAnswerMachine> m_machine;
    VM_CInstanceListener m_listener;
    int m_nQuitRequests = 0;
    bool m_bStopping = false;
};

HeadlessFrame* g_frame = nullptr;

LRESULT CALLBACK HeadlessFrame::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (g_frame != nullptr && g_frame->m_subject.VM_Notify(hwnd, message, wParam, lParam, result)) return result;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

bool HeadlessFrame::CreateMainWindow() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = WindowProc;
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);
    m_hWnd = CreateWindowExA(0, kWindowClass, "Vocerra", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (m_hWnd == nullptr) return false;
    VM_SetMainWindow(m_hWnd);
    return true;
}

// The folders every call is filed by, made on first run.
void HeadlessFrame::PrepareFolders() {
    for (VM_ETreeKind kind : {VM_ETreeKind::kMessages, VM_ETreeKind::kAddresses}) {
        std::unique_ptr<char[]> file(m_cfg->VM_GetTreeFileName(kind == VM_ETreeKind::kMessages ? 1 : 2));
        if (!file) continue;
        VM_CTree tree(new VM_CTreeItem, file.get());
        VM_AddDefaultFolders(tree, kind, *m_cfg);
    }
}


bool HeadlessFrame::StartUp() {
    VM_CAnswerMachine::VM_EnumerateModems();
    PrepareFolders();
    // Messages of calls the last run did not live to file join the Inbox
    // before the line is answered again.
    VM_RecoverInterruptedMessages(*m_cfg);
    if (!VM_ChooseVoiceLine(*m_cfg, true)) {
        Log("No voice modem or line found: nothing to answer on.");
        return false;
    }
    // Running without windows is for answering: the answer switch is on.
    m_cfg->VM_SetFlag(true, VM_FLAG_ANSWERING);
    const bool started = m_machine->VM_Start();
    if (!started) m_cfg->VM_SetFlag(false, VM_FLAG_ANSWERING);
    m_cfg->VM_Save();
    if (!started) {
        Log("The line " + std::to_string(m_cfg->m_idLine) + " cannot be opened; answering is off.");
        return false;
    }
    const VM_SModemEntry* modem = VM_FindVoiceModem(m_cfg->m_idLine);
    PrintLine(m_out.log, "Vocerra answering on line " + std::to_string(m_cfg->m_idLine) + " (" +
                               (modem != nullptr ? modem->szName : "?") + "), program folder " + m_cfg->m_szHome);
    return true;
}

int HeadlessFrame::Run() {
    VM_CSignalThread::VM_BlockInThisThread();
    // A reader that closes the pipe must not end the answering with it.
    std::signal(SIGPIPE, SIG_IGN);
    VM_CSingleton guard;
    if (guard.VM_AnotherInstance()) {
        PrintLine(m_out.log, "Vocerra is already running for this user; this copy ends.");
        return 1;
    }
    if (!guard.VM_GetError().empty()) {
        PrintLine(m_out.log, "Vocerra cannot start: " + guard.VM_GetError());
        return 1;
    }
    alsa::InstallSoundCards();
    NoticesToLog notices(m_out.log);
    VM_CLineServices lines;
    std::string error;
    if (!lines.VM_Start(&error)) {
        PrintLine(m_out.log, "Vocerra cannot start: " + error);
        return 1;
    }
    m_cfg = std::make_unique<VM_CAppCfg>();
    if (m_cfg->m_szHome == nullptr || !CreateMainWindow()) {
        PrintLine(m_out.log, "Vocerra cannot start: no program folder or main window.");
        return 1;
    }
    m_mediator = std::make_unique<VM_CCallMediator>(m_cfg.get(), &m_tollSaver, m_hWnd);
    m_mediator->VM_SetFiledListener(
        [this](const VM_SFiledCall& call) { PrintLine(m_out.calls, VM_DescribeFiledCall(call)); });
    m_machine = std::make_unique<VM_CAnswerMachine>(&m_tollSaver, m_hWnd, m_cfg.get());
    m_machine->VM_SetCallerIDDlgMaker([this](HWND parent, VM_CAnswerMachine* owner) {
        return std::make_unique<VM_CCallerIDLog>(parent, owner, [this](const std::string& line) { Progress(line); });
    });
    m_subject.VM_AddObserver(&guard);
    m_subject.VM_AddObserver(m_mediator.get());
    m_subject.VM_AddObserver(this);
    m_subject.VM_AddObserver(m_machine.get());
    g_frame = this;

    int code = 1;
    if (StartUp()) {
        VM_CSignalThread signals;
        signals.VM_Start(m_hWnd);
        ServeInstanceSocket(guard.VM_GetFolder());
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        m_listener.VM_Stop();
        signals.VM_Stop();
        code = 0;
    }
    StopAnswering();
    m_machine.reset();
    g_frame = nullptr;
    DestroyWindow(m_hWnd);
    lines.VM_Stop();
    return code;
}

// The call in progress is ended and its record, posted on the way, filed
// before the frame goes.
void HeadlessFrame::StopAnswering() {
    VM_StopAnsweringAndFile(
        m_machine.get(),
        [](void* mediator) {
            if (mediator != nullptr) static_cast<VM_CCallMediator*>(mediator)->VM_StopNotices();
        },
        m_mediator.get());
}

// `vocerra config set` reaches this copy here, so a change is made by the
// one writer of the file and never lost to its next save.
void HeadlessFrame::ServeInstanceSocket(const std::string& folder) {
    std::string error;
    if (!m_listener.VM_Start(folder, m_hWnd, &error)) Log("Settings cannot be changed while running: " + error);
}

void HeadlessFrame::OnQuitRequest() {
    ++m_nQuitRequests;
    if (!m_machine->VM_HasCall() || m_nQuitRequests > 2) {
        m_machine->VM_Stop();
        PostQuitMessage(0);
        return;
    }
    m_bStopping = true;
    if (m_nQuitRequests == 1) {
        Log("Stopping once the call in progress has ended (signal again to end it now).");
        return;
    }
    Log("Ending the call in progress.");
    PostMessageA(m_hWnd, VM_MSG_USER_HANGUP, m_machine->VM_Self(), 0);
}

bool HeadlessFrame::VM_OnMessage(HWND /*window*/, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case VM_MSG_QUIT_REQUEST:
        OnQuitRequest();
        result = 0;
        return true;
    case VM_MSG_CALL_ENDED:
        if (wParam == m_machine->VM_Self() && lParam == VM_CALL_NOT_LOGGED)
            PrintLine(m_out.calls, ClockText() + "  call not logged (remote retrieval)");
        return false;
    case VM_MSG_INSTANCE_REQUEST: {
        VM_SRunningCopy copy;
        copy.cfg = m_cfg.get();
        copy.apply = [this](VM_EConfigEffect effect) {
            return VM_ApplyConfigEffect(*m_cfg, m_machine.get(), effect);
        };
        copy.log = [this](const std::string& line) { Log(line); };
        m_listener.VM_Answer(wParam, [&copy](const std::string& request) {
            return VM_AnswerInstanceRequest(request, copy);
        });
        result = 0;
        return true;
    }
    case VM_MSG_RESTART_LINE:
        if (!m_bStopping || wParam != m_machine->VM_Self()) return false;
        // The line is not reopened: the call that held the stop has ended.
        m_machine->VM_Stop();
        PostQuitMessage(0);
        result = 0;
        return true;
    default:
        return false;
    }
}

}  // namespace

int VM_RunHeadless(const VM_SHeadlessOutput& output) {
    HeadlessFrame frame(output);
    return frame.Run();
}
