#include "csvtext.h"

#include <csv.h>

QByteArray csvQuoted(QByteArrayView utf8)
{
    // At most every byte doubled, plus the two enclosing quotes; a quote is one byte in UTF-8,
    // so multi-byte characters pass through untouched.
    QByteArray quoted(2 * utf8.size() + 2, Qt::Uninitialized);
    // libcsv writes nothing at all for a null source, where an empty value needs its two quotes.
    const char* source = utf8.isNull() ? "" : utf8.data();
    const std::size_t written = csv_write2(quoted.data(), std::size_t(quoted.size()), source,
                                           std::size_t(utf8.size()), '"');
    quoted.truncate(qsizetype(written));
    return quoted;
}
