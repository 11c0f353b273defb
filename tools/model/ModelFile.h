#pragma once

#include <charconv>
#include <filesystem>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "gestures/PredefinedGesture.h"
#include "store/Sqlite.h"

namespace GestalPrivate {

// The shortest "%g" text (C locale, whatever the host's) that reads back as exactly `value`.
inline std::string floatText(float value) {
  char text[32];
  char* end = text;
  for (int digits = 1; digits <= 9; ++digits) {
    end = std::to_chars(text, text + sizeof text, static_cast<double>(value),
                        std::chars_format::general, digits)
              .ptr;
    float back = 0.0f;
    std::from_chars(text, end, back);
    if (back == value) break;
  }
  return std::string(text, end);
}

// A template's "parameters" object, e.g. {"b":0.46,"c":2,"f":300,"u":4}. b is written as the
// shortest decimal that converts back to the same float.
inline std::string templateParameters(const GestureTemplate& t) {
  nlohmann::json parameters = nlohmann::json::object();
  std::string b = floatText(t.b);
  double shortest = 0.0;
  std::from_chars(b.data(), b.data() + b.size(), shortest);
  parameters["b"] = shortest;
  parameters["c"] = t.c;
  parameters["f"] = t.f;
  parameters["u"] = t.u;
  return parameters.dump();
}

// Writes `classifier` as a model file: tables weak_classifier(id, alpha), gesture(id, name) and
// samples(weak_classifier_id, gesture_id, data, parameters). The gestures are those of the first
// weak classifier. The same classifier always gives the same bytes: the file is built from scratch
// with the same statements in the same order, then moved over `path`.
inline void writeModelFile(const std::string& path, const AdaboostClassifier& classifier) {
  std::string partial = path + ".partial";
  std::error_code ignored;
  std::filesystem::remove(partial, ignored);
  {
    SqliteConnection db(partial);
    std::string error;
    auto exec = [&](const std::string& sql) {
      if (!db.exec(sql, error)) throw std::runtime_error("writing " + path + ": " + error);
    };
    auto run = [&](SqliteStatement& statement) {
      if (!statement.run()) throw std::runtime_error("writing " + path + ": " + statement.error());
    };
    exec(
        "CREATE TABLE weak_classifier (id INTEGER PRIMARY KEY, alpha TEXT NOT NULL);"
        "CREATE TABLE gesture (id TEXT PRIMARY KEY, name TEXT NOT NULL UNIQUE);"
        "CREATE TABLE samples (weak_classifier_id INTEGER NOT NULL, gesture_id TEXT NOT NULL,"
        " data TEXT NOT NULL, parameters TEXT NOT NULL);"
        "CREATE INDEX samples_of_pair ON samples (weak_classifier_id, gesture_id);"
        "BEGIN;");
    if (!classifier.empty()) {
      for (const auto& [gesture, templates] : classifier.front().templates) {
        SqliteStatement insert(db, "INSERT INTO gesture (id, name) VALUES (?, ?)");
        insert.bind(1, gesture.id).bind(2, gesture.name);
        run(insert);
      }
    }
    for (const WeakClassifier& weak : classifier) {
      SqliteStatement insert(db, "INSERT INTO weak_classifier (id, alpha) VALUES (?, ?)");
      insert.bind(1, weak.id).bind(2, floatText(weak.alpha));
      run(insert);
      for (const auto& [gesture, templates] : weak.templates) {
        for (const GestureTemplate& t : templates) {
          SqliteStatement sample(db,
                                 "INSERT INTO samples (weak_classifier_id, gesture_id, data,"
                                 " parameters) VALUES (?, ?, ?, ?)");
          sample.bind(1, weak.id)
              .bind(2, gesture.id)
              .bind(3, nlohmann::json(t.data).dump())
              .bind(4, templateParameters(t));
          run(sample);
        }
      }
    }
    exec("COMMIT;");
  }
  std::filesystem::rename(partial, path);
}

}  // namespace GestalPrivate
