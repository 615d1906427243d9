#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "zoret/config.hpp"
#include "zoret/result.hpp"
#include "zoret/url/public_url.hpp"

namespace zoret::site {

/// The one place where site outputs (sitemaps, robots.txt, hreflang links) turn
/// routes into public URLs, so that they agree with the canonical URL of the head.
/// Built once per configuration: it holds the one public-URL resolver of the head,
/// so the base URL is parsed here, not per URL.
class UrlResolver {
 public:
  explicit UrlResolver(SEOConfig config);

  /// The canonical public URL of a route or absolute URL, exactly as the head's
  /// canonical link would hold it (an absolute URL on another host is moved to
  /// the canonical host by the policy).
  /// Errors: InvalidUrl for input that is not UTF-8; those of
  /// `PublicUrlResolver::resolve` otherwise.
  [[nodiscard]] Result<std::string> resolve(std::string_view route_or_url) const;

  /// The public URL of a file served from the site, such as "/sitemap.xml": as
  /// `resolve`, except that the policy's trailing-slash rule never turns a file
  /// name into a directory ("/sitemap.xml/").
  /// Errors: those of `resolve`.
  [[nodiscard]] Result<std::string> resolve_file(std::string_view path) const;

  [[nodiscard]] const SEOConfig& config() const noexcept { return *config_; }

 private:
  // On the heap: the public-URL resolver borrows it, and the writer moves this object.
  std::unique_ptr<const SEOConfig> config_;
  PublicUrlResolver resolver_;
};

}  // namespace zoret::site
