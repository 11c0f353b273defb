// The store's own rules: one transaction per call scope, files created whole, stored integers read
// as the C library reads them.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>
#include <string>

#include "store/Sqlite.h"
#include "support/CaptureOutput.h"
#include "support/DatabaseFile.h"
#include "support/TempDir.h"

namespace {

using namespace GestalPrivate;
using GestalTest::CaptureOutput;
using GestalTest::readRows;
using GestalTest::Rows;
using GestalTest::TempDir;

const SchemaMessages kMessages{"PRAGMA user_version = 3;create table t(a);", "version %d",
                               "create error: %s", "create failed", "created"};

std::unique_ptr<SqliteConnection> open(const std::string& path) {
  CaptureOutput quiet;
  return openVersionedDatabase(path, kMessages);
}

void insert(SqliteConnection& db, const std::string& table, int64_t value) {
  SqliteStatement statement(db, "insert into " + table + " values (?1)");
  statement.bind(1, value).run();
}

TEST(StoreTransaction, CommitsWhatTheCallWroteAtItsEnd) {
  TempDir dir;
  const std::string path = dir.file("t.db");
  auto db = open(path);
  {
    SqliteTransaction call(*db);
    insert(*db, "t", 1);
    insert(*db, "missing", 2);  // an SQL error undoes only itself
    insert(*db, "t", 3);
    call.commit();
  }
  // A call that fails for a reason other than the machine keeps what it wrote before the failure.
  try {
    SqliteTransaction call(*db);
    insert(*db, "t", 4);
    throw std::runtime_error("the call failed");
  } catch (const std::runtime_error&) {
  }
  insert(*db, "t", 5);  // outside a call scope each statement commits by itself
  EXPECT_EQ(readRows(path, "select a from t"), (Rows{{"1"}, {"3"}, {"4"}, {"5"}}));
}

// A pid that no process has any more: a child that has ended and been waited for.
pid_t endedProcess() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

TEST(StoreCreation, BuildsTheFileWholeAndNeverReplacesAnother) {
  TempDir dir;
  // What killed creations left: only those older than a minute whose process is gone go.
  const std::string dead = dir.file("new.db.creating-" + std::to_string(endedProcess()));
  const auto anHourAgo = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
  for (const std::string& leftover :
       {dead + "-0", dead + "-0-journal", dead + "-1", dir.file("new.db.creating-1-0")}) {
    std::ofstream{leftover};
    if (leftover != dead + "-1") std::filesystem::last_write_time(leftover, anHourAgo);
  }
  CaptureOutput out;
  auto created = openVersionedDatabase(dir.file("new.db"), kMessages);
  // A file that another process put in place first is opened as it is.
  ASSERT_TRUE(GestalTest::execute(dir.file("other.db"), "PRAGMA user_version = 9;"));
  auto existing = openVersionedDatabase(dir.file("other.db"), kMessages);
  EXPECT_EQ(out.take(), "creating DB tables\ncreated\nversion 9\n");
  EXPECT_EQ(readRows(dir.file("new.db"), "PRAGMA user_version"), (Rows{{"3"}}));
  EXPECT_EQ(readRows(dir.file("other.db"), "select count(*) from sqlite_master"), (Rows{{"0"}}));
  std::set<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    files.insert(entry.path().string());
  EXPECT_EQ(files, (std::set<std::string>{dir.file("new.db"), dir.file("other.db"), dead + "-1",
                                          dir.file("new.db.creating-1-0")}));
}

TEST(StoreIntegers, ReadLikeTheCLibraryAndNameACorruptRow) {
  TempDir dir;
  const std::string path = dir.file("t.db");
  auto db = open(path);
  for (const char* value : {"' 42abc'", "'+7'", "-2147483648", "'x1'", "'2147483648'"}) {
    std::string error;
    ASSERT_TRUE(db->exec(std::string("insert into t values (") + value + ")", error)) << error;
  }
  SqliteStatement select(*db, "select rowid, a from t");
  std::vector<std::string> read;
  while (select.step()) {
    try {
      read.push_back(std::to_string(select.integer(1, "t")));
    } catch (const std::runtime_error& e) {
      read.push_back(e.what());
    }
  }
  EXPECT_EQ(read,
            (std::vector<std::string>{"42", "7", "-2147483648",
                                      path + ": table t, row 4: a 'x1' is not a decimal integer",
                                      path + ": table t, row 5: a '2147483648' is out of range"}));
}

// Rows whose pages are read ahead come back as another connection changed them between two
// calls, and a call's generation tells a cache when that happened.
TEST(StoreReadAhead, AnotherConnectionsChangeIsReadNeverWhatWasReadBefore) {
  TempDir dir;
  const std::string path = dir.file("t.db");
  auto db = open(path);
  const auto total = [&] {
    SqliteReadScope call(*db);
    SqliteStatement select(*db, "select sum(length(a)), max(a) from t");
    return select.step() ? select.text(0) + " " + select.text(1).substr(0, 1) : "";
  };
  ASSERT_TRUE(GestalTest::execute(path,
                                  "insert into t select printf('%.*c', 20000, 'a') from "
                                  "(select 1 union all select 2 union all select 3)"));
  const uint64_t before = db->generation();
  EXPECT_EQ(total(), "60000 a");
  EXPECT_EQ(db->generation(), before);
  // The pages row 2 leaves are those row 3's new text fills.
  ASSERT_TRUE(GestalTest::execute(
      path,
      "delete from t where rowid = 2; update t set a = printf('%.*c', 20000, 'b') where "
      "rowid = 3"));
  EXPECT_NE(db->generation(), before);
  EXPECT_EQ(total(), "40000 b");
}

}  // namespace
