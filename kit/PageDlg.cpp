// The page base: swallows Esc and Enter so they never reach (and close) the main window.
#include "PageDlg.h"

#include <QKeyEvent>

CPageDlg::CPageDlg(QWidget* parent) : QWidget(parent) {}

void CPageDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        OnCancel();
        event->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}
