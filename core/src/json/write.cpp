#include "zoret/json/write.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "detail/ascii.hpp"
#include "zoret/result.hpp"

namespace zoret {
namespace {

using detail::append_decimal;

// Bytes that end a run of verbatim output in append_json_string.
constexpr std::array<bool, 256> kEscapeOnWrite = [] {
  std::array<bool, 256> table{};
  for (int c = 0; c < 0x20; ++c) table[c] = true;
  table['"'] = true;
  table['\\'] = true;
  return table;
}();

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

/// The first byte in [p, end) that must be escaped, or `end`. Most texts written
/// are short (member names, URLs) and need no escape at all, so every length is
/// first cleared in wide, overlapping loads without a byte loop: sixteen bytes at
/// a time where SSE2 is there (every x86-64), else eight, the last load ending at
/// `end`. Only a text with a hit is walked byte by byte, from where the hit was.
#if defined(__SSE2__)
__m128i load16(const char* at) noexcept {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

/// A bit for each of the sixteen bytes kEscapeOnWrite marks.
unsigned escape_hits(__m128i bytes) noexcept {
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i last_control = _mm_set1_epi8(0x1F);
  // Unsigned bytes up to 0x1F are those that min(byte, 0x1F) leaves unchanged.
  return static_cast<unsigned>(_mm_movemask_epi8(
      _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, quote), _mm_cmpeq_epi8(bytes, backslash)),
                   _mm_cmpeq_epi8(_mm_min_epu8(bytes, last_control), bytes))));
}
#endif

const char* find_escape(const char* p, const char* end) noexcept {
  const auto byte_walk = [](const char* from, const char* to) noexcept {
    while (from != to && !kEscapeOnWrite[static_cast<unsigned char>(*from)]) ++from;
    return from;
  };
  const auto size = static_cast<std::size_t>(end - p);
#if defined(__SSE2__)
  if (size >= 16) {
    const auto hits = [](const char* at) noexcept { return escape_hits(load16(at)); };
    for (; end - p > 16; p += 16) {
      if (const unsigned mask = hits(p); mask != 0) return p + std::countr_zero(mask);
    }
    // The last sixteen bytes, overlapping what was cleared: the first hit lies at p or later.
    const unsigned mask = hits(end - 16);
    return mask == 0 ? end : end - 16 + std::countr_zero(mask);
  }
#endif
  if (size >= 8) {
    for (; end - p > 8; p += 8) {
      std::uint64_t word;
      std::memcpy(&word, p, 8);
      if (needs_escape(word)) return byte_walk(p, end);
    }
    std::uint64_t last;
    std::memcpy(&last, end - 8, 8);
    return needs_escape(last) ? byte_walk(p, end) : end;
  }
  if (size >= 4) {
    // Two four-byte halves, overlapping when fewer than eight bytes are left.
    std::uint32_t head;
    std::uint32_t tail;
    std::memcpy(&head, p, 4);
    std::memcpy(&tail, end - 4, 4);
    if (!needs_escape((std::uint64_t{head} << 32) | tail)) return end;
  }
  return byte_walk(p, end);
}

/// Copies the `size` bytes at `from` to `to` unless one of them must be escaped,
/// and says whether it did; `to` has room for `size` bytes, and on false holds
/// some of them. The loads of find_escape, each stored as soon as it is cleared:
/// one pass, and no library call for the short texts most of a document is.
bool copy_if_clean(char* to, const char* from, std::size_t size) noexcept {
#if defined(__SSE2__)
  if (size >= 16) {
    const auto move = [&](std::size_t at) noexcept {
      const __m128i bytes = load16(from + at);
      if (escape_hits(bytes) != 0) return false;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to + at), bytes);
      return true;
    };
    for (std::size_t at = 0; size - at > 16; at += 16) {
      if (!move(at)) return false;
    }
    // The last sixteen bytes, overlapping what was copied.
    return move(size - 16);
  }
#endif
  if (size >= 8) {
    const auto move = [&](std::size_t at) noexcept {
      std::uint64_t word;
      std::memcpy(&word, from + at, 8);
      if (needs_escape(word)) return false;
      std::memcpy(to + at, &word, 8);
      return true;
    };
    for (std::size_t at = 0; size - at > 8; at += 8) {
      if (!move(at)) return false;
    }
    return move(size - 8);
  }
  if (size >= 4) {
    // Two four-byte halves, overlapping when fewer than eight bytes are there.
    std::uint32_t head;
    std::uint32_t tail;
    std::memcpy(&head, from, 4);
    std::memcpy(&tail, from + size - 4, 4);
    if (needs_escape((std::uint64_t{head} << 32) | tail)) return false;
    std::memcpy(to, &head, 4);
    std::memcpy(to + size - 4, &tail, 4);
    return true;
  }
  for (std::size_t at = 0; at < size; ++at) {
    if (kEscapeOnWrite[static_cast<unsigned char>(from[at])]) return false;
    to[at] = from[at];
  }
  return true;
}

