// Control makers of the streaming pages.
#include "StreamWidgets.h"

#include "FigureAccessible.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

QPushButton* PageButton(const QString& text, const QString& name, const QString& accessibleName, QWidget* parent,
                        bool checkable) {
    auto* button = Named(new QPushButton(text, parent), name, accessibleName);
    button->setAutoDefault(false);
    button->setCheckable(checkable);
    return button;
}

QLineEdit* NumberEdit(const QString& name, const QString& accessibleName, QWidget* parent) {
    auto* edit = Named(new QLineEdit(parent), name, accessibleName);
    edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 9);
    return edit;
}

QLabel* FigureText(const QString& text, const QString& name, const QString& caption, const QString& longest,
                   QWidget* parent) {
    auto* label = Named(new QLabel(parent), name);
    SpeakAsFigure(label, caption); // before any text, whose change would make Qt settle how the label reads
    label->setText(text);
    label->setTextFormat(Qt::PlainText);
    label->setFixedSize(label->fontMetrics().horizontalAdvance(longest) + 4, label->sizeHint().height());
    return label;
}

QLabel* Caption(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }
