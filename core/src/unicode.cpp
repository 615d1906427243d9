#include "zoret/unicode.hpp"

#include <unicode/casemap.h>
#include <unicode/uchar.h>
#include <unicode/utypes.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>

#include "detail/ascii.hpp"
#include "zoret/result.hpp"

namespace zoret {
namespace {

using detail::ascii_lower;
using detail::is_utf8_continuation;

constexpr char32_t kReplacementChar = 0xFFFD;
constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

unsigned char byte_at(std::string_view s, std::size_t i) noexcept {
  return static_cast<unsigned char>(s[i]);
}

std::string ascii_lower_copy(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = ascii_lower(c);
  return out;
}

/// Appends the lower-case form of `piece` (at most INT32_MAX bytes). Returns false
/// when ICU failed, which only happens when it cannot allocate.
///
/// The static CaseMap call is as fast as reusing a UCaseMap (about 120 ns for a
/// short title either way; opening a UCaseMap per call adds 20 ns) and needs no
/// per-thread state. Locale "" is the root locale, so Turkish or Lithuanian rules
/// never apply whatever the process's default locale is.
bool append_icu_lower(std::string_view piece, std::string& out) {
  const std::size_t start = out.size();
  const auto src_len = static_cast<int32_t>(piece.size());
  // Lower-casing rarely grows text; a little slack avoids the second call.
  std::size_t capacity =
      std::min<std::size_t>(piece.size() + piece.size() / 8 + 16,
                            static_cast<std::size_t>(std::numeric_limits<int32_t>::max()));
  for (int attempt = 0; attempt < 2; ++attempt) {
    out.resize(start + capacity);
    UErrorCode err = U_ZERO_ERROR;
    const int32_t len =
        icu::CaseMap::utf8ToLower("", 0, piece.data(), src_len, out.data() + start,
                                  static_cast<int32_t>(capacity), nullptr, err);
    if (err == U_BUFFER_OVERFLOW_ERROR && attempt == 0) {
      capacity = static_cast<std::size_t>(len);
      continue;
    }
    if (U_FAILURE(err)) break;
    out.resize(start + static_cast<std::size_t>(len));
    return true;
  }
  out.resize(start);
  return false;
}

/// Where to end a piece of at most `limit` bytes of `s` (limit < s.size()) for ICU,
/// whose lengths are 32-bit. Right after an ASCII space is best: a space is neither
/// cased nor case-ignorable, so no final-sigma context reaches across it.
std::size_t piece_end(std::string_view s, std::size_t limit) noexcept {
  const std::size_t space = s.substr(0, limit).rfind(' ');
  if (space != std::string_view::npos) return space + 1;
  std::size_t end = limit;
  while (end > 0 && is_utf8_continuation(byte_at(s, end))) --end;
  return end > 0 ? end : limit;
}

/// ICU's White_Space property for the BMP, read once. Text collapsing asks about
/// every non-ASCII character, and a bit test is several times cheaper than ICU's
/// property lookup (which dominated CJK text); the data is still ICU's.
const std::array<std::uint64_t, 1024>& bmp_white_space() noexcept {
  static const std::array<std::uint64_t, 1024> kBits = [] {
    std::array<std::uint64_t, 1024> table{};
    for (UChar32 c = 0; c < 0x10000; ++c) {
      if (u_isUWhiteSpace(c)) {
        table[static_cast<std::size_t>(c) >> 6] |= std::uint64_t{1} << (c & 63);
      }
    }
    return table;
  }();
  return kBits;
}

}  // namespace

bool is_white_space(char32_t cp) noexcept {
  if (cp < 0x80) return detail::is_ascii_white_space(static_cast<char>(cp));
  if (cp < 0x10000) {
    const auto& bits = bmp_white_space();
    return ((bits[cp >> 6] >> (cp & 63)) & 1u) != 0;
  }
  if (cp > 0x10FFFF) return false;
  return u_isUWhiteSpace(static_cast<UChar32>(cp)) != 0;
}

std::string_view trim_white_space(std::string_view s) noexcept {
  std::size_t begin = 0;
  while (begin < s.size()) {
    const unsigned char c = byte_at(s, begin);
    if (c < 0x80) {
      if (!detail::is_ascii_white_space(s[begin])) break;
      ++begin;
      continue;
    }
    std::size_t next = begin;
    if (!is_white_space(next_code_point(s, next))) break;
    begin = next;
  }
  std::size_t end = s.size();
  while (end > begin) {
    const unsigned char c = byte_at(s, end - 1);
    if (c < 0x80) {
      if (!detail::is_ascii_white_space(s[end - 1])) break;
      --end;
      continue;
    }
    std::size_t lead = end - 1;
    while (lead > begin && end - lead < 4 && is_utf8_continuation(byte_at(s, lead))) --lead;
    std::size_t next = lead;
    if (!is_white_space(next_code_point(s, next)) || next != end) break;
    end = lead;
  }
  return s.substr(begin, end - begin);
}

std::string to_lower_full(std::string_view s) {
  if (detail::is_ascii(s)) return ascii_lower_copy(s);

  constexpr auto kMaxPiece = static_cast<std::size_t>(std::numeric_limits<int32_t>::max());
  std::string out;
  out.reserve(s.size());
  std::string_view rest = s;
  while (!rest.empty()) {
    const std::size_t len = rest.size() <= kMaxPiece ? rest.size() : piece_end(rest, kMaxPiece);
    // ICU fails only when it cannot allocate; with no way to report that here,
    // ASCII-only lower-casing is the least surprising degradation.
    if (!append_icu_lower(rest.substr(0, len), out)) return ascii_lower_copy(s);
    rest.remove_prefix(len);
  }
  return out;
}

std::size_t count_code_points(std::string_view s) noexcept {
  std::size_t n = 0;
  for (const char c : s) n += is_utf8_continuation(static_cast<unsigned char>(c)) ? 0 : 1;
  return n;
}

std::size_t code_point_offset(std::string_view s, std::size_t n) noexcept {
  std::size_t i = 0;
  // Eight bytes at a time while the word holds no more characters than are left
  // to skip: a byte starts a character unless it is 10xxxxxx, which is bit 7 set
  // with bit 6 clear (shifting by one brings each byte's bit 6 under its bit 7).
  for (; s.size() - i >= 8; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, s.data() + i, 8);
    const std::uint64_t continuations = word & ~(word << 1) & 0x8080808080808080;
    // One bit per byte: moved to each byte's bit 0, a multiply sums them into the
    // top byte (std::popcount is a library call without the POPCNT instruction).
    const auto starts = static_cast<std::size_t>(
        8 - (((continuations >> 7) * 0x0101010101010101) >> 56));
    if (starts > n) break;
    n -= starts;
  }
  for (; i < s.size(); ++i) {
    if (is_utf8_continuation(byte_at(s, i))) continue;
    if (n == 0) return i;
    --n;
  }
  return s.size();
}

