#include "shell/call_mediator.h"

#include <cstdio>
#include <cstdlib>

#include "audio/wave_file.h"
#include "callflow/answer_machine.h"
#include "callflow/toll_saver.h"
#include "diag/trace.h"
#include "shell/call_hook.h"
#include "store/app_config.h"
#include "store/call_filing.h"
#include "store/deleted_messages.h"
#include "store/stored_file.h"

namespace {

std::string Text(const char* text) { return text != nullptr ? text : ""; }

// Whole seconds of sound in a WAVE file, rounded; 0 when it cannot be read.
int RecordingSeconds(const std::string& path) {
    if (path.empty()) return 0;
    VM_CWaveFile file(path.c_str(), VM_WAVE_MODE_READ);
    const WAVEFORMATEX* format = file.VM_GetFormat();
    if (!file.VM_IsOpen() || format == nullptr || format->nAvgBytesPerSec == 0) return 0;
    return static_cast<int>((file.VM_GetDataSize() + format->nAvgBytesPerSec / 2) / format->nAvgBytesPerSec);
}

VM_SFiledCall Describe(int folderId, VM_CCallInfo& record) {
    VM_SFiledCall call;
    call.folderId = folderId;
    call.time = Text(record.VM_GetAttr(VM_CCallInfo::kAttrTime));
    call.name = Text(record.VM_GetAttr(VM_CCallInfo::kAttrName));
    call.number = Text(record.VM_GetAttr(VM_CCallInfo::kAttrNumber));
    call.flags = record.VM_GetFlags();
    // Read without VM_GetMailbox, which would store a "0" in the record.
    call.mailbox = std::atoi(Text(record.VM_GetAttr(VM_CCallInfo::kAttrMailbox)).c_str());
    call.lengthSeconds = record.VM_GetLength();
    call.recording = Text(record.VM_GetWaveFile());
    call.messageSeconds = RecordingSeconds(call.recording);
    return call;
}

}  // namespace

VM_CCallMediator::VM_CCallMediator(VM_CAppCfg* cfg, VM_CTollSaver* tollSaver, HWND mainWindow)
    : m_pCfg(cfg), m_pTollSaver(tollSaver) {
    if (mainWindow == nullptr) return;
    m_notices = std::make_unique<VM_CNoticeSender>(mainWindow);
    m_hook = std::make_unique<VM_CCallHook>();
}

VM_CCallMediator::~VM_CCallMediator() = default;

void VM_CCallMediator::VM_StopNotices() {
    if (m_notices) m_notices->VM_Stop();
}

bool VM_CCallMediator::VM_OnMessage(HWND /*window*/, UINT message, WPARAM wParam, LPARAM lParam,
                                    LRESULT& result) {
    if (message == VM_MSG_NEW_CALL_RECORD) {
        VM_OnNewCallRecord(static_cast<int>(wParam), reinterpret_cast<VM_CCallInfo*>(lParam));
        result = 0;
        return true;
    }
    if (message == VM_MSG_NOTICE_DONE && m_notices) {
        const VM_SNoticeDone done = m_notices->VM_Finish(lParam);
        VM_FileRecord(done.folderId, done.record);
        result = 0;
        return true;
    }
    if (message == VM_MSG_REMOTE_DELETE) {
        VM_OnRemoteDelete(static_cast<int>(wParam), static_cast<int32_t>(lParam));
        result = 0;
        return true;
    }
    return false;
}

void VM_CCallMediator::VM_OnNewCallRecord(int folderId, VM_CCallInfo* record) {
    if (record == nullptr) return;
    if (m_pCfg == nullptr) {
        delete record;
        return;
    }
    // A slow mail server must not hold up the line: the notice goes out on
    // the sender's thread and the record is filed when it comes back.
    if (m_notices && m_notices->VM_Begin(*m_pCfg, folderId, record)) return;
    VM_FileRecord(folderId, record);
}

void VM_CCallMediator::VM_FileRecord(int folderId, VM_CCallInfo* record) {
    if (record == nullptr) return;
    VM_SFiledCall call = Describe(folderId, *record);
    const std::string journal = record->VM_GetJournal();
    record->VM_SetJournal({});
    call.filed = VM_FileCallRecord(*m_pCfg, folderId, record, m_pShown, &call.recordId);
    if (!call.filed) {
        // The message file and the call's journal stay: the next start
        // files them as a recovered call.
        VM_TRACE(g_bTraceTapi, "VM_CCallMediator: the call record could not be filed in folder %d", folderId);
        delete record;
    } else {
        if (!journal.empty()) VM_DeleteStoredFile(journal.c_str());
        // The new-message alert: the toll saver now knows a message waits.
        if (m_pTollSaver != nullptr) m_pTollSaver->VM_SetNoNewMessages(0);
    }
    // A record that could not be saved is still a call the owner's command
    // should hear of; its message file is where the variables say.
    if (m_hook) m_hook->VM_OnFiledCall(*m_pCfg, call);
    if (m_onFiled) m_onFiled(call);
}

bool VM_CCallMediator::VM_OnRemoteDelete(int folderId, int32_t recordId) {
    if (m_pCfg == nullptr) return false;
    const VM_SRemoteDeleteResult done = VM_RemoteDeleteMessage(*m_pCfg, folderId, recordId, m_pShown);
    if (m_onDeleted) m_onDeleted(folderId, recordId, done.done);
    return done.done;
}

std::string VM_DescribeFiledCall(const VM_SFiledCall& call) {
    std::string caller = call.name;
    if (!call.number.empty() && call.number != call.name) caller += " (" + call.number + ")";
    std::string what;
    if (call.flags & VM_CCallInfo::kFlagBlocked)
        what = "blocked";
    else if (!call.recording.empty())
        what = "message left, " + std::to_string(call.lengthSeconds) + " s";
    else if (call.lengthSeconds > 0)
        what = "answered, no message, " + std::to_string(call.lengthSeconds) + " s";
    else
        what = "no message";
    if (!call.filed) what += ", NOT FILED (the folder's list could not be saved)";
    const std::string path = call.recording.empty() ? "-" : call.recording;
    return call.time + "  " + caller + "  " + what + "  " + path;
}
