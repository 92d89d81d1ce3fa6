#include "workbench/ui/findbar.h"

#include "workbench/ui/sqleditor.h"

#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace {
QToolButton* toolButton(QWidget* parent, const QString& text, const QString& name, const QString& tip)
{
    auto* b = new QToolButton(parent);
    b->setText(text);
    b->setAccessibleName(name);
    b->setToolTip(tip);
    b->setAutoRaise(true);
    return b;
}
} // namespace

FindBar::FindBar(SqlEditor* editor) : QWidget(editor), m_editor(editor)
{
    setObjectName(QStringLiteral("findBar"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(2, 2, 2, 2);
    rows->setSpacing(2);

    auto* findRow = new QHBoxLayout;
    findField = new QLineEdit(this);
    findField->setObjectName(QStringLiteral("findField"));
    findField->setAccessibleName(QStringLiteral("Find"));
    findField->setPlaceholderText(QStringLiteral("Find"));
    m_outcome = new QLabel(this);
    QToolButton* previous = toolButton(this, QStringLiteral("\u25B2"), QStringLiteral("Previous match"),
                                       QStringLiteral("Previous match (Shift+F3)"));
    QToolButton* next = toolButton(this, QStringLiteral("\u25BC"), QStringLiteral("Next match"),
                                   QStringLiteral("Next match (Enter, F3)"));
    QToolButton* closer = toolButton(this, QStringLiteral("\u2715"), QStringLiteral("Close find"),
                                     QStringLiteral("Close (Esc)"));
    findRow->addWidget(findField, 1);
    findRow->addWidget(m_outcome);
    findRow->addWidget(previous);
    findRow->addWidget(next);
    findRow->addWidget(closer);
    rows->addLayout(findRow);

    m_replaceRow = new QWidget(this);
    auto* replaceRow = new QHBoxLayout(m_replaceRow);
    replaceRow->setContentsMargins(0, 0, 0, 0);
    replaceField = new QLineEdit(m_replaceRow);
    replaceField->setObjectName(QStringLiteral("replaceField"));
    replaceField->setAccessibleName(QStringLiteral("Replace with"));
    replaceField->setPlaceholderText(QStringLiteral("Replace with"));
    auto* replace = new QPushButton(QStringLiteral("&Replace"), m_replaceRow);
    auto* all = new QPushButton(QStringLiteral("Replace &all"), m_replaceRow);
    for (QPushButton* b : {replace, all})
        b->setAutoDefault(false);
    replaceRow->addWidget(replaceField, 1);
    replaceRow->addWidget(replace);
    replaceRow->addWidget(all);
    rows->addWidget(m_replaceRow);

    connect(findField, &QLineEdit::returnPressed, this, &FindBar::findNext);
    connect(findField, &QLineEdit::textEdited, m_outcome, &QLabel::clear);
    connect(replaceField, &QLineEdit::returnPressed, this, &FindBar::replaceOne);
    connect(previous, &QToolButton::clicked, this, &FindBar::findPrevious);
    connect(next, &QToolButton::clicked, this, &FindBar::findNext);
    connect(closer, &QToolButton::clicked, this, &FindBar::dismiss);
    connect(replace, &QPushButton::clicked, this, &FindBar::replaceOne);
    connect(all, &QPushButton::clicked, this, &FindBar::replaceAll);

    // The keys work in the editor and in the bar alike.
    const auto key = [this](const QKeySequence& sequence, auto slot) {
        auto* action = new QAction(m_editor);
        action->setShortcut(sequence);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        m_editor->addAction(action);
        connect(action, &QAction::triggered, this, slot);
    };
    key(QKeySequence(Qt::CTRL | Qt::Key_F), [this] { open(false); });
    key(QKeySequence(Qt::CTRL | Qt::Key_H), [this] { open(true); });
    key(QKeySequence(Qt::Key_F3), [this] { findNext(); });
    key(QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { findPrevious(); });

    m_editor->installEventFilter(this);
    hide();
}

void FindBar::open(bool withReplace)
{
    // The selected word is what the user most likely looks for.
    const QString selected = m_editor->selectedText();
    if (!selected.isEmpty() && !selected.contains(QLatin1Char('\n')))
        findField->setText(selected);
    m_replaceRow->setVisible(withReplace || m_replaceRow->isVisible());
    m_outcome->clear();
    show();
    place();
    QLineEdit* field = withReplace && !findField->text().isEmpty() ? replaceField : findField;
    field->setFocus(Qt::ShortcutFocusReason);
    field->selectAll();
}

void FindBar::dismiss()
{
    const bool hadFocus = isAncestorOf(QApplication::focusWidget());
    hide();
    m_replaceRow->hide();
    m_editor->setBottomMargin(0);
    if (hadFocus)
        m_editor->setFocus(Qt::OtherFocusReason);
}

bool FindBar::findNext()
{
    const QString text = findField->text();
    if (text.isEmpty())
        return false;
    // From the caret, which after a match stands at its end.
    const bool found = m_editor->findFirst(text, false, false, false, true, true);
    showOutcome(found);
    return found;
}

bool FindBar::findPrevious()
{
    const QString text = findField->text();
    if (text.isEmpty())
        return false;
    // From the start of the selection, so the match shown now is not found again.
    int line = 0;
    int index = 0;
    int toLine = 0;
    int toIndex = 0;
    m_editor->getSelection(&line, &index, &toLine, &toIndex);
    if (line < 0)
        m_editor->getCursorPosition(&line, &index);
    const bool found = m_editor->findFirst(text, false, false, false, true, false, line, index);
    showOutcome(found);
    return found;
}

// Replaces the match that is selected, then shows the next one.
void FindBar::replaceOne()
{
    if (m_editor->selectedText().compare(findField->text(), Qt::CaseInsensitive) == 0 && !findField->text().isEmpty())
        m_editor->replaceSelectedText(replaceField->text());
    findNext();
}

int FindBar::replaceAll()
{
    const QString text = findField->text();
    if (text.isEmpty())
        return 0;
    int replaced = 0;
    // One undo step for all of them; from the top, without going round again.
    m_editor->beginUndoAction();
    for (bool found = m_editor->findFirst(text, false, false, false, false, true, 0, 0); found;
         found = m_editor->findFirst(text, false, false, false, false, true)) {
        m_editor->replaceSelectedText(replaceField->text());
        ++replaced;
    }
    m_editor->endUndoAction();
    m_outcome->setText(QStringLiteral("%1 replaced").arg(replaced));
    return replaced;
}

void FindBar::showOutcome(bool found)
{
    m_outcome->setText(found ? QString() : QStringLiteral("Not found"));
}

void FindBar::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape: dismiss(); break;
    // Handled by the field; the rest of the way leads to the editor, which would break the line.
    case Qt::Key_Return:
    case Qt::Key_Enter: break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

bool FindBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_editor && event->type() == QEvent::Resize && isVisible())
        place();
    return QWidget::eventFilter(watched, event);
}

// Along the editor's bottom edge, with the editor's text kept clear of it.
void FindBar::place()
{
    const int height = sizeHint().height();
    setGeometry(0, m_editor->height() - height, m_editor->width(), height);
    m_editor->setBottomMargin(height);
    raise();
}
