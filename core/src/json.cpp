#include "zoret/json.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <system_error>

namespace zoret {
namespace {

// Bytes that end a run of verbatim output in append_json_string.
constexpr std::array<bool, 256> kEscapeOnWrite = [] {
  std::array<bool, 256> table{};
  for (int c = 0; c < 0x20; ++c) table[c] = true;
  table['"'] = true;
  table['\\'] = true;
  return table;
}();

// Bytes that end a fast-scanned run inside a string literal being parsed:
// everything that needs a look (quote, backslash, control, non-ASCII).
constexpr std::array<bool, 256> kSpecialOnParse = [] {
  std::array<bool, 256> table = kEscapeOnWrite;
  for (int c = 0x80; c < 0x100; ++c) table[c] = true;
  return table;
}();

constexpr char kHexDigits[] = "0123456789abcdef";

constexpr std::uint64_t kByteOnes = 0x0101010101010101;
constexpr std::uint64_t kByteHighs = 0x8080808080808080;

/// Whether any of the eight bytes in `word` is one kEscapeOnWrite marks: below
/// U+0020, a quote or a backslash. The usual bit tricks, exact as a yes/no
/// answer (they may misplace a hit, never miss one), in any byte order.
constexpr bool needs_escape(std::uint64_t word) noexcept {
  const auto has_zero = [](std::uint64_t x) { return (x - kByteOnes) & ~x & kByteHighs; };
  const std::uint64_t control = (word - 0x20 * kByteOnes) & ~word & kByteHighs;
  return (control | has_zero(word ^ ('"' * kByteOnes)) | has_zero(word ^ ('\\' * kByteOnes))) != 0;
}

void append_uint(std::string& out, std::uint64_t value) {
  char buf[24];
  const auto res = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, res.ptr);
}

void append_int(std::string& out, std::int64_t value) {
  char buf[24];
  const auto res = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, res.ptr);
}

void indent(std::string& out, int level) {
  out += '\n';
  out.append(static_cast<std::size_t>(level) * 2, ' ');
}

void append_scalar(std::string& out, const Json& value) {
  switch (value.type()) {
    case Json::value_t::boolean:
      out += *value.get_ptr<const Json::boolean_t*>() ? "true" : "false";
      return;
    case Json::value_t::number_unsigned:
      append_uint(out, *value.get_ptr<const Json::number_unsigned_t*>());
      return;
    case Json::value_t::number_integer:
      append_int(out, *value.get_ptr<const Json::number_integer_t*>());
      return;
    case Json::value_t::number_float:
      append_json_double(out, *value.get_ptr<const Json::number_float_t*>());
      return;
    case Json::value_t::string:
      append_json_string(out, *value.get_ptr<const Json::string_t*>());
      return;
    default:
      // null, and the library's binary/discarded kinds, which no JSON text has.
      out += "null";
      return;
  }
}

// Integers compare by value whichever of the two integer kinds holds them, so a
// Json(5) built without json_uint still equals json_uint(5).
bool integers_equal(const Json& a, const Json& b) {
  const bool a_signed = a.is_number_integer() && !a.is_number_unsigned();
  const bool b_signed = b.is_number_integer() && !b.is_number_unsigned();
  if (a_signed == b_signed) {
    return a_signed ? *a.get_ptr<const Json::number_integer_t*>() ==
                          *b.get_ptr<const Json::number_integer_t*>()
                    : *a.get_ptr<const Json::number_unsigned_t*>() ==
                          *b.get_ptr<const Json::number_unsigned_t*>();
  }
  const std::int64_t s = a_signed ? *a.get_ptr<const Json::number_integer_t*>()
                                  : *b.get_ptr<const Json::number_integer_t*>();
  const std::uint64_t u = a_signed ? *b.get_ptr<const Json::number_unsigned_t*>()
                                   : *a.get_ptr<const Json::number_unsigned_t*>();
  return s >= 0 && static_cast<std::uint64_t>(s) == u;
}

