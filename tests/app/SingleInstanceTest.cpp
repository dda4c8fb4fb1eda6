// The single-instance check: the second start reaches the first and asks it to come to the front.
#include "SingleInstance.h"

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <poll.h>
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
namespace {

// A raw client of the instance socket: connects, sends `parts` with `pauseMs` between them, then hangs up
// or, when `answer` is given, reads the answer line first (bounded).
void RawClient(const QString& path, const std::vector<std::string>& parts, int pauseMs, std::string* answer) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = QFile::encodeName(path);
    std::memcpy(address.sun_path, bytes.constData(), static_cast<size_t>(bytes.size()));
    if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        for (size_t i = 0; i < parts.size(); ++i) {
            if (i > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
            if (::send(fd, parts[i].data(), parts[i].size(), MSG_NOSIGNAL) != static_cast<ssize_t>(parts[i].size()))
                break;
        }
        while (answer && answer->find('\n') == std::string::npos) {
            pollfd entry{fd, POLLIN, 0};
            char buffer[64];
            if (::poll(&entry, 1, 5000) <= 0)
                break;
            const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0)
                break;
            answer->append(buffer, static_cast<size_t>(got));
        }
    }
    if (fd >= 0)
        ::close(fd);
}

} // namespace

// Later starts, requests sent in pieces and clients that hang up or send anything else, arriving in any
// order before and after the window is up: every genuine request is answered and brings the window
// forward once, nothing else does.
TEST(SingleInstance, RandomMixesOfRequestsAreEachAnsweredOnce) {
    const unsigned seed = qEnvironmentVariableIsSet("VELTRIN_INSTANCE_SEED")
                              ? qEnvironmentVariableIntValue("VELTRIN_INSTANCE_SEED")
                              : std::random_device{}();
    SCOPED_TRACE("VELTRIN_INSTANCE_SEED=" + std::to_string(seed));
    std::mt19937 random(seed);
    auto below = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        QTemporaryDir folder;
        const QString name = UniqueName("mix");
        const QString path = folder.filePath(name + QStringLiteral(".socket"));
        CSingleInstance first(name, folder.path());
        ASSERT_EQ(first.Claim(), CSingleInstance::Role::First);
        QSignalSpy activations(&first, &CSingleInstance::activationRequested);

        const int starts = below(3);
        std::vector<std::unique_ptr<OtherStart>> others;
        for (int i = 0; i < starts; ++i)
            others.push_back(std::make_unique<OtherStart>(name, folder.path()));
        const int pieces = below(3); // requests sent a byte or two at a time
        std::vector<std::string> answers(static_cast<size_t>(pieces));
        std::vector<std::thread> clients;
        for (int i = 0; i < pieces; ++i) {
            const int cut = 1 + below(4);
            clients.emplace_back(RawClient, path,
                                 std::vector<std::string>{std::string("show\n", cut), std::string("show\n" + cut)},
                                 below(30), &answers[static_cast<size_t>(i)]);
        }
        for (int i = below(4); i > 0; --i) {
            static const std::vector<std::vector<std::string>> stray = {{}, {"sho"}, {"shown\n"}, {"show\nshow\n"}};
            clients.emplace_back(RawClient, path, stray[static_cast<size_t>(below(4))], below(20), nullptr);
        }
        QTest::qWait(below(150)); // the window comes up after some, before others
        first.AcceptRequests();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return std::all_of(others.begin(), others.end(), [](const auto& o) { return o->Ended(); }) &&
                       activations.count() >= starts + pieces;
            },
            10000));
        for (std::thread& client : clients)
            client.join();
        QTest::qWait(50);
        EXPECT_EQ(activations.count(), starts + pieces);
        for (const auto& other : others)
            EXPECT_EQ(other->Role(), CSingleInstance::Role::Second);
        for (const std::string& answer : answers)
            EXPECT_EQ(answer, "shown\n");
    }
}

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
