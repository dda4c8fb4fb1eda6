// The instance channel over a Unix domain socket next to the lock file, watched by socket notifiers: the
// program needs no networking library for it.
#include "InstanceChannel.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

namespace {

// Connecting and sending a request line each get this long; the peer is on this machine.
constexpr int kExchangeMs = 200;
// A request or answer longer than this is not one of ours.
constexpr qsizetype kLineLimit = 64;

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor() { Reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return m_fd; }
    int Release() { return std::exchange(m_fd, -1); }
    void Reset() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

// Waits for `events` on `fd` until `deadline`; false when it passed or the wait failed.
bool WaitFor(int fd, short events, const QDeadlineTimer& deadline) {
    for (;;) {
        pollfd entry{fd, events, 0};
        const qint64 left = deadline.remainingTime();
        const int ready = ::poll(&entry, 1, left < 0 ? -1 : static_cast<int>(left));
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

// Sends all of `line`, continuing a short send, within `deadline`.
bool SendAll(int fd, const char* line, const QDeadlineTimer& deadline) {
    size_t left = std::strlen(line);
    while (left > 0) {
        const ssize_t sent = ::send(fd, line, left, MSG_NOSIGNAL);
        if (sent > 0) {
            line += sent;
            left -= static_cast<size_t>(sent);
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitFor(fd, POLLOUT, deadline))
                return false;
        } else {
            return false;
        }
    }
    return true;
}

// The socket address for `path`; false when the path does not fit.
bool MakeAddress(const QString& path, sockaddr_un* address) {
    const QByteArray bytes = QFile::encodeName(path);
    *address = {};
    address->sun_family = AF_UNIX;
    if (bytes.isEmpty() || static_cast<size_t>(bytes.size()) >= sizeof(address->sun_path))
        return false;
    std::memcpy(address->sun_path, bytes.constData(), static_cast<size_t>(bytes.size()));
    return true;
}

class CSocketRequest final : public CShowRequest {
public:
    CSocketRequest(int fd, QObject* parent) : CShowRequest(parent), m_fd(fd), m_notifier(fd, QSocketNotifier::Read) {
        connect(&m_notifier, &QSocketNotifier::activated, this, [this] { Receive(); });
    }

    void Answer() override {
        // The answer is six bytes into an empty socket; a start that stopped listening just misses it.
        SendAll(m_fd.Get(), kShownAnswerLine, QDeadlineTimer(kExchangeMs));
        HangUp();
    }

    // Emitted once the request line is in.
    std::function<void(CSocketRequest*)> onRequest;

private:
    void Receive() {
        char buffer[kLineLimit];
        for (;;) {
            const ssize_t got = ::recv(m_fd.Get(), buffer, sizeof buffer, 0);
            if (got > 0) {
                if (m_complete || m_line.size() + got > kLineLimit)
                    return HangUp(); // more than one request line: not a start of this program
                m_line.append(buffer, got);
                continue;
            }
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                break;
            return HangUp(); // the asking start is gone
        }
        if (m_complete || !m_line.contains('\n'))
            return;
        if (m_line != kShowRequestLine)
            return HangUp();
        m_complete = true;
        if (onRequest)
            onRequest(this);
    }

    void HangUp() {
        m_notifier.setEnabled(false);
        m_fd.Reset();
        deleteLater();
    }

    Descriptor m_fd;
    QSocketNotifier m_notifier;
    QByteArray m_line;
    bool m_complete = false;
};

class CSocketListener final : public CInstanceListener {
public:
    CSocketListener(int fd, const QString& path, QObject* parent)
        : CInstanceListener(parent), m_fd(fd), m_path(QFile::encodeName(path)), m_notifier(fd, QSocketNotifier::Read) {
        connect(&m_notifier, &QSocketNotifier::activated, this, [this] { Accept(); });
    }
    ~CSocketListener() override {
        m_notifier.setEnabled(false);
        m_fd.Reset();
        ::unlink(m_path.constData());
    }

private:
    void Accept() {
        for (;;) {
            const int fd = ::accept4(m_fd.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0) {
                if (errno == EINTR || errno == ECONNABORTED)
                    continue;
                return; // EAGAIN: all taken; anything else the next notification retries
            }
            auto* request = new CSocketRequest(fd, this);
            request->onRequest = [this](CSocketRequest* ready) { emit requested(ready); };
        }
    }

    Descriptor m_fd;
    QByteArray m_path;
    QSocketNotifier m_notifier;
};

} // namespace

QString InstanceAddress(const QString& folder, const QString& name) {
    return folder + QLatin1Char('/') + name + QStringLiteral(".socket");
}

CInstanceListener* ListenForShowRequests(const QString& address, QObject* parent, QString* error) {
    sockaddr_un where;
    if (!MakeAddress(address, &where)) {
        *error = QStringLiteral("the socket path %1 is too long").arg(address);
        return nullptr;
    }
    Descriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (fd.Get() < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return nullptr;
    }
    ::unlink(where.sun_path); // left by an instance that crashed; we hold the lock
    // Only this user may connect: the mode is set before listen, so nobody connects in between.
    if (::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0 ||
        ::chmod(where.sun_path, S_IRUSR | S_IWUSR) != 0 || ::listen(fd.Get(), 16) != 0) {
        *error = QStringLiteral("%1: %2").arg(address, QString::fromLocal8Bit(std::strerror(errno)));
        ::unlink(where.sun_path);
        return nullptr;
    }
    return new CSocketListener(fd.Release(), address, parent);
}

bool AskToShow(const QString& address) {
    sockaddr_un where;
    if (!MakeAddress(address, &where))
        return false;
    Descriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (fd.Get() < 0)
        return false;
    const QDeadlineTimer exchange(kExchangeMs);
    if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0) {
        // A full backlog makes a non-blocking connect fail with EAGAIN: the listener is busy, try later.
        if (errno != EINPROGRESS && errno != EINTR)
            return false;
        int failure = 0;
        socklen_t size = sizeof failure;
        if (!WaitFor(fd.Get(), POLLOUT, exchange) ||
            ::getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &failure, &size) != 0 || failure != 0)
            return false;
    }
    if (!SendAll(fd.Get(), kShowRequestLine, exchange))
        return false;
    // The running instance answers once its window is up, which can take a while; it drops the
    // connection only by ending, so this wait lasts no longer than that instance.
    QByteArray line;
    char buffer[kLineLimit];
    while (!line.contains('\n') && line.size() <= kLineLimit) {
        if (!WaitFor(fd.Get(), POLLIN, QDeadlineTimer(QDeadlineTimer::Forever)))
            return false;
        const ssize_t got = ::recv(fd.Get(), buffer, sizeof buffer, 0);
        if (got > 0)
            line.append(buffer, got);
        else if (got == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK))
            return false;
    }
    return line == kShownAnswerLine;
}