bool is_integer_kind(Json::value_t t) {
  return t == Json::value_t::number_integer || t == Json::value_t::number_unsigned;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void append_utf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    const char bytes[] = {static_cast<char>(0xC0 | (cp >> 6)),
                          static_cast<char>(0x80 | (cp & 0x3F))};
    out.append(bytes, 2);
  } else if (cp < 0x10000) {
    const char bytes[] = {static_cast<char>(0xE0 | (cp >> 12)),
                          static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                          static_cast<char>(0x80 | (cp & 0x3F))};
    out.append(bytes, 3);
  } else {
    const char bytes[] = {static_cast<char>(0xF0 | (cp >> 18)),
                          static_cast<char>(0x80 | ((cp >> 12) & 0x3F)),
                          static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                          static_cast<char>(0x80 | (cp & 0x3F))};
    out.append(bytes, 4);
  }
}

constexpr const char* kEofValue = "EOF while parsing a value";
constexpr const char* kEofList = "EOF while parsing a list";
constexpr const char* kEofObject = "EOF while parsing an object";
constexpr const char* kEofString = "EOF while parsing a string";
constexpr const char* kExpectedValue = "expected value";
constexpr const char* kInvalidNumber = "invalid number";
constexpr const char* kInvalidEscape = "invalid escape";
constexpr const char* kLoneSurrogate = "lone leading surrogate in hex escape";
constexpr const char* kEndOfHexEscape = "unexpected end of hex escape";
constexpr const char* kTrailingComma = "trailing comma";

// Recursive descent over the text; recursion is bounded by kMaxParseDepth.
// Functions return false after recording the first error; the position of an
// error is the offending byte (or the end of input), reported as the line and
// the 1-based column of that byte, so an error at the end of input points at
// the last byte and one on empty input at column 0.
class Parser {
 public:
  explicit Parser(std::string_view text)
      : begin_(text.data()), p_(text.data()), end_(text.data() + text.size()) {}

  Result<Json> run() {
    Json result;
    if (parse_value(result, 0)) {
      skip_whitespace();
      if (p_ == end_) return result;
      fail("trailing characters", p_);
    }
    return ZoretError(ErrorKind::Serialization, error_message());
  }

 private:
  bool fail(const char* description, const char* at) {
    error_ = description;
    error_at_ = at;
    return false;
  }

  std::string error_message() const {
    const std::size_t consumed =
        static_cast<std::size_t>(error_at_ - begin_) + (error_at_ < end_ ? 1 : 0);
    std::size_t line = 1;
    std::size_t line_start = 0;
    for (std::size_t i = 0; i < consumed; ++i) {
      if (begin_[i] == '\n') {
        ++line;
        line_start = i + 1;
      }
    }
    std::string message = error_;
    message += " at line ";
    append_uint(message, line);
    message += " column ";
    append_uint(message, consumed - line_start);
    return message;
  }

  void skip_whitespace() {
    while (p_ != end_ && (*p_ == ' ' || *p_ == '\n' || *p_ == '\r' || *p_ == '\t')) ++p_;
  }

  bool parse_value(Json& out, int depth) {
    skip_whitespace();
    if (p_ == end_) return fail(kEofValue, end_);
    switch (*p_) {
      case '{': return parse_object(out, depth);
      case '[': return parse_array(out, depth);
      case '"': {
        ++p_;
        out = Json::string_t();
        return parse_string(*out.get_ptr<Json::string_t*>());
      }
      case 't': return parse_literal(out, "true", Json(true));
      case 'f': return parse_literal(out, "false", Json(false));
      case 'n': return parse_literal(out, "null", Json());
      default:
        if (*p_ == '-' || is_digit(*p_)) return parse_number(out);
        return fail(kExpectedValue, p_);
    }
  }

  bool parse_literal(Json& out, std::string_view word, Json value) {
    for (const char c : word) {
      if (p_ == end_) return fail(kEofValue, end_);
      if (*p_ != c) return fail(kExpectedValue, p_);
      ++p_;
    }
    out = std::move(value);
    return true;
  }

  bool parse_array(Json& out, int depth) {
    if (depth + 1 >= kMaxParseDepth) return fail("recursion limit exceeded", p_);
    ++p_;
    out = Json::array();
    auto& items = *out.get_ptr<Json::array_t*>();
    skip_whitespace();
    if (p_ == end_) return fail(kEofList, end_);
    if (*p_ == ']') {
      ++p_;
      return true;
    }
    for (;;) {
      items.emplace_back();
      if (!parse_value(items.back(), depth + 1)) return false;
      skip_whitespace();
      if (p_ == end_) return fail(kEofList, end_);
      if (*p_ == ']') {
        ++p_;
        return true;
      }
      if (*p_ != ',') return fail("expected `,` or `]`", p_);
      ++p_;
      skip_whitespace();
      if (p_ == end_) return fail(kEofValue, end_);
      if (*p_ == ']') return fail(kTrailingComma, p_);
    }
  }

