#pragma once

#include "chartdata.h"

class QChart;
class QChartView;

// Qt Charts on top of the chart's points: axes that fit the data, a series per series, the
// legend, and the picture files.
namespace chartdrawing {

enum class Style { Lines, Points };

// Replaces what the chart shows. True when points were asked for but are too many to draw one by
// one and were drawn as lines instead.
bool draw(QChart& chart, const chartdata::Chart& data, Style style);

// Writes what the view shows: an SVG drawing when the path ends in ".svg", else a PNG picture.
// False when the file could not be written.
bool save(QChartView& view, const QString& path);

} // namespace chartdrawing
