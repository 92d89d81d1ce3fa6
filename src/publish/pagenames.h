#pragma once

#include <QString>

// File names of the published pages. A driver's name comes from the service and may hold anything
// ("../x", "<b>", "CON", "東京"), so it never reaches the file system as it is: the name gives a
// plain ASCII file name that stays inside the site's folder, is valid on every common file
// system (case-insensitive ones included) and needs no escaping in a link.
namespace pagenames {

// "driver-<name>.html": a-z and 0-9 kept, A-Z lowered, every other UTF-8 byte as "_xx". A name
// with capitals gets "-" and eight hex digits of its hash, so "Kestrel" and "kestrel" stay apart.
QString driverPage(const QString& driverName);

// "track-<event id>.html"
QString trackPage(int trackId);

} // namespace pagenames
