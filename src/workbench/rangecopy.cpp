#include "workbench/rangecopy.h"

namespace rangecopy {

QString cellText(const QString& value)
{
    const bool quoted = value.contains(QLatin1Char('\t')) || value.contains(QLatin1Char('\n'))
                        || value.contains(QLatin1Char('\r')) || value.contains(QLatin1Char('"'));
    if (!quoted)
        return value;
    QString doubled = value;
    doubled.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + doubled + QLatin1Char('"');
}

namespace {
QString htmlCell(const QString& value)
{
    QString escaped = value.toHtmlEscaped();
    escaped.replace(QLatin1String("\r\n"), QLatin1String("<br>"));
    escaped.replace(QLatin1Char('\n'), QLatin1String("<br>"));
    return escaped;
}
} // namespace

Copied copy(const QStringList& titles, const QList<int>& rows, const QList<int>& columns,
            const std::function<QString(int row, int column)>& text, Titles withTitles)
{
    Copied out;
    // The charset spares an office program guessing the letters of names such as "Jürgen Größ".
    out.html = QStringLiteral("<html><head><meta charset=\"utf-8\"></head><body><table>\n");
    const auto line = [&](const auto& cell, QLatin1String tag) {
        out.html += QLatin1String("<tr>");
        for (qsizetype i = 0; i < columns.size(); ++i) {
            const QString value = cell(columns[i]);
            if (i > 0)
                out.text += QLatin1Char('\t');
            out.text += cellText(value);
            out.html += QLatin1Char('<') + tag + QLatin1Char('>') + htmlCell(value) + QLatin1String("</") + tag
                        + QLatin1Char('>');
        }
        out.text += QLatin1Char('\n');
        out.html += QLatin1String("</tr>\n");
    };
    if (withTitles == Titles::With)
        line([&](int column) { return titles.value(column); }, QLatin1String("th"));
    for (const int row : rows)
        line([&](int column) { return text(row, column); }, QLatin1String("td"));
    out.html += QLatin1String("</table></body></html>\n");
    return out;
}

} // namespace rangecopy
