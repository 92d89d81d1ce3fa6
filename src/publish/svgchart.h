#pragma once

#include "publish/sitedata.h"

#include <QString>

namespace publish {

// A line chart of best times per week as inline SVG, inside a figure whose caption and data
// table say in text what the lines show. Colours come from the style sheet, so the chart follows
// the reader's light or dark setting. Empty when no series has a point.
// `id` names the caption, unique within the page.
QString weeklyChart(const std::vector<ChartSeries>& series, const QString& caption, const QString& id);

} // namespace publish
