#include "signatures/GestalDB.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <stdexcept>

#include "core/Clock.h"
#include "core/Log.h"
#include "core/NumberText.h"
#include "core/SampleText.h"

namespace GestalPrivate {
namespace {

constexpr const char* kSchema =
    "PRAGMA user_version = 1;"
    "create table item(item_no,cmd,strength,signType);"
    "create table sign(item_no,time,signature);"
    "create table adapt_strength(action_index,verify_histories);"
    "create table verify_history(action_index,time,verify_result);";

// True for the schema of a file the store created (made once, in memory).
bool isCreatedSchema(const std::string& schema) {
  static const std::string created = schemaMadeBy(kSchema);
  return !created.empty() && schema == created;
}

// A host naming ever new action indexes must not grow the cache without end: beyond this many
// actions it starts afresh.
constexpr std::size_t kCachedActionLimit = 10000;

// With a cache, the store reads the file again only after writing to it: an action's listing
// scans table sign, whose rows hold a signature each, so its pages are kept at hand (the first
// pages of about 200 actions' signatures) rather than read from the file for every scan.
constexpr const char* kCachedPages = "PRAGMA cache_size = -8192";

void reportError(const char* operation, const std::string& message) {
  logFormat(LogLevel::Error, "%s SQL error: %s", operation, message.c_str());
}

// Runs a statement that returns no rows and reports its failure under the operation's name.
bool runReporting(SqliteStatement& statement, const char* operation) {
  if (statement.run()) return true;
  reportError(operation, statement.error());
  return false;
}

// Runs a statement whose one parameter is an action index, such as a deletion of its rows.
bool runForAction(SqliteConnection& connection, const char* sql, int32_t index,
                  const char* operation) {
  SqliteStatement statement(connection, sql);
  statement.bind(1, int64_t{index});
  return runReporting(statement, operation);
}

// Seconds since a failure at `failureTime`, or -1 when there is none.
int32_t secondsSince(int64_t failureTime) {
  if (failureTime < 1) return -1;
  return static_cast<int32_t>((clockMillis() - failureTime) / 1000);
}

}  // namespace

GestalDB::GestalDB(const GSEnginePreferenceParameters& profile, const std::string& directory,
                   Caching caching)
    : path_(directory + "gestal.db"),
      profile_(copyPreferenceProfile(profile)),
      connection_(openVersionedDatabase(
          path_, {kSchema, "current signature DB schema version is %d",
                  "create gesture DB tables error: %s", "create gesture DB tables failed\n",
                  "create gesture DB tables success"})),
      cache_(caching == Caching::On ? std::make_unique<SignatureCache>() : nullptr) {}

GestalDB::~GestalDB() = default;

SignatureCache* GestalDB::cache() {
  if (cache_ == nullptr) return nullptr;
  const uint64_t generation = connection_->generation();
  if (generation != cache_->generation) {
    *cache_ = SignatureCache{};
    cache_->generation = generation;
    cache_->usable = isCreatedSchema(schemaOf(*connection_));
    std::string error;
    connection_->exec(kCachedPages, error);
  }
  return cache_->usable ? cache_.get() : nullptr;
}

SignatureCache::Action* GestalDB::cached(int32_t index) {
  SignatureCache* kept = cache();
  if (kept == nullptr) return nullptr;
  if (kept->actions.size() >= kCachedActionLimit && kept->actions.count(index) == 0) {
    kept->actions.clear();
  }
  return &kept->actions[index];
}

void GestalDB::itemChanged(int32_t index, bool rowsAddedOrRemoved) {
  if (SignatureCache* kept = cache()) {
    if (rowsAddedOrRemoved) kept->actionIndexes.reset();
    SignatureCache::Action& action = *cached(index);
    action.item.reset();
    action.type.reset();
  }
}

std::vector<int32_t> GestalDB::getAllActionIndexes() {
  SignatureCache* kept = cache();
  if (kept != nullptr && kept->actionIndexes) return *kept->actionIndexes;
  std::vector<int32_t> indexes;
  SqliteStatement statement(*connection_, "select rowid, item_no from item");
  const int column = statement.column("item_no");
  while (statement.step()) {
    if (column >= 0) indexes.push_back(static_cast<int32_t>(statement.integer(column, "item")));
  }
  if (statement.failed()) {
    reportError("getAllActionIndexes", statement.error());
  } else if (kept != nullptr) {
    kept->actionIndexes = indexes;
  }
  return indexes;
}

Gestal::GSAction GestalDB::getAction(int32_t index) {
  SignatureCache::Action* kept = cached(index);
  SignatureCache::Item item;
  if (kept != nullptr && kept->item) {
    item = *kept->item;
  } else {
    SqliteStatement statement(*connection_, "select rowid, * from item where item_no = ?1");
    statement.bind(1, int64_t{index});
    while (statement.step()) {
      // Looked up on the row: "*" follows the table as it is when the statement runs.
      const int indexColumn = statement.column("item_no");
      const int cmdColumn = statement.column("cmd");
      const int strengthColumn = statement.column("strength");
      int32_t rowIndex = 0;
      std::string rowCmd;
      int32_t rowStrength = -1;
      if (indexColumn >= 0) rowIndex = static_cast<int32_t>(statement.integer(indexColumn, "item"));
      if (cmdColumn >= 0 && !statement.isNull(cmdColumn)) rowCmd = statement.text(cmdColumn);
      if (strengthColumn >= 0 && !statement.isNull(strengthColumn)) {
        rowStrength = static_cast<int32_t>(statement.integer(strengthColumn, "item"));
      }
      if (rowIndex <= 0) throw "Invalid action index (must > 0)";
      item = {true, std::move(rowCmd), rowStrength};
    }
    if (statement.failed()) {
      reportError("getAction", statement.error());
    } else if (kept != nullptr) {
      kept->item = item;
    }
  }
  Gestal::GSAction action;
  if (!item.found) return action;

  action.actionIndex = index;
  action.cmd = item.cmd;
  action.strength = item.strength;
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
  SignatureCache::Action* kept = cached(index);
  if (kept != nullptr && kept->type) return *kept->type;
  int32_t type = 0;
  SqliteStatement statement(*connection_, "select signType, rowid from item where item_no = ?1");
  statement.bind(1, int64_t{index});
  while (statement.step()) {
    if (!statement.isNull(0)) type = static_cast<int32_t>(statement.integer(0, "item"));
  }
  if (statement.failed()) {
    reportError("getSignatureType", statement.error());
  } else if (kept != nullptr) {
    kept->type = type;
  }
  return type;
}

void GestalDB::setSignatureType(int32_t index, int32_t type) {
  if (getAction(index).actionIndex < 1) return;
  SqliteStatement statement(*connection_, "update item set signType = ?1 where item_no = ?2");
  statement.bind(1, int64_t{type}).bind(2, int64_t{index});
  if (runReporting(statement, "setSignatureType")) itemChanged(index, false);
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
    if (runReporting(statement, "writeAction")) itemChanged(index, false);
    return;
  }

