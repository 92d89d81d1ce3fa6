#include "common/ui/errordisplay.h"

#include "common/apptext.h"
#include "common/ui/dialogs.h"

#include <QCoreApplication>

void showDefaultError(const QString& message)
{
    Dialogs::instance().message(apptext::applicationTitle(QCoreApplication::applicationFilePath()),
                                apptext::errorText(message), Dialogs::Icon::Error);
}
