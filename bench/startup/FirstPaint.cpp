// Linked into a program that the start-up benchmark launches: once the first top-level window has been
// painted, prints "painted" on standard output and ends the process at once.
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

namespace {

class FirstPaintWatch final : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!m_seen && event->type() == QEvent::Paint) {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget && widget->window()->isVisible()) {
                m_seen = true;
                // Reported after the paint event has been handled, from the next turn of the event loop.
                QTimer::singleShot(0, [] {
                    std::printf("painted\n");
                    std::fflush(stdout);
                    std::_Exit(0);
                });
            }
        }
        return false;
    }

private:
    bool m_seen = false;
};

void Install() { QCoreApplication::instance()->installEventFilter(new FirstPaintWatch); }

} // namespace

Q_COREAPP_STARTUP_FUNCTION(Install)
