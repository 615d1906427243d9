#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

#include "zoret/config.hpp"
#include "zoret/entity.hpp"
#include "zoret/json.hpp"
#include "zoret/result.hpp"

namespace zoret {

class SchemaRegistry;

/// The resolved facts of one page that every JSON-LD builder reads. It borrows
/// everything: the referenced entity, configuration, texts and registry must
/// outlive it, and builders never change them.
struct SchemaContext {
  const SEOEntity& entity;
  const SEOConfig& config;
  /// The page's canonical URL.
  std::string_view url;
  /// The page's title, after the title template.
  std::string_view name;
  /// Given even when empty; absent leaves "description" out.
  std::optional<std::string_view> description;
  /// URL of the page's primary image, possibly relative.
  std::optional<std::string_view> image;
  const SchemaRegistry* registry = nullptr;
};

/// Native JSON-LD builders for schema.org types that have no built-in builder,
/// keyed by exact type name. Safe to share between threads: lookups take a shared
/// lock, insertions an exclusive one, and a builder always runs after the lock is
/// released, so it may itself consult the registry.
class SchemaRegistry {
 public:
  /// Cannot fail and must be callable from several threads at once.
  using Builder = std::function<Json(const SchemaContext&)>;

  SchemaRegistry() = default;
  SchemaRegistry(const SchemaRegistry&) = delete;
  SchemaRegistry& operator=(const SchemaRegistry&) = delete;

  /// Registers `builder` under `type_name`, replacing any earlier builder of that
  /// name. An empty `builder` is a programming error and is not stored.
  void insert(std::string type_name, Builder builder);

  /// Whether a builder is registered under exactly `type_name` (byte comparison).
  [[nodiscard]] bool has(std::string_view type_name) const;

  /// Copies of the registered names, in ascending byte order.
  [[nodiscard]] std::vector<std::string> list_types() const;

  /// The builder registered under `type_name`, or null. The returned handle stays
  /// valid when the name is later replaced.
  [[nodiscard]] std::shared_ptr<const Builder> find(std::string_view type_name) const;

  /// Runs the builder registered under `type_name`; absent when there is none.
  [[nodiscard]] std::optional<Json> build(std::string_view type_name,
                                          const SchemaContext& context) const;

 private:
  mutable std::shared_mutex mutex_;
  std::map<std::string, std::shared_ptr<const Builder>, std::less<>> builders_;
};

/// Chooses the schema.org type of the entity through the configuration's schema
/// type map and runs its builder: a built-in builder for the known names, else
/// the context's registry, else the base object with that name as "@type".
/// Absent when the map has no type for the entity type.
[[nodiscard]] std::optional<Json> build_schema(const SchemaContext& context);

/// The object every built-in builder starts from: "@context", "@type", "name",
/// "url", and "description", "image", "datePublished", "dateModified", "author",
/// "publisher" when their sources are present.
[[nodiscard]] Json base_schema(std::string_view type, const SchemaContext& context);

/// `url` unchanged when it starts with "http://" or "https://" (case-sensitive),
/// otherwise appended to the configured public base URL stripped of its trailing
/// slashes, with nothing inserted, trimmed or encoded.
[[nodiscard]] std::string absolutize_schema_url(std::string_view url, const SEOConfig& config);

}  // namespace zoret
