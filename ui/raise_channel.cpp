#include "ui/raise_channel.h"

#include <QLocalSocket>

namespace plexivar::ui {
namespace {
const QByteArray kRequest = "raise\n";
}

RaiseServer::RaiseServer(QObject* parent) : QObject(parent) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->canReadLine() && socket->readLine() == kRequest) emit RaiseRequested();
            });
        }
    });
}

bool RaiseServer::Listen(const QString& path) {
    QLocalServer::removeServer(path);
    return server_.listen(path);
}

bool AskToRaise(const QString& path, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(kRequest);
    const bool sent = socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
    return sent;
}

}  // namespace plexivar::ui
