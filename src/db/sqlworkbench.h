#pragma once

#include <QObject>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QueryObject;
class QWidget;

// The lower left of the main window: the SQL editor, its buttons and the status line above it.
class SqlWorkbench : public QObject {
    Q_OBJECT

public:
    SqlWorkbench(QWidget* form, QueryObject& dataSet, QObject* parent = nullptr);

    QPlainTextEdit* Memo1;
    QLabel* Label5;
    QLabel* Label11;
    QLabel* Label10;
    QLabel* Label1;
    QLabel* Label8;
    QPushButton* Speedbutton1;
    QPushButton* Button1;
    QPushButton* Button2;

    static QString defaultStatement();

private:
    QueryObject& m_dataSet;
};
