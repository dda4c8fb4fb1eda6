// The one way the program shows a message box or a file dialog, so tests can record them instead.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

enum class PromptIcon { None, Error, Warning, Information };

class IPrompts {
public:
    virtual ~IPrompts() = default;
    // A modal message box with an OK button.
    virtual void Message(QWidget* owner, const QString& text, const QString& caption, PromptIcon icon) = 0;
    // A modal open or save dialog with Qt name filters ("Text files (*.txt)"); the chosen path, or an
    // empty text when the user cancelled. Saving asks before overwriting an existing file.
    virtual QString ChooseFile(QWidget* owner, bool open, const QStringList& filters) = 0;
};

// The prompts in force: the real dialogs unless a test installed its own.
IPrompts& Prompts();
// Installs other prompts (null restores the real dialogs); the caller keeps ownership.
void SetPrompts(IPrompts* prompts);

// Shorthand for the common error box.
void ShowError(QWidget* owner, const QString& text, const QString& caption = QStringLiteral("Error"));
