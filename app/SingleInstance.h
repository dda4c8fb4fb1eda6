// Only one instance of the program shows its window: the first holds a lock file and listens on a
// per-user local socket; a later start asks it to come to the front and exits.
#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;

class CSingleInstance : public QObject {
    Q_OBJECT
public:
    // `name` identifies the program for this user; tests pass their own.
    explicit CSingleInstance(const QString& name, QObject* parent = nullptr);
    ~CSingleInstance() override;

    // True when this process is the first instance (it then listens for later starts).
    bool Acquire();
    // Asks the first instance to show its window; true when it answered.
    bool NotifyFirst(int timeoutMs = 3000);

    static QString DefaultName();

signals:
    // A later start asked this (first) instance to restore, show and raise its window.
    void activationRequested();

private:
    QString m_name;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
};
