#include "zoret/check/check.hpp"

#include <string>
#include <utility>

#include "check/compiled_data.hpp"
#include "check/facts_view.hpp"
#include "check/site_url.hpp"
#include "zoret/unicode.hpp"

namespace zoret {
namespace {

using detail::CanonicalKind;
using detail::CheckField;
using detail::CompiledContractData;
using detail::Constraint;
using detail::FactsView;
using detail::is_blank;
using detail::TextField;

constexpr auto kTitleFirst = static_cast<std::uint8_t>(CheckField::TitleFirst);
constexpr auto kDescriptionFirst = static_cast<std::uint8_t>(CheckField::DescriptionFirst);

// Joins texts with one allocation.
template <class... Texts>
std::string cat(const Texts&... texts) {
  std::string out;
  out.reserve((std::string_view(texts).size() + ...));
  (out.append(std::string_view(texts)), ...);
  return out;
}

std::string in_quotes(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  out += text;
  out += '"';
  return out;
}

std::string plural(std::uint64_t n, std::string_view one, std::string_view many) {
  std::string out = std::to_string(n);
  out += ' ';
  out += n == 1 ? one : many;
  return out;
}

// Calls `visit(node)` for the JSON-LD nodes of `value` (see `check` for what a
// node is) until it returns true. Nesting is bounded like the JSON parser's, so
// that a hostile value cannot exhaust the stack.
template <class Visit>
bool for_each_node(const Json& value, Visit& visit, int depth = 0) {
  if (depth >= kMaxParseDepth) return false;
  if (value.is_array()) {
    for (const Json& item : value) {
      if (for_each_node(item, visit, depth + 1)) return true;
    }
    return false;
  }
  if (!value.is_object()) return false;
  const auto& object = *value.get_ptr<const Json::object_t*>();
  const auto graph = object.find("@graph");
  if (graph == object.end()) return visit(value);
  if (object.contains("@type") && visit(value)) return true;
  return for_each_node(graph->second, visit, depth + 1);
}

template <class Visit>
bool for_each_node(const FactsView& facts, Visit&& visit) {
  for (std::size_t i = 0; i < facts.jsonld_count; ++i) {
    if (for_each_node(facts.jsonld[i], visit)) return true;
  }
  return false;
}

bool has_type(const Json& node, std::string_view type) {
  const auto& object = *node.get_ptr<const Json::object_t*>();
  const auto it = object.find("@type");
  if (it == object.end()) return false;
  if (const auto* text = it->second.get_ptr<const Json::string_t*>()) return *text == type;
  if (!it->second.is_array()) return false;
  for (const Json& item : it->second) {
    if (const auto* text = item.get_ptr<const Json::string_t*>(); text && *text == type) {
      return true;
    }
  }
  return false;
}

// "Article, BreadcrumbList": the types of the nodes, in walk order.
std::string node_types(const FactsView& facts) {
  std::string out;
  auto add = [&out](std::string_view type) {
    if (!out.empty()) out += ", ";
    out += type;
  };
  for_each_node(facts, [&](const Json& node) {
    const auto& object = *node.get_ptr<const Json::object_t*>();
    const auto it = object.find("@type");
    if (it == object.end()) return false;
    if (const auto* text = it->second.get_ptr<const Json::string_t*>()) add(*text);
    if (it->second.is_array()) {
      for (const Json& item : it->second) {
        if (const auto* text = item.get_ptr<const Json::string_t*>()) add(*text);
      }
    }
    return false;
  });
  return out;
}

bool is_success(std::uint16_t status) { return status >= 200 && status <= 299; }
bool is_gone(std::uint16_t status) {
  return (status >= 300 && status <= 399) || status == 404 || status == 410;
}

class Evaluation {
 public:
  Evaluation(const CompiledContractData& data, const FactsView& facts, const CheckContext& context,
             CheckResult& out)
      : data_(data), facts_(facts), context_(context), out_(out) {}

