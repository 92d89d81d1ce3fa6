#pragma once

#include "publish/sitedata.h"

#include <QByteArray>

// The pages of the club site as UTF-8 HTML5. Every text from the database is escaped; every link
// names a page the site holds. The same site gives the same bytes.
namespace publish {

// style.css: one file for every page (sitestyle.cpp).
QByteArray styleSheet();
QByteArray indexPage(const Site& site);
// The boards of one track, `boards` being indices into site.boards.
QByteArray trackPage(const Site& site, const std::vector<int>& boards);
QByteArray driverPage(const Site& site, int driver);
QByteArray weeksPage(const Site& site);

} // namespace publish
