#include "common/apptext.h"

#include <QFileInfo>

namespace apptext {

QString applicationTitle(const QString& programPath)
{
    const QString name = QFileInfo(programPath).completeBaseName();
    if (name.isEmpty())
        return name;
    return name.left(1).toUpper() + name.mid(1).toLower();
}

QString errorText(const QString& message)
{
    if (!message.isEmpty() && message.back() > QChar('.'))
        return message + '.';
    return message;
}

int isoWeek(const QDate& date)
{
    return date.weekNumber();
}

} // namespace apptext
