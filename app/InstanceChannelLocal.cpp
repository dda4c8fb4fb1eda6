// The instance channel over Qt's local sockets, where there are no Unix domain sockets to use directly.
#include "InstanceChannel.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace {

class CLocalRequest final : public CShowRequest {
public:
    CLocalRequest(QLocalSocket* socket, QObject* parent) : CShowRequest(parent), m_socket(socket) {
        socket->setParent(this);
        connect(socket, &QLocalSocket::disconnected, this, &QObject::deleteLater);
    }
    void Answer() override {
        m_socket->write(kShownAnswerLine);
        m_socket->flush();
        m_socket->disconnectFromServer();
    }

private:
    QLocalSocket* m_socket;
};

class CLocalListener final : public CInstanceListener {
public:
    explicit CLocalListener(QObject* parent) : CInstanceListener(parent), m_server(new QLocalServer(this)) {}
    ~CLocalListener() override { m_server->close(); }

    bool Listen(const QString& name, QString* error) {
        QLocalServer::removeServer(name);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        if (!m_server->listen(name)) {
            *error = m_server->errorString();
            return false;
        }
        connect(m_server, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket* socket = m_server->nextPendingConnection()) {
                auto* request = new CLocalRequest(socket, this);
                connect(socket, &QLocalSocket::readyRead, request, [this, socket, request] {
                    if (!socket->canReadLine())
                        return;
                    if (socket->readLine() != kShowRequestLine)
                        socket->disconnectFromServer();
                    else
                        emit requested(request);
                });
            }
        });
        return true;
    }

private:
    QLocalServer* m_server;
};

} // namespace

QString InstanceAddress(const QString&, const QString& name) { return name; }

CInstanceListener* ListenForShowRequests(const QString& address, QObject* parent, QString* error) {
    auto* listener = new CLocalListener(parent);
    if (!listener->Listen(address, error)) {
        delete listener;
        return nullptr;
    }
    return listener;
}

bool AskToShow(const QString& address) {
    QLocalSocket socket;
    socket.connectToServer(address);
    if (!socket.waitForConnected(200))
        return false;
    socket.write(kShowRequestLine);
    socket.flush();
    // The running instance answers once its window is up, which can take a while; it drops the
    // connection only by ending.
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(100) && socket.state() != QLocalSocket::ConnectedState)
            break;
    }
    return socket.canReadLine() && socket.readLine() == kShownAnswerLine;
}
