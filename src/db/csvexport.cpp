#include "csvexport.h"

#include "app/error.h"
#include "csvtext.h"
#include "queryobject.h"

#include <QDir>
#include <QLocale>
#include <QSaveFile>
#include <QSignalBlocker>

namespace {

// Fractions in the user's own decimal notation, so the spreadsheet reads them as numbers;
// no digit grouping, which it would take for text.
QString valueText(const QueryObject& dataSet, int field)
{
    const QVariant value = dataSet.value(field);
    if (value.typeId() == QMetaType::Double) {
        QLocale locale;
        locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
        return locale.toString(value.toDouble(), 'g', 15);
    }
    return dataSet.fieldText(field);
}

} // namespace

void exportCsv(QueryObject& dataSet, const QString& path)
{
    // Written beside the target and renamed over it at the end, so a failed export leaves an
    // older file whole; the text goes out in pieces, so a large result is never held twice.
    QSaveFile file(path);
    auto fail = [&] {
        throw racr::Error(QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), file.errorString()));
    };
    auto put = [&](const QByteArray& bytes) {
        if (file.write(bytes) != bytes.size())
            fail();
    };
    if (!file.open(QIODevice::WriteOnly))
        fail();

    QByteArray bytes;
    for (const QString& name : dataSet.fieldNames())
        bytes += name.toUtf8() + ';';
    bytes += "\r\n";

    const int fields = dataSet.fieldCount();
    constexpr qsizetype piece = 1 << 20;
    dataSet.first();
    try {
        // The grid and the status line would redraw their current row for every row walked,
        // which costs far more than the export itself; they see only where the walk ends.
        const QSignalBlocker quiet(dataSet);
        for (; !dataSet.eof(); dataSet.next()) {
            for (int field = 0; field < fields; ++field) {
                if (field > 0)
                    bytes += ';';
                bytes += csvQuoted(valueText(dataSet, field).toUtf8());
            }
            bytes += "\r\n";
            if (bytes.size() >= piece) {
                put(bytes);
                bytes.resize(0);   // keeps its room for the next piece
            }
        }
    } catch (const racr::Error&) {
        dataSet.first();   // where the views last saw the walk
        throw;
    }
    dataSet.first();
    put(bytes);
    if (!file.commit())
        fail();
}
