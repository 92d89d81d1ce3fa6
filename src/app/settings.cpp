#include "settings.h"

#include <QFile>
// Values are UTF-8 bytes handed through as they are; no wide-character conversion is needed.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

namespace {

constexpr int maxValueLength = 2047;
const char* const section = "settings";

// SimpleIni's CSimpleIniA matches section and key names without regard to case and
// keeps the file's order and comments on write.
struct IniFile {
    CSimpleIniA ini;
    bool loaded = false;

    explicit IniFile(const QString& path)
    {
        ini.SetUnicode(true);
        ini.SetMultiKey(false);
        ini.SetSpaces(false);   // key=value, as other INI writers put it
        loaded = ini.LoadFile(QFile::encodeName(path).constData()) >= 0;
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
        return ini.SaveFile(QFile::encodeName(path).constData(), false) >= 0;
    }
};

} // namespace

namespace settings {

ShellSettings read(const QString& iniPath, const ShellSettings& defaults)
{
    const IniFile file(iniPath);
    if (!file.loaded)
        return defaults;
    ShellSettings result;
    result.drivers = file.value(section, "drivers", defaults.drivers);
    result.driverName = file.value(section, "drivername", defaults.driverName);
    result.shard = file.value(section, "shard", defaults.shard);
    return result;
}

bool write(const QString& iniPath, const ShellSettings& values)
{
    IniFile file(iniPath);
    if (!file.loaded && QFile::exists(iniPath))
        return false; // unreadable: rewriting it would drop what it holds
    file.set(section, "drivers", values.drivers);
    file.set(section, "drivername", values.driverName);
    file.set(section, "shard", values.shard);
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
