#pragma once

#include <QString>

namespace racr {

// The XSLT 1.0 stylesheets the viewers turn the service's answers into pages with.
QString leaderboardStylesheetText(); // one track's records, fastest first
QString eventsStylesheetText();      // the day's events as a table with class letters

// What a viewer shows instead of a page when the service's answer cannot be made into one.
QString errorPage();

} // namespace racr
