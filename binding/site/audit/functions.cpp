// audit_page(facts, rules, config=None) -> list[Violation]
// audit_site(summaries, rules, config=None, *, sitemap_urls=None) -> list[Violation]
// sort_audit_findings(violations) -> list[Violation]
// audit_rule_table() -> list[dict]      rich_result_profiles() -> list[dict]
#include <algorithm>
#include <utility>

#include "audit/audit_classes.hpp"
#include "check/check_classes.hpp"
#include "frame/bind.hpp"
#include "frame/dict_builder.hpp"
#include "types/model.hpp"
#include "zoret/audit/audit.hpp"
#include "zoret/audit/rich_results.hpp"

namespace zoret::py {
namespace {

// The conversions below add to the frame's, which they would otherwise hide.
using py::convert;

/// Lets other Python threads (a progress display) run while the core works on
/// records that the call's own references keep alive and that nothing mutates.
class WithoutGil {
 public:
  WithoutGil() : state_(PyEval_SaveThread()) {}
  ~WithoutGil() { PyEval_RestoreThread(state_); }
  WithoutGil(const WithoutGil&) = delete;
  WithoutGil& operator=(const WithoutGil&) = delete;

 private:
  PyThreadState* state_;
};

/// Items of any iterable (not a text), each `convert`ed by `each`; the error of an
/// item names its position.
template <class Each>
bool for_each_item(PyObject* obj, const char* what, Each&& each) {
  if (PyUnicode_Check(obj) || PyBytes_Check(obj)) {
    raise_type_error(std::string(what) + " must be an iterable of items, not '" + type_name(obj) +
                     "'");
    return false;
  }
  Ref items = Ref::steal(PyObject_GetIter(obj));
  if (!items) return false;
  for (Py_ssize_t i = 0; Ref item = Ref::steal(PyIter_Next(items.get())); ++i) {
    if (!each(item.get(), i)) return false;
  }
  return PyErr_Occurred() == nullptr;
}

/// Summaries from any iterable, each kept alive by a reference of the call.
struct SummariesArg {
  std::vector<Ref> held;
  std::vector<const PageSummary*> pages;
};

bool convert(PyObject* obj, SummariesArg& summaries) {
  return for_each_item(obj, "summaries", [&](PyObject* item, Py_ssize_t i) {
    if (!Box<PageSummary>::is_instance(item)) {
      raise_type_error("summaries[" + std::to_string(i) + "] is a '" + type_name(item) +
                       "', not a 'PageSummary' (see page_summary())");
      return false;
    }
    summaries.pages.push_back(&Box<PageSummary>::of(item));
    summaries.held.push_back(Ref::borrow(item));
    return true;
  });
}

/// (url, disallowed) pairs, or bare URLs that robots.txt allows.
struct SitemapArg {
  std::optional<std::vector<SitemapUrl>> urls;
};

bool convert(PyObject* obj, SitemapArg& sitemap) {
  if (obj == Py_None) return true;
  auto& urls = sitemap.urls.emplace();
  return for_each_item(obj, "sitemap_urls", [&](PyObject* item, Py_ssize_t i) {
    SitemapUrl& url = urls.emplace_back();
    if (PyUnicode_Check(item)) return convert(item, url.url);
    std::pair<std::string, bool> pair;
    if (convert(item, pair)) {
      url = {std::move(pair.first), pair.second};
      return true;
    }
    if (PyErr_ExceptionMatches(PyExc_TypeError)) {
      PyErr_Clear();
      raise_type_error("sitemap_urls[" + std::to_string(i) +
                       "] must be a (url, disallowed) pair or a url, not '" + type_name(item) +
                       "'");
    }
    return false;
  });
}

constexpr const char* kPageParams[] = {"facts", "rules", "config"};
constexpr Signature kPageSig{"audit_page", kPageParams, 3, 2};

PyObject* audit_page_fn(PyObject* module, PyObject* const* args, Py_ssize_t nargs,
                        PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    const PageFacts* facts = nullptr;
    const AuditRules* rules = nullptr;
    std::optional<const SEOConfig*> config;
    if (!bind<kPageSig>(CallArgs(args, nargs, kwnames), facts, rules, config)) return nullptr;
    return list_in(module, audit_page(*facts, *rules, config.value_or(nullptr)));
  });
}

