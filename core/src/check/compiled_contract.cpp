#include "zoret/check/compiled_contract.hpp"

#include <string>
#include <utility>

#include "check/compiled_data.hpp"

namespace zoret {
namespace detail {
namespace {

constexpr std::string_view kFieldNames[kCheckFieldCount] = {
    "required",
    "forbidden",
    "min_items",
    "max_items",
    "indexable",
    "canonical",
    "schema.required",
    "schema.types",
    "open_graph.required",
    "twitter.required",
    "sitemap.required",
    "hreflang.required",
    "title.required",
    "title.forbidden",
    "title.equals",
    "title.not_equals",
    "title.contains",
    "title.matches",
    "title.one_of",
    "title.min_length",
    "title.max_length",
    "description.required",
    "description.forbidden",
    "description.equals",
    "description.not_equals",
    "description.contains",
    "description.matches",
    "description.one_of",
    "description.min_length",
    "description.max_length",
};

std::uint8_t index_of(CheckField field) { return static_cast<std::uint8_t>(field); }

ZoretError layer_error(const Layer& layer, std::uint8_t field, std::string_view problem) {
  std::string message = layer.name;
  message += ": ";
  message += check_field_name(field);
  message += ": ";
  message += problem;
  return ZoretError(ErrorKind::Contract, std::move(message));
}

class LayerCompiler {
 public:
  LayerCompiler(Layer& layer, std::uint32_t index, const std::string& site_origin)
      : layer_(layer), index_(index), site_origin_(site_origin) {}

  Result<void> compile(const SEOExpectation& e) {
    flag(CheckField::Required, e.required);
    flag(CheckField::Forbidden, e.forbidden);
    number(CheckField::MinItems, e.min_items);
    number(CheckField::MaxItems, e.max_items);
    flag(CheckField::Indexable, e.indexable);
    if (e.canonical) {
      if (auto done = canonical(*e.canonical); !done) return done;
    }
    if (e.schema) {
      flag(CheckField::SchemaRequired, e.schema->required);
      if (e.schema->types) add(CheckField::SchemaTypes).list = *e.schema->types;
    }
    if (e.open_graph) flag(CheckField::OpenGraphRequired, e.open_graph->required);
    if (e.twitter) flag(CheckField::TwitterRequired, e.twitter->required);
    if (e.sitemap) flag(CheckField::SitemapRequired, e.sitemap->required);
    if (e.hreflang) flag(CheckField::HreflangRequired, e.hreflang->required);
    if (e.title) {
      if (auto done = text(index_of(CheckField::TitleFirst), *e.title); !done) return done;
    }
    if (e.description) {
      if (auto done = text(index_of(CheckField::DescriptionFirst), *e.description); !done) {
        return done;
      }
    }
    return {};
  }

 private:
  Constraint& add(std::uint8_t field) {
    Constraint& c = layer_.constraints.emplace_back();
    c.field = field;
    c.layer = index_;
    return c;
  }
  Constraint& add(CheckField field) { return add(index_of(field)); }

  void flag(std::uint8_t field, const std::optional<bool>& value) {
    if (value) add(field).flag = *value;
  }
  void flag(CheckField field, const std::optional<bool>& value) { flag(index_of(field), value); }

  void number(std::uint8_t field, const std::optional<std::uint64_t>& value) {
    if (value) add(field).number = *value;
  }
  void number(CheckField field, const std::optional<std::uint64_t>& value) {
    number(index_of(field), value);
  }

  void text_value(std::uint8_t field, const std::optional<std::string>& value) {
    if (value) add(field).text = *value;
  }

  Result<void> canonical(const std::string& value) {
    Constraint& c = add(CheckField::Canonical);
    c.text = value;
    const auto kind = canonical_kind(value);
    if (!kind) return layer_error(layer_, c.field, canonical_problem(value));
    c.canonical = *kind;
    if (*kind == CanonicalKind::Url) {
      c.canonical_url = value.starts_with('/') ? site_origin_ + value : value;
    }
    return {};
  }

  Result<void> text(std::uint8_t first, const SEOExpectation& e) {
    auto at = [first](TextField f) {
      return static_cast<std::uint8_t>(first + static_cast<std::uint8_t>(f));
    };
    flag(at(TextField::Required), e.required);
    flag(at(TextField::Forbidden), e.forbidden);
    text_value(at(TextField::Equals), e.equals);
    text_value(at(TextField::NotEquals), e.not_equals);
    text_value(at(TextField::Contains), e.contains);
    if (e.matches) {
      Constraint& c = add(at(TextField::Matches));
      c.text = *e.matches;
      auto regex = compile_regex(c.text);
      if (!regex) return layer_error(layer_, c.field, regex.error().message());
      c.regex = *std::move(regex);
    }
    if (e.one_of) add(at(TextField::OneOf)).list = *e.one_of;
    number(at(TextField::MinLength), e.min_length);
    number(at(TextField::MaxLength), e.max_length);
    return {};
  }

