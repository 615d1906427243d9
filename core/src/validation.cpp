#include "zoret/validation.hpp"

#include <array>
#include <cstddef>
#include <string>
#include <utility>

#include "zoret/unicode.hpp"
#include "zoret/url/public_url.hpp"

namespace zoret {
namespace {

constexpr std::size_t kMaxTitleLength = 60;
constexpr std::size_t kMaxDescriptionLength = 160;

constexpr std::array<std::string_view, 9> kDirectiveNames = {
    "none",      "index",     "follow",      "noindex",           "nofollow",
    "noarchive", "nosnippet", "notranslate", "unavailable_after",
};

// Directives that carry a value; they are matched by prefix and their values
// are not examined.
constexpr std::array<std::string_view, 3> kDirectivePrefixes = {
    "max-snippet", "max-image-preview", "max-video-preview"};

bool is_recognised_directive(std::string_view piece) {
  const std::string_view name = piece.substr(0, piece.find(':'));
  for (const auto known : kDirectiveNames) {
    if (name == known) return true;
  }
  for (const auto prefix : kDirectivePrefixes) {
    if (name.starts_with(prefix)) return true;
  }
  return false;
}

class Findings {
 public:
  explicit Findings(const SEOPayload& payload) : canonical_(payload.canonical) {}

  void add(std::string_view rule_id, std::string message,
           std::map<std::string, Json> details = {}) {
    issues_.push_back(SEOIssue{std::string(rule_id), IssueSeverity::Warning,
                               std::move(message), canonical_, std::move(details)});
  }

  std::vector<SEOIssue> take() && { return std::move(issues_); }

 private:
  const std::string& canonical_;
  std::vector<SEOIssue> issues_;
};

std::string length_message(std::string_view subject, std::size_t length,
                           std::size_t recommended) {
  std::string message(subject);
  message += " is ";
  message += std::to_string(length);
  message += " characters (recommended max ";
  message += std::to_string(recommended);
  message += ')';
  return message;
}

}  // namespace

std::string_view severity_text(IssueSeverity severity) noexcept {
  switch (severity) {
    case IssueSeverity::Error: return "error";
    case IssueSeverity::Warning: return "warning";
    case IssueSeverity::Info: return "info";
  }
  return "error";
}

bool operator==(const SEOIssue& a, const SEOIssue& b) {
  if (a.rule_id != b.rule_id || a.severity != b.severity || a.message != b.message ||
      a.url != b.url || a.details.size() != b.details.size()) {
    return false;
  }
  for (auto i = a.details.begin(), j = b.details.begin(); i != a.details.end(); ++i, ++j) {
    if (i->first != j->first || !json_equal(i->second, j->second)) return false;
  }
  return true;
}

std::vector<SEOIssue> validate(const SEOPayload& payload) {
  Findings findings(payload);

  if (payload.title.empty() || payload.title == "Untitled") {
    findings.add("ZORET101", "Title is missing or default");
  } else if (const auto length = count_code_points(payload.title);
             length > kMaxTitleLength) {
    findings.add("ZORET102", length_message("Title", length, kMaxTitleLength),
                 {{"length", json_uint(length)}});
  }

  if (payload.description.empty()) {
    findings.add("ZORET103", "Meta description is missing");
  } else if (const auto length = count_code_points(payload.description);
             length > kMaxDescriptionLength) {
    findings.add("ZORET104",
                 length_message("Meta description", length, kMaxDescriptionLength),
                 {{"length", json_uint(length)}});
  }

  // Protocol-relative ("//host") and upper-case schemes are reported too: no
  // finding depends on URL parsing.
  if (!has_http_prefix(payload.canonical)) {
    findings.add("ZORET105", "Canonical URL is not absolute");
  }

  if (!payload.og.image) {
    findings.add("ZORET108", "OG image is missing; set default_og_image or an entity image");
  } else if (!has_http_prefix(*payload.og.image)) {
    findings.add("ZORET106", "OG image URL is not absolute",
                 {{"image", Json(*payload.og.image)}});
  }

  // Empty pieces are kept on purpose: "index,,follow" is a typo worth reporting.
  const std::string_view robots = payload.robots;
  for (std::size_t start = 0;;) {
    const std::size_t comma = robots.find(',', start);
    const std::string_view piece =
        trim_white_space(robots.substr(start, comma == std::string_view::npos
                                                  ? std::string_view::npos
                                                  : comma - start));
    if (!is_recognised_directive(piece)) {
      std::string message = "Invalid robots directive: '";
      message += piece;
      message += '\'';
      findings.add("ZORET107", std::move(message), {{"directive", Json(std::string(piece))}});
    }
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }

  return std::move(findings).take();
}

}  // namespace zoret
