// Linked into a program that the start-up benchmark launches: once the first top-level window has been
// painted, prints "painted" on standard output, then hands over to the program's own WhenPainted.
#include "FirstPaint.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

void Report(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

namespace {

class FirstPaintWatch final : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!m_seen && event->type() == QEvent::Paint) {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget && widget->window()->isVisible()) {
                m_seen = true;
                // Reported after the paint event has been handled, from the next turn of the event loop.
                QTimer::singleShot(0, [window = widget->window()] {
                    Report("painted");
                    WhenPainted(window);
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
