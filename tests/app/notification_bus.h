// A private session bus for one test (dbus-run-session with
// session_bus.conf, which starts no service on demand) with the test
// notification service on it (notification_service.py): the bus's address,
// what the service was asked, and a user's click on an action.
#pragma once

#include <sys/types.h>

#include <QString>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace apptest {

struct NotifyEvent {
    std::string call;  // "Notify" or "CloseNotification"
    unsigned id = 0;
    unsigned replaces = 0;
    std::string app;
    std::string summary;
    std::string body;
    std::vector<std::string> actions;
    int timeout = -1;
};

class NotificationBus {
public:
    // withService false: the bus has no notification service.
    explicit NotificationBus(bool withService = true);
    ~NotificationBus();
    NotificationBus(const NotificationBus&) = delete;
    NotificationBus& operator=(const NotificationBus&) = delete;

    bool Ok() const { return m_error.empty(); }
    const std::string& Error() const { return m_error; }
    const std::string& Address() const { return m_address; }

    std::vector<NotifyEvent> Events();
    std::vector<NotifyEvent> Events(const std::string& call);
    // As the user's click on the action of notification id.
    bool Invoke(unsigned id, const std::string& action);

private:
    testsupport::TempDir m_dir;
    pid_t m_pid = -1;
    int m_stdin = -1;
    std::string m_address;
    std::string m_error;
    QString m_connection;
};

}  // namespace apptest