constexpr const char* kSiteParams[] = {"summaries", "rules", "config", "sitemap_urls"};
constexpr Signature kSiteSig{"audit_site", kSiteParams, 3, 2};

PyObject* audit_site_fn(PyObject* module, PyObject* const* args, Py_ssize_t nargs,
                        PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    SummariesArg summaries;
    const AuditRules* rules = nullptr;
    std::optional<const SEOConfig*> config;
    SitemapArg sitemap;
    if (!bind<kSiteSig>(CallArgs(args, nargs, kwnames), summaries, rules, config, sitemap))
      return nullptr;
    std::optional<std::span<const SitemapUrl>> urls;
    if (sitemap.urls) urls = *sitemap.urls;
    std::vector<Violation> found;
    {
      WithoutGil unlocked;
      found = audit_site(summaries.pages, *rules, config.value_or(nullptr), urls);
    }
    return list_in(module, found);
  });
}

constexpr const char* kSortParams[] = {"violations"};
constexpr Signature kSortSig{"sort_audit_findings", kSortParams, 1, 1};

struct ViolationsArg {
  std::vector<std::pair<const Violation*, Ref>> items;
};

bool convert(PyObject* obj, ViolationsArg& violations) {
  return for_each_item(obj, "violations", [&](PyObject* item, Py_ssize_t i) {
    if (!Box<Violation>::is_instance(item)) {
      raise_type_error("violations[" + std::to_string(i) + "] is a '" + type_name(item) +
                       "', not a 'Violation'");
      return false;
    }
    violations.items.emplace_back(&Box<Violation>::of(item), Ref::borrow(item));
    return true;
  });
}

PyObject* sort_audit_findings_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                                 PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    ViolationsArg violations;
    if (!bind<kSortSig>(CallArgs(args, nargs, kwnames), violations)) return nullptr;
    auto& items = violations.items;
    std::stable_sort(items.begin(), items.end(),
                     [](const auto& a, const auto& b) { return audit_order(*a.first, *b.first); });
    Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(items.size())));
    if (!list) return nullptr;
    for (std::size_t i = 0; i < items.size(); ++i)
      PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), items[i].second.release());
    return list.release();
  });
}

PyObject* texts_to_py(std::span<const std::string_view> texts) {
  Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(texts.size())));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    PyObject* text = to_py(texts[i]);
    if (text == nullptr) return nullptr;
    PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), text);
  }
  return list.release();
}

template <class Row, class ToDict>
PyObject* rows_to_py(std::span<const Row> rows, ToDict&& to_dict) {
  Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(rows.size())));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    PyObject* dict = to_dict(rows[i]);
    if (dict == nullptr) return nullptr;
    PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), dict);
  }
  return list.release();
}

PyObject* audit_rule_table_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames) {
  static constexpr Signature kSig{"audit_rule_table"};
  return guard([&]() -> PyObject* {
    if (!bind<kSig>(CallArgs(args, nargs, kwnames))) return nullptr;
    return rows_to_py(audit_rule_table(), [](const AuditRuleInfo& row) {
      return DictBuilder()
          .add("id", row.id)
          .add("name", row.name)
          .add("severity", severity_label(row.severity))
          .add("scope", scope_name(row.scope))
          .add("description", row.description)
          .finish();
    });
  });
}

PyObject* nested_to_py(std::span<const NestedProfile> nested) {
  Ref dict = Ref::steal(PyDict_New());
  if (!dict) return nullptr;
  for (const NestedProfile& entry : nested) {
    Ref types = Ref::steal(texts_to_py(entry.types));
    Ref key = types ? Ref::steal(to_py(entry.property)) : Ref();
    if (!key || PyDict_SetItem(dict.get(), key.get(), types.get()) < 0) return nullptr;
  }
  return dict.release();
}

