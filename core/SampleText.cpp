#include "core/SampleText.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>

namespace GestalPrivate {

namespace {

__extension__ using Uint128 = unsigned __int128;

constexpr int kSignificantDigits = 15;
// A float's 24-bit significand times 5^44 still fits 128 bits.
constexpr int kExactShift = 44;

// base^0 to base^(N - 1) as 128-bit integers.
template <std::size_t N>
constexpr std::array<Uint128, N> powersOf(unsigned base) {
  std::array<Uint128, N> powers{};
  Uint128 power = 1;
  for (Uint128& p : powers) {
    p = power;
    power *= base;
  }
  return powers;
}
// Up to 10^38, the largest power of ten below 2^128.
constexpr std::array<Uint128, 39> kTens = powersOf<39>(10);
constexpr std::array<Uint128, kExactShift + 1> kFives = powersOf<kExactShift + 1>(5);

// Appends "%.15g" of a float widened to double, digit for digit as the general conversion, with
// ".0" after a text that would read as an integer: the float's exact value, a 24-bit significand
// times a power of two, is scaled by a power of ten to an integer and rounded to fifteen digits
// half to even. Only for a normal float of which that integer fits 128 bits (magnitude at least
// 2^-21 or so); false for any other.
bool appendFifteenDigits(std::string& text, float value) {
  const uint32_t bits = std::bit_cast<uint32_t>(value);
  const int biased = static_cast<int>((bits >> 23) & 0xFF);
  if (biased == 0 || biased == 0xFF) return false;
  const uint64_t significand = (bits & 0x7FFFFF) | 0x800000;
  const int power = biased - 150;
  if (-power > kExactShift) return false;
  // The value times 10^shift.
  const int shift = power < 0 ? -power : 0;
  const Uint128 scaled =
      power >= 0 ? Uint128{significand} << power : Uint128{significand} * kFives[shift];
  // Decimal digits from the bit length (log10(2) ~ 1233 / 4096): that many, or one more.
  const auto high = static_cast<uint64_t>(scaled >> 64);
  const int bitLength = high != 0 ? 128 - std::countl_zero(high)
                                  : 64 - std::countl_zero(static_cast<uint64_t>(scaled));
  int digits = (bitLength * 1233) >> 12;
  if (digits < static_cast<int>(kTens.size()) && scaled >= kTens[digits]) ++digits;
  int exponent = digits - 1 - shift;
  uint64_t kept = 0;
  int keptDigits = digits;
  if (digits <= kSignificantDigits) {
    kept = static_cast<uint64_t>(scaled);
  } else {
    const Uint128 unit = kTens[digits - kSignificantDigits];
    Uint128 rounded = scaled / unit;
    const Uint128 rest = scaled - rounded * unit;
    if (rest > unit / 2 || (rest == unit / 2 && (rounded & 1) != 0)) ++rounded;
    if (rounded == kTens[kSignificantDigits]) {
      rounded = kTens[kSignificantDigits - 1];
      ++exponent;
    }
    kept = static_cast<uint64_t>(rounded);
    keptDigits = kSignificantDigits;
  }
  while (keptDigits > 1 && kept % 10 == 0) {
    kept /= 10;
    --keptDigits;
  }
  char figures[kSignificantDigits];
  for (int i = keptDigits - 1; i >= 0; --i, kept /= 10) {
    figures[i] = static_cast<char>('0' + kept % 10);
  }
  const std::string_view all(figures, static_cast<std::size_t>(keptDigits));

  if ((bits >> 31) != 0) text += '-';
  if (exponent < -4 || exponent >= kSignificantDigits) {
    text += all.front();
    if (keptDigits > 1) text.append(".").append(all.substr(1));
    text += exponent < 0 ? "e-" : "e+";
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude >= 100) text += static_cast<char>('0' + magnitude / 100);
    text += static_cast<char>('0' + magnitude / 10 % 10);
    text += static_cast<char>('0' + magnitude % 10);
  } else if (exponent < 0) {
    text.append("0.").append(static_cast<std::size_t>(-exponent - 1), '0').append(all);
  } else if (keptDigits <= exponent + 1) {
    text.append(all).append(static_cast<std::size_t>(exponent + 1 - keptDigits), '0');
    text += ".0";
  } else {
    const auto whole = static_cast<std::size_t>(exponent + 1);
    text.append(all.substr(0, whole)).append(".").append(all.substr(whole));
  }
  return true;
}

// One value as "%.15g" prints its widening to double in the C locale, with ".0" added to a text
// that would otherwise read as an integer.
void appendNumber(std::string& text, float value) {
  if (!std::isfinite(value)) {
    text += "null";
    return;
  }
  if (appendFifteenDigits(text, value)) return;
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                    std::chars_format::general, 15);
  const std::string_view digits(buffer, static_cast<size_t>(result.ptr - buffer));
  text += digits;
  if (digits.find_first_of(".e") == std::string_view::npos) text += ".0";
}

