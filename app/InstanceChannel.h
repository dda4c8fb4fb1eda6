// The channel over which a later start of the program asks the running one to show its window: the
// running one listens at an address only this user reaches and answers each request once its window is up.
#pragma once

#include <QObject>
#include <QString>

// A later start's request ("show"), received whole. It deletes itself when that start hangs up.
class CShowRequest : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Tells the asking start that the window was shown, then hangs up and deletes itself.
    virtual void Answer() = 0;
};

// The running instance's end; its requests are its children.
class CInstanceListener : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    void requested(CShowRequest* request);
};

inline constexpr char kShowRequestLine[] = "show\n";
inline constexpr char kShownAnswerLine[] = "shown\n";

// Where the instance holding the lock in `folder` listens under `name`.
QString InstanceAddress(const QString& folder, const QString& name);
// Listens at `address`, replacing what an instance that crashed left there (only the lock holder may);
// null with the reason in `error`.
CInstanceListener* ListenForShowRequests(const QString& address, QObject* parent, QString* error);
// One attempt to reach the instance listening at `address`: true once it answered. It answers only when
// its window is up, so this waits for as long as that instance keeps the connection.
bool AskToShow(const QString& address);
