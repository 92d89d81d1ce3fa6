#include "common/drivernames.h"

namespace {

bool isSeparatorBlank(QChar c)
{
    return c.unicode() >= 1 && c.unicode() <= 32;
}

} // namespace

QStringList splitDriverNames(const QString& list)
{
    const qsizetype nul = list.indexOf(QChar(0));
    const QString text = nul < 0 ? list : list.left(nul);
    const qsizetype end = text.size();
    QStringList names;
    qsizetype at = 0;
    const auto skipBlanks = [&] {
        while (at < end && isSeparatorBlank(text.at(at)))
            ++at;
    };

    skipBlanks();
    while (at < end) {
        QString name;
        if (text.at(at) == QLatin1Char('"')) {
            ++at;
            while (at < end) {
                if (text.at(at) != QLatin1Char('"')) {
                    name += text.at(at++);
                } else if (at + 1 < end && text.at(at + 1) == QLatin1Char('"')) {
                    name += QLatin1Char('"');
                    at += 2;
                } else {
                    ++at;   // the closing quote
                    break;
                }
            }
        } else {
            const qsizetype start = at;
            while (at < end && text.at(at).unicode() > 32 && text.at(at) != QLatin1Char(','))
                ++at;
            name = text.mid(start, at - start);
        }
        names.append(name);
        skipBlanks();
        if (at < end && text.at(at) == QLatin1Char(',')) {
            if (at + 1 == end)
                names.append(QString());
            ++at;
            skipBlanks();
        }
    }
    return names;
}

LeaderboardDriverList leaderboardDriverList(const QString& list)
{
    LeaderboardDriverList result;
    QStringList sent;
    for (const QString& name : splitDriverNames(list))
        (name.contains(QLatin1Char(',')) ? result.unsendable : sent).append(name);
    result.value = sent.join(QLatin1Char(','));
    return result;
}
