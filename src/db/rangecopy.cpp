#include "rangecopy.h"

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

QString tabSeparated(const QStringList& titles, const QList<int>& rows, const QList<int>& columns,
                     const std::function<QString(int row, int column)>& text)
{
    QString out;
    const auto line = [&](const auto& cell) {
        for (qsizetype i = 0; i < columns.size(); ++i) {
            if (i > 0)
                out += QLatin1Char('\t');
            out += cellText(cell(columns[i]));
        }
        out += QLatin1Char('\n');
    };
    line([&](int column) { return titles.value(column); });
    for (const int row : rows)
        line([&](int column) { return text(row, column); });
    return out;
}

} // namespace rangecopy
