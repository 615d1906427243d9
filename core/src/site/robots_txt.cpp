#include "zoret/site/robots_txt.hpp"

#include <algorithm>

#include "site/text_checks.hpp"
#include "zoret/site/uri_reference.hpp"
#include "zoret/unicode.hpp"

namespace zoret::site {
namespace {

ZoretError invalid(std::string_view what, std::string_view value, std::string_view reason) {
  std::string message = "robots.txt ";
  message += what;
  message += ' ';
  message += detail::quoted(value);
  message += ": ";
  message += reason;
  return ZoretError(ErrorKind::InvalidConfiguration, std::move(message));
}

bool has_line_break(std::string_view value) {
  return value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

constexpr std::string_view kLineBreakReason = "CR, LF and NUL are not allowed";

// Readers split lines differently: Python's str.splitlines() also breaks at VT,
// FF, FS-RS, NEL and the Unicode separators, so a comment holding one of them
// could smuggle in a rule.
bool is_safe_comment(std::string_view text) {
  if (!is_valid_utf8(text)) return false;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c != '\t' && detail::is_ascii_control(c)) return false;
  }
  return text.find("\xC2\x85") == std::string_view::npos &&
         text.find("\xE2\x80\xA8") == std::string_view::npos &&
         text.find("\xE2\x80\xA9") == std::string_view::npos;
}

// RFC 9309, 2.2.1: product-token = identifier / "*", identifier = 1*(%x2D /
// %x41-5A / %x5F / %x61-7A).
bool is_product_token(std::string_view value) {
  if (value == "*") return true;
  return !value.empty() && std::all_of(value.begin(), value.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '_';
  });
}

bool is_hex(char c) { return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f'); }

// RFC 9309, 2.2.2: paths are compared percent-encoded, and "#" starts a comment.
void append_path(std::string& out, std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < path.size(); ++i) {
    const auto b = static_cast<unsigned char>(path[i]);
    const bool lone_percent =
        b == '%' && (i + 2 >= path.size() || !is_hex(path[i + 1]) || !is_hex(path[i + 2]));
    if (b <= 0x20 || b >= 0x7F || b == '#' || lone_percent) {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 0xF];
    } else {
      out += static_cast<char>(b);
    }
  }
}

std::string_view host_name(std::string_view host) {
  if (host.starts_with('[')) {
    const std::size_t close = host.find(']');
    return close == std::string_view::npos ? host : host.substr(0, close + 1);
  }
  host = host.substr(0, host.find(':'));
  if (host.ends_with('.')) host.remove_suffix(1);
  return host;
}

void append_comments(std::string& out, const std::vector<std::string>& comments) {
  for (const std::string& comment : comments) {
    out += comment.empty() ? "#" : "# ";
    out += comment;
    out += '\n';
  }
}

Result<void> append_group(std::string& out, const RobotsGroup& group) {
  if (group.user_agents.empty()) {
    return ZoretError(ErrorKind::InvalidConfiguration, "robots.txt group has no user-agent");
  }
  for (const std::string& agent : group.user_agents) {
    if (has_line_break(agent)) return invalid("user-agent", agent, kLineBreakReason);
    if (!is_product_token(agent)) {
      return invalid("user-agent", agent,
                     "a user-agent is \"*\" or a product token of letters, \"-\" and \"_\"");
    }
    out += "User-agent: ";
    out += agent;
    out += '\n';
  }
  for (const RobotsRule& rule : group.rules) {
    if (has_line_break(rule.path)) return invalid("path", rule.path, kLineBreakReason);
    if (!rule.path.empty() && rule.path.front() != '/' && rule.path.front() != '*') {
      return invalid("path", rule.path, "a path starts with \"/\" or \"*\"");
    }
    out += rule.kind == RobotsRuleKind::Allow ? "Allow:" : "Disallow:";
    if (!rule.path.empty()) {
      out += ' ';
      append_path(out, rule.path);
    }
    out += '\n';
  }
  if (group.rules.empty()) out += "Allow: /\n";
  return {};
}

}  // namespace

bool is_production_host(std::string_view request_host, std::string_view canonical_host) noexcept {
  const std::string_view a = host_name(request_host);
  return !a.empty() && ascii_iequals(a, host_name(canonical_host));
}

Result<std::string> render_robots_txt(const RobotsTxt& robots, const UrlResolver& resolver,
                                      const RobotsTxtOptions& options) {
  for (const std::string& comment : robots.comments) {
    if (!is_safe_comment(comment)) {
      return invalid("comment", comment,
                     "line breaks, control characters and ill-formed UTF-8 are not allowed");
    }
  }
  std::string out;
  append_comments(out, robots.comments);

  bool production = true;
  if (options.production) {
    production = *options.production;
  } else if (options.request_host) {
    production = is_production_host(*options.request_host, resolver.config().canonical_host);
  }
  if (!production) {
    out += "# Not the production host: crawlers are kept out.\nUser-agent: *\nDisallow: /\n";
    return out;
  }

  for (std::size_t i = 0; i < robots.groups.size(); ++i) {
    if (i > 0) out += '\n';
    if (auto r = append_group(out, robots.groups[i]); !r) return std::move(r).error();
  }
  if (!robots.sitemaps.empty() && !robots.groups.empty()) out += '\n';
  for (const std::string& sitemap : robots.sitemaps) {
    if (has_line_break(sitemap)) return invalid("sitemap", sitemap, kLineBreakReason);
    auto url = resolver.resolve_file(sitemap);
    if (!url) return std::move(url).error();
    auto uri = encode_uri_reference(*url);
    if (!uri) return std::move(uri).error();
    out += "Sitemap: ";
    out += *uri;
    out += '\n';
  }
  return out;
}

}  // namespace zoret::site
