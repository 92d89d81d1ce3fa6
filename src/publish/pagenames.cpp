#include "pagenames.h"

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

QString driverPage(const QString& driverName)
{
    const QByteArray utf8 = driverName.toUtf8();
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

QString trackPage(int trackId)
{
    return QStringLiteral("track-%1.html").arg(trackId);
}

} // namespace pagenames
