// A second start of the windowed program asks the running copy to show its
// window: the running copy listens on a local socket in the same private
// folder as the single-instance lock, so only this user reaches it.
#pragma once

#include <QObject>

#include <functional>
#include <string>

class QLocalServer;

class VM_CInstanceServer : public QObject {
    Q_OBJECT
public:
    // onShow runs on the main thread for each request. The lock is held by
    // this process, so a socket left by a copy that crashed is replaced.
    VM_CInstanceServer(const std::string& folder, std::function<void()> onShow, QObject* parent = nullptr);
    bool VM_IsListening() const;

private:
    void VM_OnConnection();

    QLocalServer* m_server;
    std::function<void()> m_onShow;
};

// From the second process: true when the running copy confirmed it shows
// its window. Tries attempts times, 200 ms apart, for a running copy still
// starting up.
bool VM_AskRunningInstanceToShow(const std::string& folder, int attempts = 10);
// The socket's path in the folder.
std::string VM_InstanceSocketPath(const std::string& folder);
