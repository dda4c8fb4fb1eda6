// Choosing mnemonics that leave the texts as they read.
#include "Mnemonics.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTabWidget>
#include <QWidget>

namespace {

bool Usable(QChar c) { return c.isLetterOrNumber(); }

} // namespace

QString WithMnemonic(const QString& text, QSet<QChar>& taken) {
    if (text.contains(QLatin1Char('&')))
        return text;
    auto take = [&](qsizetype i) {
        taken.insert(text[i].toUpper());
        QString marked = text;
        marked.insert(i, QLatin1Char('&'));
        return marked;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool wordStart = i == 0 || !Usable(text[i - 1]);
        if (wordStart && Usable(text[i]) && !taken.contains(text[i].toUpper()))
            return take(i);
    }
    for (qsizetype i = 0; i < text.size(); ++i)
        if (Usable(text[i]) && !taken.contains(text[i].toUpper()))
            return take(i);
    return text;
}

QString KeepMnemonic(const QString& oldText, const QString& newText) {
    const qsizetype at = oldText.indexOf(QLatin1Char('&'));
    if (at < 0 || at + 1 >= oldText.size() || newText.contains(QLatin1Char('&')))
        return newText;
    // Every letter but the old mnemonic counts as taken, so only that one can be chosen.
    QSet<QChar> others;
    for (QChar c : newText)
        if (c.toUpper() != oldText[at + 1].toUpper())
            others.insert(c.toUpper());
    return WithMnemonic(newText, others);
}

namespace {

void Assign(QWidget* root, QSet<QChar>& taken) {
    for (QObject* child : root->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w)
            continue;
        if (auto* tabs = qobject_cast<QTabWidget*>(w)) {
            // Only one tab shows at a time, and a hidden control's mnemonic does not fire: every tab
            // chooses from the letters left at this point.
            for (int i = 0; i < tabs->count(); ++i) {
                QSet<QChar> tabTaken = taken;
                Assign(tabs->widget(i), tabTaken);
            }
            continue;
        }
        if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            // Buttons without words or out of the keyboard's reach have nothing to mark.
            if (!button->text().isEmpty() && button->focusPolicy() != Qt::NoFocus)
                button->setText(WithMnemonic(button->text(), taken));
        } else if (auto* label = qobject_cast<QLabel*>(w)) {
            // A label naming a figure (a buddy that takes no focus) has nowhere to send the key.
            if (label->buddy() && label->buddy()->focusPolicy() != Qt::NoFocus && label->textFormat() != Qt::RichText)
                label->setText(WithMnemonic(label->text(), taken));
        }
        // A group's controls take their letters where the group stands in the order.
        Assign(w, taken);
    }
}

} // namespace

void AssignMnemonics(QWidget* root, QSet<QChar> taken) { Assign(root, taken); }
