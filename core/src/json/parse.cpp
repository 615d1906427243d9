#include "zoret/json/parse.hpp"

#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <system_error>

#include "detail/ascii.hpp"

namespace zoret {
namespace {

using detail::append_decimal;
using detail::hex_value;
using detail::is_ascii_digit;

// Bytes that end a fast-scanned run inside a string literal: everything that
// needs a look (quote, backslash, control, non-ASCII).
constexpr std::array<bool, 256> kSpecialOnParse = [] {
  std::array<bool, 256> table{};
  for (int c = 0; c < 0x20; ++c) table[c] = true;
  for (int c = 0x80; c < 0x100; ++c) table[c] = true;
  table['"'] = true;
  table['\\'] = true;
  return table;
}();

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

  [[nodiscard]] std::string error_message() const {
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
    append_decimal(message, line);
    message += " column ";
    append_decimal(message, consumed - line_start);
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
        if (*p_ == '-' || is_ascii_digit(*p_)) return parse_number(out);
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
    const std::string_view text(begin_, static_cast<std::size_t>(end_ - begin_));
    const detail::Utf8Scan scan =
        detail::scan_utf8_sequence(text, static_cast<std::size_t>(p_ - begin_));
    if (scan.valid) {
      p_ = begin_ + scan.end;
      return true;
    }
    if (scan.end == text.size()) return fail(kEofString, end_);
    return fail("invalid unicode code point", begin_ + scan.end);
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
      if (!is_ascii_digit(*p_)) return fail(kExpectedValue, p_);
    }
    const char* int_begin = p_;
    if (*p_ == '0') {
      ++p_;
      if (p_ != end_ && is_ascii_digit(*p_)) return fail(kInvalidNumber, p_);
    } else {
      while (p_ != end_ && is_ascii_digit(*p_)) ++p_;
    }
    const char* int_end = p_;
    const char* frac_begin = p_;
    const char* frac_end = p_;
    bool integral = true;
    if (p_ != end_ && *p_ == '.') {
      integral = false;
      ++p_;
      frac_begin = p_;
      if (p_ == end_ || !is_ascii_digit(*p_)) return fail(kInvalidNumber, p_);
      while (p_ != end_ && is_ascii_digit(*p_)) ++p_;
      frac_end = p_;
    }
    const char* exp_begin = p_;
    if (p_ != end_ && (*p_ == 'e' || *p_ == 'E')) {
      integral = false;
      ++p_;
      exp_begin = p_;
      if (p_ != end_ && (*p_ == '+' || *p_ == '-')) ++p_;
      if (p_ == end_ || !is_ascii_digit(*p_)) return fail(kInvalidNumber, p_);
      while (p_ != end_ && is_ascii_digit(*p_)) ++p_;
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

Result<Json> parse_json(std::string_view text) { return Parser(text).run(); }

}  // namespace zoret
