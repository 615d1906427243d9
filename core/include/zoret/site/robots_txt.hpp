#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zoret/result.hpp"
#include "zoret/site/url_resolver.hpp"

namespace zoret::site {

enum class RobotsRuleKind {
  Allow,
  Disallow,
};

/// One "Allow:" or "Disallow:" line. The path is empty (matches nothing) or
/// starts with "/" or "*"; "*" and a final "$" keep their pattern meaning.
struct RobotsRule {
  RobotsRuleKind kind = RobotsRuleKind::Disallow;
  std::string path;
};

/// Crawlers named by their product tokens ("Googlebot", "*") and the rules that
/// apply to them. A group without rules is written with "Allow: /" so that it
/// stays a group of its own instead of merging into the next one.
struct RobotsGroup {
  std::vector<std::string> user_agents;
  std::vector<RobotsRule> rules;
};

/// The content of robots.txt. Crawl-delay is not offered: Google ignores it.
struct RobotsTxt {
  /// Lines written first, each as "# <text>".
  std::vector<std::string> comments;
  std::vector<RobotsGroup> groups;
  /// Routes or URLs of sitemaps, written as absolute file URLs of the site.
  std::vector<std::string> sitemaps;
};

/// Decides whether the output is for the production host. `production` wins
/// when given; otherwise a `request_host` (the Host of the request being
/// answered) is compared with the configured canonical host; with neither, the
/// output is for production.
struct RobotsTxtOptions {
  std::optional<bool> production;
  std::optional<std::string> request_host;
};

/// True when `request_host` names the canonical host: ASCII case, a port and a
/// final "." of the domain are ignored on both sides ("WWW.Example.com.:443"
/// names "www.example.com").
[[nodiscard]] bool is_production_host(std::string_view request_host,
                                      std::string_view canonical_host) noexcept;

/// robots.txt text (RFC 9309): the comments, then each group as its
/// "User-agent:" lines followed by its rules, a blank line between groups, then
/// the "Sitemap:" lines; "\n" line ends, a final newline. Path values are
/// percent-encoded where the format needs it (non-ASCII bytes, space and other
/// controls, "#", which would start a comment, and a "%" that starts no escape);
/// sitemap URLs are resolved as file URLs and written as URIs
/// (`encode_uri_reference`).
/// On a host that is not the production host, the record is ignored apart from
/// its comments: every crawler is disallowed everything and no sitemap is named.
/// Errors: InvalidConfiguration for a value holding CR, LF or NUL (line
/// injection), a comment holding any line separator or control but tab, a user-agent that is not
/// "*" or a product token (letters, "-",
/// "_"), a group without user-agents, a path that starts with neither "/" nor
/// "*"; those of the resolver and `encode_uri_reference` for sitemap URLs.
[[nodiscard]] Result<std::string> render_robots_txt(const RobotsTxt& robots,
                                                    const UrlResolver& resolver,
                                                    const RobotsTxtOptions& options = {});

}  // namespace zoret::site
