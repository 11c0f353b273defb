#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "core/Exceptions.h"
#include "core/SampleText.h"
#include "signatures/GestalRecognition.h"
#include "signatures/GestalTraining.h"
#include "signatures/SignatureStoreFixture.h"

namespace {

using namespace GestalPrivate;
using namespace SignatureFixtures;

constexpr const char* kShell = "/usr/bin/sqlite3";

// Output of the command-line shell for one SQL text (no double quotes in it).
std::string shell(const std::string& file, const std::string& sql) {
  const std::string command =
      std::string(kShell) + " -batch -noheader '" + file + "' \"" + sql + "\" 2>&1";
  std::FILE* pipe = popen(command.c_str(), "r");
  std::string output;
  char buffer[4096];
  for (std::size_t n; pipe != nullptr && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    output.append(buffer, n);
  if (pipe != nullptr) pclose(pipe);
  return output;
}

class SignatureFileFormatTest : public SignatureFixtures::SignatureStoreTest {};

// Enrols, identifies and fails through the engine's own classes, then reads the file as any
// other SQLite program would.
TEST_F(SignatureFileFormatTest, AnotherSqliteProgramReadsTheExactSchemaAndRows) {
  if (access(kShell, X_OK) != 0) GTEST_SKIP() << kShell << " not installed";
  const GSEnginePreferenceParameters profile;
  open(profile);
  GestalTraining training(db.get(), profile, 1.0f);
  GestalRecognition recognition(db.get(), profile, 1.0f);
  recognition.setMaxFailedTrials(INT_MAX);
  recognition.setLockTimeSeconds(300);

  const std::vector<MotionSample> samples{xPrefix(160), xPrefix(155), xPrefix(150)};
  for (const MotionSample& sample : samples) training.train(3, sample);
  // As if the action had been enrolled at the loosest level, so adaptive strength keeps a history.
  db->writeAction(3, "", 4);
  clock.setMillis(1700000001000);
  EXPECT_EQ(recognition.identify({}, xPrefix(160)), std::vector<int32_t>{3});
  clock.setMillis(1700000002000);
  EXPECT_THROW(recognition.identify({}, zRecording(150)), NoMatchException);

  EXPECT_EQ(shell(file(), "PRAGMA user_version;"), "1\n");
  EXPECT_EQ(shell(file(), "select sql from sqlite_master;"),
            "CREATE TABLE item(item_no,cmd,strength,signType)\n"
            "CREATE TABLE sign(item_no,time,signature)\n"
            "CREATE TABLE adapt_strength(action_index,verify_histories)\n"
            "CREATE TABLE verify_history(action_index,time,verify_result)\n");
  EXPECT_EQ(shell(file(),
                  "select item_no, typeof(item_no), typeof(cmd), length(cmd), strength, "
                  "typeof(strength), signType, typeof(signType) from item;"),
            "3|integer|text|0|4|integer|0|integer\n");
  EXPECT_EQ(shell(file(), "select item_no, time, signature from sign order by rowid;"),
            "3|1700000000000|" + writeSampleText(samples[0]) + "\n3|1700000000000|" +
                writeSampleText(samples[1]) + "\n3|1700000000000|" + writeSampleText(samples[2]) +
                "\n3|1700000001000|" + writeSampleText(samples[0]) + "\n");
  EXPECT_EQ(
      shell(file(), "select distinct typeof(item_no), typeof(time), typeof(signature) from sign;"),
      "integer|integer|text\n");
  EXPECT_EQ(shell(file(),
                  "select action_index, verify_histories, typeof(verify_histories) "
                  "from adapt_strength;"),
            "3|1 |text\n");
  EXPECT_EQ(shell(file(),
                  "select action_index, time, verify_result, typeof(time) from "
                  "verify_history;"),
            "3|1700000002000|0|integer\n");
}

}  // namespace
