// Single-instance check over QLockFile and QLocalServer.
#include "SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

namespace {
const QByteArray kShowRequest = "show\n";
const QByteArray kShownAnswer = "shown\n";
} // namespace

CSingleInstance::CSingleInstance(const QString& name, QObject* parent) : QObject(parent), m_name(name) {}

CSingleInstance::~CSingleInstance() {
    if (m_server)
        m_server->close();
}

QString CSingleInstance::DefaultName() {
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = qEnvironmentVariable("USERNAME");
    return QStringLiteral("veltrin-test-") + (user.isEmpty() ? QStringLiteral("user") : user);
}

bool CSingleInstance::Acquire() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    m_lock = std::make_unique<QLockFile>(dir + QLatin1Char('/') + m_name + QStringLiteral(".lock"));
    m_lock->setStaleLockTime(0); // a lock is stale only when its process is gone
    if (!m_lock->tryLock(0))
        return false;
    // Only the lock holder may remove a server left behind by a crashed instance.
    QLocalServer::removeServer(m_name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name))
        return true; // still the first instance; later starts simply cannot reach it
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine())
                    return;
                if (socket->readLine() == kShowRequest) {
                    emit activationRequested();
                    socket->write(kShownAnswer);
                    socket->flush();
                }
                socket->disconnectFromServer();
            });
        }
    });
    return true;
}

bool CSingleInstance::NotifyFirst(int timeoutMs) {
    QElapsedTimer elapsed;
    elapsed.start();
    // The first instance may still be starting: retry briefly until it listens.
    while (elapsed.elapsed() < timeoutMs) {
        QLocalSocket socket;
        socket.connectToServer(m_name);
        if (socket.waitForConnected(200)) {
            socket.write(kShowRequest);
            socket.flush();
            while (elapsed.elapsed() < timeoutMs && !socket.canReadLine())
                if (!socket.waitForReadyRead(100) && socket.state() != QLocalSocket::ConnectedState)
                    break;
            return socket.canReadLine() && socket.readLine() == kShownAnswer;
        }
        QThread::msleep(100);
    }
    return false;
}
