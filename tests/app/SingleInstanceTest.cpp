// The single-instance check: the second start reaches the first and asks it to come to the front.
#include "SingleInstance.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <memory>

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