  Result<void> run(const Constraint& c) {
    if (c.field >= kTitleFirst) {
      const bool is_title = c.field < kDescriptionFirst;
      text(c, static_cast<TextField>(c.field - (is_title ? kTitleFirst : kDescriptionFirst)),
           is_title ? "The title" : "The description", is_title ? facts_.title : facts_.description,
           is_title ? title_length_ : description_length_);
      return {};
    }
    switch (static_cast<CheckField>(c.field)) {
      case CheckField::Required: page_exists(c); break;
      case CheckField::Forbidden: page_gone(c); break;
      case CheckField::MinItems:
      case CheckField::MaxItems: items(c); break;
      case CheckField::Indexable: indexable(c); break;
      case CheckField::Canonical: return canonical(c);
      case CheckField::SchemaRequired: schema_required(c); break;
      case CheckField::SchemaTypes: schema_types(c); break;
      case CheckField::OpenGraphRequired: open_graph(c); break;
      case CheckField::TwitterRequired: twitter(c); break;
      case CheckField::SitemapRequired: sitemap(c); break;
      case CheckField::HreflangRequired: hreflang(c); break;
      default: break;
    }
    return {};
  }

 private:
  void fail(const Constraint& c, std::string expected, std::optional<std::string> actual,
            std::string message) {
    const detail::Layer& layer = data_.layers[c.layer];
    Violation& v = out_.violations.emplace_back();
    v.route = facts_.route;
    v.url = page_url();
    v.field = detail::check_field_name(c.field);
    v.expected = std::move(expected);
    v.actual = std::move(actual);
    v.severity = layer.severity;
    v.source = layer.name;
    v.message = std::move(message);
  }

  void skip(const Constraint& c, std::string_view reason) {
    out_.not_checked.push_back({std::string(facts_.route),
                                std::string(detail::check_field_name(c.field)),
                                data_.layers[c.layer].name, std::string(reason)});
  }

  // Counts a constraint that is evaluated; false for one that places none.
  bool checking(const Constraint& c) {
    if (!c.flag) return false;
    ++out_.constraints_checked;
    return true;
  }

  [[nodiscard]] std::string contract_site_url() const { return data_.site_origin + std::string(facts_.route); }

  // The route resolved by the site configuration, once per check (requires one).
  const Result<std::string>& site_url() {
    if (!site_url_) site_url_.emplace(detail::site_public_url(facts_.route, context_));
    return *site_url_;
  }

  // The address reported with violations: where the page was read, else its
  // public URL; absent when the configuration cannot resolve the route.
  const std::optional<std::string>& page_url() {
    if (!page_url_known_) {
      page_url_known_ = true;
      if (facts_.url != nullptr) {
        page_url_ = *facts_.url;
      } else if (context_.site_config == nullptr) {
        page_url_ = contract_site_url();
      } else if (const auto& url = site_url()) {
        page_url_ = *url;
      }
    }
    return page_url_;
  }

  void page_exists(const Constraint& c) {
    if (!c.flag) return;
    if (!facts_.status) return skip(c, "the HTTP status is not known");
    ++out_.constraints_checked;
    if (is_success(*facts_.status)) return;
    const std::string status = "HTTP status " + std::to_string(*facts_.status);
    fail(c, "a page (HTTP status 2xx)", status,
         "The route answers with " + status + " instead of serving a page.");
  }

  void page_gone(const Constraint& c) {
    if (!c.flag) return;
    if (!facts_.status) return skip(c, "the HTTP status is not known");
    ++out_.constraints_checked;
    if (is_gone(*facts_.status)) return;
    const std::string status = "HTTP status " + std::to_string(*facts_.status);
    fail(c, "no page (HTTP status 3xx, 404 or 410)", status,
         "The route answers with " + status + ", but the contract forbids a page here.");
  }

  void items(const Constraint& c) {
    ++out_.constraints_checked;
    std::uint64_t count = 0;
    for_each_node(facts_, [&count](const Json&) {
      ++count;
      return false;
    });
    const bool at_least = static_cast<CheckField>(c.field) == CheckField::MinItems;
    if (at_least ? count >= c.number : count <= c.number) return;
    std::string message =
        "The page has " + plural(count, "JSON-LD node", "JSON-LD nodes") +
        (at_least ? ", fewer than the minimum of " : ", more than the maximum of ") +
        std::to_string(c.number) + '.';
    fail(c, (at_least ? "at least " : "at most ") + plural(c.number, "node", "nodes"),
         plural(count, "node", "nodes"), std::move(message));
  }

  void indexable(const Constraint& c) {
    ++out_.constraints_checked;
    if (c.flag && facts_.noindex) {
      fail(c, "indexable (no noindex or none directive)", detail::robots_display(facts_),
           "The page is not indexable: its robots directives include " +
               in_quotes(*facts_.noindex) + '.');
    } else if (!c.flag && !facts_.noindex) {
      std::string robots = detail::robots_display(facts_);
      fail(c, "noindex", robots.empty() ? std::optional<std::string>() : std::move(robots),
           "The page is indexable, but the contract requires noindex.");
    }
  }

