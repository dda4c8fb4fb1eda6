// The shared polling ticks: every subscriber once a tick in subscription order while subscribers come
// and go during the tick, no re-entry from a nested event loop, and never more ticks than periods.
#include "PollTicks.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

// The event loop the ticks come from, for the length of one test.
struct Application {
    int argc = 1;
    char name[17] = "lines_core_tests";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
};

} // namespace

TEST(PollTicks, LiveSubscribersAreCalledOnceATickInOrderWhileOthersComeAndGo) {
    Application application;
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);

    struct Subscriber {
        int name;
        std::unique_ptr<CPollTicks> ticks;
    };
    std::vector<Subscriber> live; // in subscription order; names rise with it
    std::vector<int> expected;    // who the current tick still owes a call
    std::vector<int> called;      // who the current tick has called
    int nextName = 1;
    int ticks = 0;
    bool inside = false;

    std::function<void(int)> onTick;
    auto subscribe = [&] {
        const int name = nextName++;
        live.push_back({name, std::make_unique<CPollTicks>(std::chrono::milliseconds(1), [&, name] { onTick(name); })});
    };
    auto closeTick = [&] {
        EXPECT_EQ(called, expected) << "tick " << ticks;
        called.clear();
    };
    // The sentinel subscribes first and stays: its call opens each tick.
    const CPollTicks sentinel(std::chrono::milliseconds(1), [&] {
        if (ticks > 0)
            closeTick();
        ++ticks;
        expected.clear();
        for (const Subscriber& s : live)
            expected.push_back(s.name);
    });
    for (int i = 0; i < 4; ++i)
        subscribe();

    onTick = [&](int name) {
        ASSERT_FALSE(inside) << "a tick ran inside another";
        inside = true;
        called.push_back(name);
        std::uniform_int_distribution<int> pick(0, 99);
        const int what = pick(rng);
        if (what < 8) {
            subscribe(); // first called on the next tick
        } else if (what < 16 && !live.empty()) {
            const size_t at = std::uniform_int_distribution<size_t>(0, live.size() - 1)(rng);
            const int gone = live[at].name;
            live[at].ticks.reset(); // may be the subscriber being called
            live.erase(live.begin() + static_cast<std::ptrdiff_t>(at));
            if (std::find(called.begin(), called.end(), gone) == called.end())
                std::erase(expected, gone);
        } else if (what < 18) {
            QCoreApplication::processEvents(); // a nested event loop: the next tick must not come in here
        }
        inside = false;
        if (live.size() < 2)
            subscribe();
    };

    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
    const qint64 elapsedMs = clock.elapsed();
    if (ticks > 0)
        closeTick();
    EXPECT_GT(ticks, 0);
    // The ticks keep a grid of whole periods from the first subscription; missed periods are not made up.
    EXPECT_LE(ticks, elapsedMs + 1);
}

TEST(PollTicks, SubscribersOfOnePeriodShareOneTickAndOtherPeriodsTickApart) {
    Application application;
    struct Case {
        int periodA;
        int periodB;
        bool together;
    } cases[] = {{1, 1, true}, {2, 2, true}, {1, 3, false}};
    for (const Case& c : cases) {
        std::vector<char> order;
        CPollTicks a(std::chrono::milliseconds(c.periodA), [&] { order.push_back('a'); });
        CPollTicks b(std::chrono::milliseconds(c.periodB), [&] { order.push_back('b'); });
#if defined(__linux__)
        EXPECT_TRUE(a.Precise());
#endif
        QEventLoop loop;
        QTimer::singleShot(60, &loop, &QEventLoop::quit);
        loop.exec();
        const auto as = std::count(order.begin(), order.end(), 'a');
        const auto bs = std::count(order.begin(), order.end(), 'b');
        EXPECT_GT(as, 0) << c.periodA << "/" << c.periodB;
        EXPECT_GT(bs, 0) << c.periodA << "/" << c.periodB;
        if (c.together) {
            // One shared tick calls a then b, every time.
            for (size_t i = 0; i + 1 < order.size(); i += 2)
                EXPECT_EQ(std::string(order.begin() + static_cast<std::ptrdiff_t>(i),
                                      order.begin() + static_cast<std::ptrdiff_t>(i + 2)),
                          "ab")
                    << c.periodA;
        } else {
            EXPECT_GT(as, bs) << "the shorter period ticks more often";
        }
    }
}
