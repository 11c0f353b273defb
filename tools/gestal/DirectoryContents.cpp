#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>

#include "core/SampleText.h"
#include "tools/gestal/Commands.h"
#include "tools/gestal/Common.h"

namespace GestalTool {

namespace {

// A database file opened read-only: inspecting never creates or changes a file.
class ReadOnlyDatabase {
 public:
  explicit ReadOnlyDatabase(const std::filesystem::path& path) : path_(path.string()) {
    if (sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
      const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close(db_);
      throw ToolError(path_ + ": cannot be opened: " + message);
    }
  }
  ~ReadOnlyDatabase() { sqlite3_close(db_); }
  ReadOnlyDatabase(const ReadOnlyDatabase&) = delete;
  ReadOnlyDatabase& operator=(const ReadOnlyDatabase&) = delete;

  // Every row of the query, each column as text (null as an empty text).
  std::vector<std::vector<std::string>> rows(const char* sql) const {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr) != SQLITE_OK) {
      const std::string message = sqlite3_errmsg(db_);
      sqlite3_finalize(statement);
      throw ToolError(path_ + ": " + message);
    }
    std::vector<std::vector<std::string>> result;
    int status;
    while ((status = sqlite3_step(statement)) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int c = 0; c < sqlite3_column_count(statement); ++c) {
        const unsigned char* text = sqlite3_column_text(statement, c);
        row.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
      }
      result.push_back(std::move(row));
    }
    sqlite3_finalize(statement);
    if (status != SQLITE_DONE) throw ToolError(path_ + ": " + sqlite3_errmsg(db_));
    return result;
  }

  bool hasTable(const std::string& name) const {
    for (const auto& row : rows("select name from sqlite_master where type = 'table'")) {
      if (row[0] == name) return true;
    }
    return false;
  }

 private:
  std::string path_;
  sqlite3* db_ = nullptr;
};

bool isSqliteFile(const std::filesystem::path& path) {
  char header[16] = {};
  std::ifstream in(path, std::ios::binary);
  in.read(header, sizeof header);
  return in && std::memcmp(header, "SQLite format 3", 16) == 0;
}

int64_t nowMillis() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string ago(const std::string& millisText) {
  int64_t millis = 0;
  const char* end = millisText.data() + millisText.size();
  if (std::from_chars(millisText.data(), end, millis).ptr != end || millisText.empty()) {
    return "at an unknown time";
  }
  return std::to_string((nowMillis() - millis) / 1000) + " s ago";
}

void inspectSignatures(std::ostream& out, const std::filesystem::path& path) {
  ReadOnlyDatabase db(path);
  out << "gestal.db (user_version " << db.rows("pragma user_version")[0][0] << ")\n";
  const auto actions = db.rows("select item_no, strength, signType from item order by item_no");
  if (actions.empty()) out << "  no actions\n";
  std::map<std::string, std::vector<std::vector<std::string>>> signatures, failures;
  for (auto& row : db.rows("select item_no, time, signature from sign order by time")) {
    signatures[row[0]].push_back(row);
  }
  for (auto& row : db.rows("select action_index, time from verify_history order by time")) {
    failures[row[0]].push_back(row);
  }
  std::map<std::string, std::string> histories;
  for (auto& row : db.rows("select action_index, verify_histories from adapt_strength")) {
    histories[row[0]] = row[1];
  }
  for (const auto& action : actions) {
    const std::string& index = action[0];
    const auto& stored = signatures[index];
    const bool enrolled = !stored.empty() && !action[1].empty() && action[1] != "-1";
    out << "  action " << index << ": "
        << (enrolled ? "enrolled, strength level " + action[1] + ", signature type " + action[2]
                     : std::string("not enrolled (an enrolment was opened and never completed)"))
        << "\n";
    out << "    stored signatures: " << stored.size();
    if (!stored.empty()) {
      out << ", lasting";
      for (const auto& row : stored) {
        try {
          const MotionSample sample =
              GestalPrivate::readSampleText(row[2], GestalPrivate::NullValues::AsNaN);
          out << " " << fixed(durationSeconds(sample), 2) << " s";
        } catch (const std::exception&) {
          out << " (unreadable)";
        }
      }
      out << "; newest stored " << ago(stored.back()[1]);
    }
    out << "\n";
    const auto history = histories.find(index);
    out << "    adaptive strength history: "
        << (history == histories.end() ? std::string("none") : history->second) << "\n";
    const auto& failed = failures[index];
    out << "    failed identifications in a row: " << failed.size();
    if (!failed.empty()) out << ", newest " << ago(failed.back()[1]);
    out << "; locked: no (the default engine parameters never lock an action)\n";
  }
}

void inspectCustomGestures(std::ostream& out, const std::filesystem::path& path) {
  ReadOnlyDatabase db(path);
  out << "gestal_custom.db (user_version " << db.rows("pragma user_version")[0][0] << ")\n";
  std::map<std::string, std::map<std::string, std::size_t>> counts;
  for (auto& row : db.rows("select name_space, gesture_index from custom_gesture_simples")) {
    ++counts[row[0]][row[1]];
  }
  if (counts.empty()) out << "  no custom gestures\n";
  for (const auto& [nameSpace, gestures] : counts) {
    out << "  name space \"" << nameSpace << "\": " << gestures.size() << " gestures\n";
    for (const auto& [gesture, count] : gestures) {
      // Named gestures are stored with the prefix "__sg_" in front of the host's name.
      const bool named = gesture.rfind("__sg_", 0) == 0;
      out << "    ";
      if (named) {
        out << '"' << gesture.substr(5) << '"';
      } else {
        out << gesture;
      }
      out << ": " << count << " samples\n";
    }
  }
}

void inspectModel(std::ostream& out, const std::filesystem::path& path) {
  ReadOnlyDatabase db(path);
  const auto weak = db.rows("select count(*) from weak_classifier");
  const auto gestures = db.rows("select name from gesture order by name");
  const auto templates = db.rows("select count(*) from samples");
  out << "model " << path.filename().string() << ": " << weak[0][0] << " weak classifiers, "
      << templates[0][0] << " templates, gestures";
  for (const auto& row : gestures) out << " " << row[0];
  out << "\n";
}

}  // namespace

int runInspect(const std::string& directory) {
  namespace fs = std::filesystem;
  const fs::path folder(directory);
  std::error_code error;
  if (!fs::is_directory(folder, error)) throw ToolError(directory + ": not a folder");
  std::ostream& out = std::cout;
  out << directory << "\n";
  const fs::path signatures = folder / "gestal.db";
  if (fs::exists(signatures)) {
    inspectSignatures(out, signatures);
  } else {
    out << "gestal.db: not present (no signature was ever enrolled here)\n";
  }
  const fs::path custom = folder / "gestal_custom.db";
  if (fs::exists(custom)) {
    inspectCustomGestures(out, custom);
  } else {
    out << "gestal_custom.db: not present (no custom gesture was ever defined here)\n";
  }
  std::vector<fs::path> models;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (!entry.is_regular_file() || name == "gestal.db" || name == "gestal_custom.db") continue;
    if (!isSqliteFile(entry.path())) continue;
    const ReadOnlyDatabase db(entry.path());
    if (db.hasTable("weak_classifier") && db.hasTable("gesture")) models.push_back(entry.path());
  }
  std::sort(models.begin(), models.end());
  if (models.empty()) out << "no predefined gesture model files\n";
  for (const fs::path& model : models) inspectModel(out, model);
  return 0;
}

}  // namespace GestalTool
