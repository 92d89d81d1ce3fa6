#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

// Every modal dialog and message box goes through here, so tests can answer them instead of a
// person. The program uses QtDialogs; a test installs its own with setInstance().
class Dialogs {
public:
    enum class Icon { Information, Error };

    struct FileRequest {
        QString caption;
        QStringList filters;        // "SQL files (*.sql)", shown in this order
        QString defaultSuffix;      // given to a name typed without extension
        QString initialPath;        // a folder or the last confirmed file
    };

    virtual ~Dialogs() = default;

    // A message box with one OK button.
    virtual void message(const QString& caption, const QString& text, Icon icon) = 0;
    // OK (true) or Cancel (false).
    virtual bool confirm(const QString& text) = 0;
    // A one-line input; no value when cancelled or closed.
    virtual std::optional<QString> inputText(const QString& caption, const QString& prompt,
                                             const QString& text, int maxLength) = 0;
    // The confirmed file's full path; empty when cancelled.
    virtual QString openFileName(const FileRequest& request) = 0;
    virtual QString saveFileName(const FileRequest& request) = 0;
    // An existing folder's full path (the dialog can make a new one); empty when cancelled.
    virtual QString folderName(const QString& caption, const QString& initialPath) = 0;

    static Dialogs& instance();
    static void setInstance(Dialogs* dialogs);   // nullptr: back to the real dialogs
};

// The real dialogs, on Qt widgets.
class QtDialogs : public Dialogs {
public:
    void message(const QString& caption, const QString& text, Icon icon) override;
    bool confirm(const QString& text) override;
    std::optional<QString> inputText(const QString& caption, const QString& prompt,
                                     const QString& text, int maxLength) override;
    QString openFileName(const FileRequest& request) override;
    QString saveFileName(const FileRequest& request) override;
    QString folderName(const QString& caption, const QString& initialPath) override;
};