  bool parse_object(Json& out, int depth) {
    if (depth + 1 >= kMaxParseDepth) return fail("recursion limit exceeded", p_);
    ++p_;
    out = Json::object();
    auto& members = *out.get_ptr<Json::object_t*>();
    skip_whitespace();
    if (p_ == end_) return fail(kEofObject, end_);
    if (*p_ == '}') {
      ++p_;
      return true;
    }
    for (;;) {
      if (*p_ != '"') return fail("key must be a string", p_);
      ++p_;
      std::string key;
      if (!parse_string(key)) return false;
      skip_whitespace();
      if (p_ == end_) return fail(kEofObject, end_);
      if (*p_ != ':') return fail("expected `:`", p_);
      ++p_;
      // A repeated key lands on the existing entry, so the later value wins.
      if (!parse_value(members[std::move(key)], depth + 1)) return false;
      skip_whitespace();
      if (p_ == end_) return fail(kEofObject, end_);
      if (*p_ == '}') {
        ++p_;
        return true;
      }
      if (*p_ != ',') return fail("expected `,` or `}`", p_);
      ++p_;
      skip_whitespace();
      if (p_ == end_) return fail(kEofObject, end_);
      if (*p_ == '}') return fail(kTrailingComma, p_);
    }
  }

  // Called after the opening quote. Plain runs are appended in one piece; the
  // JSON value's strings must be valid UTF-8 on their way to Python, so
  // non-ASCII bytes are checked here rather than trusted.
  bool parse_string(std::string& out) {
    const char* run = p_;
    for (;;) {
      if (p_ == end_) return fail(kEofString, end_);
      const auto c = static_cast<unsigned char>(*p_);
      if (!kSpecialOnParse[c]) {
        ++p_;
        continue;
      }
      if (c >= 0x80) {
        if (!skip_utf8_sequence()) return false;
        continue;
      }
      out.append(run, p_);
      if (c == '"') {
        ++p_;
        return true;
      }
      if (c != '\\') {
        return fail("control character (\\u0000-\\u001F) found while parsing a string", p_);
      }
      ++p_;
      if (!parse_escape(out)) return false;
      run = p_;
    }
  }

