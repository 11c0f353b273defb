#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/MotionSample.h"
#include "tools/gestal/Symbols.h"

// Self-contained SVG drawings for the plot command and the evaluation report.
namespace GestalTool {

std::string xmlEscape(std::string_view text);

struct PlotSeries {
  std::string label;
  MotionSample sample;
};

// The three primary axes over time, one panel each, every recording overlaid in its own colour
// with its time starting at 0; under each panel, one row per recording with the symbols that axis
// writes at `thresholds` (dashed lines in the panel), placed at their times.
std::string plotRecordings(const std::vector<PlotSeries>& series, Thresholds thresholds,
                           std::string_view title);

// Grouped horizontal bars of percentages: one group per row label, one bar per series.
struct BarGroup {
  std::string label;
  std::vector<double> percents;  // one per series; negative for "not measured"
};
std::string barChart(const std::vector<std::string>& seriesNames,
                     const std::vector<BarGroup>& groups, std::string_view title);

// Lines through points given in percent on both axes (0 to 100), each series in a colour of the
// palette, solid or dashed, with dots on it; `marks` says in the legend what the dots are.
struct CurveMark {
  double x = 0;
  double y = 0;
  std::string label;
};
struct CurveSeries {
  std::string label;
  std::size_t colour = 0;
  bool dashed = false;
  std::vector<std::pair<double, double>> points;
  std::vector<CurveMark> marks;
};
std::string curveChart(const std::vector<CurveSeries>& series, std::string_view xLabel,
                       std::string_view yLabel, std::string_view marks, std::string_view title);

}  // namespace GestalTool
