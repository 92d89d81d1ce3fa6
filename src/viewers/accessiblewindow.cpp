#include "accessiblewindow.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

namespace {

QAccessibleInterface* viewerWindowFactory(const QString& className, QObject* object)
{
    // Only a direct QWidget subclass asked for by its own class: widgets with an interface of
    // their own (dialogs, main windows, controls) keep it.
    const QMetaObject* type = object ? object->metaObject() : nullptr;
    if (!type || type->superClass() != &QWidget::staticMetaObject || className != QLatin1String(type->className()))
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    return widget->isWindow() ? new QAccessibleWidget(widget, QAccessible::Window) : nullptr;
}

} // namespace

void installViewerWindowAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(viewerWindowFactory);
        return true;
    }();
    Q_UNUSED(installed);
}
