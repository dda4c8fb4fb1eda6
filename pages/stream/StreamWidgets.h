// Control makers shared by the streaming pages: every control gets an object name and an accessible
// name, buttons never become the default button, and live figures keep a fixed size.
#pragma once

#include <QString>

#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

template <typename Widget> Widget* Named(Widget* widget, const QString& name, const QString& accessibleName = {}) {
    widget->setObjectName(name);
    if (!accessibleName.isEmpty())
        widget->setAccessibleName(accessibleName);
    return widget;
}

QPushButton* PageButton(const QString& text, const QString& name, const QString& accessibleName, QWidget* parent,
                        bool checkable = false);
// An edit for a number of up to nine digits.
QLineEdit* NumberEdit(const QString& name, const QString& accessibleName, QWidget* parent);
// A live figure in plain text, read by assistive tools as `caption` and its value. It keeps the size of
// `longest`, so a new value repaints the figure alone instead of moving its neighbours (the workers update
// every figure twenty times a second).
QLabel* FigureText(const QString& text, const QString& name, const QString& caption, const QString& longest,
                   QWidget* parent);
// A label naming `buddy`, which screen readers then announce by it.
QLabel* Caption(const QString& text, QWidget* buddy, QWidget* parent);
// A path as the file functions take it.
std::string LocalPath(const QString& path);

// Texts as long as the longest value of each kind of figure.
inline const QString kLongestCount = QStringLiteral("4294967295");
inline const QString kLongestTime = QStringLiteral("000:00:00:00");
inline const QString kLongestLevel = QStringLiteral("-32768");
