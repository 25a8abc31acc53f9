// A desktop notification for each new call the alert setting covers (every
// call, or only calls that left a message; none with the alert off): who
// called, the number, the mailbox and the length, with "Play" (the record's
// detail dialog, playing) and "Show" (the window at the call). A new call
// from a caller whose earlier notification is still up, its message unread,
// replaces it; reading the message withdraws it; so does the program's end,
// as its actions would reach nothing.
#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class VM_CAppCfg;
class VM_CNotificationService;
struct VM_SFiledCall;

class VM_CCallNotifications : public QObject {
    Q_OBJECT
public:
    struct Actions {
        std::function<void(int folderId, int32_t recordId)> play;
        std::function<void(int folderId, int32_t recordId)> show;
    };

    VM_CCallNotifications(const VM_CAppCfg& cfg, Actions actions, QObject* parent = nullptr);
    ~VM_CCallNotifications() override;

    void VM_OnFiled(const VM_SFiledCall& call);
    void VM_OnRead(int folderId, int32_t recordId);

private:
    struct Shown {
        int folderId = -1;
        int32_t recordId = 0;
        std::string caller;
        quint32 id = 0;  // 0 until the service has answered
    };
    bool VM_IsDue(const VM_SFiledCall& call) const;
    void VM_OnShown(const std::shared_ptr<Shown>& shown, quint32 id);
    void VM_OnAction(quint32 id, const QString& action);
    void VM_Forget(const std::shared_ptr<Shown>& shown);

    const VM_CAppCfg& m_cfg;
    Actions m_actions;
    VM_CNotificationService* m_service;
    std::vector<std::shared_ptr<Shown>> m_shown;
};
