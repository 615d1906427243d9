// render_robots(config, groups=(), *, sitemaps=(), comments=(), production=None,
//               host=None) -> str
//   groups: (user_agents, rules) pairs, rules ("allow" | "disallow", path) pairs
// render_hreflang(alternates, config, *, current_route=None,
//                 require_self_reference=True) -> str
// response_headers(payload) -> list[tuple[str, str]]
#include <utility>

#include "frame/bind.hpp"
#include "outputs.hpp"
#include "types/model.hpp"
#include "types/payload.hpp"
#include "zoret/site/headers.hpp"
#include "zoret/site/robots_txt.hpp"

namespace zoret::py {
namespace {

using RuleArgs = std::vector<std::pair<std::string, std::string>>;
using GroupArgs = std::vector<std::pair<std::vector<std::string>, RuleArgs>>;

bool to_robots_groups(GroupArgs& args, std::vector<site::RobotsGroup>& out) {
  for (auto& [agents, rules] : args) {
    site::RobotsGroup group{std::move(agents), {}};
    for (auto& [kind, path] : rules) {
      if (kind != "allow" && kind != "disallow") {
        raise_by_kind(ZoretError(ErrorKind::InvalidConfiguration,
                                 "robots.txt rule kind must be \"allow\" or \"disallow\", not \"" +
                                     kind + "\""));
        return false;
      }
      const auto rule_kind = kind == "allow" ? site::RobotsRuleKind::Allow
                                             : site::RobotsRuleKind::Disallow;
      group.rules.push_back({rule_kind, std::move(path)});
    }
    out.push_back(std::move(group));
  }
  return true;
}

constexpr const char* kRobotsParams[] = {"config",   "groups",     "sitemaps",
                                         "comments", "production", "host"};
constexpr Signature kRobotsSig{"render_robots", kRobotsParams, 2, 1};

PyObject* render_robots(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    const SEOConfig* config = nullptr;
    GroupArgs groups;
    site::RobotsTxt robots;
    site::RobotsTxtOptions options;
    if (!bind<kRobotsSig>(CallArgs(args, nargs, kwnames), config, groups, robots.sitemaps,
                          robots.comments, options.production, options.request_host))
      return nullptr;
    if (!to_robots_groups(groups, robots.groups)) return nullptr;
    auto text = site::render_robots_txt(robots, site::UrlResolver(*config), options);
    if (!text) return raise_by_kind(text.error());
    return to_py(std::string_view(*text));
  });
}

constexpr const char* kHreflangParams[] = {"alternates", "config", "current_route",
                                           "require_self_reference"};
constexpr Signature kHreflangSig{"render_hreflang", kHreflangParams, 2, 2};

PyObject* render_hreflang(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    std::vector<site::LanguageAlternate> alternates;
    AlternatesArg alternates_arg{alternates};
    const SEOConfig* config = nullptr;
    site::HreflangOptions options;
    if (!bind<kHreflangSig>(CallArgs(args, nargs, kwnames), alternates_arg, config,
                            options.current_route, options.require_self_reference))
      return nullptr;
    auto text = site::render_hreflang(alternates, site::UrlResolver(*config), options);
    if (!text) return raise_by_kind(text.error());
    return to_py(std::string_view(*text));
  });
}

constexpr const char* kHeadersParams[] = {"payload"};
constexpr Signature kHeadersSig{"response_headers", kHeadersParams, 1, 1};

PyObject* response_headers(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    const SEOPayload* payload = nullptr;
    if (!bind<kHeadersSig>(CallArgs(args, nargs, kwnames), payload)) return nullptr;
    auto headers = site::response_headers(*payload);
    if (!headers) return raise_by_kind(headers.error());
    Ref out = Ref::steal(PyList_New(0));
    if (!out) return nullptr;
    for (const auto& [name, value] : *headers) {
      Ref n = Ref::steal(to_py(std::string_view(name)));
      Ref v = Ref::steal(to_py(std::string_view(value)));
      Ref pair = n && v ? Ref::steal(PyTuple_Pack(2, n.get(), v.get())) : Ref();
      if (!pair || PyList_Append(out.get(), pair.get()) < 0) return nullptr;
    }
    return out.release();
  });
}

}  // namespace

const PyMethodDef kRenderRobotsDef = fast_def(
    "render_robots", render_robots,
    "render_robots(config, groups=(), *, sitemaps=(), comments=(), production=None, "
    "host=None)\n--\n\n"
    "robots.txt text (RFC 9309) for the site of `config`.\n\n"
    "`groups` are (user_agents, rules) pairs, each rule an (\"allow\" | \"disallow\",\n"
    "path) pair; `sitemaps` routes or URLs, written as absolute URLs of the site;\n"
    "`comments` lines written first. Unless `production` is True, a `host` other than\n"
    "the canonical host (or production=False) gives a file that keeps every crawler\n"
    "out. Raises ConfigurationError for a value that would break the format (line\n"
    "breaks, a bad user-agent or path).");

const PyMethodDef kRenderHreflangDef = fast_def(
    "render_hreflang", render_hreflang,
    "render_hreflang(alternates, config, *, current_route=None, "
    "require_self_reference=True)\n--\n\n"
    "The <link rel=\"alternate\" hreflang=...> lines of a page's language versions.\n\n"
    "`alternates` are (language tag, route) pairs or a dict; tags are canonicalised\n"
    "(\"en-us\" -> \"en-US\", \"x-default\" allowed) and every href is the route's\n"
    "canonical URL. The set must include the page at `current_route` unless\n"
    "`require_self_reference` is False. Lines are joined with \"\\n\", without a final\n"
    "newline; no alternates give ''. Raises EntityError for an invalid or repeated\n"
    "tag or a missing self-reference, InvalidUrlError for a route that cannot be\n"
    "resolved.");

const PyMethodDef kResponseHeadersDef = fast_def(
    "response_headers", response_headers,
    "response_headers(payload)\n--\n\n"
    "The (name, value) headers that carry a payload's signals on responses that are\n"
    "not HTML: Link (rel=\"canonical\") and X-Robots-Tag, each left out when empty.\n\n"
    "Values never hold CR, LF or NUL: characters a URI cannot hold are\n"
    "percent-encoded, and a canonical URL with a control character raises\n"
    "InvalidUrlError; robots text that is not printable ASCII raises ZoretError.");

}  // namespace zoret::py
