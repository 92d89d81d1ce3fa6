#include "errordisplay.h"

#include "app/apptext.h"
#include "app/dialogs.h"

#include <QCoreApplication>

void showDefaultError(const QString& message)
{
    Dialogs::instance().message(apptext::applicationTitle(QCoreApplication::applicationFilePath()),
                                apptext::errorText(message), Dialogs::Icon::Error);
}
