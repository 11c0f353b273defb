// Converters from public recording layouts to the folder layout that eval reads: one folder per
// gesture, one CSV recording per performance in the library's units and field order.
#include <algorithm>
#include <array>
#include <charconv>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <set>

#include "conditioning/Conditioning.h"
#include "tools/gestal/Commands.h"
#include "tools/gestal/Common.h"

namespace GestalTool {

namespace {

namespace fs = std::filesystem;
using GestalPrivate::MotionEntry;

// A CSV file with a header line naming its columns.
class CsvTable {
 public:
  explicit CsvTable(const fs::path& path) : path_(path.string()) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ToolError(path_ + ": cannot be read");
    std::string line;
    if (!std::getline(in, line)) throw ToolError(path_ + ": empty");
    header_ = split(line);
    std::size_t number = 1;
    while (std::getline(in, line)) {
      ++number;
      std::vector<std::string> fields = split(line);
      if (fields.size() == 1 && fields[0].empty()) continue;
      if (fields.size() != header_.size()) {
        throw ToolError(path_ + ":" + std::to_string(number) + ": " +
                        std::to_string(fields.size()) + " fields, the header names " +
                        std::to_string(header_.size()));
      }
      rows_.push_back(std::move(fields));
      lines_.push_back(number);
    }
  }

  std::size_t rows() const { return rows_.size(); }
  const std::string& text(std::size_t row, std::size_t column) const { return rows_[row][column]; }

  // The position of the first of `names` that the header has.
  std::size_t column(std::initializer_list<const char*> names) const {
    for (const char* name : names) {
      for (std::size_t c = 0; c < header_.size(); ++c) {
        if (header_[c] == name) return c;
      }
    }
    throw ToolError(path_ + ": no column " + *names.begin());
  }
  bool has(const char* name) const {
    for (const std::string& column : header_) {
      if (column == name) return true;
    }
    return false;
  }

  double number(std::size_t row, std::size_t column) const {
    const std::string& field = rows_[row][column];
    const char* begin = field.data();
    const char* end = begin + field.size();
    if (begin != end && *begin == '+') ++begin;
    double value = 0;
    const auto [after, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || after != end) {
      throw ToolError(path_ + ":" + std::to_string(lines_[row]) + ": '" + field +
                      "' is not a number");
    }
    return value;
  }

 private:
  static std::vector<std::string> split(std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
      const std::size_t comma = line.find(',', start);
      std::string field = line.substr(start, comma - start);
      const std::size_t first = field.find_first_not_of(" \t");
      const std::size_t last = field.find_last_not_of(" \t");
      fields.push_back(first == std::string::npos ? "" : field.substr(first, last - first + 1));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
    return fields;
  }

