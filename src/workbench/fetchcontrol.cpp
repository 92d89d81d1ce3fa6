#include "fetchcontrol.h"

#include "db/queryobject.h"
#include "workbench/statementwait.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>

FetchControl::FetchControl(QWidget* form, QueryObject& dataSet, QLabel* recordsLabel, QObject* parent)
    : QObject(parent), m_dataSet(dataSet), m_records(recordsLabel)
{
    m_stop = new QPushButton(QStringLiteral("Stop"), form);
    m_stop->setObjectName(QStringLiteral("stopButton"));
    m_stop->setToolTip(QStringLiteral("Stops the running statement (Esc); the rows read so far stay"));
    m_stop->setAccessibleName(QStringLiteral("Stop the statement"));
    m_stop->setEnabled(false);
    connect(m_stop, &QPushButton::clicked, this, &FetchControl::stop);

    // Only while rows come in: otherwise Escape keeps its meaning in the grid and the editor.
    m_escape = new QShortcut(QKeySequence(Qt::Key_Escape), form);
    m_escape->setEnabled(false);
    connect(m_escape, &QShortcut::activated, this, &FetchControl::stop);

    m_wait = new StatementWait(m_stop, this);
    m_dataSet.setBackgroundFetch(true);
    m_dataSet.setWaitHandler([this] { return (*m_wait)(); });

    connect(&m_dataSet, &QueryObject::rowsFetched, this, &FetchControl::showState);
    connect(&m_dataSet, &QueryObject::fetchingChanged, this, &FetchControl::showState);
    connect(&m_dataSet, &QueryObject::waiting, this, [this](bool waiting) {
        if (waiting == m_waiting)
            return;
        m_waiting = waiting;
        if (waiting)
            QApplication::setOverrideCursor(Qt::BusyCursor);
        else
            QApplication::restoreOverrideCursor();
        m_stop->setEnabled(waiting || m_dataSet.isFetching());
    });
}

QString FetchControl::recordsText(const QueryObject& dataSet)
{
    QString text = QStringLiteral("Records: ") + QString::number(dataSet.recordCount());
    if (!dataSet.filter().isEmpty())
        text += QStringLiteral(" of ") + QString::number(dataSet.loadedCount());
    if (dataSet.isFetching())
        text += QChar(0x2026);
    else if (dataSet.wasStopped())
        text += QStringLiteral(" (stopped)");
    return text;
}

void FetchControl::stop()
{
    m_dataSet.stopFetching();
}

void FetchControl::showState()
{
    const bool fetching = m_dataSet.isFetching();
    m_stop->setEnabled(fetching || m_waiting);
    m_escape->setEnabled(fetching);
    if (m_dataSet.isOpen())
        m_records->setText(recordsText(m_dataSet));
}
