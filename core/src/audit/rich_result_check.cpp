#include "audit/rich_result_check.hpp"

#include <array>

#include "audit/page_text.hpp"
#include "zoret/audit/rich_results.hpp"

namespace zoret::detail {
namespace {

using Object = Json::object_t;

const Json* member(const Json& node, std::string_view name) {
  const auto* object = node.get_ptr<const Object*>();
  if (object == nullptr) return nullptr;
  const auto it = object->find(name);
  return it == object->end() ? nullptr : &it->second;
}

bool has_content(const Json& value) {
  if (value.is_null()) return false;
  if (const auto* text = value.get_ptr<const Json::string_t*>()) {
    return !trim_white_space(*text).empty();
  }
  if (value.is_array() || value.is_object()) return !value.empty();
  return true;
}

// Whether the dotted `path` ("item.name") leads to a value with content; a list
// on the way is searched element by element.
bool present(const Json& node, std::string_view path, int depth = 0) {
  if (depth >= kMaxParseDepth) return false;
  const std::size_t dot = path.find('.');
  const Json* value = member(node, path.substr(0, dot));
  if (value == nullptr) return false;
  if (dot == std::string_view::npos) return has_content(*value);
  const std::string_view rest = path.substr(dot + 1);
  if (value->is_array()) {
    for (const Json& item : *value) {
      if (present(item, rest, depth + 1)) return true;
    }
    return false;
  }
  return present(*value, rest, depth + 1);
}

bool satisfied(const Json& node, std::string_view requirement) {
  for (std::size_t start = 0; start <= requirement.size();) {
    std::size_t bar = requirement.find('|', start);
    if (bar == std::string_view::npos) bar = requirement.size();
    if (present(node, requirement.substr(start, bar - start))) return true;
    start = bar + 1;
  }
  return false;
}

// "name", or "one of offers, review, aggregateRating".
std::string requirement_text(std::string_view requirement) {
  if (requirement.find('|') == std::string_view::npos) return std::string(requirement);
  std::string out = "one of ";
  for (char c : requirement) {
    if (c == '|') {
      out += ", ";
    } else {
      out += c;
    }
  }
  return out;
}

// "\"name\"", or "\"offers\", \"review\", \"aggregateRating\"".
std::string quoted_names(std::string_view requirement) {
  std::string out = "\"";
  for (char c : requirement) {
    if (c == '|') {
      out += "\", \"";
    } else {
      out += c;
    }
  }
  out += '"';
  return out;
}

// The types of a node: "@type" as a string or the strings of a list.
template <class Visit>
void for_each_type(const Json& node, Visit&& visit) {
  const Json* type = member(node, "@type");
  if (type == nullptr) return;
  if (const auto* text = type->get_ptr<const Json::string_t*>()) {
    visit(std::string_view(*text));
  } else if (type->is_array()) {
    for (const Json& item : *type) {
      if (const auto* name = item.get_ptr<const Json::string_t*>()) visit(std::string_view(*name));
    }
  }
}

bool same_lists(const RichResultProfile& a, const RichResultProfile& b) {
  return a.required.data() == b.required.data() && a.recommended.data() == b.recommended.data() &&
         a.nested.data() == b.nested.data();
}

class ProfileCheck {
 public:
  ProfileCheck(Findings& findings, std::string_view route, const std::optional<std::string>& url)
      : findings_(findings), route_(route), url_(url) {}

  void walk_roots(const Json& value, int depth) {
    if (depth >= kMaxParseDepth) return;
    if (value.is_array()) {
      for (std::size_t i = 0; i < value.size(); ++i) {
        const std::size_t mark = enter_index(i);
        walk_roots(value[i], depth + 1);
        path_.resize(mark);
      }
      return;
    }
    if (!value.is_object()) return;
    const Json* graph = member(value, "@graph");
    if (graph == nullptr || member(value, "@type") != nullptr) check_root(value, depth);
    if (graph != nullptr) {
      const std::size_t mark = enter_member("@graph");
      walk_roots(*graph, depth + 1);
      path_.resize(mark);
    }
  }

