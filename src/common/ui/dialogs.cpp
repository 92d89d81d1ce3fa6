#include "common/ui/dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QVBoxLayout>

#include <memory>

namespace {
Dialogs*& installed()
{
    static Dialogs* dialogs = nullptr;
    return dialogs;
}

// The file dialogs list the program folder, where the database and its journal files live. Qt's
// own icon provider learns a file's type by reading its first bytes, and closing that descriptor
// drops every POSIX lock the process holds on the file, SQLite's included: another program may
// then delete the WAL under the open connection. This one judges by the name alone.
class NameOnlyIconProvider : public QFileIconProvider {
public:
    QIcon icon(const QFileInfo& info) const override
    {
        return QFileIconProvider::icon(info.isDir() ? Folder : File);
    }
    QString type(const QFileInfo& info) const override
    {
        if (info.isDir())
            return QStringLiteral("Folder");
        const QMimeType mime = QMimeDatabase().mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
        return mime.comment().isEmpty() ? mime.name() : mime.comment();
    }
};

// The desktop's own dialogs (GTK's, the portal's) sniff file contents too, out of the program's
// reach, so every file dialog is Qt's, with the provider above. The dialog starts listing the
// folder it is made with at once, before any provider could be set: it is made on the root
// folder and sent to the asked one afterwards, as its constructor would have done.
std::unique_ptr<QFileDialog> fileDialog(const QString& caption, const QString& initialPath)
{
    static NameOnlyIconProvider icons;
    auto dialog = std::make_unique<QFileDialog>(nullptr, caption, QDir::rootPath());
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setIconProvider(&icons);
    const QFileInfo initial(initialPath);
    if (initial.isDir()) {
        dialog->setDirectory(initial.absoluteFilePath());
    } else {
        dialog->setDirectory(initial.absolutePath());
        dialog->selectFile(initial.fileName());
    }
    return dialog;
}

QString confirmedPath(QFileDialog& dialog)
{
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString runFileDialog(const Dialogs::FileRequest& request, QFileDialog::AcceptMode mode)
{
    const auto dialog = fileDialog(request.caption, request.initialPath);
    dialog->setAcceptMode(mode);
    dialog->setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog->setNameFilters(request.filters);
    dialog->setDefaultSuffix(request.defaultSuffix);
    // Replacing an existing file is what the user asked for by naming it.
    dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
    return confirmedPath(*dialog);
}
} // namespace

Dialogs& Dialogs::instance()
{
    static QtDialogs real;
    return installed() ? *installed() : real;
}

void Dialogs::setInstance(Dialogs* dialogs)
{
    installed() = dialogs;
}

void QtDialogs::message(const QString& caption, const QString& text, Icon icon)
{
    QMessageBox box(icon == Icon::Error ? QMessageBox::Critical : QMessageBox::Information,
                    caption, text, QMessageBox::Ok);
    // Messages name files and addresses the user may want to copy.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.exec();
}

bool QtDialogs::confirm(const QString& text)
{
    QMessageBox box(QMessageBox::Question, QApplication::activeWindow()
                        ? QApplication::activeWindow()->windowTitle() : QString(),
                    text, QMessageBox::Ok | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

std::optional<QString> QtDialogs::inputText(const QString& caption, const QString& prompt,
                                            const QString& text, int maxLength)
{
    QDialog dialog;
    dialog.setWindowTitle(caption);
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(prompt, &dialog);
    layout->addWidget(label);
    auto* edit = new QLineEdit(&dialog);
    // A screen reader names the field by what it holds, which the caption says.
    edit->setAccessibleName(caption);
    label->setBuddy(edit);
    // A longer text loaded from the settings is shown and kept whole; typing stops at the limit.
    edit->setMaxLength(qMax(maxLength, int(text.size())));
    edit->setText(text);
    edit->selectAll();
    edit->setMinimumWidth(320);
    layout->addWidget(edit);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return edit->text();
}

QString QtDialogs::openFileName(const FileRequest& request)
{
    return runFileDialog(request, QFileDialog::AcceptOpen);
}

QString QtDialogs::saveFileName(const FileRequest& request)
{
    return runFileDialog(request, QFileDialog::AcceptSave);
}

QString QtDialogs::folderName(const QString& caption, const QString& initialPath)
{
    const auto dialog = fileDialog(caption, initialPath);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    return confirmedPath(*dialog);
}
