#include "app/frame/notification_service.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QVariantMap>

#include "diag/trace.h"

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// What the service is given to answer a call in; it never holds up the
// program, only how long a notification may wait for its id.
constexpr int kReplyMs = 10000;
// How long the program waits at exit for each withdrawal.
constexpr int kExitReplyMs = 500;

// The session bus the desktop announces; a user session of systemd puts it
// at a known place without saying so.
QString SessionBusAddress() {
    const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    if (!address.isEmpty()) return QString::fromLocal8Bit(address);
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const QString bus = QString::fromLocal8Bit(runtime) + QStringLiteral("/bus");
    if (!runtime.isEmpty() && QFileInfo(bus).exists()) return QStringLiteral("unix:path=") + bus;
    return QString();
}

QDBusMessage Method(const QString& name) { return QDBusMessage::createMethodCall(kService, kPath, kInterface, name); }

}  // namespace

VM_CNotificationService::VM_CNotificationService(QObject* parent)
    : QObject(parent),
      m_connection(QStringLiteral("vocerra-notifications-%1").arg(reinterpret_cast<quintptr>(this))) {}

VM_CNotificationService::~VM_CNotificationService() {
    if (m_bConnected) QDBusConnection::disconnectFromBus(m_connection);
}

void VM_CNotificationService::VM_Unavailable(const QString& why) {
    if (m_bTraced) return;
    m_bTraced = true;
    VM_TRACE(g_bTraceTapi, "Desktop notifications: %s; Vocerra goes on without them", why.toLocal8Bit().constData());
}

bool VM_CNotificationService::VM_Connect() {
    if (m_bConnected) return true;
    const QString address = SessionBusAddress();
    if (address.isEmpty()) {
        VM_Unavailable(QStringLiteral("no session bus (DBUS_SESSION_BUS_ADDRESS is not set)"));
        return false;
    }
    QDBusConnection bus = QDBusConnection::connectToBus(address, m_connection);
    if (!bus.isConnected()) {
        const QString why = bus.lastError().message();
        QDBusConnection::disconnectFromBus(m_connection);
        VM_Unavailable(QStringLiteral("the session bus cannot be reached (%1)").arg(why));
        return false;
    }
    bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                SLOT(VM_OnActionInvoked(quint32, QString)));
    bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                SLOT(VM_OnClosed(quint32, quint32)));
    m_bConnected = true;
    return true;
}

void VM_CNotificationService::VM_Show(quint32 replacesId, const VM_SNotification& notification,
                                      std::function<void(quint32)> shown) {
    if (!VM_Connect()) {
        if (shown) shown(0);
        return;
    }
    if (m_bReady) {
        VM_Send(replacesId, notification, shown);
        return;
    }
    // The body is escaped or not by what the service reads, so the first
    // notification waits for its capabilities.
    m_waiting.push_back({replacesId, notification, std::move(shown)});
    if (!m_bAsking) VM_AskCapabilities();
}

void VM_CNotificationService::VM_AskCapabilities() {
    m_bAsking = true;
    QDBusConnection bus(m_connection);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(Method(QStringLiteral("GetCapabilities")), kReplyMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        m_bAsking = false;
        const QDBusPendingReply<QStringList> reply = *done;
        std::vector<Waiting> waiting;
        waiting.swap(m_waiting);
        if (reply.isError()) {
            VM_Unavailable(QStringLiteral("no notification service answers (%1)").arg(reply.error().message()));
            for (Waiting& w : waiting)
                if (w.shown) w.shown(0);
            return;
        }
        m_bReady = true;
        m_bMarkup = reply.value().contains(QStringLiteral("body-markup"));
        for (Waiting& w : waiting) VM_Send(w.replacesId, w.notification, w.shown);
    });
}

void VM_CNotificationService::VM_Send(quint32 replacesId, const VM_SNotification& notification,
                                      const std::function<void(quint32)>& shown) {
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("vocerra"));
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(1));
    // The alert has a sound of its own.
    hints.insert(QStringLiteral("suppress-sound"), true);
    QDBusMessage call = Method(QStringLiteral("Notify"));
    // Expiry 0: the notification stays until the message is read.
    call << QStringLiteral("Vocerra") << replacesId << QStringLiteral("vocerra") << notification.summary
         << (m_bMarkup ? notification.body.toHtmlEscaped() : notification.body) << notification.actions << hints
         << qint32(0);
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection(m_connection).asyncCall(call, kReplyMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, shown](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        const QDBusPendingReply<quint32> reply = *done;
        if (reply.isError()) {
            // The service went away; the next notification asks again.
            m_bReady = false;
            VM_Unavailable(QStringLiteral("the notification service failed (%1)").arg(reply.error().message()));
        }
        if (shown) shown(reply.isError() ? 0 : reply.value());
    });
}

void VM_CNotificationService::VM_Withdraw(quint32 id) {
    if (!m_bConnected || id == 0) return;
    QDBusMessage call = Method(QStringLiteral("CloseNotification"));
    call << id;
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection(m_connection).asyncCall(call, kReplyMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, watcher, &QObject::deleteLater);
}

void VM_CNotificationService::VM_WithdrawNow(const std::vector<quint32>& ids) {
    if (!m_bConnected) return;
    QDBusConnection bus(m_connection);
    for (quint32 id : ids) {
        QDBusMessage call = Method(QStringLiteral("CloseNotification"));
        call << id;
        const QDBusMessage reply = bus.call(call, QDBus::Block, kExitReplyMs);
        if (reply.type() == QDBusMessage::ErrorMessage && reply.errorName() == QStringLiteral("org.freedesktop.DBus.Error.NoReply"))
            return;
    }
}

void VM_CNotificationService::VM_OnActionInvoked(quint32 id, const QString& action) {
    emit VM_ActionInvoked(id, action);
}

void VM_CNotificationService::VM_OnClosed(quint32 id, quint32 reason) { emit VM_Closed(id, reason); }
