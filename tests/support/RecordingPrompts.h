// Prompts that record every message box and answer file dialogs from a script, installed while alive.
#pragma once

#include "Prompts.h"

#include <QStringList>

#include <deque>
#include <vector>

class RecordingPrompts final : public IPrompts {
public:
    struct Shown {
        QString text;
        QString caption;
        PromptIcon icon = PromptIcon::None;
        bool operator==(const Shown&) const = default;
    };
    struct FileRequest {
        bool open = true;
        QStringList filters;
    };

    RecordingPrompts() { SetPrompts(this); }
    ~RecordingPrompts() override { SetPrompts(nullptr); }

    void Message(QWidget*, const QString& text, const QString& caption, PromptIcon icon) override {
        messages.push_back({text, caption, icon});
    }
    QString ChooseFile(QWidget*, bool open, const QStringList& filters) override {
        fileRequests.push_back({open, filters});
        if (fileAnswers.empty())
            return {}; // cancelled
        QString answer = fileAnswers.front();
        fileAnswers.pop_front();
        return answer;
    }

    std::vector<Shown> messages;
    std::deque<QString> fileAnswers; // paths the file dialogs return in order; none left means cancel
    std::vector<FileRequest> fileRequests;
};
