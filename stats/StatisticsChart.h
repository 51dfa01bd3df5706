#pragma once
// The statistics window's chart: its title, axis title, walls, zoom and the two series of the
// sample history. The window and the chart's tests set the chart up through this one place.

#include "stats/Chart.h"

namespace vantrel {

// Gives a new chart the statistics window's settings and adds "PacketsWritten" (series 0,
// red, date-time x values) and "PacketsRead" (series 1, fuchsia).
void SetUpStatisticsChart(TChart& chart);

}  // namespace vantrel