  Layer& layer_;
  std::uint32_t index_;
  const std::string& site_origin_;
};

Json array_of(const std::vector<std::string>& items) {
  Json out = Json::array();
  for (const std::string& item : items) out.push_back(item);
  return out;
}

Json constraint_value(const Constraint& c) {
  switch (static_cast<CheckField>(c.field)) {
    case CheckField::MinItems:
    case CheckField::MaxItems: return json_uint(c.number);
    case CheckField::Canonical: return Json(c.text);
    case CheckField::SchemaTypes: return array_of(c.list);
    default: break;
  }
  if (c.field < index_of(CheckField::TitleFirst)) return Json(c.flag);
  const auto text_field = static_cast<TextField>(
      (c.field - index_of(CheckField::TitleFirst)) %
      (index_of(CheckField::DescriptionFirst) - index_of(CheckField::TitleFirst)));
  switch (text_field) {
    case TextField::Required:
    case TextField::Forbidden: return Json(c.flag);
    case TextField::OneOf: return array_of(c.list);
    case TextField::MinLength:
    case TextField::MaxLength: return json_uint(c.number);
    default: return Json(c.text);
  }
}

}  // namespace

std::optional<std::string_view> literal_first_segment(std::string_view pattern) noexcept {
  if (!pattern.starts_with('/')) return std::nullopt;
  const std::string_view segment = first_segment(pattern);
  if (segment.find('*') != std::string_view::npos) return std::nullopt;
  return segment;
}

std::optional<CanonicalKind> canonical_kind(std::string_view value) noexcept {
  if (value == "self") return CanonicalKind::Self;
  if (value == "absent") return CanonicalKind::Absent;
  if (value.starts_with("http://") || value.starts_with("https://")) return CanonicalKind::Url;
  if (value.starts_with('/') && !value.starts_with("//")) return CanonicalKind::Url;
  return std::nullopt;
}

std::string canonical_problem(std::string_view value) {
  std::string problem = "\"";
  problem += value;
  problem +=
      "\" is not \"self\", \"absent\", an absolute http(s) URL or a path starting with \"/\"";
  return problem;
}

std::string_view check_field_name(std::size_t field) noexcept {
  return field < kCheckFieldCount ? kFieldNames[field] : std::string_view();
}

}  // namespace detail

using detail::CompiledContractData;
using detail::Layer;

const SEOContract& CompiledContract::contract() const noexcept { return data_->contract; }

const CompiledContractData& compiled_data(const CompiledContract& contract) {
  return *contract.data_;
}

Result<CompiledContract> compile_contract(const SEOContract& contract) {
  auto data = std::make_shared<CompiledContractData>();
  data->contract = contract;
  data->site_origin = contract.site.scheme + "://" + contract.site.canonical_host;
  data->layers.reserve(1 + contract.rules.size() + contract.exceptions.size());

  auto add_layer = [&](std::string name, ContractSeverity severity,
                       const SEOExpectation& expectation) -> Result<std::uint32_t> {
    const auto index = static_cast<std::uint32_t>(data->layers.size());
    Layer& layer = data->layers.emplace_back();
    layer.name = std::move(name);
    layer.severity = severity;
    auto done = detail::LayerCompiler(layer, index, data->site_origin).compile(expectation);
    if (!done) return std::move(done).error();
    return index;
  };

  if (auto added = add_layer("defaults", ContractSeverity::Error, contract.defaults); !added) {
    return std::move(added).error();
  }
  data->rules.reserve(contract.rules.size());
  for (std::size_t i = 0; i < contract.rules.size(); ++i) {
    const SEOContractRule& rule = contract.rules[i];
    std::string name = "rules[" + std::to_string(i) + "] " + rule.match;
    auto added =
        add_layer(std::move(name), rule.severity.value_or(ContractSeverity::Error), rule.expect);
    if (!added) return std::move(added).error();
    data->rules.push_back({RoutePattern(rule.match), *added});
    const auto index = static_cast<std::uint32_t>(i);
    if (const auto segment = detail::literal_first_segment(rule.match)) {
      data->rules_by_first_segment[std::string(*segment)].push_back(index);
    } else {
      data->rules_anywhere.push_back(index);
    }
  }
  data->exceptions.reserve(contract.exceptions.size());
  for (const auto& [path, expectation] : contract.exceptions) {
    auto added = add_layer("exceptions[" + path + "]", ContractSeverity::Error, expectation);
    if (!added) return std::move(added).error();
    data->exceptions.emplace(path, *added);
    data->exception_lengths |= 1ULL << (path.size() % 64);
  }
  return CompiledContract(std::move(data));
}

bool operator==(const ExplainedConstraint& a, const ExplainedConstraint& b) {
  return a.field == b.field && json_equal(a.value, b.value) && a.source == b.source &&
         a.severity == b.severity;
}

Explanation explain(const CompiledContract& contract, std::string_view route) {
  const CompiledContractData& data = compiled_data(contract);
  Explanation out;
  out.route = route_path(route);
  detail::Slots slots{};
  detail::layer_constraints(data, out.route, slots, [&out](const Layer& layer) {
    out.layers.push_back({layer.name, layer.severity});
  });
  for (const detail::Constraint* c : slots) {
    if (c == nullptr) continue;
    const Layer& layer = data.layers[c->layer];
    out.constraints.push_back({std::string(detail::check_field_name(c->field)),
                               detail::constraint_value(*c), layer.name, layer.severity});
  }
  return out;
}

}  // namespace zoret
