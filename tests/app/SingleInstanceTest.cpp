// The single-instance check: the second start reaches the first and asks it to come to the front.
#include "SingleInstance.h"

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace {

QString UniqueName(const char* what) {
    return QStringLiteral("veltrin-test-%1-%2").arg(QLatin1String(what)).arg(QCoreApplication::applicationPid());
}

// Another start of the program, claiming its role on a thread of its own while this one runs events.
class OtherStart {
public:
    OtherStart(const QString& name, const QString& folder)
        : m_thread(QThread::create([this, name, folder] { m_role = CSingleInstance(name, folder).Claim(); })) {
        m_thread->start();
    }
    ~OtherStart() { m_thread->wait(); }
    bool Ended() const { return m_thread->isFinished(); }
    CSingleInstance::Role Role() const { return m_role; }

private:
    std::unique_ptr<QThread> m_thread;
    CSingleInstance::Role m_role = CSingleInstance::Role::Unguarded;
};

} // namespace

TEST(SingleInstance, ASecondStartWaitsUntilTheFirstWindowIsUpAndBringsItForward) {
    QTemporaryDir folder;
    const QString name = UniqueName("single");
    CSingleInstance first(name, folder.path());
    ASSERT_EQ(first.Claim(), CSingleInstance::Role::First);
    QSignalSpy activations(&first, &CSingleInstance::activationRequested);

    // The second start runs on another thread; the first answers from its event loop.
    OtherStart second(name, folder.path());
    QTest::qWait(400); // the first is still starting: the request is held, not lost
    EXPECT_EQ(activations.count(), 0);
    EXPECT_FALSE(second.Ended());

    first.AcceptRequests();
    ASSERT_TRUE(QTest::qWaitFor([&] { return second.Ended(); }, 5000));
    EXPECT_EQ(second.Role(), CSingleInstance::Role::Second);
    EXPECT_EQ(activations.count(), 1);
}

TEST(SingleInstance, AFirstThatEndsBeforeAnsweringHandsOverTheLock) {
    QTemporaryDir folder;
    const QString name = UniqueName("handover");
    auto first = std::make_unique<CSingleInstance>(name, folder.path());
    ASSERT_EQ(first->Claim(), CSingleInstance::Role::First);
    OtherStart second(name, folder.path());
    QTest::qWait(300);
    first.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return second.Ended(); }, 5000));
    EXPECT_EQ(second.Role(), CSingleInstance::Role::First);
}

TEST(SingleInstance, AnUnusableLockFolderStartsWithoutTheGuarantee) {
    QTemporaryDir folder;
    CSingleInstance instance(UniqueName("unguarded"), folder.filePath(QStringLiteral("missing")));
    EXPECT_EQ(instance.Claim(), CSingleInstance::Role::Unguarded);
    EXPECT_TRUE(instance.LockProblem().contains(QStringLiteral("missing")));
}

#ifndef _WIN32
// Whatever else reaches the socket (a client that hangs up, one that sends another line or an endless
// one) neither brings the window forward nor keeps a later start from being answered; a socket file left
// behind by an instance that crashed does not keep the next one from listening.
TEST(SingleInstance, StrayClientsAndALeftoverSocketAreIgnored) {
    QTemporaryDir folder;
    const QString name = UniqueName("stray");
    const QString path = folder.filePath(name + QStringLiteral(".socket"));
    QFile leftover(path);
    ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    leftover.close();

    CSingleInstance first(name, folder.path());
    ASSERT_EQ(first.Claim(), CSingleInstance::Role::First);
    first.AcceptRequests();
    QSignalSpy activations(&first, &CSingleInstance::activationRequested);

    const std::string longLine(200, 'x');
    for (const std::string& sent : {std::string(), std::string("shown\n"), std::string("sho"), longLine}) {
        SCOPED_TRACE(sent.substr(0, 10));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_GE(fd, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray bytes = QFile::encodeName(path);
        std::memcpy(address.sun_path, bytes.constData(), static_cast<size_t>(bytes.size()));
        ASSERT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        if (!sent.empty()) {
            ASSERT_EQ(::send(fd, sent.data(), sent.size(), MSG_NOSIGNAL), static_cast<ssize_t>(sent.size()));
        }
        QTest::qWait(50);
        ::close(fd);
    }
    QTest::qWait(100);
    EXPECT_EQ(activations.count(), 0);

    OtherStart second(name, folder.path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return second.Ended(); }, 5000));
    EXPECT_EQ(second.Role(), CSingleInstance::Role::Second);
    EXPECT_EQ(activations.count(), 1);
}
#endif