/// The closing quote of the string whose first content byte is at `p`, or `end`
/// for a string left open. Sixteen bytes at a time, as find_escape.
const char* string_end(const char* p, const char* end) noexcept {
  for (;;) {
#if defined(__SSE2__)
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    for (; end - p >= 16; p += 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      const int mask = _mm_movemask_epi8(
          _mm_or_si128(_mm_cmpeq_epi8(bytes, quote), _mm_cmpeq_epi8(bytes, backslash)));
      if (mask != 0) {
        p += std::countr_zero(static_cast<unsigned>(mask));
        break;
      }
    }
#endif
    while (p != end && *p != '"' && *p != '\\') ++p;
    if (p == end || *p == '"') return p;
    // A backslash and the byte it escapes; \uXXXX has no quote in its digits.
    p = end - p > 2 ? p + 2 : end;
  }
}

constexpr std::array<bool, 256> kStructural = [] {
  std::array<bool, 256> table{};
  for (const unsigned char c : {'{', '}', '[', ']', ',', ':', '"'}) table[c] = true;
  return table;
}();

}  // namespace

void append_json_string(std::string& out, std::string_view s) {
  const char* run = s.data();
  const char* const end = s.data() + s.size();
  const char* p = find_escape(run, end);
  out += '"';
  if (p != end) {
    // Escapes are rare: one growth for them all, then the text moves in runs.
    out.reserve(out.size() + s.size() + 8);
    do {
      out.append(run, p);
      const auto c = static_cast<unsigned char>(*p);
      run = p + 1;
      switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: {
          out += "\\u00";
          detail::append_hex_byte(out, c, detail::kLowerHexDigits);
        }
      }
      p = find_escape(run, end);
    } while (p != end);
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
    append_decimal(out, static_cast<std::uint64_t>(exp_negative ? -exponent : exponent));
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

namespace {

using Cursor = detail::TextCursor;

// A line break and the indentation of the usual levels, copied whole (a copy of a
// size known here is a few vector moves, not a library call) and then counted to
// the length the level takes.
constexpr std::string_view kBreakAndSpaces =
    "\n                                                               ";
static_assert(kBreakAndSpaces.size() == 64);

void put_line_break(Cursor& cursor, int level) {
  const auto spaces = static_cast<std::size_t>(level) * 2;
  if (spaces < kBreakAndSpaces.size()) {
    cursor.room(kBreakAndSpaces.size());
    std::memcpy(cursor.here(), kBreakAndSpaces.data(), kBreakAndSpaces.size());
    cursor.advance(spaces + 1);
    return;
  }
  cursor.room(spaces + 1);
  cursor.put('\n');
  std::memset(cursor.here(), ' ', spaces);
  cursor.advance(spaces);
}

void put_string(Cursor& cursor, std::string_view s) {
  cursor.room(s.size() + 2);
  char* const at = cursor.here();
  if (!copy_if_clean(at + 1, s.data(), s.size())) {
    append_json_string(cursor.appender(), s);
    cursor.resume();
    return;
  }
  at[0] = '"';
  at[s.size() + 1] = '"';
  cursor.advance(s.size() + 2);
}

/// What goes before a member's value: the comma after the member before it, in
/// the indented layout a line break and the indentation of `level`, the quoted
/// name and its colon. One room check serves them all while the indentation is
/// one put_line_break copies whole, and the bytes are placed through a local
/// pointer rather than the cursor's position in memory.
void put_member_name(Cursor& cursor, std::string_view name, bool first, bool pretty, int level) {
  const auto spaces = static_cast<std::size_t>(level) * 2;
  const std::string_view colon = pretty ? std::string_view(": ") : std::string_view(":");
  if (pretty && spaces >= kBreakAndSpaces.size()) {
    if (!first) {
      cursor.room(1);
      cursor.put(',');
    }
    put_line_break(cursor, level);
    put_string(cursor, name);
    cursor.room(colon.size());
    cursor.put(colon);
    return;
  }
  cursor.room(1 + kBreakAndSpaces.size() + name.size() + 4);
  char* const start = cursor.here();
  char* at = start;
  if (!first) *at++ = ',';
  if (pretty) {
    std::memcpy(at, kBreakAndSpaces.data(), kBreakAndSpaces.size());
    at += spaces + 1;
  }
  if (!copy_if_clean(at + 1, name.data(), name.size())) {
    cursor.advance(static_cast<std::size_t>(at - start));
    put_string(cursor, name);
    cursor.room(colon.size());
    cursor.put(colon);
    return;
  }
  at[0] = '"';
  at += name.size() + 1;
  *at++ = '"';
  *at++ = ':';
  if (pretty) *at++ = ' ';
  cursor.advance(static_cast<std::size_t>(at - start));
}

/// An integer's digits, formatted where they go.
template <class Integer>
void put_number(Cursor& cursor, Integer value) {
  constexpr std::size_t kLongest = 20;  // 18446744073709551615, -9223372036854775808
  cursor.room(kLongest);
  const auto made = std::to_chars(cursor.here(), cursor.here() + kLongest, value);
  cursor.advance(static_cast<std::size_t>(made.ptr - cursor.here()));
}

// Scalars other than strings, without cutting the string back: after an appender
// the next room() would zero-fill its room again.
void put_scalar(Cursor& cursor, const Json& value) {
  switch (value.type()) {
    case Json::value_t::boolean:
      cursor.room(5);
      cursor.put(*value.get_ptr<const Json::boolean_t*>() ? std::string_view("true")
                                                          : std::string_view("false"));
      return;
    case Json::value_t::number_unsigned:
      put_number(cursor, *value.get_ptr<const Json::number_unsigned_t*>());
      return;
    case Json::value_t::number_integer:
      put_number(cursor, *value.get_ptr<const Json::number_integer_t*>());
      return;
    case Json::value_t::string:
      put_string(cursor, *value.get_ptr<const Json::string_t*>());
      return;
    case Json::value_t::number_float: {
      std::string text;
      append_json_double(text, *value.get_ptr<const Json::number_float_t*>());
      cursor.room(text.size());
      cursor.put(text);
      return;
    }
    default:
      cursor.room(4);
      cursor.put("null");
      return;
  }
}

void put_compact(Cursor& cursor, const Json& value) {
  if (const auto* members = value.get_ptr<const Json::object_t*>()) {
    cursor.room(2);
    cursor.put('{');
    bool first = true;
    for (const auto& [name, member] : *members) {
      put_member_name(cursor, name, first, /*pretty=*/false, 0);
      first = false;
      put_compact(cursor, member);
    }
    cursor.room(1);
    cursor.put('}');
  } else if (const auto* items = value.get_ptr<const Json::array_t*>()) {
    cursor.room(2);
    cursor.put('[');
    bool first = true;
    for (const auto& item : *items) {
      if (!first) {
        cursor.room(1);
        cursor.put(',');
      }
      first = false;
      put_compact(cursor, item);
    }
    cursor.room(1);
    cursor.put(']');
  } else {
    put_scalar(cursor, value);
  }
}

// The two-space layout, through a cursor for the same reason as put_compact.
void put_pretty(Cursor& cursor, const Json& value, int level) {
  if (const auto* members = value.get_ptr<const Json::object_t*>()) {
    cursor.room(2);
    cursor.put('{');
    if (members->empty()) {
      cursor.put('}');
      return;
    }
    bool first = true;
    for (const auto& [name, member] : *members) {
      put_member_name(cursor, name, first, /*pretty=*/true, level + 1);
      first = false;
      put_pretty(cursor, member, level + 1);
    }
    put_line_break(cursor, level);
    cursor.room(1);
    cursor.put('}');
  } else if (const auto* items = value.get_ptr<const Json::array_t*>()) {
    cursor.room(2);
    cursor.put('[');
    if (items->empty()) {
      cursor.put(']');
      return;
    }
    bool first = true;
    for (const auto& item : *items) {
      if (!first) {
        cursor.room(1);
        cursor.put(',');
      }
      first = false;
      put_line_break(cursor, level + 1);
      put_pretty(cursor, item, level + 1);
    }
    put_line_break(cursor, level);
    cursor.room(1);
    cursor.put(']');
  } else {
    put_scalar(cursor, value);
  }
}

}  // namespace

void append_json_compact(std::string& out, const Json& value) {
  Cursor cursor(out);
  put_compact(cursor, value);
  cursor.close();
}

std::string to_json_compact(const Json& value) {
  std::string out;
  append_json_compact(out, value);
  return out;
}

void append_json_pretty(std::string& out, const Json& value, int level) {
  Cursor cursor(out);
  put_pretty(cursor, value, level);
  cursor.close();
}

void append_json_reindented(std::string& out, std::string_view compact, int level) {
  // Written through a pointer into room made ahead: appending piece by piece
  // would spend more on the string's bookkeeping than on the bytes. Every piece
  // asks for its size first; a line break needs 1 + 2 * level bytes.
  const std::size_t start = out.size();
  out.resize(start + compact.size() + compact.size() / 2 + 64);
  char* w = out.data() + start;
  const auto room = [&](std::size_t n) {
    if (static_cast<std::size_t>(out.data() + out.size() - w) >= n) return;
    const auto at = static_cast<std::size_t>(w - out.data());
    out.resize(std::max(out.size() * 2, at + n + compact.size()));
    w = out.data() + at;
  };
  const auto line_break = [&](int depth) {
    const auto spaces = static_cast<std::size_t>(depth) * 2;
    room(spaces + 1 + 16);
    *w++ = '\n';
    // Indentation is short: whole blocks of spaces, the excess overwritten later.
#if defined(__SSE2__)
    const __m128i blanks = _mm_set1_epi8(' ');
    for (std::size_t i = 0; i < spaces; i += 16) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(w + i), blanks);
    }
#else
    std::memset(w, ' ', spaces);
#endif
    w += spaces;
  };
  const char* p = compact.data();
  const char* const end = p + compact.size();
  while (p != end) {
    switch (*p) {
      case '"': {
        const char* close = string_end(p + 1, end);
        const char* next = close == end ? end : close + 1;
        const auto size = static_cast<std::size_t>(next - p);
        room(size + 2);
        std::memcpy(w, p, size);
        w += size;
        p = next;
        // A member name: its colon follows at once, without a trip round the loop.
        if (p != end && *p == ':') {
          *w++ = ':';
          *w++ = ' ';
          ++p;
        }
        break;
      }
      case '{':
      case '[':
        room(2);
        *w++ = *p++;
        if (p != end && (*p == '}' || *p == ']')) {
          *w++ = *p++;
          break;
        }
        line_break(++level);
        break;
      case '}':
      case ']':
        line_break(--level);
        room(1);
        *w++ = *p++;
        break;
      case ',':
        room(1);
        *w++ = ',';
        ++p;
        line_break(level);
        break;
      case ':':
        room(2);
        *w++ = ':';
        *w++ = ' ';
        ++p;
        break;
      default: {
        const char* run = p;
        while (p != end && !kStructural[static_cast<unsigned char>(*p)]) ++p;
        const auto size = static_cast<std::size_t>(p - run);
        room(size);
        std::memcpy(w, run, size);
        w += size;
      }
    }
  }
  out.resize(static_cast<std::size_t>(w - out.data()));
}

