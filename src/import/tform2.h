#pragma once

#include <QDialog>

class QPlainTextEdit;

// The modal import progress window: the log and the gauge of one import job.
class TForm2 : public QDialog {
    Q_OBJECT

public:
    explicit TForm2(QWidget* mainWindow);

    QPlainTextEdit* Memo1;
};