char32_t next_code_point(std::string_view s, std::size_t& pos) noexcept {
  ZORET_ASSERT(pos < s.size());
  const unsigned char lead = byte_at(s, pos);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  // The input is meant to be valid, but a stray byte must not make us read past
  // the end: anything malformed is consumed one byte at a time as U+FFFD.
  std::size_t len = 0;
  char32_t cp = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    len = 2;
    cp = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    len = 3;
    cp = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    len = 4;
    cp = lead & 0x07u;
  } else {
    ++pos;
    return kReplacementChar;
  }
  if (len > s.size() - pos) {
    ++pos;
    return kReplacementChar;
  }
  for (std::size_t k = 1; k < len; ++k) {
    const unsigned char c = byte_at(s, pos + k);
    if (!is_utf8_continuation(c)) {
      ++pos;
      return kReplacementChar;
    }
    cp = (cp << 6) | (c & 0x3Fu);
  }
  pos += len;
  return cp;
}

std::string utf8_lossy(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  std::size_t run = 0;  // start of the well-formed bytes not yet copied
  std::size_t i = 0;
  while (i < bytes.size()) {
    if (byte_at(bytes, i) < 0x80) {
      ++i;
      continue;
    }
    const detail::Utf8Scan scan = detail::scan_utf8_sequence(bytes, i);
    if (scan.valid) {
      i = scan.end;
      continue;
    }
    out.append(bytes.substr(run, i - run));
    out.append(kReplacementUtf8);
    // The maximal subpart is replaced as a whole; it always covers the first byte.
    i = scan.end > i ? scan.end : i + 1;
    run = i;
  }
  out.append(bytes.substr(run));
  return out;
}

bool is_valid_utf8(std::string_view s) noexcept {
  for (std::size_t i = 0; i < s.size();) {
    // URLs and most texts are ASCII: skip it eight bytes at a time.
    if (s.size() - i >= 8) {
      std::uint64_t word = 0;
      std::memcpy(&word, s.data() + i, 8);
      if ((word & 0x8080808080808080ULL) == 0) {
        i += 8;
        continue;
      }
    }
    if (byte_at(s, i) < 0x80) {
      ++i;
      continue;
    }
    const detail::Utf8Scan scan = detail::scan_utf8_sequence(s, i);
    if (!scan.valid) return false;
    i = scan.end;
  }
  return true;
}

bool ascii_iequals(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  }
  return true;
}

}  // namespace zoret
