#pragma once

#include "publish/sitedata.h"

#include <functional>

class Connection;

namespace publish {

// done of total steps: the queries, then one step per page.
using Progress = std::function<void(int done, int total)>;

struct PublishReport {
    int pages = 0;     // HTML pages, the style sheet aside
    int drivers = 0;
    int tracks = 0;
};

// Reads the site from the database and publishes it to `folder` (see SiteFolder). Throws
// racr::Error; the folder then keeps what it held.
PublishReport publishSite(Connection& connection, const QString& folder, const SiteOptions& options,
                          const Progress& progress = {});

} // namespace publish
