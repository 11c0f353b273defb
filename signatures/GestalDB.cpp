#include "signatures/GestalDB.h"

#include <cstdio>
#include <sstream>
#include <stdexcept>

#include "core/Clock.h"
#include "core/Log.h"
#include "core/SampleText.h"

namespace GestalPrivate {
namespace {

constexpr const char* kSchema =
    "PRAGMA user_version = 1;"
    "create table item(item_no,cmd,strength,signType);"
    "create table sign(item_no,time,signature);"
    "create table adapt_strength(action_index,verify_histories);"
    "create table verify_history(action_index,time,verify_result);";

void reportError(const char* operation, const std::string& message) {
  logFormat(LogLevel::Error, "%s SQL error: %s", operation, message.c_str());
}

// Runs a statement that returns no rows and reports its failure under the operation's name.
void runReporting(SqliteStatement& statement, const char* operation) {
  if (!statement.run()) reportError(operation, statement.error());
}

// Runs a statement whose one parameter is an action index, such as a deletion of its rows.
void runForAction(SqliteConnection& connection, const char* sql, int32_t index,
                  const char* operation) {
  SqliteStatement statement(connection, sql);
  statement.bind(1, int64_t{index});
  runReporting(statement, operation);
}

}  // namespace

GestalDB::GestalDB(const GSEnginePreferenceParameters& profile, const std::string& directory)
    : path_(directory + "gestal.db"),
      profile_(copyPreferenceProfile(profile)),
      connection_(openVersionedDatabase(
          path_, {kSchema, "current signature DB schema version is %d",
                  "create gesture DB tables error: %s", "create gesture DB tables failed\n",
                  "create gesture DB tables success"})) {}

GestalDB::~GestalDB() = default;

std::vector<int32_t> GestalDB::getAllActionIndexes() {
  std::vector<int32_t> indexes;
  SqliteStatement statement(*connection_, "select rowid, item_no from item");
  const int column = statement.column("item_no");
  while (statement.step()) {
    if (column >= 0) indexes.push_back(static_cast<int32_t>(statement.integer(column, "item")));
  }
  if (statement.failed()) reportError("getAllActionIndexes", statement.error());
  return indexes;
}

Gestal::GSAction GestalDB::getAction(int32_t index) {
  Gestal::GSAction action;
  bool found = false;
  std::string cmd;
  int32_t strength = -1;
  {
    SqliteStatement statement(*connection_, "select rowid, * from item where item_no = ?1");
    statement.bind(1, int64_t{index});
    const int indexColumn = statement.column("item_no");
    const int cmdColumn = statement.column("cmd");
    const int strengthColumn = statement.column("strength");
    while (statement.step()) {
      int32_t rowIndex = 0;
      std::string rowCmd;
      int32_t rowStrength = -1;
      if (indexColumn >= 0) rowIndex = static_cast<int32_t>(statement.integer(indexColumn, "item"));
      if (cmdColumn >= 0 && !statement.isNull(cmdColumn)) rowCmd = statement.text(cmdColumn);
      if (strengthColumn >= 0 && !statement.isNull(strengthColumn)) {
        rowStrength = static_cast<int32_t>(statement.integer(strengthColumn, "item"));
      }
      if (rowIndex <= 0) throw "Invalid action index (must > 0)";
      found = true;
      cmd = std::move(rowCmd);
      strength = rowStrength;
    }
    if (statement.failed()) reportError("getAction", statement.error());
  }
  if (!found) return action;

  action.actionIndex = index;
  action.cmd = cmd;
  action.strength = strength;
  const int64_t remaining =
      int64_t{profile_->requiredSignatureCount()} - int64_t{getSignatureCount(index)};
  action.remainingSignatures = remaining > 0 ? remaining : 0;
  return action;
}

int32_t GestalDB::getActionStrength(int32_t index) {
  Gestal::GSAction action = getAction(index);
  return action.actionIndex < 1 ? -1 : action.strength;
}

int32_t GestalDB::getSignatureType(int32_t index) {
  int32_t type = 0;
  SqliteStatement statement(*connection_, "select signType, rowid from item where item_no = ?1");
  statement.bind(1, int64_t{index});
  while (statement.step()) {
    if (!statement.isNull(0)) type = static_cast<int32_t>(statement.integer(0, "item"));
  }
  if (statement.failed()) reportError("getSignatureType", statement.error());
  return type;
}

void GestalDB::setSignatureType(int32_t index, int32_t type) {
  if (getAction(index).actionIndex < 1) return;
  SqliteStatement statement(*connection_, "update item set signType = ?1 where item_no = ?2");
  statement.bind(1, int64_t{type}).bind(2, int64_t{index});
  runReporting(statement, "setSignatureType");
}

void GestalDB::writeAction(int32_t index, std::string cmd, uint32_t strength) {
  if (index <= 0) throw "invalid action index for writing action to DB";
  constexpr uint32_t kUnchanged = 0xFFFFFFFFu;
  // The stored strength is the signed reading of the value, so all bits set is -1.
  const int64_t signedStrength = static_cast<int32_t>(strength);

  if (getAction(index).actionIndex > 0) {
    const bool setCmd = !cmd.empty();
    const bool setStrength = strength != kUnchanged;
    if (!setCmd && !setStrength) return;
    std::string sql = "update item set ";
    if (setCmd) sql += "cmd = ?1";
    if (setCmd && setStrength) sql += ", ";
    if (setStrength) sql += "strength = ?2";
    sql += " where item_no = ?3";
    SqliteStatement statement(*connection_, sql);
    if (setCmd) statement.bind(1, std::string_view(cmd));
    if (setStrength) statement.bind(2, signedStrength);
    statement.bind(3, int64_t{index});
    runReporting(statement, "writeAction");
    return;
  }

  SqliteStatement statement(*connection_,
                            "insert into item (item_no, cmd, strength) values (?1, ?2, ?3)");
  statement.bind(1, int64_t{index}).bind(2, std::string_view(cmd)).bind(3, signedStrength);
  runReporting(statement, "writeAction");
}

void GestalDB::delAction(int32_t index) {
  runForAction(*connection_, "delete from item where item_no = ?1", index, "delAction");
  delSignatures(index);
  delAdaptStrengthVerifyHistory(index);
  delVerificationResult(index);
}

std::vector<MotionSample> GestalDB::getLastNSignature(uint32_t count, int32_t index) {
  std::vector<MotionSample> samples;
  SqliteStatement statement(
      *connection_,
      "select rowid, signature from sign where item_no = ?1 order by time desc limit ?2");
  // The count is a signed limit to SQLite: all bits set reads as -1, which means no limit.
  statement.bind(1, int64_t{index}).bind(2, int64_t{static_cast<int32_t>(count)});
  const int column = statement.column("signature");
  while (statement.step()) {
    // A non-finite value of a recording was stored as null; it comes back as NaN, as enrolled.
    if (column < 0) continue;
    try {
      samples.push_back(readSampleText(statement.text(column), NullValues::AsNaN));
    } catch (const SampleTextError& e) {
      statement.corruptRow("sign", std::string("signature does not decode: ") + e.what());
    }
  }
  if (statement.failed()) reportError("getLastNSignature", statement.error());
  if (samples.size() > count) samples.resize(count);
  return samples;
}

int32_t GestalDB::getLastSignatureTime(int32_t index) {
  int64_t newest = -1;
  SqliteStatement statement(*connection_,
                            "select rowid, time from sign where item_no = ?1 order by time desc");
  statement.bind(1, int64_t{index});
  const int column = statement.column("time");
  while (statement.step()) {
    if (column < 0) continue;
    const int64_t time = statement.integer(column, "sign", INT64_MIN, INT64_MAX);
    if (time > newest) newest = time;
  }
  if (statement.failed()) {
    reportError("getLastSignatureTime", statement.error());
    return -1;
  }
  if (newest <= 0) return -1;
  // Only the low 32 bits of the span are kept.
  return static_cast<int32_t>(
      static_cast<uint32_t>(static_cast<uint64_t>(clockMillis()) - static_cast<uint64_t>(newest)));
}

int32_t GestalDB::getSignatureCount(int32_t index) {
  int32_t count = 0;
  SqliteStatement statement(*connection_, "select count(time) from sign where item_no = ?1");
  statement.bind(1, int64_t{index});
  while (statement.step()) {
    if (statement.columnCount() > 0) count = static_cast<int32_t>(statement.integer(0, "sign"));
  }
  if (statement.failed()) {
    reportError("getSignatureCount", statement.error());
    return 0;
  }
  return count;
}

void GestalDB::addSignature(const MotionSample& sample, int32_t index) {
  if (sample.empty()) return;
  if (index < 1) throw "addSignature to invalid action index";
  const std::string text = writeSampleText(sample);
  {
    SqliteStatement statement(*connection_,
                              "insert into sign (item_no, time, signature) values (?1, ?2, ?3)");
    statement.bind(1, int64_t{index}).bind(2, clockMillis()).bind(3, std::string_view(text));
    runReporting(statement, "addSignature");
  }
  // Keeps the most recently inserted rows, by rowid rather than by time stamp; runs even after a
  // failed insert.
  SqliteStatement prune(*connection_,
                        "delete from sign where rowid in (select rowid from sign where item_no = "
                        "?1 order by rowid desc limit -1 offset ?2)");
  prune.bind(1, int64_t{index}).bind(2, int64_t{profile_->storedSignatureLimit()});
  runReporting(prune, "remove old signature in addSignature");
}

void GestalDB::delSignatures(int32_t index) {
  runForAction(*connection_, "delete from sign where item_no = ?1", index, "delSignatures");
}

std::vector<bool> GestalDB::getAdaptStrengthVerifyHistory(int32_t index) {
  std::string text;
  {
    SqliteStatement statement(
        *connection_, "select verify_histories from adapt_strength where action_index = ?1");
    statement.bind(1, int64_t{index});
    while (statement.step()) {
      if (statement.columnCount() > 0) text = statement.text(0);
    }
    if (statement.failed()) {
      reportError("getAdaptStrengthVerifyHistory", statement.error());
      return {};
    }
  }
  std::vector<bool> history;
  std::istringstream stream(text);
  int value = 0;
  while (stream >> value) history.push_back(value != 0);
  return history;
}

void GestalDB::setAdaptStrengthVerifyHistory(int32_t index, const std::vector<bool>& history) {
  if (history.empty()) {
    delAdaptStrengthVerifyHistory(index);
    return;
  }
  std::string text;
  text.reserve(history.size() * 2);
  for (bool outcome : history) text += outcome ? "1 " : "0 ";

  const bool stored = !getAdaptStrengthVerifyHistory(index).empty();
  SqliteStatement statement(
      *connection_,
      stored ? "update adapt_strength set verify_histories = ?2 where action_index = ?1"
             : "insert into adapt_strength (action_index, verify_histories) values (?1, ?2)");
  statement.bind(1, int64_t{index}).bind(2, std::string_view(text));
  runReporting(statement, "setAdaptStrengthVerifyHistory");
}

void GestalDB::delAdaptStrengthVerifyHistory(int32_t index) {
  runForAction(*connection_, "delete from adapt_strength where action_index = ?1", index,
               "delAdaptStrengthVerifyHistory");
}

void GestalDB::writeVerificationResult(int32_t index) {
  SqliteStatement statement(
      *connection_,
      "insert into verify_history (action_index, verify_result, time) values (?1, 0, ?2);");
  statement.bind(1, int64_t{index}).bind(2, clockMillis());
  runReporting(statement, "writeVerificationResult");
}

void GestalDB::delVerificationResult(int32_t index) {
  runForAction(*connection_, "delete from verify_history where action_index = ?1", index,
               "delVerificationResult");
}

int32_t GestalDB::getFailedVerificationCount(int32_t index) {
  std::vector<bool> results;
  {
    SqliteStatement statement(
        *connection_,
        "select rowid, verify_result from verify_history where action_index = ?1 order by time "
        "desc");
    statement.bind(1, int64_t{index});
    const int column = statement.column("verify_result");
    while (statement.step()) {
      if (column >= 0) results.push_back(statement.integer(column, "verify_history") != 0);
    }
    if (statement.failed()) {
      reportError("getActionCount", statement.error());
      return 0;
    }
  }
  int32_t failures = 0;
  for (bool success : results) {
    if (success) break;
    ++failures;
  }
  return failures;
}

int32_t GestalDB::getSecondsSinceLastFailure(int32_t index) {
  // An aggregate yields one row; SQLite takes the bare verify_result from the row with the
  // largest time.
  SqliteStatement statement(
      *connection_,
      "select max(time), verify_result, rowid from verify_history where action_index = ?1");
  statement.bind(1, int64_t{index});
  const int resultColumn = statement.column("verify_result");
  const int rowidColumn = statement.column("rowid");
  int64_t failureTime = -1;
  while (statement.step()) {
    bool newestIsSuccess = true;
    int64_t time = -1;
    for (int column = 0, n = statement.columnCount(); column < n; ++column) {
      if (statement.isNull(column) || column == rowidColumn) continue;
      if (column == resultColumn) {
        newestIsSuccess = statement.integer(column, "verify_history") != 0;
      } else {
        time = statement.integer(column, "verify_history", INT64_MIN, INT64_MAX);
      }
    }
    failureTime = newestIsSuccess ? -1 : time;
  }
  if (statement.failed()) throw "sql error";
  if (failureTime < 1) return -1;
  return static_cast<int32_t>((clockMillis() - failureTime) / 1000);
}

}  // namespace GestalPrivate
