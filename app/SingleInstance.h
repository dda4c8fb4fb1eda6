// Only one instance of the program shows its window: the first holds a lock file and listens on a
// per-user local socket; a later start asks it to come to the front and exits.
#pragma once

#include <QList>
#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class CInstanceListener;
class CShowRequest;

class CSingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Role {
        First,     // this process holds the lock and listens for later starts
        Second,    // another instance holds the lock and has brought its window forward
        Unguarded, // the lock file cannot be used at all; nothing guarantees a single instance
    };

    // `name` identifies the program for this user; tests pass their own. The lock file lives in
    // `lockFolder`, or in the user's runtime folder when it is empty.
    explicit CSingleInstance(const QString& name, const QString& lockFolder = QString(), QObject* parent = nullptr);
    ~CSingleInstance() override;

    // Decides this process's role. While another instance holds the lock, it is asked to show its
    // window, and this waits for its answer for as long as that instance lives (it may still be
    // starting); when it ends without answering, this process takes the lock in its place.
    Role Claim();
    // Why the lock file could not be used, for a Unguarded role.
    QString LockProblem() const { return m_problem; }
    // The first instance holds requests to show its window until its window is up; this answers the
    // held ones and every later one at once.
    void AcceptRequests();

    static QString DefaultName();

signals:
    // A later start asked this (first) instance to restore, show and raise its window.
    void activationRequested();

private:
    void Listen();
    void Answer(CShowRequest* request);

    QString m_name;
    QString m_lockPath;
    QString m_address; // where the first instance listens
    QString m_problem;
    std::unique_ptr<QLockFile> m_lock;
    CInstanceListener* m_listener = nullptr;
    bool m_accepting = false;
    QList<QPointer<CShowRequest>> m_held;
};