PyObject* rich_result_profiles_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                                  PyObject* kwnames) {
  static constexpr Signature kSig{"rich_result_profiles"};
  return guard([&]() -> PyObject* {
    if (!bind<kSig>(CallArgs(args, nargs, kwnames))) return nullptr;
    return rows_to_py(rich_result_profiles(), [](const RichResultProfile& profile) -> PyObject* {
      Ref required = Ref::steal(texts_to_py(profile.required));
      Ref recommended = required ? Ref::steal(texts_to_py(profile.recommended)) : Ref();
      Ref nested = recommended ? Ref::steal(nested_to_py(profile.nested)) : Ref();
      Ref dict =
          nested ? Ref::steal(
                       DictBuilder().add("type", profile.type).add("root", profile.root).finish())
                 : Ref();
      if (!dict || PyDict_SetItemString(dict.get(), "required", required.get()) < 0 ||
          PyDict_SetItemString(dict.get(), "recommended", recommended.get()) < 0 ||
          PyDict_SetItemString(dict.get(), "nested", nested.get()) < 0)
        return nullptr;
      return dict.release();
    });
  });
}

}  // namespace

PyMethodDef kAuditPageDef =
    fast_def("audit_page", audit_page_fn,
             "audit_page(facts, rules, config=None)\n--\n\n"
             "The page rules of the site audit on one page's facts, as Violation records.\n\n"
             "Each finding has rule_id ('ZORET201'...), source (the rule's name), the severity\n"
             "the rules give it, a message, and expected/actual where they say something; they\n"
             "come sorted by route, rule id and field. A page whose response is a redirect or\n"
             "an error (status known and not 2xx) is left to the site rules. config supplies\n"
             "the site's canonical host when the rules do not name one.");

PyMethodDef kAuditSiteDef =
    fast_def("audit_site", audit_site_fn,
             "audit_site(summaries, rules, config=None, *, sitemap_urls=None)\n--\n\n"
             "The site rules of the audit on the summaries of every page, as Violation records.\n\n"
             "summaries is any iterable of PageSummary (a generator will do: only the summaries\n"
             "are held, never the pages); the result does not depend on their order, and a\n"
             "summary given twice counts once. sitemap_urls lists the sitemap's URLs, each as\n"
             "(url, disallowed) with disallowed saying whether robots.txt disallows it (a bare\n"
             "url str means allowed); None means no sitemap is known, and the rules that need\n"
             "its URLs only read the summaries' in_sitemap. Findings come sorted by route, rule\n"
             "id and field. Other Python threads run while the rules do.");

PyMethodDef kSortAuditFindingsDef =
    fast_def("sort_audit_findings", sort_audit_findings_fn,
             "sort_audit_findings(violations)\n--\n\n"
             "The same Violation objects in audit order: route, rule id, field, then the\n"
             "remaining fields. Merging page and site findings in this order gives the same\n"
             "list whichever process found them.");

PyMethodDef kAuditRuleTableDef =
    fast_def("audit_rule_table", audit_rule_table_fn,
             "audit_rule_table()\n--\n\n"
             "The site audit's rules, in id order: a dict per rule with id, name, severity\n"
             "(the default), scope ('page' or 'site') and description.");

PyMethodDef kRichResultProfilesDef =
    fast_def("rich_result_profiles", rich_result_profiles_fn,
             "rich_result_profiles()\n--\n\n"
             "The rich-result profiles that jsonld-missing-required and -recommended check: a\n"
             "dict per schema.org type with root (checked at the top of a script), required\n"
             "and recommended properties ('a|b': one of them; 'a.b': b inside a's value) and\n"
             "nested (property -> the types its values are checked as).");

}  // namespace zoret::py
