// The shared tick behind every CPollTicks of one thread and period. A Qt timer rounds each wait up to a
// whole millisecond and, when a tick comes later than a period, starts its next period from the late
// tick; with a 1 ms period that loses a tick at almost every scheduling delay. On Linux a periodic
// timerfd keeps the ticks on a fixed grid and wakes the event loop at the exact time instead.
#include "PollTicks.h"

#include <QSocketNotifier>
#include <QTimer>

#include <map>
#include <utility>
#include <vector>

#if defined(__linux__)
#include <sys/timerfd.h>
#include <unistd.h>
#endif

class CTickSource : public std::enable_shared_from_this<CTickSource> {
public:
    explicit CTickSource(std::chrono::milliseconds period) {
#if defined(__linux__)
        m_fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        if (m_fd >= 0) {
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(period).count();
            const timespec step{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
            const itimerspec every{step, step};
            if (timerfd_settime(m_fd, 0, &every, nullptr) == 0) {
                m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
                QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { OnExpired(); });
                return;
            }
            close(m_fd);
            m_fd = -1;
        }
#endif
        m_timer = std::make_unique<QTimer>();
        m_timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(m_timer.get(), &QTimer::timeout, [this] { Fire(); });
        m_timer->start(period);
    }

    ~CTickSource() {
        m_notifier.reset(); // before the descriptor it watches goes
#if defined(__linux__)
        if (m_fd >= 0)
            close(m_fd);
#endif
    }

    CTickSource(const CTickSource&) = delete;
    CTickSource& operator=(const CTickSource&) = delete;

    bool Precise() const { return m_notifier != nullptr; }

    int Add(std::function<void()> onTick) {
        m_subscribers.push_back({m_nextId, std::move(onTick)});
        return m_nextId++;
    }

    void Remove(int id) {
        for (auto& s : m_subscribers)
            if (s.id == id)
                s.onTick = nullptr; // the entry goes after the tick being handled, if one is
        if (!m_firing)
            Compact();
    }

private:
    struct Subscriber {
        int id;
        std::function<void()> onTick;
    };

    void OnExpired() {
#if defined(__linux__)
        // The expirations since the last read; more than one means periods the thread did not see,
        // which are not made up for.
        uint64_t expirations = 0;
        if (read(m_fd, &expirations, sizeof expirations) != static_cast<ssize_t>(sizeof expirations))
            return; // nothing expired after all (the descriptor is non-blocking)
#endif
        Fire();
    }

    void Fire() {
        if (m_firing)
            return; // a nested event loop inside a subscriber; this tick is left out
        // A subscriber may end the last subscription, and with it this source, during its call.
        const std::shared_ptr<CTickSource> keep = shared_from_this();
        m_firing = true;
        // Subscribers added during the tick get their first call on the next one.
        const size_t count = m_subscribers.size();
        for (size_t i = 0; i < count; ++i) {
            if (m_subscribers[i].onTick) {
                const std::function<void()> call = m_subscribers[i].onTick; // the entry may move meanwhile
                call();
            }
        }
        m_firing = false;
        Compact();
    }

    void Compact() {
        std::erase_if(m_subscribers, [](const Subscriber& s) { return !s.onTick; });
    }

    std::vector<Subscriber> m_subscribers;
    int m_nextId = 0;
    bool m_firing = false;
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::unique_ptr<QTimer> m_timer;
};

namespace {

// The sources of the calling thread by period; a source lives while it has a subscriber.
std::shared_ptr<CTickSource> SourceFor(std::chrono::milliseconds period) {
    thread_local std::map<std::chrono::milliseconds::rep, std::weak_ptr<CTickSource>> sources;
    std::weak_ptr<CTickSource>& slot = sources[period.count()];
    std::shared_ptr<CTickSource> source = slot.lock();
    if (!source) {
        source = std::make_shared<CTickSource>(period);
        slot = source;
    }
    return source;
}

} // namespace

CPollTicks::CPollTicks(std::chrono::milliseconds period, std::function<void()> onTick)
    : m_source(SourceFor(period)), m_id(m_source->Add(std::move(onTick))) {}

CPollTicks::~CPollTicks() { m_source->Remove(m_id); }

bool CPollTicks::Precise() const { return m_source->Precise(); }
