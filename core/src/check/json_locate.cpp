#include "check/json_locate.hpp"

#include <algorithm>

#include "zoret/json.hpp"

namespace zoret::detail {
namespace {

bool is_plain_key(std::string_view key) {
  if (key.empty()) return false;
  for (const char c : key) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '_' || c == '@';
    if (!plain) return false;
  }
  return true;
}

bool is_delimiter(char c) {
  return c == ',' || c == '}' || c == ']' || c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

// A forward scan over text the parser accepted; every read is still bounds
// checked, so text that did not come from the parser cannot overrun.
class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}

  [[nodiscard]] std::size_t pos() const { return pos_; }
  void seek(std::size_t pos) { pos_ = pos; }

  void skip_space() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\n' ||
                                   text_[pos_] == '\r' || text_[pos_] == '\t')) {
      ++pos_;
    }
  }

  bool at(char c) {
    skip_space();
    return pos_ < text_.size() && text_[pos_] == c;
  }

  // At the opening quote; returns the raw text between the quotes.
  std::string_view skip_string() {
    const std::size_t start = ++pos_;
    while (pos_ < text_.size() && text_[pos_] != '"') pos_ += text_[pos_] == '\\' ? 2 : 1;
    const std::string_view raw = text_.substr(start, std::min(pos_, text_.size()) - start);
    ++pos_;
    return raw;
  }

  void skip_value() {
    skip_space();
    if (pos_ >= text_.size()) return;
    if (text_[pos_] == '"') {
      skip_string();
      return;
    }
    if (text_[pos_] != '{' && text_[pos_] != '[') {
      while (pos_ < text_.size() && !is_delimiter(text_[pos_])) ++pos_;
      return;
    }
    int depth = 0;
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == '"') {
        skip_string();
        continue;
      }
      ++pos_;
      if (c == '{' || c == '[') ++depth;
      if ((c == '}' || c == ']') && --depth == 0) return;
    }
  }

  // At "{": positions of the last member named `key` and of its value.
  bool find_member(std::string_view key, std::size_t& key_pos, std::size_t& value_pos) {
    bool found = false;
    ++pos_;
    while (at('"')) {
      const std::size_t here = pos_;
      const std::string_view raw = skip_string();
      if (!at(':')) return found;
      ++pos_;
      skip_space();
      if (same_key(raw, key)) {
        found = true;
        key_pos = here;
        value_pos = pos_;
      }
      skip_value();
      if (!at(',')) break;
      ++pos_;
    }
    return found;
  }

  // At "[": position of element `index`.
  bool find_element(std::size_t index, std::size_t& value_pos) {
    ++pos_;
    for (std::size_t i = 0;; ++i) {
      skip_space();
      if (pos_ >= text_.size() || text_[pos_] == ']') return false;
      if (i == index) {
        value_pos = pos_;
        return true;
      }
      skip_value();
      if (!at(',')) return false;
      ++pos_;
    }
  }

  [[nodiscard]] TextPosition position_of(std::size_t offset) const {
    TextPosition p;
    std::size_t line_start = 0;
    for (std::size_t i = 0; i < offset && i < text_.size(); ++i) {
      if (text_[i] == '\n') {
        ++p.line;
        line_start = i + 1;
      }
    }
    p.column = offset - line_start + 1;
    return p;
  }

 private:
  static bool same_key(std::string_view raw, std::string_view key) {
    if (raw.find('\\') == std::string_view::npos) return raw == key;
    std::string quoted = "\"";
    quoted += raw;
    quoted += '"';
    auto decoded = parse_json(quoted);
    return decoded && decoded->is_string() && decoded->get_ref<const std::string&>() == key;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

std::string json_path_text(const std::vector<JsonStep>& path) {
  std::string out;
  for (const JsonStep& step : path) {
    if (step.is_index) {
      out += '[';
      out += std::to_string(step.index);
      out += ']';
    } else if (is_plain_key(step.key)) {
      if (!out.empty()) out += '.';
      out += step.key;
    } else {
      out += '[';
      append_json_string(out, step.key);
      out += ']';
    }
  }
  return out;
}

std::optional<TextPosition> locate_json_path(std::string_view text,
                                             const std::vector<JsonStep>& path, bool at_key) {
  Scanner scanner(text);
  scanner.skip_space();
  std::size_t target = scanner.pos();
  for (std::size_t i = 0; i < path.size(); ++i) {
    const JsonStep& step = path[i];
    std::size_t key_pos = 0;
    std::size_t value_pos = 0;
    if (step.is_index) {
      if (!scanner.at('[') || !scanner.find_element(step.index, value_pos)) return std::nullopt;
      target = value_pos;
    } else {
      if (!scanner.at('{') || !scanner.find_member(step.key, key_pos, value_pos)) {
        return std::nullopt;
      }
      target = at_key && i + 1 == path.size() ? key_pos : value_pos;
    }
    scanner.seek(value_pos);
  }
  return scanner.position_of(target);
}

}  // namespace zoret::detail
