#include "app/frame/call_notifications.h"

#include <QTimer>

#include <algorithm>

#include "app/frame/notification_service.h"
#include "shell/call_mediator.h"
#include "store/app_config.h"
#include "store/call_info.h"

namespace {

// Closed by the user, or by the service for another reason than expiry (an
// expired one may still be listed by the desktop, its actions working).
constexpr quint32 kClosedForGood[] = {2, 3, 4};

// Caller data is shown as text on one line each.
QString Shown(const std::string& text) {
    QString shown = QString::fromLocal8Bit(text.c_str());
    for (QChar& c : shown)
        if (c.category() == QChar::Other_Control) c = QLatin1Char(' ');
    return shown.simplified();
}

QString Duration(int seconds) {
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

VM_SNotification Describe(const VM_SFiledCall& call) {
    const QString name = Shown(call.name);
    const QString number = Shown(call.number);
    const QString caller = !name.isEmpty() ? name : !number.isEmpty() ? number : QStringLiteral("an unknown caller");
    const bool blocked = (call.flags & VM_CCallInfo::kFlagBlocked) != 0;
    const bool message = !call.recording.empty() && !blocked;
    VM_SNotification notification;
    notification.summary = (blocked ? QStringLiteral("Blocked call from %1")
                            : message ? QStringLiteral("New message from %1")
                                      : QStringLiteral("Call from %1"))
                               .arg(caller);
    QStringList lines;
    if (!number.isEmpty() && number != name) lines << number;
    const QString length = message                ? QStringLiteral("message of %1").arg(Duration(call.messageSeconds))
                           : call.lengthSeconds > 0 ? QStringLiteral("call of %1, no message").arg(Duration(call.lengthSeconds))
                                                  : QStringLiteral("no message");
    lines << QStringLiteral("Mailbox %1, %2").arg(call.mailbox).arg(length);
    notification.body = lines.join(QLatin1Char('\n'));
    // Clicking the notification itself shows the call too.
    notification.actions << QStringLiteral("default") << QStringLiteral("Show");
    if (message) notification.actions << QStringLiteral("play") << QStringLiteral("Play");
    notification.actions << QStringLiteral("show") << QStringLiteral("Show");
    return notification;
}

std::string CallerKey(const VM_SFiledCall& call) { return call.number + '\n' + call.name; }

}  // namespace

VM_CCallNotifications::VM_CCallNotifications(const VM_CAppCfg& cfg, Actions actions, QObject* parent)
    : QObject(parent), m_cfg(cfg), m_actions(std::move(actions)), m_service(new VM_CNotificationService(this)) {
    connect(m_service, &VM_CNotificationService::VM_ActionInvoked, this, &VM_CCallNotifications::VM_OnAction);
    connect(m_service, &VM_CNotificationService::VM_Closed, this, [this](quint32 id, quint32 reason) {
        if (std::find(std::begin(kClosedForGood), std::end(kClosedForGood), reason) == std::end(kClosedForGood))
            return;
        for (const std::shared_ptr<Shown>& shown : m_shown)
            if (shown->id == id) return VM_Forget(shown);
    });
}

VM_CCallNotifications::~VM_CCallNotifications() {
    std::vector<quint32> ids;
    for (const std::shared_ptr<Shown>& shown : m_shown)
        if (shown->id != 0) ids.push_back(shown->id);
    m_shown.clear();
    m_service->VM_WithdrawNow(ids);
}

bool VM_CCallNotifications::VM_IsDue(const VM_SFiledCall& call) const {
    if (!call.filed) return false;
    // As the alert sound: 1 every call, 2 calls that left a message, else none.
    return m_cfg.m_nAlertMode == 1 || (m_cfg.m_nAlertMode == 2 && !call.recording.empty());
}

void VM_CCallNotifications::VM_OnFiled(const VM_SFiledCall& call) {
    if (!VM_IsDue(call)) return;
    auto shown = std::make_shared<Shown>();
    shown->folderId = call.folderId;
    shown->recordId = call.recordId;
    shown->caller = CallerKey(call);
    quint32 replaces = 0;
    for (const std::shared_ptr<Shown>& earlier : m_shown)
        if (earlier->caller == shown->caller) {
            // One still waiting for its id is withdrawn when the id comes.
            replaces = earlier->id;
            VM_Forget(earlier);
            break;
        }
    m_shown.push_back(shown);
    m_service->VM_Show(replaces, Describe(call), [this, shown](quint32 id) { VM_OnShown(shown, id); });
}

void VM_CCallNotifications::VM_OnShown(const std::shared_ptr<Shown>& shown, quint32 id) {
    if (id == 0) {
        VM_Forget(shown);
        return;
    }
    shown->id = id;
    // Read, or replaced, while the service was still answering.
    if (std::find(m_shown.begin(), m_shown.end(), shown) == m_shown.end()) m_service->VM_Withdraw(id);
}

void VM_CCallNotifications::VM_OnRead(int folderId, int32_t recordId) {
    for (const std::shared_ptr<Shown>& shown : m_shown)
        if (shown->folderId == folderId && shown->recordId == recordId) {
            const quint32 id = shown->id;
            VM_Forget(shown);
            m_service->VM_Withdraw(id);
            return;
        }
}

void VM_CCallNotifications::VM_OnAction(quint32 id, const QString& action) {
    for (const std::shared_ptr<Shown>& shown : m_shown) {
        if (shown->id != id) continue;
        const auto& act = action == QStringLiteral("play") ? m_actions.play : m_actions.show;
        if (!act) return;
        // The detail dialog runs a loop of its own: not from inside the
        // bus's delivery of the signal.
        QTimer::singleShot(0, this, [act, folderId = shown->folderId, recordId = shown->recordId] {
            act(folderId, recordId);
        });
        return;
    }
}

void VM_CCallNotifications::VM_Forget(const std::shared_ptr<Shown>& shown) {
    const std::shared_ptr<Shown> keep = shown;  // shown may be an element of m_shown
    m_shown.erase(std::remove(m_shown.begin(), m_shown.end(), keep), m_shown.end());
}