  // Well-formed UTF-8 by RFC 3629: no overlong forms, no surrogates, nothing
  // above U+10FFFF.
  bool skip_utf8_sequence() {
    const auto lead = static_cast<unsigned char>(*p_);
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    int continuation = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      continuation = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      continuation = 2;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      continuation = 3;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return fail("invalid unicode code point", p_);
    }
    ++p_;
    for (int i = 0; i < continuation; ++i) {
      if (p_ == end_) return fail(kEofString, end_);
      const auto c = static_cast<unsigned char>(*p_);
      if (c < low || c > high) return fail("invalid unicode code point", p_);
      low = 0x80;
      high = 0xBF;
      ++p_;
    }
    return true;
  }

  // Called after the backslash.
  bool parse_escape(std::string& out) {
    if (p_ == end_) return fail(kEofString, end_);
    const char c = *p_++;
    switch (c) {
      case '"': out += '"'; return true;
      case '\\': out += '\\'; return true;
      case '/': out += '/'; return true;
      case 'b': out += '\b'; return true;
      case 'f': out += '\f'; return true;
      case 'n': out += '\n'; return true;
      case 'r': out += '\r'; return true;
      case 't': out += '\t'; return true;
      case 'u': return parse_unicode_escape(out);
      default: return fail(kInvalidEscape, p_ - 1);
    }
  }

  bool read_hex4(std::uint32_t& value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
      if (p_ == end_) return fail(kEofString, end_);
      const int digit = hex_value(*p_);
      if (digit < 0) return fail(kInvalidEscape, p_);
      value = value * 16 + static_cast<std::uint32_t>(digit);
      ++p_;
    }
    return true;
  }

  // Characters outside the BMP arrive as a UTF-16 surrogate pair of escapes;
  // half a pair cannot be represented in UTF-8 and is refused.
  bool parse_unicode_escape(std::string& out) {
    std::uint32_t cp = 0;
    if (!read_hex4(cp)) return false;
    if (cp >= 0xDC00 && cp <= 0xDFFF) return fail(kLoneSurrogate, p_ - 1);
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      if (p_ == end_) return fail(kEofString, end_);
      if (*p_ != '\\') return fail(kEndOfHexEscape, p_);
      ++p_;
      if (p_ == end_) return fail(kEofString, end_);
      if (*p_ != 'u') return fail(kEndOfHexEscape, p_);
      ++p_;
      std::uint32_t low = 0;
      if (!read_hex4(low)) return false;
      if (low < 0xDC00 || low > 0xDFFF) return fail(kLoneSurrogate, p_ - 1);
      cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
    }
    append_utf8(out, cp);
    return true;
  }

  bool parse_number(Json& out) {
    const char* start = p_;
    const bool negative = *p_ == '-';
    if (negative) {
      ++p_;
      if (p_ == end_) return fail(kEofValue, end_);
      // "-Infinity" and the like are not numbers at all.
      if (!is_digit(*p_)) return fail(kExpectedValue, p_);
    }
    const char* int_begin = p_;
    if (*p_ == '0') {
      ++p_;
      if (p_ != end_ && is_digit(*p_)) return fail(kInvalidNumber, p_);
    } else {
      while (p_ != end_ && is_digit(*p_)) ++p_;
    }
    const char* int_end = p_;
    const char* frac_begin = p_;
    const char* frac_end = p_;
    bool integral = true;
    if (p_ != end_ && *p_ == '.') {
      integral = false;
      ++p_;
      frac_begin = p_;
      if (p_ == end_ || !is_digit(*p_)) return fail(kInvalidNumber, p_);
      while (p_ != end_ && is_digit(*p_)) ++p_;
      frac_end = p_;
    }
    const char* exp_begin = p_;
    if (p_ != end_ && (*p_ == 'e' || *p_ == 'E')) {
      integral = false;
      ++p_;
      exp_begin = p_;
      if (p_ != end_ && (*p_ == '+' || *p_ == '-')) ++p_;
      if (p_ == end_ || !is_digit(*p_)) return fail(kInvalidNumber, p_);
      while (p_ != end_ && is_digit(*p_)) ++p_;
    }

    if (integral) {
      std::uint64_t magnitude = 0;
      const auto res = std::from_chars(int_begin, int_end, magnitude);
      if (res.ec == std::errc()) {
        constexpr std::uint64_t kMinMagnitude = std::uint64_t{1} << 63;
        if (!negative || magnitude == 0) {
          out = json_uint(magnitude);
          return true;
        }
        if (magnitude <= kMinMagnitude) {
          out = Json(magnitude == kMinMagnitude
                         ? std::numeric_limits<std::int64_t>::min()
                         : -static_cast<std::int64_t>(magnitude));
          return true;
        }
      }
    }

    double value = 0;
    const auto res = std::from_chars(start, p_, value);
    if (res.ec == std::errc::result_out_of_range) {
      if (overflows(int_begin, int_end, frac_begin, frac_end, exp_begin)) {
        return fail("number out of range", p_ - 1);
      }
      value = negative ? -0.0 : 0.0;
    }
    out = Json(value);
    return true;
  }

  // from_chars reports underflow and overflow alike; the decimal exponent of
  // the first significant digit tells which. Underflow reads as zero, the
  // nearest double.
  bool overflows(const char* int_begin, const char* int_end, const char* frac_begin,
                 const char* frac_end, const char* exp_begin) const {
    std::int64_t exponent = 0;
    const char* e = exp_begin;
    if (e != p_) {
      const bool exp_negative = *e == '-';
      if (*e == '-' || *e == '+') ++e;
      for (; e != p_; ++e) {
        // Saturate: any exponent this large is far past both ends of double.
        if (exponent < 1'000'000'000) exponent = exponent * 10 + (*e - '0');
      }
      if (exp_negative) exponent = -exponent;
    }
    for (const char* d = int_begin; d != int_end; ++d) {
      if (*d != '0') return exponent + (int_end - d - 1) > 0;
    }
    for (const char* d = frac_begin; d != frac_end; ++d) {
      if (*d != '0') return exponent - (d - frac_begin + 1) > 0;
    }
    return false;
  }

  const char* begin_;
  const char* p_;
  const char* end_;
  const char* error_ = nullptr;
  const char* error_at_ = nullptr;
};

}  // namespace

