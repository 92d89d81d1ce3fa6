#include "csvexport.h"

#include "app/error.h"
#include "queryobject.h"

#include <QDir>
#include <QLocale>
#include <QSaveFile>

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

// A quote inside a value is doubled, as CSV readers expect; anything else stays as it is.
QString quoted(QString text)
{
    text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

void exportCsv(QueryObject& dataSet, const QString& path)
{
    QString text;
    for (const QString& name : dataSet.fieldNames())
        text += name + QLatin1Char(';');
    text += QStringLiteral("\r\n");

    const int fields = dataSet.fieldCount();
    for (dataSet.first(); !dataSet.eof(); dataSet.next()) {
        QStringList values;
        for (int field = 0; field < fields; ++field)
            values.append(quoted(valueText(dataSet, field)));
        text += values.join(QLatin1Char(';')) + QStringLiteral("\r\n");
    }
    dataSet.first();

    const QByteArray bytes = text.toUtf8();
    // Written beside the target and renamed over it, so a failed export leaves an older file whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw racr::Error(QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), file.errorString()));
}
