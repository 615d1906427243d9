#pragma once

#include <string_view>

#include "zoret/check/compiled_contract.hpp"
#include "zoret/check/page_facts.hpp"
#include "zoret/check/violation.hpp"
#include "zoret/config.hpp"
#include "zoret/payload.hpp"
#include "zoret/result.hpp"
#include "zoret/url/public_url.hpp"

namespace zoret {

/// What a check knows beyond the contract and the page.
struct CheckContext {
  /// The site configuration that turns a route into its public URL (for a
  /// canonical "self" and the URL of violations). Without one, the contract's
  /// site is used: scheme "://" canonical_host, then the route path.
  const SEOConfig* site_config = nullptr;
  /// Optional: a resolver built from `site_config`, for callers that check many
  /// pages against one configuration (else each check parses its base URL).
  const PublicUrlResolver* resolver = nullptr;
};

/// Checks one page against the expectation the contract puts in force for its
/// route (see `CompiledContract` for the layering). What each constraint asks:
///
/// - `required: true` (page): the route serves a page, HTTP status 2xx.
///   `forbidden: true` (page): it serves none: status 3xx, 404 or 410. Both are
///   not checked when the status is not known (a payload).
/// - `min_items` / `max_items`: bounds on the number of JSON-LD nodes. A node is
///   a JSON object found by this walk over each script's value: an array is
///   walked element by element (nested arrays too); an object with "@graph"
///   has its "@graph" value walked the same way and is a node itself only when
///   it has "@type"; any other object is a node. Scalars are not nodes, and
///   objects nested in a node's properties are part of that node.
/// - `indexable: true`: no robots directive is "noindex" or "none" (ASCII case
///   ignored); `false`: one of them is.
/// - `canonical`: "self" the canonical equals the page's public URL (the
///   route resolved by `context.site_config`, else the contract's site plus the
///   route path); "absent" no canonical; an absolute URL, equal to it; a path,
///   equal to the contract's site plus that path. Equality is byte for byte.
/// - `schema.required: true`: at least one JSON-LD script parsed.
///   `schema.types`: when there is JSON-LD, each type is the "@type" (a string,
///   or one string of a list) of some node; compared exactly, so "Article" is
///   not "schema:Article". One violation per missing type.
/// - `open_graph.required: true`: og:title, og:type, og:url and og:image present
///   with non-blank content. `twitter.required: true`: twitter:card likewise.
/// - `sitemap.required: true`: the page is in the sitemap; `hreflang.required:
///   true`: it declares at least one alternate. Not checked when the facts do
///   not say.
/// - `required: false`, `forbidden: false` and the other `required: false`
///   place no constraint; they exist so that a later layer can lift one.
/// - `title.*` and `description.*`: `required` present and not blank (blank:
///   empty or only White_Space), `forbidden` absent or blank. The value
///   constraints apply only when the text is present (its absence is the
///   business of `required`): `equals`, `not_equals`, `contains` (bytes),
///   `matches` (RE2 search anywhere in the text, UTF-8), `one_of`, and
///   `min_length` / `max_length` in Unicode code points.
///
/// Errors: InvalidUrl "route must be a path starting with \"/\": <route>"; the
/// errors of the configuration's URL resolution when a canonical "self" is in
/// force. On a page that passes, the only allocations are those of resolving
/// its public URL through a site configuration.
[[nodiscard]] Result<CheckResult> check(const CompiledContract& contract, const PageFacts& facts,
                                        const CheckContext& context = {});

/// `check(contract, facts_from_payload(payload, route), context)` without
/// copying the payload.
[[nodiscard]] Result<CheckResult> check_payload(const CompiledContract& contract,
                                                const SEOPayload& payload, std::string_view route,
                                                const CheckContext& context = {});

}  // namespace zoret