  SqliteStatement statement(*connection_,
                            "insert into item (item_no, cmd, strength) values (?1, ?2, ?3)");
  statement.bind(1, int64_t{index}).bind(2, std::string_view(cmd)).bind(3, signedStrength);
  if (runReporting(statement, "writeAction")) itemChanged(index, true);
}

void GestalDB::delAction(int32_t index) {
  if (runForAction(*connection_, "delete from item where item_no = ?1", index, "delAction")) {
    itemChanged(index, true);
  }
  delSignatures(index);
  delAdaptStrengthVerifyHistory(index);
  delVerificationResult(index);
}

template <class Decoded, class Decode>
std::vector<Decoded> GestalDB::newestSignatures(
    uint32_t count, int32_t index, DecodedSignatures<Decoded> SignatureCache::Action::*form,
    Decode decode, const char* operation) {
  SignatureCache::Action* action = cached(index);
  DecodedSignatures<Decoded>* kept = action != nullptr ? &(action->*form) : nullptr;
  if (kept != nullptr) {
    auto listed = kept->newestFirst.find(count);
    if (listed != kept->newestFirst.end()) return listed->second;
  }
  // The order is SQLite's sort by time, whose key is the time and the position in the table scan
  // whatever else is selected; the texts are read by rowid and decoded once.
  std::vector<int64_t> rowids;
  std::string error;
  {
    SqliteStatement order(*connection_,
                          "select rowid from sign where item_no = ?1 order by time desc limit ?2");
    // The count is a signed limit to SQLite: all bits set reads as -1, which means no limit.
    order.bind(1, int64_t{index}).bind(2, int64_t{static_cast<int32_t>(count)});
    while (order.step()) rowids.push_back(order.int64(0));
    error = order.error();
  }
  std::vector<Decoded> signatures;
  for (std::size_t i = 0; i < rowids.size() && error.empty(); ++i) {
    Decoded signature;
    if (kept != nullptr) {
      auto decoded = kept->byRowid.find(rowids[i]);
      if (decoded != kept->byRowid.end()) signature = decoded->second;
    }
    if (signature == nullptr) {
      SqliteStatement row(*connection_, "select rowid, signature from sign where rowid = ?1");
      row.bind(1, rowids[i]);
      if (!row.step()) {
        error = row.error();
        continue;
      }
      // A non-finite value of a recording was stored as null; it comes back as NaN, as enrolled.
      try {
        signature = decode(row.textView(1));
      } catch (const SampleTextError& e) {
        row.corruptRow("sign", std::string("signature does not decode: ") + e.what());
      }
      if (kept != nullptr) kept->byRowid.emplace(rowids[i], signature);
    }
    signatures.push_back(std::move(signature));
  }
  if (!error.empty()) {
    reportError(operation, error);
  } else if (kept != nullptr) {
    kept->newestFirst.emplace(count, signatures);
  }
  return signatures;
}

