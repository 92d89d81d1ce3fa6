#include "commands/databasecommands.h"

#include "common/commandline.h"
#include "common/error.h"
#include "common/programpaths.h"
#include "db/connection.h"
#include "db/csvexport.h"
#include "db/csvtext.h"
#include "db/oldmerge.h"
#include "db/openresult.h"
#include "db/rowcursor.h"

#include <QCommandLineParser>
#include <QDir>
#include <QTextStream>

#include <functional>

namespace {

// A value holding the separator, a quote or a line break is quoted, so every printed line
// still splits into the right fields. The value is the end of `line` from `from` on.
void quoteIfNeeded(QByteArray& line, qsizetype from)
{
    const QByteArrayView value = QByteArrayView(line).sliced(from);
    for (const char c : value) {
        if (c == ';' || c == '"' || c == '\n' || c == '\r') {
            const QByteArray plain = value.toByteArray();
            line.truncate(from);
            appendCsvQuoted(line, plain);
            return;
        }
    }
}

// The rows go out as UTF-8 in large pieces: straight to the stream's device when it has one (the
// terminal, a file, a pipe), else into its text.
void printRows(RowCursor& rows, QTextStream& out)
{
    constexpr qsizetype piece = 1 << 20;
    QByteArray bytes;
    bytes.reserve(piece + (piece >> 2));
    const auto put = [&] {
        if (QIODevice* device = out.device()) {
            out.flush();
            device->write(bytes);
        } else {
            out << QString::fromUtf8(bytes);
        }
        bytes.resize(0);   // keeps its room for the next piece
    };
    const QStringList names = rows.fieldNames();
    const int fields = int(names.size());
    for (int field = 0; field < fields; ++field) {
        if (field > 0)
            bytes += ';';
        const qsizetype from = bytes.size();
        bytes += names.at(field).toUtf8();
        quoteIfNeeded(bytes, from);
    }
    bytes += '\n';
    while (rows.next()) {
        for (int field = 0; field < fields; ++field) {
            if (field > 0)
                bytes += ';';
            const qsizetype from = bytes.size();
            appendCellText(bytes, rows.cell(field));
            quoteIfNeeded(bytes, from);
        }
        bytes += '\n';
        if (bytes.size() >= piece)
            put();
    }
    put();
}

// Counts the rows an export walks: a streamed result knows its size only at its end.
class CountedRows : public RowCursor {
public:
    explicit CountedRows(RowCursor& rows) : m_rows(rows) {}
    QStringList fieldNames() const override { return m_rows.fieldNames(); }
    bool next() override
    {
        const bool more = m_rows.next();
        m_count += more ? 1 : 0;
        return more;
    }
    CellView cell(int field) const override { return m_rows.cell(field); }
    qint64 count() const { return m_count; }

private:
    RowCursor& m_rows;
    qint64 m_count = 0;
};

// Runs `work` on the program folder's database; an error ends the command.
int onProgramDatabase(QTextStream& out, QTextStream& err, const std::function<int(Connection&)>& work)
{
    int status = 1;
    try {
        Connection connection(ProgramPaths::dataSourceFile(),
                              ProgramPaths::databaseFile());
        connection.open();
        status = work(connection);
    } catch (const racr::Error& error) {
        // The open result's name means something inside the program only.
        err << commandline::withoutObjectName(error.message(), kResultsMessageName) << '\n';
    }
    out.flush();
    err.flush();
    return status;
}

} // namespace

// Both commands print rows as the engine delivers them, so a result of any size runs in the same
// small amount of memory.
int runQueryCommand(const QString& sql, QTextStream& out, QTextStream& err)
{
    return onProgramDatabase(out, err, [&](Connection& connection) {
        int affected = 0;
        if (const auto rows = streamRows(connection, sql, kResultsMessageName, affected))
            printRows(*rows, out);
        else
            out << "Operation affected " << affected << " row(s)\n";
        return 0;
    });
}

