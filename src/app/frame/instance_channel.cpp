#include "app/frame/instance_channel.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include "shell/instance_requests.h"

namespace {

constexpr char kRequest[] = "show\n";
constexpr char kReply[] = "shown\n";
constexpr int kWaitMs = 2000;
constexpr int kRetryMs = 200;
// A request longer than this is no request of ours.
constexpr qint64 kMaxLine = 16384;

}  // namespace

VM_CInstanceServer::VM_CInstanceServer(const std::string& folder, std::function<void()> onShow, QObject* parent)
    : QObject(parent), m_server(new QLocalServer(this)), m_onShow(std::move(onShow)) {
    const QString path = QString::fromStdString(VM_InstanceSocketPath(folder));
    QLocalServer::removeServer(path);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    m_server->listen(path);
    connect(m_server, &QLocalServer::newConnection, this, &VM_CInstanceServer::VM_OnConnection);
}

bool VM_CInstanceServer::VM_IsListening() const {
    return m_server->isListening();
}

void VM_CInstanceServer::VM_OnConnection() {
    while (QLocalSocket* peer = m_server->nextPendingConnection()) {
        connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        // A peer that connects and says nothing, or something else, is
        // dropped without effect.
        connect(peer, &QLocalSocket::readyRead, peer, [this, peer] {
            if (!peer->canReadLine()) {
                if (peer->bytesAvailable() > kMaxLine) peer->abort();
                return;
            }
            const QByteArray line = peer->readLine(kMaxLine + 1);
            if (line == kRequest) {
                if (m_onShow) m_onShow();
                peer->write(kReply);
            } else if (m_answer && line.endsWith('\n')) {
                peer->write(QByteArray::fromStdString(m_answer(line.chopped(1).toStdString()) + "\n"));
            }
            peer->flush();
            peer->disconnectFromServer();
        });
    }
}

bool VM_AskRunningInstanceToShow(const std::string& folder, int attempts, bool* withoutWindow) {
    const QString path = QString::fromStdString(VM_InstanceSocketPath(folder));
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0) QThread::msleep(kRetryMs);
        QLocalSocket socket;
        socket.connectToServer(path);
        if (!socket.waitForConnected(kWaitMs)) continue;
        socket.write(kRequest);
        if (!socket.waitForBytesWritten(kWaitMs)) continue;
        while (!socket.canReadLine() && socket.waitForReadyRead(kWaitMs)) {}
        const QByteArray reply = socket.readLine(64);
        if (withoutWindow != nullptr) *withoutWindow = reply.chopped(reply.endsWith('\n') ? 1 : 0) == VM_REPLY_NO_WINDOW;
        return reply == kReply;
    }
    return false;
}
