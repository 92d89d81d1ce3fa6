#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>

// File names of the published pages. A driver's name comes from the service and may hold anything
// ("../x", "<b>", "CON", "東京"), so it never reaches the file system as it is: the name gives a
// plain ASCII file name that stays inside the site's folder, is valid on every common file
// system (case-insensitive ones included) and needs no escaping in a link.
namespace pagenames {

// "driver-<name>.html": a-z and 0-9 kept, A-Z lowered, every other byte of the stored name as
// "_xx". A name with capitals gets "-" and eight hex digits of its hash, so "Kestrel" and
// "kestrel" stay apart; two names may still share the hash (DriverPages tells them apart).
QString driverPage(const QByteArray& storedName);
QString driverPage(const QString& driverName);

// The page names of one site: each distinct stored name gets a page of its own. A name whose
// page name another name was given before gets "-2" (or "-3", ...) added, which the encoding of
// a name never ends in. The same names asked in the same order get the same pages, run after run.
class DriverPages {
public:
    QString pageFor(const QByteArray& storedName);

private:
    QSet<QString> m_given;
};

// "track-<event id>.html"
QString trackPage(int trackId);

} // namespace pagenames