  std::string path_;
  std::vector<std::string> header_;
  std::vector<std::vector<std::string>> rows_;
  std::vector<std::size_t> lines_;
};

// One performance being collected: its gesture, its file name and its readings.
struct Performance {
  std::string gesture;
  std::string file;
  MotionSample sample;
};

std::string twoDigits(double value) {
  std::string text = std::to_string(static_cast<long long>(value));
  if (text.size() < 2) text.insert(0, 1, '0');
  return text;
}

float inMetresPerSecondSquared(double g) {
  return static_cast<float>(g * GestalConditioning::kStandardGravity);
}

// Every file of the folder with the extension, in name order.
std::vector<fs::path> csvFiles(const fs::path& folder) {
  std::error_code error;
  if (!fs::is_directory(folder, error)) throw ToolError(folder.string() + ": not a folder");
  std::vector<fs::path> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file() && entry.path().extension() == ".csv") {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The pointing direction neither layout records: forward, away from the user (-z).
constexpr float kForward[3] = {0.0f, 0.0f, -1.0f};

// Where a layout keeps each value, by column position.
struct Columns {
  std::size_t gesture;
  std::size_t time;
  std::array<std::size_t, 3> acceleration;             // in g
  std::optional<std::array<std::size_t, 3>> rotation;  // rad/s
};

// The performances of a table in the order they first appear; `nameOf` names a row's performance
// within its gesture.
std::vector<Performance> collect(const CsvTable& table, const Columns& columns,
                                 const std::function<std::string(std::size_t row)>& nameOf) {
  std::map<std::string, std::size_t> byKey;
  std::vector<Performance> performances;
  for (std::size_t row = 0; row < table.rows(); ++row) {
    const std::string& gesture = table.text(row, columns.gesture);
    const std::string key = gesture + "/" + nameOf(row);
    auto [at, fresh] = byKey.emplace(key, performances.size());
    if (fresh) performances.push_back({gesture, key, {}});
    MotionEntry entry{};
    entry[0] = static_cast<float>(table.number(row, columns.time));
    for (std::size_t k = 0; k < 3; ++k) {
      entry[1 + k] = inMetresPerSecondSquared(table.number(row, columns.acceleration[k]));
      if (columns.rotation) {
        entry[4 + k] = static_cast<float>(table.number(row, (*columns.rotation)[k]));
      }
      entry[7 + k] = kForward[k];
    }
    performances[at->second].sample.push_back(entry);
  }
  return performances;
}

// uWave layout: U<user>.csv with day, gesture, rep, t_ms and acceleration in g (gravity
// included); one performance per (day, gesture, rep), written as <gesture>/U<user>-<day>-<rep>.
std::vector<Performance> readUwave(const fs::path& file) {
  const CsvTable table(file);
  const Columns columns{table.column({"gesture"}),
                        table.column({"t_ms"}),
                        {table.column({"ax_g"}), table.column({"ay_g"}), table.column({"az_g"})},
                        std::nullopt};
  const std::size_t day = table.column({"day"}), rep = table.column({"rep"});
  const std::string user = file.stem().string();
  return collect(table, columns, [&](std::size_t row) {
    return user + "-" + table.text(row, day) + "-" + twoDigits(table.number(row, rep));
  });
}

// CoreMotion layout: one file per user with a label column (letter or gesture), rep, t_ms, the
// device's user acceleration ax, ay, az in g (gravity removed) and, when present, rotation rate
// gx, gy, gz in rad/s; written as <label>/<file stem>-<rep>.
std::vector<Performance> readCoreMotion(const fs::path& file) {
  const CsvTable table(file);
  Columns columns{table.column({"letter", "gesture", "label"}),
                  table.column({"t_ms"}),
                  {table.column({"ax"}), table.column({"ay"}), table.column({"az"})},
                  std::nullopt};
  if (table.has("gx") && table.has("gy") && table.has("gz")) {
    columns.rotation = {table.column({"gx"}), table.column({"gy"}), table.column({"gz"})};
  }
  const std::size_t rep = table.column({"rep"});
  const std::string user = file.stem().string();
  return collect(table, columns,
                 [&](std::size_t row) { return user + "-" + twoDigits(table.number(row, rep)); });
}

}  // namespace

int runImport(const ImportOptions& options) {
  std::vector<Performance> (*reader)(const fs::path&) = nullptr;
  if (options.layout == "uwave") {
    reader = readUwave;
  } else if (options.layout == "coremotion") {
    reader = readCoreMotion;
  } else {
    throw ToolError("layout '" + options.layout + "': expected uwave or coremotion");
  }
  const std::vector<fs::path> files = csvFiles(options.source);
  if (files.empty()) throw ToolError(options.source + ": no .csv files");
  std::set<std::string> gestures;
  std::size_t written = 0;
  Progress progress("import " + options.source, files.size());
  for (const fs::path& file : files) {
    for (const Performance& performance : reader(file)) {
      writeRecording(fs::path(options.output) / (performance.file + ".csv"), performance.sample);
      gestures.insert(performance.gesture);
      ++written;
    }
    progress.advance();
  }
  std::cout << options.output << ": " << written << " recordings of " << gestures.size()
            << " gestures from " << files.size() << " files\n";
  return 0;
}

}  // namespace GestalTool
