#include "tools/gestal/Svg.h"

#include <algorithm>
#include <cmath>

#include "tools/gestal/Common.h"

namespace GestalTool {

using GestalPrivate::kPrimaryX;
using GestalPrivate::kTime;

namespace {

constexpr const char* kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd",
                                    "#ff7f0e", "#8c564b", "#e377c2", "#17becf"};
constexpr std::size_t kColourCount = sizeof kColours / sizeof kColours[0];
constexpr double kWidth = 900;
constexpr double kLeft = 70;
constexpr double kRight = 20;
constexpr double kPanelHeight = 120;
constexpr double kSymbolRow = 14;
constexpr double kGap = 26;

const char* colour(std::size_t index) {
  return kColours[index % kColourCount];
}

std::string number(double value) {
  return fixed(value, 1);
}

std::string text(double x, double y, std::string_view content, std::string_view attributes) {
  return "<text x=\"" + number(x) + "\" y=\"" + number(y) + "\" " + std::string(attributes) + ">" +
         xmlEscape(content) + "</text>\n";
}

std::string line(double x1, double y1, double x2, double y2, std::string_view attributes) {
  return "<line x1=\"" + number(x1) + "\" y1=\"" + number(y1) + "\" x2=\"" + number(x2) +
         "\" y2=\"" + number(y2) + "\" " + std::string(attributes) + "/>\n";
}

// A tick step of 1, 2 or 5 times a power of ten that gives at most about ten ticks over `span`.
double tickStep(double span) {
  if (!(span > 0)) return 1.0;
  const double magnitude = std::pow(10.0, std::floor(std::log10(span / 10.0)));
  for (double factor : {1.0, 2.0, 5.0, 10.0}) {
    if (span / (factor * magnitude) <= 10.0) return factor * magnitude;
  }
  return 10.0 * magnitude;
}

std::string svgOpen(double height) {
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + number(kWidth) + "\" height=\"" +
         number(height) + "\" viewBox=\"0 0 " + number(kWidth) + " " + number(height) +
         "\" font-family=\"sans-serif\" font-size=\"11\">\n";
}

}  // namespace

