#include "common/ui/accessiblewindow.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QList>
#include <QWidget>

namespace {

QList<const QMetaObject*>& windowClasses()
{
    static QList<const QMetaObject*> classes;
    return classes;
}

QAccessibleInterface* windowFactory(const QString& className, QObject* object)
{
    // Only the registered classes, asked for by their own names: other widgets (menus, dialogs,
    // controls) keep the interfaces Qt gives them.
    const QMetaObject* type = object ? object->metaObject() : nullptr;
    if (!type || !windowClasses().contains(type) || className != QLatin1String(type->className()))
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    return widget->isWindow() ? new QAccessibleWidget(widget, QAccessible::Window) : nullptr;
}

} // namespace

void installWindowAccessibility(const QMetaObject& windowClass)
{
    static const bool installed = [] {
        QAccessible::installFactory(windowFactory);
        return true;
    }();
    Q_UNUSED(installed);
    if (!windowClasses().contains(&windowClass))
        windowClasses().append(&windowClass);
}
