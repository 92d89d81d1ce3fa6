#pragma once

#include "charts/chartdata.h"

class QChart;
class QColor;
class QChartView;

// Qt Charts on top of the chart's points: axes that fit the data, a series per series, the
// legend, and the picture files.
namespace chartdrawing {

enum class Style { Lines, Points };

// Series drawn at most: Qt Charts takes seconds and hundreds of megabytes for thousands, and
// lines past a hundred cannot be told apart anyway.
constexpr int mostSeries = 100;

// Replaces what the chart shows. True when points were asked for but are too many to draw one by
// one and were drawn as lines instead.
bool draw(QChart& chart, const chartdata::Chart& data, Style style);

// The colour of the index-th series: twelve that differ from each other and stand out from the
// page of the chart's light or dark theme; from the thirteenth series on they repeat.
QColor seriesColour(int index, bool dark);
constexpr int distinctColours = 12;

// Gives the chart's series the colours above, for the chart's present theme (a new theme gives
// them the theme's own).
void colourSeries(QChart& chart);

// Writes what the view shows, with the legend beside the plot: an SVG drawing when the path ends
// in ".svg", else a PNG picture, of twice the view's size on the screen when `doubleSize`. False
// when the file could not be written. Both are drawn from the series as the window holds them:
// thinned to the first, lowest, highest and last point of each of as many columns as the screen
// is wide, so every peak and valley is in the file at the screen's resolution, while detail
// within one column is not (an SVG enlarged far shows straight lines there). Redrawing a million
// points into the file would give a drawing of tens of megabytes that looks the same.
bool save(QChartView& view, const QString& path, bool doubleSize);

} // namespace chartdrawing
