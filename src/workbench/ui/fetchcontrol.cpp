#include "workbench/ui/fetchcontrol.h"

#include "db/openresult.h"
#include "workbench/ui/statementwait.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>

FetchControl::FetchControl(QWidget* area, OpenResult& openResult, QLabel* recordsLabel, QObject* parent)
    : QObject(parent), m_openResult(openResult), m_records(recordsLabel)
{
    m_stop = new QPushButton(QStringLiteral("Stop"), area);
    m_stop->setObjectName(QStringLiteral("stopButton"));
    m_stop->setToolTip(QStringLiteral("Stops the running statement (Esc); the rows read so far stay"));
    m_stop->setAccessibleName(QStringLiteral("Stop the statement"));
    m_stop->setEnabled(false);
    connect(m_stop, &QPushButton::clicked, this, &FetchControl::stop);

    // Only while rows come in: otherwise Escape keeps its meaning in the grid and the editor.
    m_escape = new QShortcut(QKeySequence(Qt::Key_Escape), area);
    m_escape->setEnabled(false);
    connect(m_escape, &QShortcut::activated, this, &FetchControl::stop);

    m_wait = new StatementWait(m_stop, this);
    m_openResult.setBackgroundFetch(true);
    m_openResult.setWaitHandler([this] { return (*m_wait)(); });

    connect(&m_openResult, &OpenResult::rowsFetched, this, &FetchControl::showState);
    connect(&m_openResult, &OpenResult::fetchingChanged, this, &FetchControl::showState);
    connect(&m_openResult, &OpenResult::waiting, this, [this](bool waiting) {
        if (waiting == m_waiting)
            return;
        m_waiting = waiting;
        if (waiting)
            QApplication::setOverrideCursor(Qt::BusyCursor);
        else
            QApplication::restoreOverrideCursor();
        m_stop->setEnabled(waiting || m_openResult.isFetching());
    });
}

QString FetchControl::recordsText(const OpenResult& openResult)
{
    QString text = QStringLiteral("Records: ") + QString::number(openResult.recordCount());
    if (!openResult.filter().isEmpty())
        text += QStringLiteral(" of ") + QString::number(openResult.loadedCount());
    if (openResult.isFetching())
        text += QChar(0x2026);
    else if (openResult.wasStopped())
        text += QStringLiteral(" (stopped)");
    return text;
}

void FetchControl::stop()
{
    m_openResult.stopFetching();
}

void FetchControl::showState()
{
    const bool fetching = m_openResult.isFetching();
    m_stop->setEnabled(fetching || m_waiting);
    m_escape->setEnabled(fetching);
    if (m_openResult.isOpen())
        m_records->setText(recordsText(m_openResult));
}
