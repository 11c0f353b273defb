#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/GSAction.h"
#include "core/GSEnginePreferenceParameters.h"
#include "core/MotionSample.h"
#include "signatures/SignatureCache.h"
#include "store/Sqlite.h"

namespace GestalPrivate {

// The store of enrolled signatures: the file "gestal.db" in the database directory, with the
// tables item (actions), sign (stored signatures), adapt_strength (adaptive-strength histories)
// and verify_history (failed identifications). With Caching::On the store keeps what identification
// reads (actions, signature types, decoded signatures, signature counts and times, failed
// identifications) in a SignatureCache for as long as no other connection changes the file; its
// own writes update it. SQL errors are printed to stderr as "<operation> SQL error: <message>" and
// absorbed;
// environmental failures (full disk, read-only file, I/O error, lock held too long, damaged file)
// throw StoreFault, and a stored value that does not read back throws std::runtime_error naming
// the file, table and row.
class GestalDB {
 public:
  // Opens directory + "gestal.db", creating it with its tables when missing. Throws
  // std::runtime_error when the file cannot be opened, its version read or its tables created.
  GestalDB(const GSEnginePreferenceParameters& profile, const std::string& directory,
           Caching caching = Caching::On);
  virtual ~GestalDB();

  const std::string& path() const { return path_; }

  // Opens the scope of one call: its writes to the file commit together at commit(), or not at
  // all (see SqliteTransaction).
  SqliteTransaction callTransaction() { return SqliteTransaction(*connection_); }

  std::vector<int32_t> getAllActionIndexes();
  // Fills actionIndex, cmd, strength and remainingSignatures; index -1 when there is no action.
  Gestal::GSAction getAction(int32_t index);
  int32_t getActionStrength(int32_t index);
  int32_t getSignatureType(int32_t index);
  void setSignatureType(int32_t index, int32_t type);
  // An empty command text, or a strength with all bits set, leaves that column of an existing
  // action unchanged.
  void writeAction(int32_t index, std::string cmd, uint32_t strength);
  void delAction(int32_t index);

  // Newest first, at most `count`; among signatures of equal time in the order SQLite's sort
  // gives.
  std::vector<StoredSignature> getLastNSignature(uint32_t count, int32_t index);
  // The same signatures as the elastic matcher compares them, read whole (secondary vector
  // included).
  std::vector<ElasticTemplatePtr> getLastNElastic(uint32_t count, int32_t index);
  // Milliseconds since the newest stored signature (low 32 bits), or -1.
  int32_t getLastSignatureTime(int32_t index);
  int32_t getSignatureCount(int32_t index);
  // Stores the sample and keeps only the newest storedSignatureLimit rows of the action.
  void addSignature(const MotionSample& sample, int32_t index);
  void delSignatures(int32_t index);

  std::vector<bool> getAdaptStrengthVerifyHistory(int32_t index);
  void setAdaptStrengthVerifyHistory(int32_t index, const std::vector<bool>& history);
  void delAdaptStrengthVerifyHistory(int32_t index);

  void writeVerificationResult(int32_t index);
  void delVerificationResult(int32_t index);
  int32_t getFailedVerificationCount(int32_t index);
  int32_t getSecondsSinceLastFailure(int32_t index);

 private:
  // The cached state of the action, after dropping everything cached when the file changed; null
  // when the store keeps no cache.
  SignatureCache::Action* cached(int32_t index);
  SignatureCache* cache();
  // The action's failed identifications, read once while the file is unchanged; empty when the
  // store keeps no cache or some row is not a failure with an integer time.
  std::optional<SignatureCache::Failures> failuresOf(int32_t index);
  // The newest `count` signatures of the action in one decoded form: `form` picks that form's
  // cache out of an action's, `decode` turns a stored text into it.
  template <class Decoded, class Decode>
  std::vector<Decoded> newestSignatures(uint32_t count, int32_t index,
                                        DecodedSignatures<Decoded> SignatureCache::Action::*form,
                                        Decode decode, const char* operation);
  // After a write to the action's row of table item.
  void itemChanged(int32_t index, bool rowsAddedOrRemoved);

  std::string path_;
  std::unique_ptr<GSEnginePreferenceParameters> profile_;
  std::unique_ptr<SqliteConnection> connection_;
  std::unique_ptr<SignatureCache> cache_;
};

}  // namespace GestalPrivate
