#include "zoret/text.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "detail/ascii.hpp"
#include "zoret/unicode.hpp"

namespace zoret {
namespace {

// Indexed alike: the tag text that starts skipping, and the one that ends it.
constexpr std::array<std::string_view, 3> kSkipStart = {"style", "script", "noscript"};
constexpr std::array<std::string_view, 3> kSkipEnd = {"/style", "/script", "/noscript"};
constexpr std::size_t kNotSkipping = kSkipStart.size();
constexpr std::size_t kLongestSkipStart = std::max({kSkipStart[0].size(), kSkipStart[1].size(),
                                                    kSkipStart[2].size()});

constexpr std::uint64_t kByteOnes = 0x0101010101010101;
constexpr std::uint64_t kByteHighs = 0x8080808080808080;

using detail::is_ascii;

/// Whether `tag` lower-cases (full mapping) to `target`, a lower-case ASCII text.
/// A full lower-case mapping never deletes a character and a character takes at
/// most four bytes, so long tags (comments, tags with attributes) are rejected by
/// their size alone and only short non-ASCII tags ever reach ICU. Those must: a
/// character such as U+212A KELVIN SIGN lower-cases to an ASCII letter.
bool lowers_to(std::string_view tag, std::string_view target) {
  if (tag.size() > 4 * target.size()) return false;
  if (is_ascii(tag)) return ascii_iequals(tag, target);
  return count_code_points(tag) <= target.size() && to_lower_full(tag) == target;
}

std::size_t skip_started_by(std::string_view tag) {
  // Nearly every tag is a short ASCII name that starts nothing; deciding that
  // once, rather than once per skipped element, keeps the common case cheap.
  // lowers_to would reject anything longer than four bytes per character.
  if (tag.size() > 4 * kLongestSkipStart) return kNotSkipping;
  const bool ascii = is_ascii(tag);
  for (std::size_t i = 0; i < kSkipStart.size(); ++i) {
    const std::string_view name = kSkipStart[i];
    if (ascii ? tag.size() == name.size() && ascii_iequals(tag, name) : lowers_to(tag, name))
      return i;
  }
  return kNotSkipping;
}

/// The first `c` at or after `from`, or npos. Tags, and the text between
/// adjacent tags, are mostly a few bytes long, so two eight-byte words are
/// searched in place before a library call, whose setup would dominate there.
std::size_t find_near(std::string_view html, char c, std::size_t from) noexcept {
  if constexpr (std::endian::native == std::endian::little) {
    const std::uint64_t pattern = kByteOnes * static_cast<unsigned char>(c);
    for (int words = 0; words < 2 && html.size() - from >= 8; ++words, from += 8) {
      std::uint64_t word;
      std::memcpy(&word, html.data() + from, 8);
      const std::uint64_t x = word ^ pattern;
      // Borrows can mark bytes above a zero byte, never below: the lowest mark is exact.
      const std::uint64_t hits = (x - kByteOnes) & ~x & kByteHighs;
      if (hits != 0) return from + static_cast<std::size_t>(std::countr_zero(hits)) / 8;
    }
  }
  return html.find(c, from);
}

/// Where a walk over the tags stopped: the next byte to read, the element being
/// skipped, and how many bytes it has written.
struct StripState {
  std::size_t pos = 0;
  std::size_t skipping = kNotSkipping;
  std::size_t written = 0;
};

/// Drops tags and skipped elements. Writes into `out`, which holds `limit` bytes,
/// until the input ends or the output would outgrow `limit`: a run of text that
/// reaches it is cut at the last character boundary before it, and the walk
/// stops there, ready to be resumed. Text is copied and each tag shrinks to at
/// most one space, so with a limit of html.size() the walk never stops early.
/// Text between tags moves in bulk; "<" and ">" are ASCII, so byte-wise search is
/// character-exact.
void strip_tags(std::string_view html, char* out, StripState& state, std::size_t limit) {
  std::size_t w = state.written;
  std::size_t pos = state.pos;
  std::size_t skipping = state.skipping;
  while (pos < html.size() && w < limit) {
    const std::size_t open = find_near(html, '<', pos);
    const std::size_t text_end = open == std::string_view::npos ? html.size() : open;
    if (skipping == kNotSkipping && text_end > pos) {
      std::size_t run = text_end - pos;
      // Reaching the limit leaves no room for the space of a tag after the run.
      if (w + run >= limit) {
        run = limit - w;
        while (pos + run < html.size() && run > 0 &&
               (static_cast<unsigned char>(html[pos + run]) & 0xC0) == 0x80) {
          --run;
        }
        std::memcpy(out + w, html.data() + pos, run);
        w += run;
        pos += run;
        break;
      }
      std::memcpy(out + w, html.data() + pos, run);
      w += run;
    }
    if (open == std::string_view::npos) {
      pos = html.size();
      break;
    }
    const std::size_t close = find_near(html, '>', open + 1);
    const std::string_view tag = html.substr(
        open + 1, close == std::string_view::npos ? std::string_view::npos : close - open - 1);
    if (skipping != kNotSkipping) {
      if (lowers_to(tag, kSkipEnd[skipping])) skipping = kNotSkipping;
    } else {
      skipping = skip_started_by(tag);
      if (skipping == kNotSkipping) out[w++] = ' ';
    }
    pos = close == std::string_view::npos ? html.size() : close + 1;
  }
  state = {pos, skipping, w};
}

/// Whether the eight bytes of `word` come out of the collapse unchanged: ASCII
/// whose only White_Space is lone U+0020, none first when `in_space`. Running
/// prose mostly is, and a word of it then moves in one store instead of eight
/// table lookups. The masks are exact per byte: with the high bits clear, no
/// borrow or carry crosses a byte.
bool is_plain_word(std::uint64_t word, bool in_space) noexcept {
  if ((word & kByteHighs) != 0) return false;
  const std::uint64_t at_most_space = ~((word | kByteHighs) - 0x21 * kByteOnes) & kByteHighs;
  const std::uint64_t spaceless = word ^ (0x20 * kByteOnes);
  const std::uint64_t space = ~((spaceless + 0x7F * kByteOnes) | spaceless) & kByteHighs;
  // Any other control character or White_Space, two spaces in a row, or a
  // space continuing a run: the byte loop decides those.
  return at_most_space == space && (space & (space << 8)) == 0 &&
         !(in_space && (space & 0x80) != 0);
}

/// Collapses White_Space runs to one space and trims, in place; returns the new
/// length. Starting "inside a run" drops leading space, and since every run is a
/// single U+0020 afterwards, trimming the end is dropping at most one byte; with
/// `trim_end` off that byte stays, and the result of a prefix of some text is a
/// prefix of the text's result. A text collapsed piece by piece gives that same
/// result when each piece after the first starts with `in_space` telling whether
/// the result so far ends in a space.
/// Plain prose moves a word at a time; the ASCII byte path for the rest is
/// branch-free because spaces in prose come too often to predict.
std::size_t collapse_white_space(char* buf, std::size_t size, bool trim_end = true,
                                 bool in_space = true) {
  const std::string_view text(buf, size);
  std::size_t w = 0;
  std::size_t r = 0;
  while (r < size) {
    // The word test takes the first byte in memory as the lowest.
    if constexpr (std::endian::native == std::endian::little) {
      if (size - r >= 8) {
        std::uint64_t word;
        std::memcpy(&word, buf + r, 8);
        if (is_plain_word(word, in_space)) {
          // w <= r, so the store only covers bytes already read.
          std::memcpy(buf + w, &word, 8);
          w += 8;
          r += 8;
          in_space = (word >> 56) == ' ';
          continue;
        }
      }
    }
    // Byte by byte to the end of the word (a character may run past it).
    const std::size_t word_end = std::min(size, r + 8);
    while (r < word_end) {
      const auto c = static_cast<unsigned char>(buf[r]);
      if (c < 0x80) {
        const bool space = detail::is_ascii_white_space(static_cast<char>(c));
        buf[w] = space ? ' ' : static_cast<char>(c);
        w += (space && in_space) ? 0 : 1;
        in_space = space;
        ++r;
        continue;
      }
      // Writes stay behind the read position, so decoding sees original bytes.
      const std::size_t start = r;
      if (is_white_space(next_code_point(text, r))) {
        if (!in_space) buf[w++] = ' ';
        in_space = true;
      } else {
        // At most four bytes: a loop beats a memmove call here.
        for (std::size_t k = start; k < r; ++k) buf[w++] = buf[k];
        in_space = false;
      }
    }
  }
  if (trim_end && w > 0 && buf[w - 1] == ' ') --w;
  return w;
}

}  // namespace

std::string html_to_text(std::string_view html) {
  std::string text(html.size(), '\0');
  StripState state;
  strip_tags(html, text.data(), state, html.size());
  text.resize(collapse_white_space(text.data(), state.written));
  return text;
}

std::optional<std::string> build_description_snippet(std::string_view html,
                                                     std::size_t max_chars) {
  // A body usually holds far more text than a snippet shows. The walk first stops
  // after a little more output than max_chars + 2 characters of one byte each and
  // collapses it; when that already holds max_chars + 2 characters, the whole
  // text is longer than max_chars even after trimming its end, and its first
  // characters are those of this prefix. Otherwise the walk goes on in doubling
  // rounds, each collapsed onto the last, up to room for max_chars + 2 characters
  // of four bytes; after that the whole body is walked afresh. The prefix needs a
  // small buffer only; a buffer for the whole body (a large allocation, which also
  // makes the allocator sort its free lists) is made only for that walk.
  const std::size_t prefix_room = 4 * (max_chars + 2);
  if (max_chars < html.size() && prefix_room < html.size()) {
    std::string head(prefix_room, '\0');
    StripState state;
    std::size_t collapsed = 0;
    std::size_t limit = std::min(prefix_room, max_chars + 2 + max_chars / 4 + 16);
    for (;;) {
      strip_tags(html, head.data(), state, limit);
      const bool in_space = collapsed == 0 || head[collapsed - 1] == ' ';
      collapsed += collapse_white_space(head.data() + collapsed, state.written - collapsed,
                                        /*trim_end=*/false, in_space);
      state.written = collapsed;
      const std::string_view text(head.data(), collapsed);
      if (code_point_offset(text, max_chars + 1) < text.size()) {
        head.resize(max_chars < 3 ? 0 : code_point_offset(text, max_chars - 3));
        head += "...";
        return head;
      }
      if (state.pos >= html.size() || limit == prefix_room) break;
      limit = std::min(prefix_room, 2 * limit);
    }
  }
  std::string text(html.size(), '\0');
  StripState state;
  strip_tags(html, text.data(), state, html.size());
  text.resize(collapse_white_space(text.data(), state.written));
  if (text.empty()) return std::nullopt;
  // Counting stops at the limit instead of walking a long body to its end.
  if (code_point_offset(text, max_chars) == text.size()) return text;
  text.resize(max_chars < 3 ? 0 : code_point_offset(text, max_chars - 3));
  text += "...";
  return text;
}

std::optional<std::string> build_description_snippet(const std::optional<std::string>& html,
                                                     std::size_t max_chars) {
  if (!html) return std::nullopt;
  return build_description_snippet(std::string_view(*html), max_chars);
}

}  // namespace zoret
