#include "databasecommands.h"

#include "common/error.h"
#include "common/programpaths.h"
#include "connection.h"
#include "csvexport.h"
#include "csvtext.h"
#include "oldmerge.h"
#include "queryobject.h"

#include <QDir>
#include <QTextStream>

#include <functional>

namespace {

// A value holding the separator, a quote or a line break is quoted, so every printed line
// still splits into the right fields.
QString field(const QString& text)
{
    if (!text.contains(QLatin1Char(';')) && !text.contains(QLatin1Char('"'))
        && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    return QString::fromUtf8(csvQuoted(text.toUtf8()));
}

void printRows(QueryObject& dataSet, QTextStream& out)
{
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
}

// Runs `work` on a query object over the program folder's database; an error ends the command.
int onProgramDatabase(QTextStream& out, QTextStream& err, const std::function<int(QueryObject&)>& work)
{
    int status = 1;
    try {
        Connection connection(ProgramPaths::file(QStringLiteral("connection.dsn")),
                              ProgramPaths::file(QStringLiteral("RACR.db")));
        connection.open();
        QueryObject dataSet(connection, QStringLiteral("ADODataSet1"));
        status = work(dataSet);
    } catch (const racr::Error& error) {
        err << error.message() << '\n';
    }
    out.flush();
    err.flush();
    return status;
}

} // namespace

int runQueryCommand(const QString& sql, QTextStream& out, QTextStream& err)
{
    return onProgramDatabase(out, err, [&](QueryObject& dataSet) {
        dataSet.setText(sql);
        if (dataSet.run())
            printRows(dataSet, out);
        else
            out << "Operation affected " << dataSet.rowsAffected() << " row(s)\n";
        return 0;
    });
}

int runExportCommand(const QString& sql, const QString& path, QTextStream& out, QTextStream& err)
{
    return onProgramDatabase(out, err, [&](QueryObject& dataSet) {
        const bool toStandardOutput = path == QLatin1String("-");
        dataSet.setText(sql);
        if (!dataSet.run()) {
            err << "The statement gives no result to export (it affected " << dataSet.rowsAffected() << " row(s)); "
                << (toStandardOutput ? QStringLiteral("nothing was written")
                                     : QDir::toNativeSeparators(path) + QStringLiteral(" was not written"))
                << ".\n";
            return 1;
        }
        if (toStandardOutput) {
            // The text is the command's output: no report beside it.
            exportCsvToStandardOutput(dataSet);
            return 0;
        }
        exportCsv(dataSet, path);
        out << "Exported " << dataSet.recordCount() << " row(s) to " << QDir::toNativeSeparators(path) << '\n';
        return 0;
    });
}

int runMergeCommand(const QString& path, QTextStream& out, QTextStream& err)
{
    return onProgramDatabase(out, err, [&](QueryObject& dataSet) {
        mergeOldDatabase(dataSet, path, [&](const QString& text) { out << text << '\n'; });
        return 0;
    });
}
