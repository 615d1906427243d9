// The page rules: what one page's facts show without looking at other pages.
#include <array>

#include "audit/address.hpp"
#include "audit/findings.hpp"
#include "audit/page_text.hpp"
#include "audit/rich_result_check.hpp"
#include "zoret/audit/audit.hpp"

namespace zoret {
namespace {

using detail::Address;
using detail::characters;
using detail::excerpt;
using detail::Finding;
using detail::quote_text;

// The properties that carry an image URL for link previews.
constexpr std::array<std::string_view, 5> kImageProperties = {
    "og:image", "og:image:url", "og:image:secure_url", "twitter:image", "twitter:image:src"};

bool is_image_property(std::string_view property) {
  for (std::string_view name : kImageProperties) {
    if (property == name) return true;
  }
  return false;
}

const std::string* first_property(const PageFacts& facts, std::string_view name) {
  for (const MetaProperty& p : facts.properties) {
    if (p.property == name) return &p.content;
  }
  return nullptr;
}

class PageRules {
 public:
  PageRules(const PageFacts& facts, detail::OwnAddresses own, const AuditRules& rules,
            const SEOConfig* config, std::vector<Violation>& out)
      : facts_(facts),
        rules_(rules),
        findings_(rules, out),
        site_(detail::audit_site_host(rules, config)),
        own_(std::move(own)) {
    if (own_.url) url_ = own_.url->href;
  }

  void run() {
    text(AuditRule::TitleMissing, AuditRule::TitleLength, "title", "title", facts_.title,
         rules_.title_min_length, rules_.title_max_length);
    text(AuditRule::DescriptionMissing, AuditRule::DescriptionLength, "description",
         "meta description", facts_.description, rules_.description_min_length,
         rules_.description_max_length);
    canonical();
    hreflang_self();
    jsonld();
    social_images();
  }

 private:
  void add(AuditRule rule, Finding finding) {
    findings_.add(rule, facts_.route, url_, std::move(finding));
  }

  void text(AuditRule missing, AuditRule length, std::string_view field, std::string_view what,
            const std::optional<std::string>& value, std::uint32_t min, std::uint32_t max) {
    const auto visible = detail::visible_view(value);
    if (!visible) {
      if (findings_.on(missing)) {
        add(missing,
            {std::string(field), "present and not blank",
             value ? std::optional<std::string>("blank") : "absent",
             "The page has " + std::string(value ? "a blank " : "no ") + std::string(what) + "."});
      }
      return;
    }
    if (!findings_.on(length)) return;
    const std::size_t n = count_code_points(*visible);
    const bool too_long = n > max;
    if (!too_long && n >= min) return;
    std::string bound = too_long ? "at most " + characters(max) : "at least " + characters(min);
    std::string message = "The " + std::string(what) + " has " + characters(n) + "; " +
                          (too_long ? "more than " : "fewer than ") +
                          std::to_string(too_long ? max : min) + " is " +
                          (too_long ? "cut in search results." : "too short to describe it.");
    add(length, {std::string(field) + (too_long ? ".max_length" : ".min_length"), std::move(bound),
                 characters(n), std::move(message)});
  }

  void canonical() {
    if (!facts_.canonical) return;
    const std::string& written = *facts_.canonical;
    if (findings_.on(AuditRule::CanonicalNotAbsolute) && !detail::is_absolute_http(written)) {
      add(AuditRule::CanonicalNotAbsolute,
          {"canonical", "an absolute http(s) URL", excerpt(written),
           "The canonical link " + quote_text(written) + " is not an absolute http(s) URL."});
    }
    const std::optional<Address> target =
        detail::resolve_reference(written, facts_.route, facts_.url);
    if (!target) return;
    og_url(written, *target);
    if (findings_.on(AuditRule::NoindexCanonicalElsewhere) && detail::has_noindex(facts_.robots) &&
        !detail::refers_to(*target, own_.identity(), site_)) {
      add(AuditRule::NoindexCanonicalElsewhere,
          {"canonical", url_ ? excerpt(*url_) : "the page's own URL", excerpt(written),
           "The page is noindex but names " + quote_text(written) +
               " as its canonical URL; search engines may carry the noindex over to it."});
    }
    if (findings_.on(AuditRule::CanonicalOutsideSite) && site_ && target->on_host) {
      const detail::AddressParts parts = detail::split_address(*target);
      if (!detail::is_site_host(parts.host, parts.port, site_)) {
        std::string site = site_->host + (site_->port.empty() ? "" : ":" + site_->port);
        add(AuditRule::CanonicalOutsideSite, {"canonical", "a URL on " + site, excerpt(written),
                                              "The canonical URL " + quote_text(written) +
                                                  " is not on the site's host " + site + "."});
      }
    }
  }