  Result<void> canonical(const Constraint& c) {
    ++out_.constraints_checked;
    const std::optional<std::string_view>& actual = facts_.canonical;
    auto actual_text = [&actual]() {
      return actual ? std::optional<std::string>(*actual) : std::optional<std::string>();
    };
    switch (c.canonical) {
      case CanonicalKind::Absent:
        if (actual) {
          fail(c, "absent", actual_text(),
               "The page has a canonical URL, " + in_quotes(*actual) +
                   ", but the contract requires none.");
        }
        return {};
      case CanonicalKind::Url:
        if (actual != std::string_view(c.canonical_url)) {
          fail(c, c.canonical_url, actual_text(),
               actual
                   ? "The canonical URL is " + in_quotes(*actual) + ", not " +
                         in_quotes(c.canonical_url) + '.'
                   : "The page has no canonical URL; expected " + in_quotes(c.canonical_url) + '.');
        }
        return {};
      case CanonicalKind::Self: break;
    }
    std::string expected;
    if (context_.site_config != nullptr) {
      const auto& url = site_url();
      if (!url) return url.error();
      if (actual == std::string_view(*url)) return {};
      expected = *url;
    } else {
      const std::string_view origin = data_.site_origin;
      if (actual && actual->size() == origin.size() + facts_.route.size() &&
          actual->starts_with(origin) && actual->ends_with(facts_.route)) {
        return {};
      }
      expected = contract_site_url();
    }
    std::string message =
        actual ? "The canonical URL is " + in_quotes(*actual) + ", not the page's own URL " +
                     in_quotes(expected) + '.'
               : "The page has no canonical URL; expected its own URL " + in_quotes(expected) + '.';
    fail(c, std::move(expected), actual_text(), std::move(message));
    return {};
  }

  void schema_required(const Constraint& c) {
    if (!checking(c) || facts_.jsonld_count > 0) return;
    if (facts_.jsonld_errors == 0) {
      return fail(c, "JSON-LD", "absent", "The page has no JSON-LD.");
    }
    const std::string scripts =
        plural(facts_.jsonld_errors, "script that is", "scripts that are") + " not valid JSON";
    fail(c, "JSON-LD", scripts, "The page has no readable JSON-LD, only " + scripts + '.');
  }

  void schema_types(const Constraint& c) {
    ++out_.constraints_checked;
    if (facts_.jsonld_count == 0) return;
    std::optional<std::string> present;
    for (const std::string& type : c.list) {
      const bool found =
          for_each_node(facts_, [&type](const Json& node) { return has_type(node, type); });
      if (found) continue;
      if (!present) present = node_types(facts_);
      fail(c, type, present->empty() ? "no @type" : *present,
           "The JSON-LD has no node of type " + in_quotes(type) + '.');
    }
  }

  void open_graph(const Constraint& c) {
    if (!checking(c) || facts_.open_graph == detail::OgRequired) return;
    std::string missing;
    const std::pair<unsigned, std::string_view> names[] = {{detail::OgTitle, "og:title"},
                                                           {detail::OgType, "og:type"},
                                                           {detail::OgUrl, "og:url"},
                                                           {detail::OgImage, "og:image"}};
    for (const auto& [bit, name] : names) {
      if ((facts_.open_graph & bit) != 0) continue;
      if (!missing.empty()) missing += ", ";
      missing += name;
    }
    fail(c, "og:title, og:type, og:url, og:image", "missing " + missing,
         "The page lacks the Open Graph properties " + missing + '.');
  }

  void twitter(const Constraint& c) {
    if (!checking(c) || facts_.twitter_card) return;
    fail(c, "twitter:card", "absent", "The page has no twitter:card property.");
  }

  void sitemap(const Constraint& c) {
    if (!c.flag) return;
    if (!facts_.in_sitemap) return skip(c, "sitemap membership is not known");
    ++out_.constraints_checked;
    if (!*facts_.in_sitemap)
      fail(c, "in the sitemap", "not in the sitemap", "The page is not in the sitemap.");
  }

  void hreflang(const Constraint& c) {
    if (!c.flag) return;
    if (facts_.hreflang == nullptr) return skip(c, "the hreflang alternates are not known");
    ++out_.constraints_checked;
    if (facts_.hreflang->empty()) {
      fail(c, "at least one hreflang alternate", "none",
           "The page declares no hreflang alternates.");
    }
  }

