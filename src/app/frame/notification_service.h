// The desktop's notification service: the freedesktop Notifications
// interface on the session bus. Shows, replaces and withdraws notifications
// and reports the actions the user picks. Every call goes out without
// waiting for its answer, so a service that hangs never holds up the main
// thread. The bus is reached at the first notification, through a
// connection of this object's own to the address the environment names.
// Without a session bus or a service the program goes on without
// notifications; the trace log (its telephony switch) says so once.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

struct VM_SNotification {
    QString summary;
    QString body;         // plain text; escaped here for a service that reads markup
    QStringList actions;  // key, label, key, label, ...
};

class VM_CNotificationService : public QObject {
    Q_OBJECT
public:
    explicit VM_CNotificationService(QObject* parent = nullptr);
    ~VM_CNotificationService() override;

    // replacesId 0: a new notification. shown gets the service's id, or 0
    // when there is no service.
    void VM_Show(quint32 replacesId, const VM_SNotification& notification, std::function<void(quint32)> shown);
    void VM_Withdraw(quint32 id);
    // At exit: withdraws these, waiting a moment at most for the service.
    void VM_WithdrawNow(const std::vector<quint32>& ids);

signals:
    void VM_ActionInvoked(quint32 id, const QString& action);
    // reason: 1 expired, 2 dismissed by the user, 3 withdrawn, 4 other.
    void VM_Closed(quint32 id, quint32 reason);

private slots:
    // QtDBus delivers a bus signal only to a named slot.
    void VM_OnActionInvoked(quint32 id, const QString& action);
    void VM_OnClosed(quint32 id, quint32 reason);

private:
    bool VM_Connect();
    void VM_AskCapabilities();
    void VM_Send(quint32 replacesId, const VM_SNotification& notification, const std::function<void(quint32)>& shown);
    void VM_Unavailable(const QString& why);

    QString m_connection;
    bool m_bConnected = false;
    bool m_bAsking = false;   // the capabilities are being asked for
    bool m_bReady = false;    // the capabilities are known
    bool m_bMarkup = false;
    bool m_bTraced = false;
    struct Waiting {
        quint32 replacesId;
        VM_SNotification notification;
        std::function<void(quint32)> shown;
    };
    // Notifications waiting for the capabilities.
    std::vector<Waiting> m_waiting;
};
