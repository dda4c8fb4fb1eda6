// The real prompts: QMessageBox and QFileDialog.
#include "Prompts.h"

#include <QFileDialog>
#include <QMessageBox>

namespace {

class DialogPrompts final : public IPrompts {
public:
    void Message(QWidget* owner, const QString& text, const QString& caption, PromptIcon icon) override {
        QMessageBox box(owner);
        box.setObjectName(QStringLiteral("messageBox"));
        box.setWindowTitle(caption);
        box.setText(text);
        switch (icon) {
        case PromptIcon::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case PromptIcon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case PromptIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case PromptIcon::None:
            break;
        }
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
    }

    QString ChooseFile(QWidget* owner, bool open, const QStringList& filters) override {
        QFileDialog dialog(owner);
        dialog.setObjectName(QStringLiteral("fileDialog"));
        dialog.setNameFilters(filters);
        dialog.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
        dialog.setFileMode(open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::ReadOnly, false);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().first();
    }
};

IPrompts* g_override = nullptr;

} // namespace

IPrompts& Prompts() {
    static DialogPrompts real;
    return g_override ? *g_override : real;
}

void SetPrompts(IPrompts* prompts) { g_override = prompts; }

void ShowError(QWidget* owner, const QString& text, const QString& caption) {
    Prompts().Message(owner, text, caption, PromptIcon::Error);
}
