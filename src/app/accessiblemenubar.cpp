#include "app/accessiblemenubar.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

namespace {

QString withoutMnemonic(QString text)
{
    // "&Info" reads "Info"; "&&" is a literal ampersand.
    text.replace(QLatin1String("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text;
}

// One entry of the menu bar: its text, its place, and the menu it opens.
class AccessibleBarEntry : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    AccessibleBarEntry(QMenuBar* bar, QAction* action) : m_bar(bar), m_action(action) {}

    bool isValid() const override { return m_bar && m_action; }
    QObject* object() const override { return m_action; }
    QWindow* window() const override { return m_bar ? m_bar->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_bar.data()); }
    int childCount() const override { return m_action->menu() ? 1 : 0; }
    QAccessibleInterface* child(int index) const override
    {
        return index == 0 && m_action->menu() ? QAccessible::queryAccessibleInterface(m_action->menu()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child && m_action->menu() && child->object() == m_action->menu() ? 0 : -1;
    }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name:
            return withoutMnemonic(m_action->text());
        case QAccessible::Description:
            return m_action->toolTip() == withoutMnemonic(m_action->text()) ? QString() : m_action->toolTip();
        case QAccessible::Accelerator:
            return m_action->shortcut().toString(QKeySequence::NativeText);
        default:
            return QString();
        }
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override
    {
        const QRect inBar = m_bar->actionGeometry(m_action);
        return QRect(m_bar->mapToGlobal(inBar.topLeft()), inBar.size());
    }
    QAccessible::Role role() const override
    {
        return m_action->isSeparator() ? QAccessible::Separator : QAccessible::MenuItem;
    }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        s.invisible = !m_action->isVisible() || !m_bar->isVisible();
        s.disabled = !m_action->isEnabled();
        s.focusable = true;
        s.focused = m_bar->activeAction() == m_action;
        s.hasPopup = m_action->menu() != nullptr;
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    QStringList actionNames() const override
    {
        return m_action->isSeparator() || !m_action->isEnabled() ? QStringList() : QStringList(pressAction());
    }
    void doAction(const QString& actionName) override
    {
        if (actionName != pressAction() || !m_action->isEnabled())
            return;
        if (m_action->menu())
            m_bar->setActiveAction(m_action);   // opens the menu, as a click does
        else
            m_action->trigger();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<QMenuBar> m_bar;
    QPointer<QAction> m_action;
};

// The menu bar: its entries, then the widgets in its corners.
class AccessibleMainMenuBar : public QAccessibleWidget {
public:
    explicit AccessibleMainMenuBar(QMenuBar* bar) : QAccessibleWidget(bar, QAccessible::MenuBar) {}

    int childCount() const override { return int(bar()->actions().size() + corners().size()); }

    QAccessibleInterface* child(int index) const override
    {
        const QList<QAction*> actions = bar()->actions();
        if (index >= 0 && index < actions.size())
            return entry(actions.at(index));
        const QList<QWidget*> cornerWidgets = corners();
        index -= int(actions.size());
        if (index >= 0 && index < cornerWidgets.size())
            return QAccessible::queryAccessibleInterface(cornerWidgets.at(index));
        return nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (!child)
            return -1;
        const QList<QAction*> actions = bar()->actions();
        for (int i = 0; i < actions.size(); ++i)
            if (child->object() == actions.at(i))
                return i;
        const qsizetype corner = corners().indexOf(qobject_cast<QWidget*>(child->object()));
        return corner < 0 ? -1 : int(actions.size() + corner);
    }

private:
    QMenuBar* bar() const { return static_cast<QMenuBar*>(widget()); }

    QList<QWidget*> corners() const
    {
        QList<QWidget*> widgets;
        for (Qt::Corner corner : {Qt::TopLeftCorner, Qt::TopRightCorner})
            if (QWidget* w = bar()->cornerWidget(corner))
                widgets.append(w);
        return widgets;
    }

    QAccessibleInterface* entry(QAction* action) const
    {
        // One interface per entry for as long as the entry lives, as Qt keeps them.
        if (QAccessibleInterface* known = QAccessible::queryAccessibleInterface(action))
            return known;
        QAccessibleInterface* created = new AccessibleBarEntry(bar(), action);
        QAccessible::registerAccessibleInterface(created);
        return created;
    }
};

QAccessibleInterface* menuBarFactory(const QString& className, QObject* object)
{
    if (className != QLatin1String("QMenuBar"))
        return nullptr;
    auto* bar = qobject_cast<QMenuBar*>(object);
    if (!bar || !qobject_cast<QMainWindow*>(bar->parentWidget()))
        return nullptr;
    return new AccessibleMainMenuBar(bar);
}

} // namespace

void installCornerAwareMenuBarAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(menuBarFactory);
        return true;
    }();
    Q_UNUSED(installed);
}
