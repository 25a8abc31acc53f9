#include "app/notification_bus.h"

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <filesystem>

#include "support/helper_process.h"

extern char** environ;

namespace apptest {

namespace {

// Real milliseconds the bus and the service may take to start.
constexpr int kStartBoundMs = 60000;

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kTest = QStringLiteral("org.vocerra.Test");

// The helpers lie beside this file; the test data folder is always absolute.
std::string Beside(const char* name) {
    return (std::filesystem::path(VOCERRA_TEST_DATA).parent_path() / "app" / name).string();
}

}  // namespace

NotificationBus::NotificationBus(bool withService)
    : m_connection(QStringLiteral("vocerra-test-bus-%1").arg(reinterpret_cast<quintptr>(this))) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
        m_error = "pipe";
        return;
    }
    const std::string config = "--config-file=" + Beside("session_bus.conf");
    const std::string script = Beside("notification_service.py");
    const std::string errors = m_dir.file("stderr");
    std::vector<const char*> argv{"/usr/bin/dbus-run-session", config.c_str(), "--", "/usr/bin/python3",
                                  script.c_str()};
    if (!withService) argv.push_back("--no-name");
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int rc = posix_spawn(&m_pid, argv[0], &actions, nullptr, const_cast<char**>(argv.data()), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    m_stdin = in[1];
    if (rc != 0) {
        m_pid = -1;
        close(out[0]);
        m_error = "cannot start dbus-run-session";
        return;
    }
    const std::string line = testsupport::ReadFirstLine(out[0], kStartBoundMs);
    close(out[0]);
    if (line.rfind("READY ", 0) != 0) {
        m_error = "the notification service did not start: " + line + testsupport::ReadFileBytes(errors);
        return;
    }
    m_address = line.substr(6);
    if (!QDBusConnection::connectToBus(QString::fromStdString(m_address), m_connection).isConnected())
        m_error = "the test cannot reach its own bus";
}

NotificationBus::~NotificationBus() {
    QDBusConnection::disconnectFromBus(m_connection);
    // The service ends with its input, and the bus with it.
    testsupport::EndHelper(m_pid, m_stdin);
}

std::vector<NotifyEvent> NotificationBus::Events() {
    const QDBusMessage reply = QDBusConnection(m_connection)
                                   .call(QDBusMessage::createMethodCall(kService, kPath, kTest, QStringLiteral("Events")));
    std::vector<NotifyEvent> events;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return events;
    for (const QJsonValue& value : QJsonDocument::fromJson(reply.arguments().front().toString().toUtf8()).array()) {
        const QJsonObject object = value.toObject();
        NotifyEvent event;
        event.call = object.value("call").toString().toStdString();
        event.id = static_cast<unsigned>(object.value("id").toInt());
        event.replaces = static_cast<unsigned>(object.value("replaces").toInt());
        event.app = object.value("app").toString().toStdString();
        event.summary = object.value("summary").toString().toStdString();
        event.body = object.value("body").toString().toStdString();
        for (const QJsonValue& action : object.value("actions").toArray())
            event.actions.push_back(action.toString().toStdString());
        event.timeout = object.value("timeout").toInt(-1);
        events.push_back(event);
    }
    return events;
}

std::vector<NotifyEvent> NotificationBus::Events(const std::string& call) {
    std::vector<NotifyEvent> found;
    for (const NotifyEvent& event : Events())
        if (event.call == call) found.push_back(event);
    return found;
}

bool NotificationBus::Invoke(unsigned id, const std::string& action) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kTest, QStringLiteral("Invoke"));
    call << static_cast<quint32>(id) << QString::fromStdString(action);
    return QDBusConnection(m_connection).call(call).type() == QDBusMessage::ReplyMessage;
}

}  // namespace apptest
