#include "workbench/ui/filterheader.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>

namespace {
// Each key typed would filter a million rows again; a short pause lets a word be typed whole.
constexpr int typingPauseMs = 250;
} // namespace

FilterHeader::FilterHeader(QTableView* table) : QHeaderView(Qt::Horizontal, table), m_pause(new QTimer(this))
{
    m_fieldHeight = QLineEdit().sizeHint().height();
    // The titles are drawn and clicked in the upper part; the fields sit in the margin below.
    setViewportMargins(0, 0, 0, m_fieldHeight);
    m_pause->setSingleShot(true);
    m_pause->setInterval(typingPauseMs);
    connect(m_pause, &QTimer::timeout, this, &FilterHeader::filterEdited);
    connect(this, &QHeaderView::sectionResized, this, &FilterHeader::placeFields);
    connect(this, &QHeaderView::sectionMoved, this, &FilterHeader::placeFields);
    // The view moves the titles when it scrolls; the fields follow once the titles have moved.
    connect(table->horizontalScrollBar(), &QScrollBar::valueChanged, this, &FilterHeader::placeFields,
            Qt::QueuedConnection);
}

QSize FilterHeader::sizeHint() const
{
    QSize size = QHeaderView::sizeHint();
    size.rheight() += m_fieldHeight;
    return size;
}

void FilterHeader::showColumns(const QStringList& titles, const QStringList& texts)
{
    while (m_fields.size() > titles.size())
        delete m_fields.takeLast();
    const bool adding = m_fields.size() < titles.size();
    while (m_fields.size() < titles.size()) {
        auto* field = new QLineEdit(this);
        field->setPlaceholderText(QStringLiteral("Filter"));
        field->setClearButtonEnabled(true);
        // Only what the user types (or clears) filters; texts shown for a new result do not.
        connect(field, &QLineEdit::textEdited, m_pause, qOverload<>(&QTimer::start));
        connect(field, &QLineEdit::returnPressed, this, [this] {
            m_pause->stop();
            Q_EMIT filterEdited();
        });
        field->show();
        m_fields.append(field);
    }
    // Tab reaches the fields right after the grid, in the columns' order, not after the last
    // control of the window where fields made later would otherwise go.
    if (adding) {
        QWidget* previous = parentWidget();
        for (QLineEdit* field : std::as_const(m_fields)) {
            QWidget::setTabOrder(previous, field);
            previous = field;
        }
    }
    for (int c = 0; c < m_fields.size(); ++c) {
        QLineEdit* field = m_fields[c];
        field->setAccessibleName(QStringLiteral("Filter ") + titles[c]);
        field->setToolTip(QStringLiteral("Rows whose %1 contains this text; >90, <=100, =5 or 80..90 compare numbers")
                              .arg(titles[c]));
        const QString text = texts.value(c);
        if (field->text() != text)
            field->setText(text);
    }
    placeFields();
}

QString FilterHeader::filterText(int column) const
{
    const QLineEdit* field = m_fields.value(column);
    return field ? field->text() : QString();
}

void FilterHeader::updateGeometries()
{
    QHeaderView::updateGeometries();
    placeFields();
}

// Enter in a field has applied its filter; it goes no further, to the grid (which would submit an
// edited row) or the window (which would run the statement).
void FilterHeader::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QHeaderView::keyPressEvent(event);
}

void FilterHeader::placeFields()
{
    const int top = viewport()->geometry().bottom() + 1;
    for (int c = 0; c < m_fields.size(); ++c) {
        QLineEdit* field = m_fields[c];
        const bool shown = c < count() && !isSectionHidden(c);
        field->setVisible(shown);
        if (shown)
            field->setGeometry(viewport()->x() + sectionViewportPosition(c), top, sectionSize(c), m_fieldHeight);
    }
}
