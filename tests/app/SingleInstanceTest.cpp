// The single-instance check: the second start reaches the first and asks it to come to the front.
#include "SingleInstance.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <future>

TEST(SingleInstance, SecondInstanceAsksTheFirstToShowItself) {
    const QString name = QStringLiteral("veltrin-test-single-%1").arg(QCoreApplication::applicationPid());
    CSingleInstance first(name);
    ASSERT_TRUE(first.Acquire());
    QSignalSpy activations(&first, &CSingleInstance::activationRequested);

    CSingleInstance second(name);
    EXPECT_FALSE(second.Acquire());
    // The first instance answers from its event loop; the second waits for it on another thread.
    auto answered = std::async(std::launch::async, [&] { return CSingleInstance(name).NotifyFirst(5000); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return activations.count() == 1; }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return answered.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready; }, 5000));
    EXPECT_TRUE(answered.get());
}

TEST(SingleInstance, NobodyListeningMeansNoAnswer) {
    CSingleInstance lonely(QStringLiteral("veltrin-test-nobody-%1").arg(QCoreApplication::applicationPid()));
    EXPECT_FALSE(lonely.NotifyFirst(300));
}
