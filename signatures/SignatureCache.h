#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/ElasticTemplate.h"
#include "core/GestalCore.h"

namespace GestalPrivate {

// A stored signature as identification compares it: prepared, and symbolised on first use.
using StoredSignature = std::shared_ptr<const PreparedRecording>;

// An action's stored signatures decoded into one form: the newest by the count asked for, in the
// order the store's select gives them, and every decoded row still stored, by rowid.
template <class Decoded>
struct DecodedSignatures {
  std::map<uint32_t, std::vector<Decoded>> newestFirst;
  std::unordered_map<int64_t, Decoded> byRowid;

  void clear() {
    newestFirst.clear();
    byRowid.clear();
  }
};

// What the signature store has read of its file, kept between calls while nothing but the store
// itself has changed the file (SqliteConnection::generation). Every value is the answer of one of
// the store's own statements, so a cached answer is the one the file gives; the store's writes
// update exactly what they know the effect of and drop the rest, to be read again.
struct SignatureCache {
  // The action's row of table item as getAction reads it.
  struct Item {
    bool found = false;
    std::string cmd;
    int32_t strength = -1;
  };
  // The action's rows of verify_history, known when every one is a failure with an integer time:
  // then the count of failures in a row is the number of rows whatever their order, and the newest
  // failure is the largest time.
  struct Failures {
    int64_t rows = 0;
    int64_t newest = -1;
  };
  struct Action {
    std::optional<Item> item;
    std::optional<int32_t> type;
    std::optional<int32_t> signatureCount;
    std::optional<int64_t> newestTime;  // the largest time of the action's signatures, or -1
    // The rows of table sign still stored for the action, as the symbol matcher compares them,
    // and as the elastic matcher does (decoded only when it is used).
    DecodedSignatures<StoredSignature> prepared;
    DecodedSignatures<ElasticTemplatePtr> elastic;
    std::optional<Failures> failures;
  };

  uint64_t generation = 0;
  // False while the file's schema is not the one the store creates: then nothing is kept.
  bool usable = false;
  std::optional<std::vector<int32_t>> actionIndexes;
  std::unordered_map<int32_t, Action> actions;
};

}  // namespace GestalPrivate