// Thrown inside the parser and turned into SampleTextError at its edge.
struct Refusal {
  std::string reason;
};

// The power of ten of the leading non-zero digit of a number token that is not zero.
int64_t decimalExponent(const char* first, const char* last) {
  int64_t lead = 0;
  bool found = false;
  int64_t position = 0;  // of the next digit relative to the decimal point, counted down
  const char* p = first + (*first == '-' ? 1 : 0);
  const char* point = p;
  while (point != last && *point >= '0' && *point <= '9') ++point;
  position = point - p - 1;
  for (; p != last && *p != 'e' && *p != 'E'; ++p) {
    if (*p == '.') continue;
    if (!found && *p != '0') {
      lead = position;
      found = true;
    }
    --position;
  }
  int64_t exponent = 0;
  if (p != last) {
    ++p;
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    for (; p != last; ++p) exponent = std::min<int64_t>(exponent * 10 + (*p - '0'), 1 << 30);
    if (negative) exponent = -exponent;
  }
  return lead + exponent;
}

// Numbers convert as a JSON reader converts them: an integer token through a 64-bit integer (when
// it fits) and any other through double, then to float. Parsing to double first and narrowing
// keeps the double rounding of decimal texts that lie near the midpoint of two floats.

// An integer token that fits 64 bits (unsigned, or signed when negative), converted once.
bool integerValue(const char* first, const char* last, float& out) {
  if (*first == '-') {
    int64_t value = 0;
    const auto result = std::from_chars(first, last, value);
    if (result.ec != std::errc()) return false;
    out = static_cast<float>(value);
  } else {
    uint64_t value = 0;
    const auto result = std::from_chars(first, last, value);
    if (result.ec != std::errc()) return false;
    out = static_cast<float>(value);
  }
  return true;
}