Json json_uint(std::uint64_t value) { return Json(value); }

Json json_int(std::int64_t value) {
  if (value < 0) return Json(value);
  return Json(static_cast<std::uint64_t>(value));
}

bool json_equal(const Json& a, const Json& b) noexcept {
  const auto type = a.type();
  if (type != b.type()) {
    return is_integer_kind(type) && is_integer_kind(b.type()) && integers_equal(a, b);
  }
  switch (type) {
    case Json::value_t::null:
      return true;
    case Json::value_t::boolean:
      return *a.get_ptr<const Json::boolean_t*>() == *b.get_ptr<const Json::boolean_t*>();
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
      return integers_equal(a, b);
    case Json::value_t::number_float:
      return *a.get_ptr<const Json::number_float_t*>() ==
             *b.get_ptr<const Json::number_float_t*>();
    case Json::value_t::string:
      return *a.get_ptr<const Json::string_t*>() == *b.get_ptr<const Json::string_t*>();
    case Json::value_t::array: {
      const auto& x = *a.get_ptr<const Json::array_t*>();
      const auto& y = *b.get_ptr<const Json::array_t*>();
      if (x.size() != y.size()) return false;
      for (std::size_t i = 0; i < x.size(); ++i) {
        if (!json_equal(x[i], y[i])) return false;
      }
      return true;
    }
    case Json::value_t::object: {
      const auto& x = *a.get_ptr<const Json::object_t*>();
      const auto& y = *b.get_ptr<const Json::object_t*>();
      if (x.size() != y.size()) return false;
      // Both maps iterate in key order, so equal objects line up entry by entry.
      for (auto i = x.begin(), j = y.begin(); i != x.end(); ++i, ++j) {
        if (i->first != j->first || !json_equal(i->second, j->second)) return false;
      }
      return true;
    }
    case Json::value_t::binary:
      return *a.get_ptr<const Json::binary_t*>() == *b.get_ptr<const Json::binary_t*>();
    case Json::value_t::discarded:
      return false;
  }
  return false;
}

void append_json_string(std::string& out, std::string_view s) {
  out += '"';
  const char* run = s.data();
  const char* const end = s.data() + s.size();
  const char* p = run;
  while (p != end) {
    // Escapes are rare: words that need none are skipped whole. The last word
    // of a string may overlap bytes already done; a clean one ends the scan.
    if (s.size() >= 8) {
      const char* at = end - p >= 8 ? p : end - 8;
      std::uint64_t word;
      std::memcpy(&word, at, 8);
      if (!needs_escape(word)) {
        p = at + 8;
        continue;
      }
    }
    const auto c = static_cast<unsigned char>(*p++);
    if (!kEscapeOnWrite[c]) continue;
    out.append(run, p - 1);
    run = p;
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: {
        const char escape[] = {'\\', 'u', '0', '0', kHexDigits[c >> 4], kHexDigits[c & 0xF]};
        out.append(escape, sizeof escape);
      }
    }
  }
  out.append(run, end);
  out += '"';
}

void append_json_double(std::string& out, double value) {
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  // The shortest round-trip digits come from to_chars in scientific form,
  // "d[.ddd]e±XX"; the notation around them is ours.
  char buf[32];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  const char* p = buf;
  if (*p == '-') {
    out += '-';
    ++p;
  }
  char digits[24];
  int count = 0;
  digits[count++] = *p++;
  if (*p == '.') {
    for (++p; *p != 'e'; ++p) digits[count++] = *p;
  }
  ++p;
  const bool exp_negative = *p == '-';
  int exponent = 0;
  for (++p; p != res.ptr; ++p) exponent = exponent * 10 + (*p - '0');
  if (exp_negative) exponent = -exponent;

  if (exponent < -5 || exponent > 15) {
    out += digits[0];
    if (count > 1) {
      out += '.';
      out.append(digits + 1, static_cast<std::size_t>(count - 1));
    }
    out += exp_negative ? "e-" : "e+";
    append_uint(out, static_cast<std::uint64_t>(exp_negative ? -exponent : exponent));
  } else if (exponent < 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-exponent - 1), '0');
    out.append(digits, static_cast<std::size_t>(count));
  } else {
    const int int_digits = exponent + 1;
    if (count <= int_digits) {
      out.append(digits, static_cast<std::size_t>(count));
      out.append(static_cast<std::size_t>(int_digits - count), '0');
      out += ".0";
    } else {
      out.append(digits, static_cast<std::size_t>(int_digits));
      out += '.';
      out.append(digits + int_digits, static_cast<std::size_t>(count - int_digits));
    }
  }
}

