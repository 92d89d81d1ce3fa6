#pragma once

#include <QImage>
#include <QString>

#include <functional>

namespace racr {

class XmlDocument;

// Where one driver display goes while it is being built: text line by line, and the avatar of
// the persona that carries the typed name (a null image: no avatar).
struct DriverReportOutput {
    std::function<void(const QString& line)> appendLine;
    std::function<void(const QImage& avatar)> showAvatar;
};

// Loads the answer at `url` into `document` (GET), replacing what it held; throws on failure.
using DocumentLoader = std::function<void(const QString& url, XmlDocument& document)>;

// Last login, personas, statistics and cars of one driver, as the driver info window shows them.
// A failure ends the display where it happened with "Error parsing data!" and the markup of the
// answer loaded last, so the user sees what the service sent. Returns the failure's message, or
// an empty text when the display is complete.
QString runDriverReport(const QString& serviceBase, const QString& name, const QString& shard,
                        const DocumentLoader& load, const DriverReportOutput& output);

// Only a to z change: the service's names are matched on exactly these letters.
QString upperCaseAsciiLetters(const QString& text);

// "2011-06-01T12:34:56Z" reads "2011-06-01   12:34:56 ".
QString lastLoginText(const QString& lastLogin);

// "carclass_a" reads "A"; a class without the prefix is shown whole.
QString carClassText(const QString& carClass);

// The avatar file for a persona's image number: the program folder's avatars/, else the set that
// comes with the program (avatar::locate). Only a whole number names a file: anything else gives
// an empty text and no avatar.
QString avatarFile(const QString& image);

} // namespace racr