// Any other number through double; false when it overflows a double. A text whose value is too
// small for a double reads as zero of its sign.
bool floatingValue(const char* first, const char* last, float& out) {
  double value = 0.0;
  const auto result = std::from_chars(first, last, value);
  if (result.ec == std::errc::result_out_of_range) {
    if (decimalExponent(first, last) >= 0) return false;
    value = *first == '-' ? -0.0 : 0.0;
  }
  out = static_cast<float>(value);
  return true;
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// The texts the writer produces, read without the general parser's byte-by-byte bookkeeping:
// arrays of ten numbers (or nulls, where allowed) with no whitespace and nothing after the end.
// A decimal number of at most 19 digits whose digits make at most 2^53 and whose power of ten is
// within 10^22 converts exactly: both are exact doubles, so one multiplication or division rounds
// the decimal value to double correctly, as a full conversion does. False as soon as the text
// leaves this form; the general parser then reads it from the start, and accepts or refuses it with
// its reason.
// Only the first `converted` values of each entry are converted; the others are checked as a
// conversion would check them and left at 0.
class WrittenFormReader {
 public:
  WrittenFormReader(std::string_view text, NullValues nulls, std::size_t converted)
      : p_(text.data()), end_(text.data() + text.size()), nulls_(nulls), converted_(converted) {}

  bool read(MotionSample& sample) {
    if (!take('[')) return false;
    if (take(']')) return p_ == end_;
    while (true) {
      if (!take('[')) return false;
      MotionEntry& entry = sample.emplace_back();
      for (std::size_t k = 0; k < entry.size(); ++k) {
        if ((k > 0 && !take(',')) || !value(entry[k], k < converted_)) return false;
      }
      if (!take(']')) return false;
      if (take(']')) return p_ == end_;
      if (!take(',')) return false;
    }
  }

 private:
  bool take(char c) {
    if (p_ == end_ || *p_ != c) return false;
    ++p_;
    return true;
  }

  // Passes the decimal digits at the reading position, eight at a time where it can, appending
  // them to `mantissa` when `Gather`, and returns how many there were. Beyond 19 digits the
  // mantissa is of no use.
  template <bool Gather>
  int digitsInto(uint64_t& mantissa) {
    const char* start = p_;
    if constexpr (std::endian::native == std::endian::little) {
      while (end_ - p_ >= 8) {
        uint64_t chunk = 0;
        std::memcpy(&chunk, p_, 8);
        // Every byte within '0' to '9'.
        if ((((chunk + 0x4646464646464646) | (chunk - 0x3030303030303030)) & 0x8080808080808080) !=
            0) {
          break;
        }
        p_ += 8;
        if constexpr (!Gather) continue;
        // Pairs, then fours, then all eight digits, the first byte the most significant.
        chunk -= 0x3030303030303030;
        chunk = (chunk * 10) + (chunk >> 8);
        chunk = (((chunk & 0x000000FF000000FF) * 0x000F424000000064) +
                 (((chunk >> 16) & 0x000000FF000000FF) * 0x0000271000000001)) >>
                32;
        mantissa = mantissa * 100000000 + static_cast<uint32_t>(chunk);
      }
    }
    for (; p_ != end_ && isDigit(*p_); ++p_) {
      if constexpr (Gather) mantissa = mantissa * 10 + static_cast<uint64_t>(*p_ - '0');
    }
    return static_cast<int>(p_ - start);
  }

  bool value(float& out, bool convert) { return convert ? number<true>(out) : number<false>(out); }

  // One value; with `Convert` false it is only checked, as converting it would check it.
  template <bool Convert>
  bool number(float& out) {
    if (p_ != end_ && *p_ == 'n') {
      if (nulls_ != NullValues::AsNaN || end_ - p_ < 4 || std::string_view(p_, 4) != "null") {
        return false;
      }
      p_ += 4;
      if constexpr (Convert) out = std::numeric_limits<float>::quiet_NaN();
      return true;
    }
    // -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?, the digits gathered into one mantissa.
    const char* first = p_;
    const bool negative = take('-');
    if (p_ == end_ || !isDigit(*p_)) return false;
    uint64_t mantissa = 0;
    int digits = 1;
    if (*p_ == '0') {
      ++p_;
    } else {
      digits = digitsInto<Convert>(mantissa);
    }
    int64_t exponent = 0;
    bool integral = true;
    if (take('.')) {
      integral = false;
      const int fraction = digitsInto<Convert>(mantissa);
      if (fraction == 0) return false;
      digits += fraction;
      exponent = -fraction;
    }
    if (p_ != end_ && (*p_ == 'e' || *p_ == 'E')) {
      integral = false;
      ++p_;
      const bool negativeExponent = take('-');
      if (!negativeExponent) take('+');
      int64_t written = 0;
      const char* start = p_;
      for (; p_ != end_ && isDigit(*p_); ++p_) {
        written = std::min<int64_t>(written * 10 + (*p_ - '0'), 1 << 30);
      }
      if (p_ == start) return false;
      exponent += negativeExponent ? -written : written;
    }
    const bool small = digits <= 19 && exponent >= -22 && exponent <= 22;
    // A number of this size is finite as a double, so it is valid without converting it.
    if (!Convert && small) return true;
    float unused = 0.0f;
    float& target = Convert ? out : unused;
    if (integral) return integerValue(first, p_, target) || floatingValue(first, p_, target);

    constexpr uint64_t kExactMantissa = uint64_t{1} << 53;
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (!small || mantissa > kExactMantissa) return floatingValue(first, p_, target);
    double number = static_cast<double>(mantissa);
    number = exponent < 0 ? number / kPowers[-exponent] : number * kPowers[exponent];
    out = static_cast<float>(negative ? -number : number);
    return true;
  }

  const char* p_;
  const char* end_;
  NullValues nulls_;
  std::size_t converted_;
};

// Parses the stored text in one pass, straight into floats, and refuses everything that is not an
// array of arrays of ten numbers (or nulls, where allowed).
//
// The grammar is full JSON (a leading byte order mark, whitespace between tokens, strings with
// their escapes and UTF-8 rules, a zero byte read as the end of the text), so that any text is
// accepted or refused exactly as a general JSON reader with the same value rules would, with the
// same reason. A syntax error names the number of bytes read when it was found; like a reader that
// takes one byte at a time, that count includes the byte after a number (read and put back, so not
// counted) and the end of the text (counted once when reached).
class SampleParser {
 public:
  SampleParser(std::string_view text, NullValues nulls) : text_(text), nulls_(nulls) {}

  MotionSample parse() {
    Token token = skipByteOrderMark() ? scan() : Token::Error;
    while (true) {
      // A value starts with `token`.
      switch (token) {
        case Token::BeginArray:
          startArray();
          token = scan();
          if (token == Token::EndArray) {
            endArray();
            break;
          }
          continue;
        case Token::Number:
          number(numberValue_);
          break;
        case Token::Null:
          if (nulls_ == NullValues::Reject) refuse("a value is null");
          number(std::numeric_limits<float>::quiet_NaN());
          break;
        case Token::Boolean:
          refuse("a value is a boolean");
        case Token::String:
          refuse("a value is a string");
        case Token::BeginObject:
          refuse("an object where an array belongs");
        default:
          syntaxError();
      }
      // After a value: the next one of the enclosing array, or its end.
      while (true) {
        if (depth_ == 0) {
          if (scan() != Token::End) syntaxError();
          return std::move(sample_);
        }
        token = scan();
        if (token == Token::Separator) {
          token = scan();
          break;
        }
        if (token != Token::EndArray) syntaxError();
        endArray();
      }
    }
  }

 private:
  enum class Token {
    BeginArray,
    EndArray,
    BeginObject,
    Other,  // '}' and ':', which never start or follow a value here
    Separator,
    Number,
    Null,
    Boolean,
    String,
    End,
    Error
  };
  static constexpr int kEnd = -1;

  [[noreturn]] static void refuse(std::string reason) { throw Refusal{std::move(reason)}; }
  [[noreturn]] void syntaxError() const {
    refuse("not valid JSON at byte " + std::to_string(read_));
  }

  void startArray() {
    if (depth_ == 2) refuse("an entry holds an array");
    if (++depth_ == 2) {
      sample_.emplace_back();
      fields_ = 0;
    }
  }

  void endArray() {
    if (depth_ == 2 && fields_ != 10) refuse("an entry does not hold exactly ten values");
    --depth_;
  }

  void number(float value) {
    if (depth_ == 0) refuse("the text is not an array");
    if (depth_ == 1) refuse("an entry is not an array");
    if (fields_ == 10) refuse("an entry holds more than ten values");
    sample_.back()[fields_++] = value;
  }

  int get() {
    const std::size_t at = read_++;
    return at < text_.size() ? static_cast<unsigned char>(text_[at]) : kEnd;
  }
  void unget() { --read_; }

  // A text may open with the UTF-8 byte order mark; false for a partial one.
  bool skipByteOrderMark() {
    if (get() == 0xEF) return get() == 0xBB && get() == 0xBF;
    unget();
    return true;
  }

  Token scan() {
    int c = get();
    while (c == ' ' || c == '\t' || c == '\n' || c == '\r') c = get();
    switch (c) {
      case '[':
        return Token::BeginArray;
      case ']':
        return Token::EndArray;
      case '{':
        return Token::BeginObject;
      case '}':
      case ':':
        return Token::Other;
      case ',':
        return Token::Separator;
      case 't':
        return literal("rue", Token::Boolean);
      case 'f':
        return literal("alse", Token::Boolean);
      case 'n':
        return literal("ull", Token::Null);
      case '"':
        return scanString();
      case '\0':
      case kEnd:
        return Token::End;
      default:
        if (c == '-' || (c >= '0' && c <= '9')) return scanNumber();
        return Token::Error;
    }
  }

  Token literal(const char* rest, Token token) {
    for (; *rest != '\0'; ++rest) {
      if (get() != *rest) return Token::Error;
    }
    return token;
  }

  // Consumes one byte in each [low, high] range given, in order; false at the first outside.
  bool bytesInRanges(std::initializer_list<int> ranges) {
    for (auto range = ranges.begin(); range != ranges.end(); range += 2) {
      const int c = get();
      if (c < range[0] || c > range[1]) return false;
    }
    return true;
  }

  // Four hex digits after "\u", or -1.
  int codePoint() {
    int value = 0;
    for (int i = 0; i < 4; ++i) {
      const int c = get();
      int digit;
      if (c >= '0' && c <= '9') {
        digit = c - '0';
      } else if (c >= 'A' && c <= 'F') {
        digit = c - 'A' + 10;
      } else if (c >= 'a' && c <= 'f') {
        digit = c - 'a' + 10;
      } else {
        return -1;
      }
      value = value * 16 + digit;
    }
    return value;
  }

  bool escape() {
    const int c = get();
    switch (c) {
      case '"':
      case '\\':
      case '/':
      case 'b':
      case 'f':
      case 'n':
      case 'r':
      case 't':
        return true;
      case 'u': {
        const int first = codePoint();
        if (first < 0) return false;
        if (first >= 0xD800 && first <= 0xDBFF) {
          if (get() != '\\' || get() != 'u') return false;
          const int second = codePoint();
          return second >= 0xDC00 && second <= 0xDFFF;
        }
        return first < 0xDC00 || first > 0xDFFF;
      }
      default:
        return false;
    }
  }

  // A string: escapes as JSON allows, no control characters, well-formed UTF-8.
  Token scanString() {
    while (true) {
      const int c = get();
      bool valid = true;
      if (c == '"') return Token::String;
      if (c == '\\') {
        valid = escape();
      } else if (c < 0x20) {
        valid = false;  // a control character, or the end of the text
      } else if (c < 0x80) {
        valid = true;
      } else if (c >= 0xC2 && c <= 0xDF) {
        valid = bytesInRanges({0x80, 0xBF});
      } else if (c == 0xE0) {
        valid = bytesInRanges({0xA0, 0xBF, 0x80, 0xBF});
      } else if (c == 0xED) {
        valid = bytesInRanges({0x80, 0x9F, 0x80, 0xBF});
      } else if (c >= 0xE1 && c <= 0xEF) {
        valid = bytesInRanges({0x80, 0xBF, 0x80, 0xBF});
      } else if (c == 0xF0) {
        valid = bytesInRanges({0x90, 0xBF, 0x80, 0xBF, 0x80, 0xBF});
      } else if (c >= 0xF1 && c <= 0xF3) {
        valid = bytesInRanges({0x80, 0xBF, 0x80, 0xBF, 0x80, 0xBF});
      } else if (c == 0xF4) {
        valid = bytesInRanges({0x80, 0x8F, 0x80, 0xBF, 0x80, 0xBF});
      } else {
        valid = false;
      }
      if (!valid) return Token::Error;
    }
  }

  bool digitNext() {
    const int c = get();
    return c >= '0' && c <= '9';
  }
  void skipDigits() {
    while (digitNext()) {
    }
    unget();
  }

  // -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)? ; the first byte is already read.
  Token scanNumber() {
    const std::size_t start = read_ - 1;
    bool integral = true;
    int c = text_[start];
    if (c == '-') {
      c = get();
      if (c < '0' || c > '9') return Token::Error;
    }
    if (c != '0') skipDigits();
    c = get();
    if (c == '.') {
      integral = false;
      if (!digitNext()) return Token::Error;
      skipDigits();
      c = get();
    }
    if (c == 'e' || c == 'E') {
      integral = false;
      c = get();
      if (c == '+' || c == '-') c = get();
      if (c < '0' || c > '9') return Token::Error;
      skipDigits();
      c = get();
    }
    unget();
    const char* first = text_.data() + start;
    const char* last = text_.data() + read_;
    if (integral && integerValue(first, last, numberValue_)) return Token::Number;
    return floatingValue(first, last, numberValue_) ? Token::Number : Token::Error;
  }

  std::string_view text_;
  NullValues nulls_;
  std::size_t read_ = 0;  // bytes read, the end of the text counting as one
  float numberValue_ = 0.0f;
  int depth_ = 0;
  std::size_t fields_ = 0;
  MotionSample sample_;
};

}  // namespace

std::string writeSampleText(const MotionSample& sample) {
  std::string text;
  // Ten numbers of at most 24 characters and their separators per entry.
  text.reserve(2 + sample.size() * 250);
  text += '[';
  for (std::size_t i = 0; i < sample.size(); ++i) {
    if (i > 0) text += ',';
    text += '[';
    for (std::size_t k = 0; k < sample[i].size(); ++k) {
      if (k > 0) text += ',';
      appendNumber(text, sample[i][k]);
    }
    text += ']';
  }
  text += ']';
  return text;
}

namespace {

MotionSample readSample(std::string_view text, NullValues nulls, std::size_t converted) {
  MotionSample sample;
  if (WrittenFormReader(text, nulls, converted).read(sample)) return sample;
  try {
    return SampleParser(text, nulls).parse();
  } catch (Refusal& refusal) {
    throw SampleTextError("stored recording is malformed: " + refusal.reason);
  }
}

}  // namespace

MotionSample readSampleText(std::string_view text, NullValues nulls) {
  return readSample(text, nulls, std::tuple_size_v<MotionEntry>);
}

MotionSample readSampleMotion(std::string_view text, NullValues nulls) {
  return readSample(text, nulls, kPrimaryZ + 1);
}

}  // namespace GestalPrivate