void append_json_compact(std::string& out, const Json& value) {
  if (const auto* members = value.get_ptr<const Json::object_t*>()) {
    out += '{';
    bool first = true;
    for (const auto& [name, member] : *members) {
      if (!first) out += ',';
      first = false;
      append_json_string(out, name);
      out += ':';
      append_json_compact(out, member);
    }
    out += '}';
  } else if (const auto* items = value.get_ptr<const Json::array_t*>()) {
    out += '[';
    bool first = true;
    for (const auto& item : *items) {
      if (!first) out += ',';
      first = false;
      append_json_compact(out, item);
    }
    out += ']';
  } else {
    append_scalar(out, value);
  }
}

std::string to_json_compact(const Json& value) {
  std::string out;
  append_json_compact(out, value);
  return out;
}

void append_json_pretty(std::string& out, const Json& value, int level) {
  if (const auto* members = value.get_ptr<const Json::object_t*>()) {
    if (members->empty()) {
      out += "{}";
      return;
    }
    out += '{';
    bool first = true;
    for (const auto& [name, member] : *members) {
      if (!first) out += ',';
      first = false;
      indent(out, level + 1);
      append_json_string(out, name);
      out += ": ";
      append_json_pretty(out, member, level + 1);
    }
    indent(out, level);
    out += '}';
  } else if (const auto* items = value.get_ptr<const Json::array_t*>()) {
    if (items->empty()) {
      out += "[]";
      return;
    }
    out += '[';
    bool first = true;
    for (const auto& item : *items) {
      if (!first) out += ',';
      first = false;
      indent(out, level + 1);
      append_json_pretty(out, item, level + 1);
    }
    indent(out, level);
    out += ']';
  } else {
    append_scalar(out, value);
  }
}

std::string to_json_pretty_text(const Json& value) {
  std::string out;
  append_json_pretty(out, value, 0);
  return out;
}

Result<Json> parse_json(std::string_view text) { return Parser(text).run(); }

void JsonWriter::before_value() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (!first_in_container_) out_ += ',';
  if (pretty_ && level_ > 0) newline_indent();
  first_in_container_ = false;
}

void JsonWriter::newline_indent() { indent(out_, level_); }

void JsonWriter::begin_object() {
  before_value();
  out_ += '{';
  ++level_;
  first_in_container_ = true;
}

// An empty container closes on its own line only when something was written
// into it; otherwise it stays "{}" / "[]" as the value writers print it.
void JsonWriter::end_object() {
  ZORET_ASSERT(level_ > 0 && !after_key_);
  --level_;
  if (pretty_ && !first_in_container_) newline_indent();
  out_ += '}';
  first_in_container_ = false;
}

void JsonWriter::begin_array() {
  before_value();
  out_ += '[';
  ++level_;
  first_in_container_ = true;
}

void JsonWriter::end_array() {
  ZORET_ASSERT(level_ > 0 && !after_key_);
  --level_;
  if (pretty_ && !first_in_container_) newline_indent();
  out_ += ']';
  first_in_container_ = false;
}

void JsonWriter::key(std::string_view name) {
  ZORET_ASSERT(level_ > 0 && !after_key_);
  if (!first_in_container_) out_ += ',';
  first_in_container_ = false;
  if (pretty_) newline_indent();
  append_json_string(out_, name);
  out_ += pretty_ ? ": " : ":";
  after_key_ = true;
}

void JsonWriter::null() {
  before_value();
  out_ += "null";
}

void JsonWriter::boolean(bool v) {
  before_value();
  out_ += v ? "true" : "false";
}

void JsonWriter::string(std::string_view v) {
  before_value();
  append_json_string(out_, v);
}

void JsonWriter::uint(std::uint64_t v) {
  before_value();
  append_uint(out_, v);
}

void JsonWriter::integer(std::int64_t v) {
  before_value();
  append_int(out_, v);
}

void JsonWriter::value(const Json& v) {
  before_value();
  if (pretty_) {
    append_json_pretty(out_, v, level_);
  } else {
    append_json_compact(out_, v);
  }
}

}  // namespace zoret
