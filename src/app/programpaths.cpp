#include "programpaths.h"

#include <QCoreApplication>
#include <QDir>

namespace {
QString& overriddenHome()
{
    static QString folder;
    return folder;
}

QString withSlash(QString folder)
{
    folder = QDir::cleanPath(QDir(folder).absolutePath());
    return folder.endsWith('/') ? folder : folder + '/';
}
} // namespace

QString ProgramPaths::home()
{
    if (!overriddenHome().isEmpty())
        return overriddenHome();
    const QString fromEnvironment = qEnvironmentVariable("RACR_HOME");
    if (!fromEnvironment.isEmpty())
        return withSlash(fromEnvironment);
    return withSlash(QCoreApplication::applicationDirPath());
}

void ProgramPaths::setHome(const QString& folder)
{
    overriddenHome() = folder.isEmpty() ? QString() : withSlash(folder);
}
