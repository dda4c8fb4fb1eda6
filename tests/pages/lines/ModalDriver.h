// Acts on the next modal dialog once its event loop runs, so a test can press its buttons.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <functional>

// Calls `act` with the modal dialog as soon as one is open; retries for about a second, then gives up
// (the test then fails on what it expected the dialog to do).
inline void WhenModal(std::function<void(QDialog*)> act, int attempts = 200) {
    QTimer::singleShot(5, [act = std::move(act), attempts]() mutable {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            act(dialog);
        } else if (attempts > 0) {
            WhenModal(std::move(act), attempts - 1);
        }
    });
}