std::string xmlEscape(std::string_view content) {
  std::string out;
  for (char c : content) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string plotRecordings(const std::vector<PlotSeries>& series, Thresholds thresholds,
                           std::string_view title) {
  double spanMs = 0;
  for (const PlotSeries& s : series) spanMs = std::max(spanMs, 1000.0 * durationSeconds(s.sample));
  if (!(spanMs > 0)) spanMs = 1000;
  const double plotWidth = kWidth - kLeft - kRight;
  const auto xOf = [&](double ms) { return kLeft + plotWidth * ms / spanMs; };
  const double legendHeight = 18.0 * static_cast<double>(series.size()) + 30;
  const double blockHeight = kPanelHeight + kSymbolRow * static_cast<double>(series.size()) + kGap;
  const double height = legendHeight + 3 * blockHeight + 30;

  std::string svg = svgOpen(height);
  svg += "<title>" + xmlEscape(title) + "</title>\n";
  svg += text(kLeft, 18, title, "font-size=\"14\" font-weight=\"bold\"");
  for (std::size_t s = 0; s < series.size(); ++s) {
    const double y = 36 + 18.0 * static_cast<double>(s);
    svg += line(kLeft, y - 4, kLeft + 24, y - 4,
                "stroke=\"" + std::string(colour(s)) + "\" stroke-width=\"2\"");
    svg += text(kLeft + 30, y, series[s].label, "");
  }

  const char* axisNames[] = {"x", "y", "z"};
  const int16_t axisThresholds[] = {thresholds.x, thresholds.y, thresholds.z};
  for (std::size_t axis = 0; axis < 3; ++axis) {
    const double top = legendHeight + blockHeight * static_cast<double>(axis);
    const double bottom = top + kPanelHeight;
    const double threshold = axisThresholds[axis] / 100.0;
    double low = -threshold, high = threshold;
    for (const PlotSeries& s : series) {
      for (const GestalPrivate::MotionEntry& entry : s.sample) {
        if (std::isfinite(entry[kPrimaryX + axis])) {
          low = std::min(low, static_cast<double>(entry[kPrimaryX + axis]));
          high = std::max(high, static_cast<double>(entry[kPrimaryX + axis]));
        }
      }
    }
    if (!(high > low)) high = low + 1;
    const auto yOf = [&](double value) {
      return bottom - kPanelHeight * (value - low) / (high - low);
    };
    svg += "<g class=\"panel\" id=\"axis-" + std::string(axisNames[axis]) + "\">\n";
    svg += "<rect x=\"" + number(kLeft) + "\" y=\"" + number(top) + "\" width=\"" +
           number(plotWidth) + "\" height=\"" + number(kPanelHeight) +
           "\" fill=\"none\" stroke=\"#999\"/>\n";
    svg += text(4, top + 14, std::string("primary ") + axisNames[axis], "font-weight=\"bold\"");
    svg += text(4, top + 28, "m/s\xC2\xB2", "fill=\"#666\"");
    svg += text(kLeft - 4, top + 10, fixed(high, 1), "text-anchor=\"end\" fill=\"#666\"");
    svg += text(kLeft - 4, bottom, fixed(low, 1), "text-anchor=\"end\" fill=\"#666\"");
    for (double level : {threshold, -threshold}) {
      svg += line(kLeft, yOf(level), kLeft + plotWidth, yOf(level),
                  "stroke=\"#bbb\" stroke-dasharray=\"4 3\"");
    }
    if (low < 0 && high > 0) {
      svg += line(kLeft, yOf(0), kLeft + plotWidth, yOf(0), "stroke=\"#ddd\"");
    }
    for (std::size_t s = 0; s < series.size(); ++s) {
      const MotionSample& sample = series[s].sample;
      if (sample.empty()) continue;
      const double start = sample.front()[kTime];
      std::string points;
      for (const GestalPrivate::MotionEntry& entry : sample) {
        if (!std::isfinite(entry[kPrimaryX + axis]) || !std::isfinite(entry[kTime])) continue;
        if (!points.empty()) points += ' ';
        points += number(xOf(entry[kTime] - start)) + "," + number(yOf(entry[kPrimaryX + axis]));
      }
      svg += "<polyline fill=\"none\" stroke-width=\"1.2\" stroke=\"" + std::string(colour(s)) +
             "\" points=\"" + points + "\"/>\n";
    }
    for (std::size_t s = 0; s < series.size(); ++s) {
      const double rowY = bottom + kSymbolRow * static_cast<double>(s + 1);
      const MotionSample& sample = series[s].sample;
      const double start = sample.empty() ? 0.0 : sample.front()[kTime];
      std::string row = "<g class=\"symbols\" fill=\"" + std::string(colour(s)) +
                        "\" font-family=\"monospace\" text-anchor=\"middle\">\n";
      for (const TimedSymbol& symbol : timedSymbols(sample, thresholds)) {
        if ((symbol.symbol - 'a') / 2 != static_cast<int>(axis)) continue;
        row += text(xOf(symbol.timeMs - start), rowY, std::string(1, symbol.symbol), "");
      }
      svg += row + "</g>\n";
    }
    svg += "</g>\n";
  }
  const double axisY = legendHeight + 3 * blockHeight;
  const double step = tickStep(spanMs);
  for (double ms = 0; ms <= spanMs + 1e-9; ms += step) {
    svg += line(xOf(ms), axisY - kGap + 4, xOf(ms), axisY - kGap + 8, "stroke=\"#666\"");
    svg += text(xOf(ms), axisY - kGap + 20, fixed(ms / 1000.0, ms < 1000 && step < 1000 ? 2 : 1),
                "text-anchor=\"middle\" fill=\"#666\"");
  }
  svg += text(kLeft + plotWidth, axisY + 4, "time (s)", "text-anchor=\"end\" fill=\"#666\"");
  svg += "</svg>\n";
  return svg;
}

std::string barChart(const std::vector<std::string>& seriesNames,
                     const std::vector<BarGroup>& groups, std::string_view title) {
  constexpr double kLabelWidth = 300;
  constexpr double kBar = 14;
  const double barsPerGroup = static_cast<double>(seriesNames.size());
  const double groupHeight = kBar * barsPerGroup + 10;
  const double legendHeight = 18.0 * barsPerGroup + 30;
  const double height = legendHeight + groupHeight * static_cast<double>(groups.size()) + 30;
  const double plotWidth = kWidth - kLabelWidth - kRight - 50;
  std::string svg = svgOpen(height);
  svg += "<title>" + xmlEscape(title) + "</title>\n";
  svg += text(10, 18, title, "font-size=\"14\" font-weight=\"bold\"");
  for (std::size_t s = 0; s < seriesNames.size(); ++s) {
    const double y = 36 + 18.0 * static_cast<double>(s);
    svg += "<rect x=\"10\" y=\"" + number(y - 10) + "\" width=\"12\" height=\"12\" fill=\"" +
           colour(s) + "\"/>\n";
    svg += text(28, y, seriesNames[s], "");
  }
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const double top = legendHeight + groupHeight * static_cast<double>(g);
    svg += text(kLabelWidth - 6, top + groupHeight / 2, groups[g].label, "text-anchor=\"end\"");
    for (std::size_t s = 0; s < groups[g].percents.size(); ++s) {
      const double percent = groups[g].percents[s];
      const double y = top + kBar * static_cast<double>(s);
      if (percent < 0) {
        svg += text(kLabelWidth + 4, y + kBar - 3, "not measured", "fill=\"#666\"");
        continue;
      }
      svg += "<rect x=\"" + number(kLabelWidth) + "\" y=\"" + number(y) + "\" width=\"" +
             number(plotWidth * std::min(percent, 100.0) / 100.0) + "\" height=\"" +
             number(kBar - 2) + "\" fill=\"" + colour(s) + "\"/>\n";
      svg += text(kLabelWidth + plotWidth * std::min(percent, 100.0) / 100.0 + 4, y + kBar - 3,
                  fixed(percent, 1) + " %", "");
    }
  }
  svg += "</svg>\n";
  return svg;
}