std::vector<StoredSignature> GestalDB::getLastNSignature(uint32_t count, int32_t index) {
  return newestSignatures(
      count, index, &SignatureCache::Action::prepared,
      [](std::string_view text) {
        return std::make_shared<const PreparedRecording>(
            PreparedRecording::detached(readSampleMotion(text, NullValues::AsNaN)));
      },
      "getLastNSignature");
}

std::vector<ElasticTemplatePtr> GestalDB::getLastNElastic(uint32_t count, int32_t index) {
  return newestSignatures(
      count, index, &SignatureCache::Action::elastic,
      [](std::string_view text) {
        return std::make_shared<const ElasticTemplate>(
            makeElasticTemplate(readSampleText(text, NullValues::AsNaN)));
      },
      "getLastNElastic");
}

int32_t GestalDB::getLastSignatureTime(int32_t index) {
  SignatureCache::Action* kept = cached(index);
  int64_t newest = -1;
  if (kept != nullptr && kept->newestTime) {
    newest = *kept->newestTime;
  } else {
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
    if (kept != nullptr) kept->newestTime = newest;
  }
  if (newest <= 0) return -1;
  // Only the low 32 bits of the span are kept.
  return static_cast<int32_t>(
      static_cast<uint32_t>(static_cast<uint64_t>(clockMillis()) - static_cast<uint64_t>(newest)));
}

int32_t GestalDB::getSignatureCount(int32_t index) {
  SignatureCache::Action* kept = cached(index);
  if (kept != nullptr && kept->signatureCount) return *kept->signatureCount;
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
  if (kept != nullptr) kept->signatureCount = count;
  return count;
}

void GestalDB::addSignature(const MotionSample& sample, int32_t index) {
  if (sample.empty()) return;
  if (index < 1) throw "addSignature to invalid action index";
  const std::string text = writeSampleText(sample);
  const int64_t now = clockMillis();
  {
    SqliteStatement statement(*connection_,
                              "insert into sign (item_no, time, signature) values (?1, ?2, ?3)");
    statement.bind(1, int64_t{index}).bind(2, now).bindUncopied(3, text);
    if (runReporting(statement, "addSignature")) {
      if (SignatureCache::Action* kept = cached(index)) {
        // Written values read back exactly, a non-finite one as NaN, which prepares as the value
        // did: the sample itself is what the stored row decodes to for matching.
        kept->prepared.byRowid[connection_->lastInsertRowid()] =
            std::make_shared<const PreparedRecording>(PreparedRecording::detached(sample));
        if (kept->signatureCount) ++*kept->signatureCount;
        if (kept->newestTime) kept->newestTime = std::max(*kept->newestTime, now);
      }
    }
  }
  // Keeps the most recently inserted rows, by rowid rather than by time stamp; runs even after a
  // failed insert. With a cache, the rows it deletes are listed first: nobody else writes between
  // the two statements, since the call holds the write lock from the insert on.
  const int64_t limit = profile_->storedSignatureLimit();
  struct Pruned {
    int64_t rowid;
    bool hasTime;
    bool integerTime;
    int64_t time;
  };
  std::optional<std::vector<Pruned>> pruned;
  if (cached(index) != nullptr) {
    SqliteStatement select(*connection_,
                           "select rowid, time from sign where item_no = ?1 order by rowid desc "
                           "limit -1 offset ?2");
    select.bind(1, int64_t{index}).bind(2, limit);
    pruned.emplace();
    while (select.step()) {
      pruned->push_back(
          {select.int64(0), !select.isNull(1), select.type(1) == SQLITE_INTEGER, select.int64(1)});
    }
    if (select.failed()) pruned.reset();
  }
  SqliteStatement prune(*connection_,
                        "delete from sign where rowid in (select rowid from sign where item_no = "
                        "?1 order by rowid desc limit -1 offset ?2)");
  prune.bind(1, int64_t{index}).bind(2, limit);
  if (!runReporting(prune, "remove old signature in addSignature")) return;
  SignatureCache::Action* kept = cached(index);
  if (kept == nullptr) return;
  // Where equal times fall in the newest-first order is SQLite's to say: the order is read again.
  kept->prepared.newestFirst.clear();
  kept->elastic.newestFirst.clear();
  if (!pruned) {
    kept->prepared.clear();
    kept->elastic.clear();
    kept->signatureCount.reset();
    kept->newestTime.reset();
    return;
  }
  for (const Pruned& row : *pruned) {
    kept->prepared.byRowid.erase(row.rowid);
    kept->elastic.byRowid.erase(row.rowid);
    if (kept->signatureCount && row.hasTime) --*kept->signatureCount;
    // The newest time is read again unless the row was certainly older.
    if (kept->newestTime && !(row.integerTime && row.time < *kept->newestTime)) {
      kept->newestTime.reset();
    }
  }
}

