// The yardstick for start-up: the smallest Qt Widgets program with one window, started like the real one.
#include "FirstPaint.h"

#include <QApplication>
#include <QWidget>

#include <cstdlib>

void WhenPainted(QWidget*) { std::_Exit(0); }

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(640, 480);
    window.show();
    return QApplication::exec();
}
