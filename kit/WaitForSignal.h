// A bounded wait for one signal, for the screenshot runs that must let a window finish loading.
#pragma once

#include <QEventLoop>
#include <QObject>
#include <QTimer>

// Runs the event loop until `signal` of `sender` or `ms` pass; true when the signal came.
template <typename Signal>
bool WaitFor(const typename QtPrivate::FunctionPointer<Signal>::Object* sender, Signal signal, int ms) {
    QEventLoop loop;
    bool came = false;
    const QMetaObject::Connection c = QObject::connect(sender, signal, &loop, [&] {
        came = true;
        loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(c);
    return came;
}
