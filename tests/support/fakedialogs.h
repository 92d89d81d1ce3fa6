#pragma once

#include "common/ui/dialogs.h"

#include <QList>
#include <optional>

// Answers dialogs for a test and records what was asked; installed for its lifetime.
class FakeDialogs : public Dialogs {
public:
    struct Message {
        QString caption;
        QString text;
        Icon icon;
    };

    FakeDialogs() { Dialogs::setInstance(this); }
    ~FakeDialogs() override { Dialogs::setInstance(nullptr); }

    void message(const QString& caption, const QString& text, Icon icon) override
    {
        messages.append({caption, text, icon});
    }
    bool confirm(const QString& text) override
    {
        confirmations.append(text);
        return confirmAnswer;
    }
    std::optional<QString> inputText(const QString& caption, const QString& prompt, const QString& text,
                                     int maxLength) override
    {
        inputs.append({caption, prompt, text, QString::number(maxLength)});
        return inputAnswer;
    }
    QString openFileName(const FileRequest& request) override
    {
        fileRequests.append(request);
        return openAnswer;
    }
    QString saveFileName(const FileRequest& request) override
    {
        fileRequests.append(request);
        return saveAnswer;
    }

    QString folderName(const QString& caption, const QString&) override
    {
        folderRequests.append(caption);
        return folderAnswer;
    }

    QList<Message> messages;
    QStringList confirmations;
    QList<QStringList> inputs;   // caption, prompt, text, maximum length
    QList<FileRequest> fileRequests;
    QStringList folderRequests;

    bool confirmAnswer = true;
    std::optional<QString> inputAnswer;
    QString openAnswer;
    QString saveAnswer;
    QString folderAnswer;
};
