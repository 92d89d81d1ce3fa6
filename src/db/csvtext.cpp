#include "db/csvtext.h"

#include <QLocale>
#include <QString>

#include <charconv>
#include <cstring>

#include <csv.h>

namespace {

// ASCII is its own UTF-8; anything else goes through Qt's decoder so that invalid sequences
// become U+FFFD exactly as the grid shows them.
bool isAscii(std::string_view bytes)
{
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

QByteArray decoded(std::string_view bytes)
{
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size())).toUtf8();
}

void appendInteger(QByteArray& out, std::int64_t value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end - digits);
}

// Most cells hold no quote: they are copied between their two quotes in one step.
void appendQuotedAscii(QByteArray& out, std::string_view ascii)
{
    if (std::memchr(ascii.data(), '"', ascii.size())) {
        appendCsvQuoted(out, ascii);
        return;
    }
    const qsizetype at = out.size();
    out.resize(at + qsizetype(ascii.size()) + 2);
    char* to = out.data() + at;
    *to = '"';
    if (!ascii.empty())
        std::memcpy(to + 1, ascii.data(), ascii.size());
    to[ascii.size() + 1] = '"';
}

} // namespace

void appendCsvQuoted(QByteArray& out, QByteArrayView utf8)
{
    // At most every byte doubled, plus the two enclosing quotes; a quote is one byte in UTF-8,
    // so multi-byte characters pass through untouched.
    const qsizetype at = out.size();
    const qsizetype room = 2 * utf8.size() + 2;
    out.resize(at + room);
    // libcsv writes nothing at all for a null source, where an empty value needs its two quotes.
    const char* source = utf8.isNull() ? "" : utf8.data();
    const std::size_t written = csv_write2(out.data() + at, std::size_t(room), source, std::size_t(utf8.size()), '"');
    out.truncate(at + qsizetype(written));
}

void appendCellText(QByteArray& out, const CellView& cell)
{
    switch (cell.kind) {
    case ResultStore::Kind::Null: break;
    case ResultStore::Kind::Integer: appendInteger(out, cell.integer); break;
    case ResultStore::Kind::Real: out += QString::number(cell.real, 'g', QLocale::FloatingPointShortest).toUtf8(); break;
    case ResultStore::Kind::Text:
    case ResultStore::Kind::Blob:
        if (isAscii(cell.bytes))
            out.append(cell.bytes.data(), qsizetype(cell.bytes.size()));
        else
            out += decoded(cell.bytes);
        break;
    }
}

void appendCsvCell(QByteArray& out, const CellView& cell, const QLocale& locale)
{
    switch (cell.kind) {
    case ResultStore::Kind::Null: out += "\"\""; break;
    case ResultStore::Kind::Integer: {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, cell.integer).ptr;
        appendQuotedAscii(out, std::string_view(digits, std::size_t(end - digits)));
        break;
    }
    case ResultStore::Kind::Real: appendCsvQuoted(out, locale.toString(cell.real, 'g', 15).toUtf8()); break;
    case ResultStore::Kind::Text:
    case ResultStore::Kind::Blob:
        if (isAscii(cell.bytes))
            appendQuotedAscii(out, cell.bytes);
        else
            appendCsvQuoted(out, decoded(cell.bytes));
        break;
    }
}
