#include "zoret/contract/model.hpp"

#include <tuple>
#include <utility>

namespace zoret {
namespace {

// Every field of an expectation except the two nested ones, so that a nested
// chain can be copied and compared one node at a time.
template <class Expectation>
auto own_fields(Expectation& e) {
  return std::tie(e.required, e.forbidden, e.equals, e.not_equals, e.contains, e.matches,
                  e.one_of, e.min_length, e.max_length, e.min_items, e.max_items,
                  e.indexable, e.canonical, e.schema, e.open_graph, e.twitter, e.sitemap,
                  e.hreflang);
}

}  // namespace

NestedExpectation::NestedExpectation(const SEOExpectation& value)
    : value_(std::make_unique<SEOExpectation>(value)) {}

NestedExpectation::NestedExpectation(SEOExpectation&& value)
    : value_(std::make_unique<SEOExpectation>(std::move(value))) {}

NestedExpectation::NestedExpectation(const NestedExpectation& other) {
  struct Step {
    const SEOExpectation* from;
    std::unique_ptr<SEOExpectation>* to;
  };
  std::vector<Step> pending;
  if (other.value_) pending.push_back({other.value_.get(), &value_});
  while (!pending.empty()) {
    const Step step = pending.back();
    pending.pop_back();
    // Attached before its children are copied, so that on bad_alloc the partial
    // copy is owned by `value_` and freed.
    SEOExpectation& node = *(*step.to = std::make_unique<SEOExpectation>());
    own_fields(node) = own_fields(*step.from);
    if (step.from->title.value_) {
      pending.push_back({step.from->title.value_.get(), &node.title.value_});
    }
    if (step.from->description.value_) {
      pending.push_back({step.from->description.value_.get(), &node.description.value_});
    }
  }
}

NestedExpectation& NestedExpectation::operator=(const NestedExpectation& other) {
  // Copy first: `other` may live inside the tree that this assignment replaces.
  NestedExpectation copy(other);
  value_.swap(copy.value_);
  return *this;
}

NestedExpectation& NestedExpectation::operator=(NestedExpectation&& other) noexcept {
  if (this != &other) {
    // `other` may live inside the old tree, so the old tree goes only after the
    // new value has been taken out of it.
    std::unique_ptr<SEOExpectation> old = std::move(value_);
    value_ = std::move(other.value_);
    destroy(std::move(old));
  }
  return *this;
}

NestedExpectation::~NestedExpectation() { destroy(std::move(value_)); }

void NestedExpectation::reset() noexcept { destroy(std::move(value_)); }

void NestedExpectation::destroy(std::unique_ptr<SEOExpectation> node) noexcept {
  // Right rotations lift every `title` child to the top, turning the tree into a
  // chain through `description` that is freed node by node. A node is freed only
  // once both its children are detached, so no destructor recurses, and nothing
  // is allocated (a destructor must not fail).
  while (node) {
    if (node->title.value_) {
      std::unique_ptr<SEOExpectation> child = std::move(node->title.value_);
      node->title.value_ = std::move(child->description.value_);
      child->description.value_ = std::move(node);
      node = std::move(child);
    } else {
      std::unique_ptr<SEOExpectation> next = std::move(node->description.value_);
      node = std::move(next);
    }
  }
}

bool operator==(const NestedExpectation& a, const NestedExpectation& b) {
  std::vector<std::pair<const SEOExpectation*, const SEOExpectation*>> pending;
  auto enqueue = [&pending](const NestedExpectation& x, const NestedExpectation& y) {
    if (x.has_value() != y.has_value()) return false;
    if (x.value_) pending.emplace_back(x.value_.get(), y.value_.get());
    return true;
  };
  if (!enqueue(a, b)) return false;
  while (!pending.empty()) {
    const auto [x, y] = pending.back();
    pending.pop_back();
    if (own_fields(*x) != own_fields(*y)) return false;
    if (!enqueue(x->title, y->title) || !enqueue(x->description, y->description)) {
      return false;
    }
  }
  return true;
}

ContractSeverity contract_severity_from_text(std::string_view text) noexcept {
  if (text == "info") return ContractSeverity::Info;
  if (text == "warning") return ContractSeverity::Warning;
  return ContractSeverity::Error;
}

std::string_view contract_severity_name(ContractSeverity severity) noexcept {
  switch (severity) {
    case ContractSeverity::Error: return "Error";
    case ContractSeverity::Warning: return "Warning";
    case ContractSeverity::Info: return "Info";
  }
  return "Error";
}

namespace {

// Opens the object and writes every member except `title` and `description`.
void open_expectation(JsonWriter& w, const SEOExpectation& e) {
  w.begin_object();
  w.field("required", e.required);
  w.field("forbidden", e.forbidden);
  w.field("equals", e.equals);
  w.field("not_equals", e.not_equals);
  w.field("contains", e.contains);
  w.field("matches", e.matches);
  w.field("one_of", e.one_of);
  w.field("min_length", e.min_length);
  w.field("max_length", e.max_length);
  w.field("min_items", e.min_items);
  w.field("max_items", e.max_items);
  w.field("indexable", e.indexable);
  w.field("canonical", e.canonical);
  w.field("schema", e.schema);
  w.field("open_graph", e.open_graph);
  w.field("twitter", e.twitter);
  w.field("sitemap", e.sitemap);
  w.field("hreflang", e.hreflang);
}

}  // namespace

void write_json(JsonWriter& writer, const FieldExpectation& value) {
  writer.begin_object();
  writer.field("required", value.required);
  writer.end_object();
}

void write_json(JsonWriter& writer, const SchemaExpectation& value) {
  writer.begin_object();
  writer.field("required", value.required);
  writer.field("types", value.types);
  writer.end_object();
}

void write_json(JsonWriter& writer, const SEOExpectation& value) {
  // The nesting depth is unbounded, so the open objects are kept on an explicit
  // stack rather than the call stack.
  enum class Next { Title, Description, Close };
  struct Open {
    const SEOExpectation* expectation;
    Next next;
  };
  std::vector<Open> open{{&value, Next::Title}};
  open_expectation(writer, value);
  while (!open.empty()) {
    Open& top = open.back();
    const NestedExpectation* child = nullptr;
    std::string_view key;
    switch (top.next) {
      case Next::Title:
        top.next = Next::Description;
        child = &top.expectation->title;
        key = "title";
        break;
      case Next::Description:
        top.next = Next::Close;
        child = &top.expectation->description;
        key = "description";
        break;
      case Next::Close:
        writer.end_object();
        open.pop_back();
        continue;
    }
    if (child->has_value()) {
      writer.key(key);
      open_expectation(writer, **child);
      open.push_back({&**child, Next::Title});  // invalidates `top`
    }
  }
}

void write_json(JsonWriter& writer, const SEOContractRule& value) {
  writer.begin_object();
  writer.field("match", value.match);
  writer.field("expect", value.expect);
  if (value.severity) writer.field("severity", contract_severity_name(*value.severity));
  writer.end_object();
}

void write_json(JsonWriter& writer, const ContractGenerator& value) {
  writer.begin_object();
  writer.field("name", value.name);
  writer.field("version", value.version);
  writer.end_object();
}

void write_json(JsonWriter& writer, const ContractSite& value) {
  writer.begin_object();
  writer.field("canonical_host", value.canonical_host);
  writer.field("scheme", value.scheme);
  writer.end_object();
}

void write_json(JsonWriter& writer, const SEOContract& value) {
  writer.begin_object();
  writer.field("contract_version", value.contract_version);
  writer.field("generator", value.generator);
  writer.field("site", value.site);
  writer.field("defaults", value.defaults);
  writer.field("rules", value.rules);
  writer.key("exceptions");
  writer.begin_object();
  for (const auto& [path, expectation] : value.exceptions) {
    writer.field(path, expectation);
  }
  writer.end_object();
  writer.end_object();
}

}  // namespace zoret
