#include "db/csvexport.h"

#include "common/error.h"
#include "db/csvtext.h"
#include "db/openresult.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSaveFile>
#include <QSignalBlocker>

#include <optional>
#include <vector>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The open result in the order the grid shows. The grid and the status line would redraw their
// current row for every row walked, which costs far more than the export itself; they see only
// where the walk ends, on the first row.
class OpenResultRows : public RowCursor {
public:
    explicit OpenResultRows(OpenResult& openResult) : m_openResult(openResult)
    {
        m_openResult.fetchAll();
        m_openResult.first();
        m_quiet.emplace(&m_openResult);
        m_bytes.resize(std::size_t(m_openResult.fieldCount()));
    }
    ~OpenResultRows() override
    {
        m_quiet.reset();
        if (m_openResult.isOpen())
            m_openResult.first();
    }
    OpenResultRows(const OpenResultRows&) = delete;
    OpenResultRows& operator=(const OpenResultRows&) = delete;

    QStringList fieldNames() const override { return m_openResult.fieldNames(); }
    bool next() override
    {
        if (m_started)
            m_openResult.next();
        m_started = true;
        return !m_openResult.atEnd();
    }
    CellView cell(int field) const override
    {
        const QVariant value = m_openResult.value(field);
        CellView cell;
        switch (value.typeId()) {
        case QMetaType::UnknownType: break;
        case QMetaType::LongLong:
            cell.kind = ResultStore::Kind::Integer;
            cell.integer = value.toLongLong();
            break;
        case QMetaType::Double:
            cell.kind = ResultStore::Kind::Real;
            cell.real = value.toDouble();
            break;
        default: {
            // Held until the walk moves on, as the engine holds its own.
            QByteArray& bytes = m_bytes[std::size_t(field)];
            bytes = value.typeId() == QMetaType::QByteArray ? value.toByteArray() : value.toString().toUtf8();
            cell.kind = value.typeId() == QMetaType::QByteArray ? ResultStore::Kind::Blob : ResultStore::Kind::Text;
            cell.bytes = {bytes.constData(), std::size_t(bytes.size())};
        }
        }
        return cell;
    }

private:
    OpenResult& m_openResult;
    mutable std::vector<QByteArray> m_bytes;   // one per field
    std::optional<QSignalBlocker> m_quiet;
    bool m_started = false;
};

// Qt words a system error as qt_error_string(errno) does; a full disk is said plainly.
QString plainWords(const QString& systemText)
{
    return systemText == qt_error_string(ENOSPC) ? QStringLiteral("the disk is full") : systemText;
}

[[noreturn]] void cannotWrite(const QString& target, const QString& why)
{
    throw racr::Error(QStringLiteral("Cannot write %1: %2").arg(target, plainWords(why)));
}

// The text goes out in pieces, so a large result is never held twice.
void writeText(RowCursor& rows, const std::function<void(const QByteArray&)>& put)
{
    QByteArray bytes;
    constexpr qsizetype piece = 1 << 20;
    bytes.reserve(piece + (piece >> 2));
    const QStringList names = rows.fieldNames();
    for (const QString& name : names)
        bytes += name.toUtf8() + ';';
    bytes += "\r\n";

    // Fractions in the user's own decimal notation, so the spreadsheet reads them as numbers;
    // no digit grouping, which it would take for text.
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    const int fields = int(names.size());
    while (rows.next()) {
        for (int field = 0; field < fields; ++field) {
            if (field > 0)
                bytes += ';';
            appendCsvCell(bytes, rows.cell(field), locale);
        }
        bytes += "\r\n";
        if (bytes.size() >= piece) {
            put(bytes);
            bytes.resize(0);   // keeps its room for the next piece
        }
    }
    put(bytes);
}

// Every byte, going on after a partial write or an interrupted call.
void writeAll(int fd, const QByteArray& bytes, const QString& target)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, std::size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            cannotWrite(target, qt_error_string(errno));
        }
        data += written;
        left -= written;
    }
}

// While it lives, writing to a pipe whose reader has gone fails with EPIPE on this thread instead
// of ending the whole program with SIGPIPE.
class PipeSignalHold {
public:
    PipeSignalHold()
    {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        m_wasPending = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &m_pipe, &m_before);
    }
    ~PipeSignalHold()
    {
        // Takes back the signal our own failed write raised, so it is not delivered on release.
        sigset_t pending;
        sigpending(&pending);
        if (!m_wasPending && sigismember(&pending, SIGPIPE) == 1) {
            const timespec now{};
            sigtimedwait(&m_pipe, nullptr, &now);
        }
        pthread_sigmask(SIG_SETMASK, &m_before, nullptr);
    }
    PipeSignalHold(const PipeSignalHold&) = delete;
    PipeSignalHold& operator=(const PipeSignalHold&) = delete;

private:
    sigset_t m_pipe;
    sigset_t m_before;
    bool m_wasPending = false;
};

void exportInPlace(RowCursor& rows, const QString& path)
{
    const QString target = QDir::toNativeSeparators(path);
    const PipeSignalHold hold;
    // A FIFO waits here for its reader. Nothing is created: the target exists.
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        cannotWrite(target, qt_error_string(errno));
    try {
        writeText(rows, [&](const QByteArray& bytes) { writeAll(fd, bytes, target); });
    } catch (...) {
        ::close(fd);
        throw;
    }
    if (::close(fd) != 0 && errno != EINTR)
        cannotWrite(target, qt_error_string(errno));
}

void exportReplacing(RowCursor& rows, const QString& path)
{
    // Written beside the target and renamed over it at the end, so a failed export leaves an
    // older file whole. Unbuffered, and the rest of a short write written again: the system then
    // tells why it stopped (a full disk stops a write short first), where a buffered or short
    // write leaves Qt with "Unknown error".
    QSaveFile file(path);
    auto fail = [&] { cannotWrite(QDir::toNativeSeparators(path), file.errorString()); };
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        fail();
    writeText(rows, [&](const QByteArray& bytes) {
        for (qsizetype done = 0; done < bytes.size();) {
            const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
            if (written <= 0)
                fail();
            done += qsizetype(written);
        }
    });
    if (!file.commit())
        fail();
}

} // namespace

void exportCsv(RowCursor& rows, const QString& path)
{
    struct stat status {};
    const bool inPlace = ::stat(QFile::encodeName(path).constData(), &status) == 0 && !S_ISREG(status.st_mode)
        && !S_ISDIR(status.st_mode);
    if (inPlace)
        exportInPlace(rows, path);
    else
        exportReplacing(rows, path);
}

void exportCsvToStandardOutput(RowCursor& rows)
{
    std::fflush(stdout);
    writeText(rows, [](const QByteArray& bytes) {
        writeAll(STDOUT_FILENO, bytes, QStringLiteral("standard output"));
    });
}

void exportCsv(OpenResult& openResult, const QString& path)
{
    OpenResultRows rows(openResult);
    exportCsv(rows, path);
}