int runExportCommand(const QString& sql, const QString& path, QTextStream& out, QTextStream& err)
{
    return onProgramDatabase(out, err, [&](Connection& connection) {
        const bool toStandardOutput = path == QLatin1String("-");
        int affected = 0;
        const auto rows = streamRows(connection, sql, kResultsMessageName, affected);
        if (!rows) {
            err << "The statement gives no result to export (it affected " << affected << " row(s)); "
                << (toStandardOutput ? QStringLiteral("nothing was written")
                                     : QDir::toNativeSeparators(path) + QStringLiteral(" was not written"))
                << ".\n";
            return 1;
        }
        if (toStandardOutput) {
            // The text is the command's output: no report beside it.
            exportCsvToStandardOutput(*rows);
            return 0;
        }
        CountedRows counted(*rows);
        exportCsv(counted, path);
        out << "Exported " << counted.count() << " row(s) to " << QDir::toNativeSeparators(path) << '\n';
        return 0;
    });
}

int runMergeCommand(const QString& path, QTextStream& out, QTextStream& err)
{
    return onProgramDatabase(out, err, [&](Connection& connection) {
        OpenResult openResult(connection, kResultsMessageName);
        mergeOldDatabase(openResult, path, [&](const QString& text) { out << text << '\n'; });
        return 0;
    });
}

namespace {

const QString kSql = QStringLiteral("sql");

// The one argument a command takes, or a mistake that says which is missing or too many.
QString onlyArgument(const QCommandLineParser& parser, const char* what)
{
    const QStringList words = parser.positionalArguments();
    if (words.isEmpty())
        throw commandline::UsageError{QStringLiteral("%1 is missing").arg(QLatin1String(what))};
    if (words.size() > 1)
        throw commandline::UsageError{QStringLiteral("one %1 only; \"%2\" is one too many (quote a text with blanks)")
                                          .arg(QLatin1String(what), words.at(1))};
    return words.first();
}

int withStandardStreams(const std::function<int(QTextStream&, QTextStream&)>& command)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    return command(out, err);
}

} // namespace

const commandline::Command& queryCommand()
{
    static const commandline::Command command{
        QStringLiteral("query"),
        QStringLiteral("query SQL"),
        QStringLiteral("Runs one SQL statement on the program folder's database, as the SQL window does, and prints\n"
                       "its rows separated by semicolons under a header line, or \"Operation affected N row(s)\"."),
        QStringLiteral("A statement that begins with \"-\" (a comment) goes after \"--\": racr query -- \"$SQL\"\n"
                       "Exit status: 0 done; 1 an error; 2 a mistake in the command.\n"),
        [](QCommandLineParser& parser) {
            parser.addPositionalArgument(QStringLiteral("SQL"), QStringLiteral("The statement (one; quote it)."));
        },
        [](const QCommandLineParser& parser) {
            const QString sql = onlyArgument(parser, "SQL");
            return withStandardStreams([&](QTextStream& out, QTextStream& err) { return runQueryCommand(sql, out, err); });
        },
    };
    return command;
}

const commandline::Command& exportCommand()
{
    static const commandline::Command command{
        QStringLiteral("export"),
        QStringLiteral("export --sql SQL FILE|-"),
        QStringLiteral("Writes the result of one SQL statement to a CSV file exactly as the menu's \"Export data to\n"
                       "csv file\" does; \"-\" writes it to standard output."),
        QStringLiteral("Exit status: 0 done; 1 an error (nothing or no whole file written); 2 a mistake in the command.\n"),
        [](QCommandLineParser& parser) {
            parser.addOption(QCommandLineOption(kSql, QStringLiteral("The statement whose result is written."),
                                                QStringLiteral("SQL")));
            parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The CSV file to write, or - for standard output."));
        },
        [](const QCommandLineParser& parser) {
            const QString path = onlyArgument(parser, "FILE");
            const QString sql = parser.value(kSql);
            if (sql.isEmpty())
                throw commandline::UsageError{QStringLiteral("--sql SQL is missing")};
            return withStandardStreams([&](QTextStream& out, QTextStream& err) { return runExportCommand(sql, path, out, err); });
        },
    };
    return command;
}

const commandline::Command& mergeCommand()
{
    static const commandline::Command command{
        QStringLiteral("merge"),
        QStringLiteral("merge FILE"),
        QStringLiteral("Merges an older database file into the program folder's database as \"Import from old\n"
                       "database\" does, and prints its two reports."),
        QStringLiteral("Exit status: 0 done; 1 an error; 2 a mistake in the command.\n"),
        [](QCommandLineParser& parser) {
            parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The older database file."));
        },
        [](const QCommandLineParser& parser) {
            const QString path = onlyArgument(parser, "FILE");
            return withStandardStreams([&](QTextStream& out, QTextStream& err) { return runMergeCommand(path, out, err); });
        },
    };
    return command;
}
