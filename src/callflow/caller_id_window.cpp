#include "callflow/caller_id_window.h"

#include "callflow/answer_machine.h"
#include "callflow/status_texts.h"
#include "platform/win32/messages.h"

namespace {

// The log has one update per line: the texts' own line ends go.
std::string OneLine(const std::string& text) {
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == ' ')) line.pop_back();
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    return line;
}

}  // namespace

void VM_CCallerIDDlg::VM_SetCaller(const std::string& name, const std::string& number) {
    if (!m_bClosed) VM_OnCaller(name, number);
}

void VM_CCallerIDDlg::VM_ShowStatus(const char* text) {
    if (!m_bClosed && text != nullptr) VM_OnStatus(text);
}

void VM_CCallerIDDlg::VM_ShowStatusIndex(int index) { VM_ShowStatus(VM_GetStatusText(index)); }

void VM_CCallerIDDlg::VM_HangUp() {
    if (m_hParent != nullptr)
        PostMessageA(m_hParent, VM_MSG_USER_HANGUP, reinterpret_cast<WPARAM>(m_pOwner), 0);
}

void VM_CCallerIDDlg::VM_Close() {
    if (m_bClosed) return;
    m_bClosed = true;
    VM_OnClose();
}

VM_CCallerIDLog::VM_CCallerIDLog(HWND parent, VM_CAnswerMachine* owner, Sink sink)
    : VM_CCallerIDDlg(parent, owner), m_sink(std::move(sink)) {}

void VM_CCallerIDLog::VM_OnCaller(const std::string& name, const std::string& number) {
    // Shown again at every ring; the log says it only when it changes.
    std::string caller = "Caller Name: " + name + ", Calling From: " + number;
    if (caller == m_lastCaller) return;
    m_lastCaller = caller;
    if (m_sink) m_sink(OneLine(caller));
}

void VM_CCallerIDLog::VM_OnStatus(const std::string& text) {
    if (text == m_lastStatus) return;
    m_lastStatus = text;
    if (m_sink) m_sink(OneLine(text));
}