std::string to_json_pretty_text(const Json& value) {
  std::string out;
  append_json_pretty(out, value, 0);
  return out;
}


void JsonWriter::before_value() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (!first_in_container_) {
    cursor_.room(1);
    cursor_.put(',');
  }
  first_in_container_ = false;
  if (pretty_ && level_ > 0) put_line_break(cursor_, level_);
}

void JsonWriter::begin_object() {
  before_value();
  cursor_.room(1);
  cursor_.put('{');
  ++level_;
  first_in_container_ = true;
}

// An empty container closes on its own line only when something was written
// into it; otherwise it stays "{}" / "[]" as the value writers print it.
void JsonWriter::close_container(char bracket) {
  ZORET_ASSERT(level_ > 0 && !after_key_);
  --level_;
  if (pretty_ && !first_in_container_) put_line_break(cursor_, level_);
  cursor_.room(1);
  cursor_.put(bracket);
  first_in_container_ = false;
}

void JsonWriter::end_object() { close_container('}'); }

void JsonWriter::begin_array() {
  before_value();
  cursor_.room(1);
  cursor_.put('[');
  ++level_;
  first_in_container_ = true;
}

void JsonWriter::end_array() { close_container(']'); }

void JsonWriter::key(std::string_view name) {
  ZORET_ASSERT(level_ > 0 && !after_key_);
  put_member_name(cursor_, name, first_in_container_, pretty_, level_);
  first_in_container_ = false;
  after_key_ = true;
}

void JsonWriter::null() {
  before_value();
  cursor_.room(4);
  cursor_.put("null");
}

void JsonWriter::boolean(bool v) {
  before_value();
  cursor_.room(5);
  cursor_.put(v ? std::string_view("true") : std::string_view("false"));
}

void JsonWriter::string(std::string_view v) {
  before_value();
  put_string(cursor_, v);
}

void JsonWriter::uint(std::uint64_t v) {
  before_value();
  put_number(cursor_, v);
}

void JsonWriter::integer(std::int64_t v) {
  before_value();
  put_number(cursor_, v);
}

void JsonWriter::compact_value(std::string_view compact) {
  before_value();
  if (pretty_) {
    append_json_reindented(cursor_.appender(), compact, level_);
    cursor_.resume();
  } else {
    cursor_.room(compact.size());
    cursor_.put(compact);
  }
}

void JsonWriter::value(const Json& v) {
  before_value();
  if (pretty_) {
    put_pretty(cursor_, v, level_);
  } else {
    put_compact(cursor_, v);
  }
}

}  // namespace zoret
