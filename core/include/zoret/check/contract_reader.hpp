#pragma once

#include <string_view>

#include "zoret/contract/model.hpp"
#include "zoret/json.hpp"
#include "zoret/result.hpp"

namespace zoret {

/// Contract versions this reader understands.
inline constexpr std::string_view kReadableContractVersions = "\"1\"";

/// Reads a contract file as `contract_to_json` writes it, strictly: a
/// document that the writer could not have produced is refused rather than
/// half understood, so a misspelt constraint never goes unchecked.
/// "contract_version" and "site" are required, "generator", "defaults", "rules"
/// and "exceptions" may be left out (then empty). Every object accepts only its
/// own keys; values must have the written types (booleans, strings, arrays of
/// strings, non-negative integers, objects); severities are "Error", "Warning"
/// or "Info". As in the parser, a repeated key keeps its last value.
/// Errors, all of kind Contract:
/// - "invalid JSON: <parser's message>" (which ends "at line L column C");
/// - "contract_version: unsupported version \"2\" (this version of zoret reads
///   \"1\") at line L column C", checked before anything else;
/// - "<path>: <problem> at line L column C", the path as in
///   `rules[2].expect.title.max_length` or `exceptions["/about"].indexable`;
///   an unknown key is "<path>: unknown key" with a suggestion when a known key
///   is one or two edits away.
[[nodiscard]] Result<SEOContract> read_contract(std::string_view text);

/// The same for a parsed JSON value (a dictionary from Python, say); errors
/// carry no line and column.
[[nodiscard]] Result<SEOContract> contract_from_json(const Json& value);

}  // namespace zoret
