#include "dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>

namespace {
Dialogs*& installed()
{
    static Dialogs* dialogs = nullptr;
    return dialogs;
}

QString runFileDialog(const Dialogs::FileRequest& request, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(nullptr, request.caption, request.initialPath);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilters(request.filters);
    dialog.setDefaultSuffix(request.defaultSuffix);
    // Replacing an existing file is what the user asked for by naming it.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
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
    return QFileDialog::getExistingDirectory(nullptr, caption, initialPath);
}
