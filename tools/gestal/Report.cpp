#include <algorithm>

#include "tools/gestal/Common.h"
#include "tools/gestal/Eval.h"
#include "tools/gestal/Svg.h"

namespace GestalTool {

namespace {

constexpr const char* kStyle =
    "body{font-family:sans-serif;margin:2em;max-width:960px;color:#222}"
    "table{border-collapse:collapse;margin:1em 0}"
    "td,th{border:1px solid #ccc;padding:3px 8px;text-align:right}"
    "th:first-child,td:first-child{text-align:left}"
    "caption{text-align:left;font-weight:bold;padding:4px 0}";

std::string cell(const std::string& tag, const std::string& content,
                 const std::string& attributes = "") {
  return "<" + tag + (attributes.empty() ? "" : " " + attributes) + ">" + xmlEscape(content) +
         "</" + tag + ">";
}

std::string confusionTable(const EvalSummary& summary, const VariantResults& variant) {
  std::string html = "<table class=\"confusion\">\n<caption>Custom gestures, user-dependent, " +
                     xmlEscape(variant.name) +
                     " input (rows: gesture performed, columns: gesture identified)</caption>\n";
  html += "<tr>" + cell("th", "");
  for (const std::string& name : summary.gestures) html += cell("th", name);
  html += cell("th", "none") + "</tr>\n";
  for (std::size_t g = 0; g < summary.gestures.size(); ++g) {
    std::size_t total = 0;
    for (std::size_t count : variant.confusion[g]) total += count;
    html += "<tr>" + cell("th", summary.gestures[g]);
    for (std::size_t c = 0; c < variant.confusion[g].size(); ++c) {
      const std::size_t count = variant.confusion[g][c];
      // Shade by share of the row: green on the diagonal, red elsewhere.
      const int share = total == 0 ? 0 : static_cast<int>(200 * count / total);
      const std::string colour =
          c == g
              ? "rgb(" + std::to_string(255 - share) + ",255," + std::to_string(255 - share) + ")"
              : "rgb(255," + std::to_string(255 - share) + "," + std::to_string(255 - share) + ")";
      html += cell("td", std::to_string(count), "style=\"background:" + colour + "\"");
    }
    html += "</tr>\n";
  }
  return html + "</table>\n";
}

}  // namespace

std::string evalReport(const EvalSummary& summary) {
  std::string html =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>gestal "
      "eval: " +
      xmlEscape(summary.folder) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n";
  html += "<h1>" + xmlEscape("Evaluation of " + summary.folder) + "</h1>\n";
  html += "<p>" +
          xmlEscape(std::to_string(summary.recordings) + " recordings of " +
                    std::to_string(summary.gestures.size()) + " gestures by " +
                    std::to_string(summary.users) +
                    " users. Each user defines every gesture from the first " +
                    std::to_string(summary.definitions) + " performances of " +
                    (summary.sessions ? "their first session" : "their recordings") + "; " +
                    std::to_string(summary.identified) + " performances are identified. " +
                    "Conditioned input: " + summary.conditioning + ".") +
          "</p>\n";

  const std::vector<SummaryRow> rows = summaryRows(summary);
  html += "<table class=\"summary\">\n<caption>Figures</caption>\n<tr>" + cell("th", "");
  for (const VariantResults& variant : summary.variants) html += cell("th", variant.name);
  html += "</tr>\n";
  for (const SummaryRow& row : rows) {
    html += "<tr>" + cell("td", row.label);
    for (const std::string& text : row.cells) html += cell("td", text);
    html += "</tr>\n";
  }
  html += "</table>\n";

  std::vector<std::string> names;
  for (const VariantResults& variant : summary.variants) names.push_back(variant.name);
  std::vector<BarGroup> groups;
  for (const SummaryRow& row : rows) groups.push_back({row.label, row.percents});
  html += "<h2>Figures</h2>\n" + barChart(names, groups, "Raw and conditioned input");

  html += "<h2>Confusion</h2>\n";
  for (const VariantResults& variant : summary.variants) html += confusionTable(summary, variant);

  html +=
      "<h2>Gestures</h2>\n<p>The first user's defining performances, conditioned, with the "
      "symbols that custom gesture matching writes.</p>\n";
  const Thresholds thresholds = comparisonThresholds(kCustomLevel, kCustomSignType);
  for (std::size_t g = 0; g < summary.gestures.size() && g < summary.examples.size(); ++g) {
    std::vector<PlotSeries> series;
    for (const auto& [label, sample] : summary.examples[g]) series.push_back({label, sample});
    html += "<h3>" + xmlEscape(summary.gestures[g]) + "</h3>\n" +
            plotRecordings(series, thresholds, "gesture " + summary.gestures[g]);
  }
  html += "</body>\n</html>\n";
  return html;
}

}  // namespace GestalTool