  void og_url(const std::string& canonical, const Address& target) {
    if (!findings_.on(AuditRule::CanonicalOgUrlMismatch)) return;
    const std::string* og = first_property(facts_, "og:url");
    if (og == nullptr || trim_white_space(*og).empty()) return;
    const std::optional<Address> og_target =
        detail::resolve_reference(*og, facts_.route, facts_.url);
    if (og_target ? same_address(*og_target, target) : *og == canonical) return;
    add(AuditRule::CanonicalOgUrlMismatch,
        {"og:url", excerpt(canonical), excerpt(*og),
         "og:url " + quote_text(*og) + " differs from the canonical URL " + quote_text(canonical) +
             "; link previews and search results then name different pages."});
  }

  // Whether two addresses on this page name the same one: a relative one names
  // its path on the page's host, which is the site's host as far as is known.
  bool same_address(const Address& a, const Address& b) const {
    if (a.href == b.href) return true;
    if (a.on_host == b.on_host) return false;
    const detail::AddressParts absolute = detail::split_address(a.on_host ? a : b);
    if (absolute.path_and_query != (a.on_host ? b : a).href) return false;
    if (own_.url && own_.url->on_host) {
      const detail::AddressParts page = detail::split_address(*own_.url);
      if (absolute.host == page.host && absolute.port == page.port) return true;
      if (!site_) return false;
    }
    return detail::is_site_host(absolute.host, absolute.port, site_);
  }

  void hreflang_self() {
    if (!findings_.on(AuditRule::HreflangNoSelf) || !facts_.hreflang || facts_.hreflang->empty())
      return;
    for (const HreflangAlternate& alternate : *facts_.hreflang) {
      const auto target = detail::resolve_reference(alternate.href, facts_.route, facts_.url);
      if (target && detail::refers_to(*target, own_.identity(), site_)) return;
    }
    add(AuditRule::HreflangNoSelf,
        {"hreflang", "an alternate for the page itself",
         std::to_string(facts_.hreflang->size()) + (facts_.hreflang->size() == 1
                                                        ? " alternate, none for the page"
                                                        : " alternates, none for the page"),
         "The page's hreflang alternates do not include the page itself; search engines "
         "ignore a set without its self-reference."});
  }

  void jsonld() {
    if (findings_.on(AuditRule::JsonLdInvalid)) {
      for (const std::string& error : facts_.jsonld_errors) {
        add(AuditRule::JsonLdInvalid, {"jsonld", "valid JSON", excerpt(error),
                                       "A JSON-LD script is not valid JSON: " + excerpt(error)});
      }
    }
    detail::check_rich_results(facts_.jsonld, findings_, facts_.route, url_);
  }

  void social_images() {
    if (!findings_.on(AuditRule::SocialImageRelative)) return;
    for (const MetaProperty& p : facts_.properties) {
      if (!is_image_property(p.property) || detail::is_absolute_http(p.content)) continue;
      add(AuditRule::SocialImageRelative,
          {p.property, "an absolute http(s) URL", excerpt(p.content),
           p.property + " " + quote_text(p.content) +
               " is not an absolute http(s) URL; link previews do not resolve relative ones."});
    }
  }

  const PageFacts& facts_;
  const AuditRules& rules_;
  detail::Findings findings_;
  std::optional<detail::SiteHost> site_;
  detail::OwnAddresses own_;
  /// The page's URL as findings name it: resolved, as in its summary.
  std::optional<std::string> url_;
};

}  // namespace

std::vector<Violation> audit_page(const PageFacts& facts, const AuditRules& rules,
                                  const SEOConfig* config) {
  std::vector<Violation> out;
  // The same test as PageSummary::has_own_head.
  detail::OwnAddresses own = detail::own_addresses(facts.route, facts.url, facts.final_url);
  if (facts.redirect_url || own.final_url ||
      (facts.status && (*facts.status < 200 || *facts.status > 299)))
    return out;
  PageRules(facts, std::move(own), rules, config, out).run();
  sort_audit_findings(out);
  return out;
}

}  // namespace zoret
