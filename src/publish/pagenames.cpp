#include "publish/pagenames.h"

#include <QCryptographicHash>

namespace pagenames {

namespace {

// Far below the 255 bytes file systems allow, with room for the prefix and the suffix.
constexpr qsizetype kMaxEncoded = 160;

QByteArray hashHex(const QByteArray& bytes, qsizetype digits)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().left(digits);
}

} // namespace

QString driverPage(const QByteArray& utf8)
{
    QByteArray encoded;
    bool capitals = false;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9')) {
            encoded.append(c);
        } else if (byte >= 'A' && byte <= 'Z') {
            encoded.append(char(byte - 'A' + 'a'));
            capitals = true;
        } else {
            encoded.append('_').append(QByteArray::number(byte, 16).rightJustified(2, '0'));
        }
    }
    // The encoding never makes a "-", so a suffix cannot collide with another name's encoding.
    if (encoded.size() > kMaxEncoded)
        encoded = encoded.left(kMaxEncoded) + '-' + hashHex(utf8, 40);
    else if (capitals)
        encoded += '-' + hashHex(utf8, 8);
    return QStringLiteral("driver-") + QString::fromLatin1(encoded) + QStringLiteral(".html");
}

QString driverPage(const QString& driverName)
{
    return driverPage(driverName.toUtf8());
}

QString DriverPages::pageFor(const QByteArray& storedName)
{
    const QString plain = driverPage(storedName);
    QString page = plain;
    // The encoding never makes a "-" and its hash suffixes are hex digits: "-2" and up are ours.
    for (int n = 2; m_given.contains(page); ++n)
        page = plain.chopped(5) + QStringLiteral("-%1.html").arg(n);
    m_given.insert(page);
    return page;
}

QString trackPage(int trackId)
{
    return QStringLiteral("track-%1.html").arg(trackId);
}

} // namespace pagenames
