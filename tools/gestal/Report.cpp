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

std::string columnName(const Column& column) {
  return column.matcher->name + ", " + column.variant->name;
}

std::string confusionTable(const EvalSummary& summary, const Column& column) {
  std::string html = "<table class=\"confusion\">\n<caption>" +
                     xmlEscape("Custom gestures, user-dependent, " + column.matcher->name + ", " +
                               column.variant->name +
                               " input (rows: gesture performed, columns: gesture identified)") +
                     "</caption>\n";
  html += "<tr>" + cell("th", "");
  for (const std::string& name : summary.gestures) html += cell("th", name);
  html += cell("th", "none") + "</tr>\n";
  const auto& confusion = column.matcher->confusion;
  for (std::size_t g = 0; g < summary.gestures.size(); ++g) {
    std::size_t total = 0;
    for (std::size_t count : confusion[g]) total += count;
    html += "<tr>" + cell("th", summary.gestures[g]);
    for (std::size_t c = 0; c < confusion[g].size(); ++c) {
      const std::size_t count = confusion[g][c];
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

std::string percentText(double percent) {
  return percent < 0 ? std::string("-") : fixed(percent, 1) + " %";
}

// The open-set protocol under a minimum confidence: a table of the quoted cutoffs and the curve
// of every cutoff, each matcher in its colour, raw input dashed.
std::string rejection(const EvalSummary& summary) {
  std::string html =
      "<h2>Rejection</h2>\n<p>" +
      xmlEscape("Open set: each user defines " + std::to_string(summary.openSetDefined) +
                " of the " + std::to_string(summary.gestures.size()) +
                " gestures, a cyclic run from each gesture in turn, and the "
                "performances of all are identified among them. A minimum "
                "confidence accepts the answers that reach it. Precision: right "
                "answers among those accepted; recall: right answers among the "
                "performances of defined gestures. The elastic matcher's nearest "
                "gesture is taken whatever its confidence; the symbol matcher's "
                "confidence is its mean score, and its empty answers are never "
                "accepted. The dots mark each matcher's own acceptance.") +
      "</p>\n";
  const std::vector<Column> shown = columns(summary);
  for (std::size_t m = 0; m < summary.variants.front().matchers.size(); ++m) {
    const MatcherResults& first = summary.variants.front().matchers[m];
    html += "<table class=\"rejection\">\n<caption>" +
            xmlEscape("Open set, " + first.name + ", by minimum confidence") + "</caption>\n<tr>" +
            cell("th", "minimum");
    for (const VariantResults& variant : summary.variants) {
      html += cell("th", variant.name + " precision") + cell("th", variant.name + " recall");
    }
    html += "</tr>\n";
    for (float cutoff : first.quotedCutoffs) {
      html += "<tr>" + cell("td", cutoffLabel(first, cutoff));
      for (const VariantResults& variant : summary.variants) {
        const CurvePoint point = curvePoint(variant.matchers[m].openSet, cutoff);
        html += cell("td", percentText(point.precision)) + cell("td", percentText(point.recall));
      }
      html += "</tr>\n";
    }
    html += "</table>\n";
  }
  std::vector<CurveSeries> series;
  for (const Column& column : shown) {
    CurveSeries curve;
    curve.label = columnName(column);
    curve.colour = column.matcher == &column.variant->matchers.front() ? 0 : 1;
    curve.dashed = column.variant == &summary.variants.front();
    for (const CurvePoint& point : rejectionCurve(column.matcher->openSet, 200)) {
      curve.points.emplace_back(point.recall, point.precision);
    }
    const CurvePoint own = curvePoint(column.matcher->openSet, column.matcher->defaultCutoff);
    if (own.precision >= 0) {
      curve.marks.push_back(
          {own.recall, own.precision, cutoffLabel(*column.matcher, column.matcher->defaultCutoff)});
    }
    series.push_back(std::move(curve));
  }
  return html + curveChart(series, "recall", "precision", "each matcher's own acceptance",
                           "Open set: precision against recall");
}

// The elastic matcher's signature runs, one row per quoted minimum confidence.
std::string signatureTradeOff(const EvalSummary& summary) {
  const MatcherResults& first = summary.variants.front().matchers.back();
  std::string html =
      "<h2>Signatures</h2>\n<p>" +
      xmlEscape(
          "Each user enrols every gesture as an action and performs it in the later "
          "sessions; other users' performances of the same gesture are tried against it. "
          "Each minimum confidence is a run of its own, since what identification learns "
          "depends on it.") +
      "</p>\n<table class=\"signatures\">\n<caption>" +
      xmlEscape("Signatures, " + first.name + ", by minimum confidence") + "</caption>\n<tr>" +
      cell("th", "minimum");
  for (const VariantResults& variant : summary.variants) {
    html += cell("th", variant.name + " own identified") +
            cell("th", variant.name + " others accepted");
  }
  html += "</tr>\n";
  for (std::size_t i = 0; i < first.signatureCurve.size(); ++i) {
    html += "<tr>" + cell("td", cutoffLabel(first, first.signatureCurve[i].cutoff));
    for (const VariantResults& variant : summary.variants) {
      const SignatureTradeOff& point = variant.matchers.back().signatureCurve[i];
      html += cell("td", percentText(point.genuine.percent())) +
              cell("td", percentText(point.impostor.percent()));
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
                    "Conditioned input: " + summary.conditioning + ". " + matcherNote(summary)) +
          "</p>\n";

  const std::vector<SummaryRow> rows = summaryRows(summary);
  const std::vector<Column> shown = columns(summary);
  std::vector<std::string> names;
  for (const Column& column : shown) names.push_back(columnName(column));
  html += "<table class=\"summary\">\n<caption>Figures</caption>\n<tr>" + cell("th", "");
  for (const std::string& name : names) html += cell("th", name);
  html += "</tr>\n";
  for (const SummaryRow& row : rows) {
    html += "<tr>" + cell("td", row.label);
    for (const std::string& text : row.cells) html += cell("td", text);
    html += "</tr>\n";
  }
  html += "</table>\n";

  std::vector<BarGroup> groups;
  for (const SummaryRow& row : rows) groups.push_back({row.label, row.percents});
  html +=
      "<h2>Figures</h2>\n" + barChart(names, groups, "Both matchers, raw and conditioned input");

  if (summary.openSetDefined > 0) html += rejection(summary);
  if (summary.signatures) html += signatureTradeOff(summary);

  html += "<h2>Confusion</h2>\n";
  for (const Column& column : shown) html += confusionTable(summary, column);

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
