// A second yardstick for start-up: the smallest Qt Widgets program that shows text (one label), so the
// cost of setting up fonts, which the empty window never pays, is seen apart from the program's own.
#include "FirstPaint.h"

#include <QApplication>
#include <QLabel>

#include <cstdlib>

void WhenPainted(QWidget*) { std::_Exit(0); }

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("Hello world"));
    window.resize(640, 480);
    window.show();
    return QApplication::exec();
}
