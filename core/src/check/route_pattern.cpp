#include "zoret/check/route_pattern.hpp"

#include <array>
#include <utility>

namespace zoret {
namespace {

enum class TokenKind : std::uint8_t { Literal, Star, DoubleStar };

struct Token {
  TokenKind kind;
  unsigned char byte;
};

std::vector<Token> tokenize(std::string_view pattern) {
  std::vector<Token> tokens;
  tokens.reserve(pattern.size());
  for (std::size_t i = 0; i < pattern.size();) {
    if (pattern[i] != '*') {
      tokens.push_back({TokenKind::Literal, static_cast<unsigned char>(pattern[i])});
      ++i;
      continue;
    }
    std::size_t run = 0;
    while (i < pattern.size() && pattern[i] == '*') ++i, ++run;
    tokens.push_back({run == 1 ? TokenKind::Star : TokenKind::DoubleStar, 0});
  }
  return tokens;
}

void set_bit(std::uint64_t* words, std::size_t bit) { words[bit / 64] |= 1ULL << (bit % 64); }

bool test_bit(const std::uint64_t* words, std::size_t bit) {
  return (words[bit / 64] >> (bit % 64)) & 1U;
}

// dst = src << 1 across words; dst and src may be the same array.
void shift_up(const std::uint64_t* src, std::uint64_t* dst, std::size_t words) {
  std::uint64_t carry = 0;
  for (std::size_t w = 0; w < words; ++w) {
    const std::uint64_t out = src[w] >> 63;
    dst[w] = (src[w] << 1) | carry;
    carry = out;
  }
}

}  // namespace

// A plain loop: find_first_of searches the two-byte set once per byte.
std::string_view route_path(std::string_view route) noexcept {
  std::size_t end = 0;
  while (end < route.size() && route[end] != '?' && route[end] != '#') ++end;
  return route.substr(0, end);
}

RoutePattern::RoutePattern(std::string_view pattern) : text_(pattern) {
  const std::vector<Token> tokens = tokenize(pattern);
  std::size_t first_star = tokens.size();
  std::size_t last_star = tokens.size();
  std::size_t stars = 0;
  bool any_double = false;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (tokens[i].kind == TokenKind::Literal) {
      ++min_length_;
      continue;
    }
    if (first_star == tokens.size()) first_star = i;
    last_star = i;
    ++stars;
    any_double |= tokens[i].kind == TokenKind::DoubleStar;
  }
  for (std::size_t i = 0; i < first_star; ++i) prefix_ += static_cast<char>(tokens[i].byte);
  if (stars == 0) {
    shape_ = Shape::Exact;
    return;
  }
  for (std::size_t i = last_star + 1; i < tokens.size(); ++i) {
    suffix_ += static_cast<char>(tokens[i].byte);
  }
  if (stars == 1) {
    shape_ = any_double ? Shape::OneDoubleStar : Shape::OneStar;
    return;
  }

  shape_ = Shape::General;
  accept_ = tokens.size();
  words_ = (tokens.size() + 1 + 63) / 64;
  // Class 0 stands for every byte that no literal token names.
  std::size_t classes = 1;
  for (const Token& token : tokens) {
    if (token.kind == TokenKind::Literal && byte_class_[token.byte] == 0) {
      byte_class_[token.byte] = static_cast<std::uint16_t>(classes++);
    }
  }
  literal_targets_.assign(classes * words_, 0);
  stay_in_segment_.assign(words_, 0);
  stay_anywhere_.assign(words_, 0);
  star_states_.assign(words_, 0);
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    switch (tokens[i].kind) {
      case TokenKind::Literal:
        set_bit(&literal_targets_[byte_class_[tokens[i].byte] * words_], i + 1);
        break;
      case TokenKind::Star:
        set_bit(stay_in_segment_.data(), i);
        set_bit(star_states_.data(), i);
        break;
      case TokenKind::DoubleStar:
        set_bit(stay_anywhere_.data(), i);
        set_bit(star_states_.data(), i);
        break;
    }
  }
}

bool RoutePattern::star_run_has_no_slash(std::string_view path) const noexcept {
  const std::string_view run =
      path.substr(prefix_.size(), path.size() - prefix_.size() - suffix_.size());
  return run.find('/') == std::string_view::npos;
}

bool RoutePattern::matches_general(std::string_view path) const {
  // A run of stars is one token, so a skipped star never leads straight to
  // another star and one step of closure suffices.
  if (words_ == 1) {
    const std::uint64_t seg = stay_in_segment_[0];
    const std::uint64_t any = stay_anywhere_[0];
    const std::uint64_t star = star_states_[0];
    std::uint64_t state = 1;
    state |= (state & star) << 1;
    for (const char c : path) {
      const auto byte = static_cast<unsigned char>(c);
      std::uint64_t next = (state << 1) & literal_targets_[byte_class_[byte]];
      next |= state & (byte == '/' ? any : any | seg);
      next |= (next & star) << 1;
      if (next == 0) return false;
      state = next;
    }
    return (state >> accept_) & 1U;
  }

  // Patterns of 64 tokens or more: the same steps over arrays of words.
  constexpr std::size_t kInlineWords = 8;
  std::array<std::uint64_t, 3 * kInlineWords> inline_buffer{};
  std::vector<std::uint64_t> heap_buffer;
  std::uint64_t* buffer = inline_buffer.data();
  if (words_ > kInlineWords) {
    heap_buffer.assign(3 * words_, 0);
    buffer = heap_buffer.data();
  }
  std::uint64_t* state = buffer;
  std::uint64_t* next = buffer + words_;
  std::uint64_t* scratch = buffer + 2 * words_;
  const std::size_t words = words_;

  auto close_over_stars = [&](std::uint64_t* bits) {
    for (std::size_t w = 0; w < words; ++w) scratch[w] = bits[w] & star_states_[w];
    shift_up(scratch, scratch, words);
    for (std::size_t w = 0; w < words; ++w) bits[w] |= scratch[w];
  };

  state[0] = 1;
  close_over_stars(state);
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    const std::uint64_t* targets = &literal_targets_[byte_class_[byte] * words];
    shift_up(state, next, words);
    std::uint64_t alive = 0;
    for (std::size_t w = 0; w < words; ++w) {
      std::uint64_t bits = (next[w] & targets[w]) | (state[w] & stay_anywhere_[w]);
      if (byte != '/') bits |= state[w] & stay_in_segment_[w];
      next[w] = bits;
    }
    close_over_stars(next);
    for (std::size_t w = 0; w < words; ++w) alive |= next[w];
    if (alive == 0) return false;
    std::swap(state, next);
  }
  return test_bit(state, accept_);
}

}  // namespace zoret
