#include <iostream>

#include "tools/gestal/Commands.h"
#include "tools/gestal/Common.h"
#include "tools/gestal/Svg.h"

namespace GestalTool {

int runPlot(const PlotOptions& options) {
  std::vector<PlotSeries> series;
  for (const std::string& path : options.recordings) {
    series.push_back({std::filesystem::path(path).filename().string(), readRecording(path)});
  }
  const Thresholds thresholds = comparisonThresholds(kCustomLevel, kCustomSignType);
  const std::string title =
      options.title.empty() ? "primary motion and custom gesture symbols" : options.title;
  writeTextFile(options.output, plotRecordings(series, thresholds, title));
  std::cout << options.output << ": " << series.size() << " recordings plotted\n";
  return 0;
}

}  // namespace GestalTool
