#include "frame/names.hpp"

#include <array>
#include <cstddef>

namespace zoret::py {
namespace {

constexpr std::array<std::string_view, 71> kNames = {
    // the payload and its two records
    "canonical", "description", "og", "robots", "schema_jsonld", "title", "twitter", "type",
    "url", "image", "image_width", "image_height", "image_alt", "site_name", "locale",
    "locale_alternate", "audio", "video", "card", "site", "creator",
    // the JSON-LD of the schema builders
    "@context", "@type", "@id", "name", "datePublished", "dateModified", "author", "publisher",
    "logo", "mainEntityOfPage", "potentialAction", "target", "urlTemplate", "query-input",
    "thumbnailUrl", "uploadDate", "sameAs", "address", "streetAddress", "sku", "offers", "price",
    "priceCurrency", "availability", "mainEntity", "acceptedAnswer", "text", "itemListElement",
    "item", "position",
    // the tracking cleaner's result and the images of a configuration
    "removed_params", "cleaned_params", "width", "height", "alt",
    // values the schema builders write into every object of their kind
    "https://schema.org", "Person", "Organization", "ListItem", "BreadcrumbList", "Question",
    "Answer", "Offer", "Article", "WebPage", "FAQPage", "Product", "EntryPoint", "SearchAction",
    "PostalAddress",
};

constexpr std::size_t kLongest = [] {
  std::size_t longest = 0;
  for (auto name : kNames) longest = name.size() > longest ? name.size() : longest;
  return longest;
}();

constexpr std::size_t kMostPerLength = [] {
  std::array<std::size_t, kLongest + 1> count{};
  std::size_t most = 0;
  for (auto name : kNames) most = ++count[name.size()] > most ? count[name.size()] : most;
  return most;
}();

/// The indexes into kNames of the names of each length, kNames.size() after the last.
constexpr auto kByLength = [] {
  std::array<std::array<std::size_t, kMostPerLength + 1>, kLongest + 1> table{};
  for (auto& row : table) row.fill(kNames.size());
  for (std::size_t i = 0; i < kNames.size(); ++i) {
    auto& row = table[kNames[i].size()];
    std::size_t n = 0;
    while (row[n] != kNames.size()) ++n;
    row[n] = i;
  }
  return table;
}();

/// Index of `name` in kNames, or kNames.size().
std::size_t index_of(std::string_view name) noexcept {
  if (name.empty() || name.size() > kLongest) return kNames.size();
  for (const std::size_t i : kByLength[name.size()]) {
    if (i == kNames.size()) break;
    if (kNames[i][0] == name[0] && kNames[i] == name) return i;
  }
  return kNames.size();
}

}  // namespace

PyObject* name_to_py(std::string_view name) {
  const std::size_t i = index_of(name);
  if (i == kNames.size()) {
    return PyUnicode_FromStringAndSize(name.data(), static_cast<Py_ssize_t>(name.size()));
  }
  // Made on first use and kept for the life of the process, in every interpreter
  // alike, as the class keys of Box are.
  static std::array<PyObject*, kNames.size()> kept{};
  if (kept[i] == nullptr) {
    PyObject* made = PyUnicode_FromStringAndSize(name.data(), static_cast<Py_ssize_t>(name.size()));
    if (made == nullptr) return nullptr;
    if (PyObject_Hash(made) == -1) {
      Py_DECREF(made);
      return nullptr;
    }
    kept[i] = made;
  }
  Py_INCREF(kept[i]);
  return kept[i];
}

}  // namespace zoret::py
