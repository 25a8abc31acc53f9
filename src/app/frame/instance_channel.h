// A second start of the windowed program asks the running copy to show its
// window, and `vocerra config set` hands it a change: the running copy
// listens on a local socket in the same private folder as the
// single-instance lock, so only this user reaches it.
#pragma once

#include <QObject>

#include <functional>
#include <string>

#include "shell/instance_socket.h"

class QLocalServer;

class VM_CInstanceServer : public QObject {
    Q_OBJECT
public:
    // onShow runs on the main thread for each request. The lock is held by
    // this process, so a socket left by a copy that crashed is replaced.
    VM_CInstanceServer(const std::string& folder, std::function<void()> onShow, QObject* parent = nullptr);
    bool VM_IsListening() const;
    // Any other request line goes to answer, on the main thread, whose
    // result is the reply line; without one such a request is dropped.
    void VM_SetRequestHandler(std::function<std::string(const std::string&)> answer) { m_answer = std::move(answer); }

private:
    void VM_OnConnection();

    QLocalServer* m_server;
    std::function<void()> m_onShow;
    std::function<std::string(const std::string&)> m_answer;
};

// From the second process: true when the running copy confirmed it shows
// its window. Tries attempts times, 200 ms apart, for a running copy still
// starting up.
// withoutWindow, when given, tells whether the running copy answered that
// it has no window to show (it runs without windows).
bool VM_AskRunningInstanceToShow(const std::string& folder, int attempts = 10, bool* withoutWindow = nullptr);