  void text(const Constraint& c, TextField field, std::string_view subject,
            const std::optional<std::string_view>& value, std::optional<std::uint64_t>& length) {
    switch (field) {
      case TextField::Required:
        if (!checking(c)) return;
        if (!value) return fail(c, "present and not blank", "absent", cat(subject, " is missing."));
        if (is_blank(*value)) {
          fail(c, "present and not blank", std::string(*value), cat(subject, " is blank."));
        }
        return;
      case TextField::Forbidden:
        if (!checking(c) || !value || is_blank(*value)) return;
        fail(c, "absent or blank", std::string(*value),
             cat(subject, " is set, but the contract forbids it."));
        return;
      default: break;
    }
    ++out_.constraints_checked;
    if (!value) return;
    const std::string_view text = *value;
    switch (field) {
      case TextField::Equals:
        if (text != c.text) {
          fail(c, c.text, std::string(text),
               cat(subject, " is ", in_quotes(text), ", not ", in_quotes(c.text), "."));
        }
        return;
      case TextField::NotEquals:
        if (text == c.text) {
          fail(c, "not " + in_quotes(c.text), std::string(text),
               cat(subject, " is ", in_quotes(text), ", which the contract rules out."));
        }
        return;
      case TextField::Contains:
        if (text.find(c.text) == std::string_view::npos) {
          fail(c, c.text, std::string(text),
               cat(subject, " does not contain ", in_quotes(c.text), "."));
        }
        return;
      case TextField::Matches:
        if (!detail::regex_search(*c.regex, text)) {
          fail(c, c.text, std::string(text),
               cat(subject, " does not match the regular expression ", in_quotes(c.text), "."));
        }
        return;
      case TextField::OneOf: {
        for (const std::string& allowed : c.list) {
          if (text == allowed) return;
        }
        std::string expected = "one of";
        for (std::size_t i = 0; i < c.list.size(); ++i) {
          expected += i == 0 ? " " : ", ";
          expected += in_quotes(c.list[i]);
        }
        fail(c, std::move(expected), std::string(text),
             cat(subject, " is ", in_quotes(text), ", none of the allowed values."));
        return;
      }
      case TextField::MinLength:
      case TextField::MaxLength: {
        const bool at_least = field == TextField::MinLength;
        // A code point takes one to four bytes, which often settles the bound
        // without counting.
        if (at_least ? (text.size() + 3) / 4 >= c.number : text.size() <= c.number) return;
        if (!length) length = count_code_points(text);
        if (at_least ? *length >= c.number : *length <= c.number) return;
        fail(c, (at_least ? "at least " : "at most ") + plural(c.number, "character", "characters"),
             plural(*length, "character", "characters"),
             cat(subject, " has ", plural(*length, "character", "characters"),
                 at_least ? ", fewer than the minimum of " : ", more than the maximum of ",
                 std::to_string(c.number), "."));
        return;
      }
      default: return;
    }
  }

  const CompiledContractData& data_;
  const FactsView& facts_;
  const CheckContext& context_;
  CheckResult& out_;
  bool page_url_known_ = false;
  std::optional<std::string> page_url_;
  std::optional<Result<std::string>> site_url_;
  std::optional<std::uint64_t> title_length_;
  std::optional<std::uint64_t> description_length_;
};

Result<CheckResult> evaluate(const CompiledContract& contract, const FactsView& facts,
                             const CheckContext& context) {
  if (!facts.route.starts_with('/')) {
    return ZoretError(ErrorKind::InvalidUrl,
                      "route must be a path starting with \"/\": " + std::string(facts.route));
  }
  const CompiledContractData& data = compiled_data(contract);
  detail::Slots slots{};
  detail::layer_constraints(data, facts.route, slots, [](const detail::Layer&) {});
  CheckResult result;
  Evaluation evaluation(data, facts, context, result);
  for (const Constraint* c : slots) {
    if (c == nullptr) continue;
    if (auto done = evaluation.run(*c); !done) return std::move(done).error();
  }
  return result;
}

}  // namespace

Result<CheckResult> check(const CompiledContract& contract, const PageFacts& facts,
                          const CheckContext& context) {
  FactsView view = detail::view_of(facts);
  view.route = route_path(view.route);
  return evaluate(contract, view, context);
}

Result<CheckResult> check_payload(const CompiledContract& contract, const SEOPayload& payload,
                                  std::string_view route, const CheckContext& context) {
  return evaluate(contract, detail::view_of(payload, route), context);
}

}  // namespace zoret
