#include "common/ui/windowstyle.h"

#include <QGuiApplication>
#include <QScreen>
#include <QShortcut>
#include <QWidget>

namespace windowstyle {

void makeGrowable(QWidget* window, const QSize& designSize)
{
    window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                           | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                           | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    window->setMinimumSize(designSize);
    window->resize(designSize);
}

void fitIntoScreen(QWidget* window)
{
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QSize frame = window->frameGeometry().size() - window->geometry().size();
    window->resize(window->size().boundedTo(screen->availableGeometry().size() - frame));
}

void centreOn(QWidget* window, const QWidget* over)
{
    QRect area;
    if (over)
        area = over->frameGeometry();
    else if (const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isValid())
        window->move(area.center() - window->rect().center());
}

void closeWithKeys(QWidget* window)
{
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        auto* shortcut = new QShortcut(keys, window);
        shortcut->setContext(Qt::WindowShortcut);
        QObject::connect(shortcut, &QShortcut::activated, window, &QWidget::close);
    }
}

} // namespace windowstyle
