#include "common/settings.h"

#include <QFile>
// Values are UTF-8 bytes handed through as they are; no wide-character conversion is needed.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

namespace {

constexpr int maxValueLength = 2047;
const char* const section = "settings";

// Opens a file only when it is a regular one. A FIFO or a device of the same name would hold the
// start until some other program opened its other end: O_NONBLOCK makes that open return at once
// (for writing, it fails when nobody reads), and the check is made on what was opened, so nothing
// can be put in its place in between. -1 when the file cannot be used.
int openRegularFile(const QString& path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)
        || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool readRegularFile(const QString& path, std::string& content)
{
    const int fd = openRegularFile(path, O_RDONLY);
    if (fd < 0)
        return false;
    char buffer[8192];
    ssize_t got = 0;
    while ((got = ::read(fd, buffer, sizeof buffer)) != 0) {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            break;
        content.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    return got == 0;
}

// Replaces the content in place (the file keeps its owner, mode and links). False when any part of
// it could not be written.
bool writeRegularFile(const QString& path, const std::string& content)
{
    const int fd = openRegularFile(path, O_WRONLY | O_CREAT);
    if (fd < 0)
        return false;
    bool written = ::ftruncate(fd, 0) == 0;
    for (size_t done = 0; written && done < content.size();) {
        const ssize_t put = ::write(fd, content.data() + done, content.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        written = put > 0;
        if (written)
            done += static_cast<size_t>(put);
    }
    return ::close(fd) == 0 && written;
}

// SimpleIni's CSimpleIniA matches section and key names without regard to case and
// keeps the file's order and comments on write. It reads and writes through the functions above,
// never opening a path itself.
struct IniFile {
    CSimpleIniA ini;
    bool loaded = false;

    explicit IniFile(const QString& path)
    {
        ini.SetUnicode(true);
        ini.SetMultiKey(false);
        ini.SetSpaces(false);   // key=value, as other INI writers put it
        std::string content;
        loaded = readRegularFile(path, content) && ini.LoadData(content) >= 0;
    }

    QString value(const char* sectionName, const char* key, const QString& fallback) const
    {
        const char* v = ini.GetValue(sectionName, key, nullptr);
        if (!v)
            return fallback;
        return QString::fromUtf8(v).left(maxValueLength);
    }

    void set(const char* sectionName, const char* key, const QString& v)
    {
        ini.SetValue(sectionName, key, v.toUtf8().constData());
    }

    bool save(const QString& path) const
    {
        std::string content;
        return ini.Save(content, false) >= 0 && writeRegularFile(path, content);
    }
};

} // namespace

namespace settings {

UserSettings read(const QString& iniPath, const UserSettings& defaults)
{
    const IniFile file(iniPath);
    if (!file.loaded)
        return defaults;
    UserSettings result;
    result.drivers = file.value(section, "drivers", defaults.drivers);
    result.driverName = file.value(section, "drivername", defaults.driverName);
    result.shard = file.value(section, "shard", defaults.shard);
    // A value that is not a whole, positive number keeps the designed split.
    bool number = false;
    const int split = file.value(section, "gridsplit", QString::number(defaults.gridSplit)).trimmed().toInt(&number);
    result.gridSplit = number && split > 0 ? split : defaults.gridSplit;
    return result;
}

bool write(const QString& iniPath, const UserSettings& values)
{
    IniFile file(iniPath);
    if (!file.loaded && QFile::exists(iniPath))
        return false; // unreadable: rewriting it would drop what it holds
    file.set(section, "drivers", values.drivers);
    file.set(section, "drivername", values.driverName);
    file.set(section, "shard", values.shard);
    if (values.gridSplit > 0 || file.ini.GetValue(section, "gridsplit", nullptr))
        file.set(section, "gridsplit", QString::number(std::max(values.gridSplit, 0)));
    return file.save(iniPath);
}

QString& serviceBaseOverride()
{
    static QString base;
    return base;
}

void setServiceBaseOverride(const QString& base)
{
    serviceBaseOverride() = base;
}

QString serviceBase(const QString& iniPath)
{
    QString base = serviceBaseOverride();
    if (base.isEmpty()) {
        const IniFile file(iniPath);
        base = file.loaded ? file.value(section, "servicebase", defaultServiceBase) : defaultServiceBase;
    }
    base = base.trimmed();
    while (base.endsWith('/'))
        base.chop(1);
    return base.isEmpty() ? defaultServiceBase : base;
}

QString& databaseOverride()
{
    static QString uri;
    return uri;
}

void setDatabaseOverride(const QString& uri)
{
    databaseOverride() = uri;
}

QString databaseUri(const QString& iniPath)
{
    if (!databaseOverride().trimmed().isEmpty())
        return databaseOverride().trimmed();
    const IniFile file(iniPath);
    return file.loaded ? file.value(section, "database", QString()).trimmed() : QString();
}

int parallelRequests(const QString& iniPath, int fallback, int maximum)
{
    const IniFile file(iniPath);
    if (!file.loaded)
        return fallback;
    bool whole = false;
    const int value = file.value(section, "parallel", QString()).trimmed().toInt(&whole);
    return whole ? std::clamp(value, 1, maximum) : fallback;
}

bool writeDataSourcePath(const QString& dsnPath, const QString& databasePath)
{
    IniFile file(dsnPath);
    if (!file.loaded && QFile::exists(dsnPath))
        return false;
    file.set("ODBC", "DBQ", databasePath);
    return file.save(dsnPath);
}

QList<QPair<QString, QString>> dataSourceKeys(const QString& dsnPath)
{
    const IniFile file(dsnPath);
    QList<QPair<QString, QString>> keys;
    if (!file.loaded)
        return keys;
    CSimpleIniA::TNamesDepend names;
    file.ini.GetAllKeys("ODBC", names);
    names.sort(CSimpleIniA::Entry::LoadOrder());
    for (const auto& name : names)
        keys.append({QString::fromUtf8(name.pItem), file.value("ODBC", name.pItem, QString())});
    return keys;
}

int shardIndex(const QString& name)
{
    static const QStringList shards{QStringLiteral("APEX"), QStringLiteral("CHICANE")};
    for (int i = 0; i < shards.size(); ++i)
        if (shards[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

} // namespace settings