void GestalDB::delSignatures(int32_t index) {
  if (!runForAction(*connection_, "delete from sign where item_no = ?1", index, "delSignatures")) {
    return;
  }
  if (SignatureCache::Action* kept = cached(index)) {
    kept->prepared.clear();
    kept->elastic.clear();
    kept->signatureCount = 0;
    kept->newestTime = -1;
  }
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
  // Whitespace-separated integers, up to the first that cannot be read as an int.
  std::vector<bool> history;
  std::string_view rest = text;
  std::size_t length = 0;
  for (auto value = leadingInteger(rest, length); value && *value >= INT_MIN && *value <= INT_MAX;
       value = leadingInteger(rest, length)) {
    history.push_back(*value != 0);
    rest.remove_prefix(length);
  }
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

std::optional<SignatureCache::Failures> GestalDB::failuresOf(int32_t index) {
  SignatureCache::Action* kept = cached(index);
  if (kept == nullptr) return std::nullopt;
  if (kept->failures) return kept->failures;
  SqliteStatement statement(
      *connection_, "select time, verify_result from verify_history where action_index = ?1");
  statement.bind(1, int64_t{index});
  SignatureCache::Failures failures;
  bool known = true;
  while (known && statement.step()) {
    known = statement.type(0) == SQLITE_INTEGER && statement.type(1) == SQLITE_INTEGER &&
            statement.int64(1) == 0;
    ++failures.rows;
    failures.newest = std::max(failures.newest, statement.int64(0));
  }
  if (!known || statement.failed()) return std::nullopt;
  kept->failures = failures;
  return failures;
}

void GestalDB::writeVerificationResult(int32_t index) {
  const int64_t now = clockMillis();
  SqliteStatement statement(
      *connection_,
      "insert into verify_history (action_index, verify_result, time) values (?1, 0, ?2);");
  statement.bind(1, int64_t{index}).bind(2, now);
  if (!runReporting(statement, "writeVerificationResult")) return;
  SignatureCache::Action* kept = cached(index);
  if (kept != nullptr && kept->failures) {
    ++kept->failures->rows;
    kept->failures->newest = std::max(kept->failures->newest, now);
  }
}

void GestalDB::delVerificationResult(int32_t index) {
  // With nothing to delete the call needs no write, nor the write lock.
  const std::optional<SignatureCache::Failures> failures = failuresOf(index);
  if (failures && failures->rows == 0) return;
  if (runForAction(*connection_, "delete from verify_history where action_index = ?1", index,
                   "delVerificationResult")) {
    if (SignatureCache::Action* kept = cached(index)) kept->failures = SignatureCache::Failures{};
  }
}

int32_t GestalDB::getFailedVerificationCount(int32_t index) {
  if (const auto failures = failuresOf(index)) return static_cast<int32_t>(failures->rows);
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
  if (const auto failures = failuresOf(index)) {
    return secondsSince(failures->rows > 0 ? failures->newest : -1);
  }
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
  return secondsSince(failureTime);
}

}  // namespace GestalPrivate
