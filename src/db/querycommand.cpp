#include "querycommand.h"

#include "app/error.h"
#include "app/programpaths.h"
#include "connection.h"
#include "queryobject.h"

#include <QTextStream>

#include <cstdio>

namespace {

// A value holding the separator, a quote or a line break is quoted, so every printed line
// still splits into the right fields.
QString field(const QString& text)
{
    if (!text.contains(QLatin1Char(';')) && !text.contains(QLatin1Char('"'))
        && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

int runQueryCommand(const QString& sql, QTextStream& out, QTextStream& err)
{
    try {
        Connection connection(ProgramPaths::file(QStringLiteral("connection.dsn")),
                              ProgramPaths::file(QStringLiteral("RACR.db")));
        connection.open();
        QueryObject dataSet(connection, QStringLiteral("ADODataSet1"));
        dataSet.setText(sql);
        if (!dataSet.run()) {
            out << "Operation affected " << dataSet.rowsAffected() << " row(s)\n";
            out.flush();
            return 0;
        }
        QStringList line;
        for (const QString& name : dataSet.fieldNames())
            line.append(field(name));
        out << line.join(QLatin1Char(';')) << '\n';
        const int fields = dataSet.fieldCount();
        for (int row = 0; row < dataSet.recordCount(); ++row) {
            line.clear();
            for (int f = 0; f < fields; ++f)
                line.append(field(dataSet.textAt(row, f)));
            out << line.join(QLatin1Char(';')) << '\n';
        }
        out.flush();
        return 0;
    } catch (const racr::Error& error) {
        err << error.message() << '\n';
        err.flush();
        return 1;
    }
}

int runQueryCommand(const QString& sql)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    return runQueryCommand(sql, out, err);
}
