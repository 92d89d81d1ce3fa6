#include "temphome.h"

#include "common/programpaths.h"

#include <QFile>

TempHome::TempHome() : m_previousHome(ProgramPaths::home())
{
    ProgramPaths::setHome(m_dir.path());
}

TempHome::~TempHome()
{
    ProgramPaths::setHome(m_previousHome);
}

QString TempHome::path() const
{
    return m_dir.path() + '/';
}

QString TempHome::file(const QString& name) const
{
    return path() + name;
}

void TempHome::write(const QString& name, const QByteArray& content) const
{
    QFile f(file(name));
    if (!f.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write " + file(name).toStdString());
    f.write(content);
}

QByteArray TempHome::read(const QString& name) const
{
    QFile f(file(name));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}
