#pragma once

namespace GestalPrivate {

// Which matcher identifies custom gestures and signatures: the symbol-string matcher the library
// starts with, or the elastic matcher (core/ElasticMatcher.h), which answers only when its
// confidence reaches `minConfidence`.
enum class Matcher { Lcs, Elastic };

struct MatcherChoice {
  Matcher matcher = Matcher::Lcs;
  float minConfidence = 1.0f;
};

}  // namespace GestalPrivate
