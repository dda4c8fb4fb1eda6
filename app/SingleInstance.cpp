// Single-instance check over QLockFile and QLocalServer.
#include "SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <cstdio>
#include <utility>

namespace {
const QByteArray kShowRequest = "show\n";
const QByteArray kShownAnswer = "shown\n";
// After this long without an answer the waiting start says on standard error what it waits for.
constexpr qint64 kPatienceNoteMs = 3000;
} // namespace

CSingleInstance::CSingleInstance(const QString& name, const QString& lockFolder, QObject* parent)
    : QObject(parent), m_name(name) {
    QString dir = lockFolder;
    if (dir.isEmpty())
        dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    m_lockPath = dir + QLatin1Char('/') + m_name + QStringLiteral(".lock");
}

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

CSingleInstance::Role CSingleInstance::Claim() {
    QElapsedTimer elapsed;
    elapsed.start();
    bool noted = false;
    for (;;) {
        m_lock = std::make_unique<QLockFile>(m_lockPath);
        m_lock->setStaleLockTime(0); // a lock is stale only when its process is gone
        if (m_lock->tryLock(0)) {
            Listen();
            return Role::First;
        }
        // Only a lock held by another process means another instance; a folder that is missing,
        // read-only or not ours must not keep the program from starting.
        if (m_lock->error() != QLockFile::LockFailedError) {
            m_problem = m_lock->error() == QLockFile::PermissionError
                            ? QStringLiteral("no permission to create %1").arg(m_lockPath)
                            : QStringLiteral("cannot create %1").arg(m_lockPath);
            m_lock.reset();
            return Role::Unguarded;
        }
        m_lock.reset();
        if (AskFirst())
            return Role::Second;
        if (!noted && elapsed.elapsed() > kPatienceNoteMs) {
            std::fprintf(stderr, "veltrin-test: waiting for the running instance to show its window\n");
            noted = true;
        }
        QThread::msleep(100); // the holder is between taking the lock and listening, or is ending
    }
}

bool CSingleInstance::AskFirst() {
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(200))
        return false;
    socket.write(kShowRequest);
    socket.flush();
    // The first instance answers once its window is up, which can take a while; it drops the
    // connection only by ending.
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(100) && socket.state() != QLocalSocket::ConnectedState)
            break;
    }
    return socket.canReadLine() && socket.readLine() == kShownAnswer;
}

void CSingleInstance::Listen() {
    // Only the lock holder may remove a server left behind by a crashed instance.
    QLocalServer::removeServer(m_name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        std::fprintf(stderr, "veltrin-test: later starts cannot reach this one: %s\n",
                     qPrintable(m_server->errorString()));
        return;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine())
                    return;
                if (socket->readLine() != kShowRequest)
                    socket->disconnectFromServer();
                else if (m_accepting)
                    Answer(socket);
                else
                    m_held.append(socket);
            });
        }
    });
}

void CSingleInstance::Answer(QLocalSocket* socket) {
    emit activationRequested();
    socket->write(kShownAnswer);
    socket->flush();
    socket->disconnectFromServer();
}

void CSingleInstance::AcceptRequests() {
    m_accepting = true;
    const auto held = std::exchange(m_held, {});
    for (const QPointer<QLocalSocket>& socket : held)
        if (socket)
            Answer(socket);
}
