// Keyboard mnemonics (Alt+letter) for the buttons and labelled controls of a page or dialog, chosen
// from the letters their texts already have, so that what the user reads stays the same.
#pragma once

#include <QSet>
#include <QString>

class QWidget;

// The text with "&" before the letter it chose (not one of `taken`, which it then joins), or the text
// as it is: a text that holds "&" itself keeps it, and so does one with no free letter. The first
// letters of words come first, then the others in order.
QString WithMnemonic(const QString& text, QSet<QChar>& taken);

// The new text of a control whose text changes while the page runs ("Hook up", "Hook down"), with the
// mnemonic of the text it replaces when that letter is in the new text too, so Alt+letter keeps working.
QString KeepMnemonic(const QString& oldText, const QString& newText);

// Gives every button with a text and every label that names a focusable control (its buddy) under `root` a
// mnemonic, in the order they were made, leaving out the letters of `taken`. Each tab of a tab widget
// chooses on its own, as only one of them shows at a time.
void AssignMnemonics(QWidget* root, QSet<QChar> taken = {});
