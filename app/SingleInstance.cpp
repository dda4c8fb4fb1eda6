// Single-instance check over QLockFile and the instance channel.
#include "SingleInstance.h"
#include "InstanceChannel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QThread>

#include <cstdio>
#include <utility>

namespace {
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
    m_address = InstanceAddress(dir, m_name);
}

CSingleInstance::~CSingleInstance() {
    // While the lock is still held: the listener removes its address, which a next holder may reuse.
    delete m_listener;
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
        if (AskToShow(m_address))
            return Role::Second;
        if (!noted && elapsed.elapsed() > kPatienceNoteMs) {
            std::fprintf(stderr, "veltrin-test: waiting for the running instance to show its window\n");
            noted = true;
        }
        QThread::msleep(100); // the holder is between taking the lock and listening, or is ending
    }
}

void CSingleInstance::Listen() {
    QString error;
    m_listener = ListenForShowRequests(m_address, this, &error);
    if (!m_listener) {
        std::fprintf(stderr, "veltrin-test: later starts cannot reach this one: %s\n", qPrintable(error));
        return;
    }
    connect(m_listener, &CInstanceListener::requested, this, [this](CShowRequest* request) {
        if (m_accepting)
            Answer(request);
        else
            m_held.append(request);
    });
}

void CSingleInstance::Answer(CShowRequest* request) {
    emit activationRequested();
    request->Answer();
}

void CSingleInstance::AcceptRequests() {
    m_accepting = true;
    const auto held = std::exchange(m_held, {});
    for (const QPointer<CShowRequest>& request : held)
        if (request)
            Answer(request);
}