std::string curveChart(const std::vector<CurveSeries>& series, std::string_view xLabel,
                       std::string_view yLabel, std::string_view marks, std::string_view title) {
  constexpr double kTop = 40;
  constexpr double kSide = 480;
  const auto xOf = [](double percent) { return kLeft + kSide * percent / 100.0; };
  const auto yOf = [](double percent) { return kTop + kSide * (1.0 - percent / 100.0); };
  std::string svg = svgOpen(kTop + kSide + 50);
  svg += "<title>" + xmlEscape(title) + "</title>\n";
  svg += text(10, 18, title, "font-size=\"14\" font-weight=\"bold\"");
  for (int percent = 0; percent <= 100; percent += 10) {
    const std::string grid = percent % 50 == 0 ? "stroke=\"#bbb\"" : "stroke=\"#eee\"";
    svg += line(xOf(percent), yOf(0), xOf(percent), yOf(100), grid);
    svg += line(xOf(0), yOf(percent), xOf(100), yOf(percent), grid);
    svg += text(xOf(percent), yOf(0) + 14, std::to_string(percent),
                "text-anchor=\"middle\" fill=\"#666\"");
    svg += text(xOf(0) - 4, yOf(percent) + 4, std::to_string(percent),
                "text-anchor=\"end\" fill=\"#666\"");
  }
  svg += text(xOf(50), yOf(0) + 32, std::string(xLabel) + " (%)", "text-anchor=\"middle\"");
  svg += text(16, yOf(50), std::string(yLabel) + " (%)",
              "text-anchor=\"middle\" transform=\"rotate(-90 16 " + number(yOf(50)) + ")\"");
  const double legendX = xOf(100) + 30;
  for (std::size_t s = 0; s < series.size(); ++s) {
    const CurveSeries& curve = series[s];
    const std::string stroke = "stroke=\"" + std::string(colour(curve.colour)) +
                               "\" stroke-width=\"1.6\"" +
                               (curve.dashed ? " stroke-dasharray=\"6 3\"" : "");
    const double y = kTop + 18.0 * static_cast<double>(s);
    svg += line(legendX, y - 4, legendX + 28, y - 4, stroke);
    svg += text(legendX + 34, y, curve.label, "");
    std::string points;
    for (const auto& [x, value] : curve.points) {
      if (!points.empty()) points += ' ';
      points += number(xOf(x)) + "," + number(yOf(value));
    }
    svg += "<polyline class=\"curve\" fill=\"none\" " + stroke + " points=\"" + points + "\"/>\n";
    for (const CurveMark& mark : curve.marks) {
      // Marks of several series may fall together: their labels show on hovering.
      svg += "<circle class=\"mark\" cx=\"" + number(xOf(mark.x)) + "\" cy=\"" +
             number(yOf(mark.y)) + "\" r=\"4\" fill=\"" + colour(curve.colour) +
             "\" stroke=\"#222\"><title>" + xmlEscape(curve.label + ": " + mark.label) +
             "</title></circle>\n";
    }
  }
  const double markY = kTop + 18.0 * static_cast<double>(series.size());
  svg += "<circle cx=\"" + number(legendX + 14) + "\" cy=\"" + number(markY - 4) +
         "\" r=\"4\" fill=\"#fff\" stroke=\"#222\"/>\n";
  svg += text(legendX + 34, markY, marks, "");
  svg += "</svg>\n";
  return svg;
}

}  // namespace GestalTool