  std::string& path() { return path_; }

 private:
  std::size_t enter_index(std::size_t i) {
    const std::size_t mark = path_.size();
    path_ += '[';
    path_ += std::to_string(i);
    path_ += ']';
    return mark;
  }
  std::size_t enter_member(std::string_view name) {
    const std::size_t mark = path_.size();
    path_ += '.';
    path_ += name;
    return mark;
  }

  void check_root(const Json& node, int depth) {
    // A node typed ["NewsArticle", "Article"] is checked once per distinct set
    // of lists (the article types share theirs); a handful of types at most, so
    // a small fixed list will do.
    std::array<const RichResultProfile*, 8> seen{};
    std::size_t count = 0;
    for_each_type(node, [&](std::string_view type) {
      const RichResultProfile* profile = find_rich_result_profile(type);
      if (profile == nullptr || !profile->root || count == seen.size()) return;
      for (std::size_t i = 0; i < count; ++i) {
        if (same_lists(*seen[i], *profile)) return;
      }
      seen[count++] = profile;
      check_node(node, *profile, depth);
    });
  }

  void check_node(const Json& node, const RichResultProfile& profile, int depth) {
    for (std::string_view requirement : profile.required) {
      if (!satisfied(node, requirement))
        missing(AuditRule::JsonLdMissingRequired, profile, requirement);
    }
    for (std::string_view requirement : profile.recommended) {
      if (!satisfied(node, requirement)) {
        missing(AuditRule::JsonLdMissingRecommended, profile, requirement);
      }
    }
    for (const NestedProfile& nested : profile.nested) {
      const Json* value = member(node, nested.property);
      if (value == nullptr || depth + 1 >= kMaxParseDepth) continue;
      const std::size_t mark = enter_member(nested.property);
      if (value->is_array()) {
        for (std::size_t i = 0; i < value->size(); ++i) {
          const std::size_t item_mark = enter_index(i);
          check_nested((*value)[i], nested, depth + 1);
          path_.resize(item_mark);
        }
      } else {
        check_nested(*value, nested, depth + 1);
      }
      path_.resize(mark);
    }
  }

  void check_nested(const Json& child, const NestedProfile& nested, int depth) {
    if (!child.is_object()) return;
    const RichResultProfile* profile = nullptr;
    if (member(child, "@type") == nullptr) {
      profile = find_rich_result_profile(nested.types.front());
    } else {
      for_each_type(child, [&](std::string_view type) {
        if (profile != nullptr) return;
        const RichResultProfile* found = find_rich_result_profile(type);
        for (std::string_view allowed : nested.types) {
          if (found != nullptr && found->type == allowed) profile = found;
        }
      });
    }
    if (profile != nullptr) check_node(child, *profile, depth);
  }

  void missing(AuditRule rule, const RichResultProfile& profile, std::string_view requirement) {
    if (!findings_.on(rule)) return;
    const bool required = rule == AuditRule::JsonLdMissingRequired;
    const bool several = requirement.find('|') != std::string_view::npos;
    std::string message(profile.type);
    message += " at ";
    message += path_;
    message += several ? " has none of " : " has no ";
    message += quoted_names(requirement);
    message +=
        required ? ", which its rich result requires." : ", which its rich result recommends.";
    findings_.add(rule, route_, url_,
                  {path_ + "." + std::string(requirement), requirement_text(requirement), "absent",
                   std::move(message)});
  }

  Findings& findings_;
  std::string_view route_;
  const std::optional<std::string>& url_;
  std::string path_;
};

}  // namespace

void check_rich_results(const std::vector<Json>& scripts, Findings& findings,
                        std::string_view route, const std::optional<std::string>& url) {
  if (!findings.on(AuditRule::JsonLdMissingRequired) &&
      !findings.on(AuditRule::JsonLdMissingRecommended))
    return;
  ProfileCheck check(findings, route, url);
  for (std::size_t i = 0; i < scripts.size(); ++i) {
    check.path() = "jsonld[" + std::to_string(i) + "]";
    check.walk_roots(scripts[i], 0);
  }
}

}  // namespace zoret::detail
