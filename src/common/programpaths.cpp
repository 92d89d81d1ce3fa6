#include "common/programpaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <filesystem>
#include <system_error>

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

// A build tree (build/bin beside build/CMakeCache.txt) or a copy that already holds its files
// keeps them beside the executable. Any other program, even one installed into a writable prefix
// such as ~/.local, must not spread a database among the executables on PATH.
bool keepsFilesBesideItself(const QString& folder)
{
    const QDir dir(folder);
    return QFileInfo(folder).isWritable()
        && (dir.exists(ProgramPaths::kSettingsName) || dir.exists(ProgramPaths::kDatabaseName)
            || dir.exists(QStringLiteral("../CMakeCache.txt")));
}

QString defaultHome()
{
    const QString beside = QCoreApplication::applicationDirPath();
    if (keepsFilesBesideItself(beside))
        return withSlash(beside);
    return withSlash(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/racr"));
}
} // namespace

QString ProgramPaths::home()
{
    if (!overriddenHome().isEmpty())
        return overriddenHome();
    const QString fromEnvironment = qEnvironmentVariable("RACR_HOME");
    if (!fromEnvironment.isEmpty())
        return withSlash(fromEnvironment);
    return defaultHome();
}

void ProgramPaths::setHome(const QString& folder)
{
    overriddenHome() = folder.isEmpty() ? QString() : withSlash(folder);
}

QString ProgramPaths::makeHome()
{
    QString folder = home();
    folder.chop(1);
    const std::filesystem::path path(QFile::encodeName(folder).toStdString());
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        return {};
    std::filesystem::create_directories(path, error);
    if (!error && std::filesystem::is_directory(path, error))
        return {};
    const QString reason = error ? QString::fromLocal8Bit(error.message()) : QStringLiteral("a file of that name is in the way");
    return QStringLiteral("The program folder %1 cannot be created (%2). Name a folder you may write to with "
                          "--home DIR or RACR_HOME.")
        .arg(QDir::toNativeSeparators(folder), reason);
}
