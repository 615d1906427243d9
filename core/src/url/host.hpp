#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "zoret/url/whatwg.hpp"

namespace zoret::url::detail {

/// The host parser, writing the serialized host into `out` (replacing its
/// content). Returns the failure, if any; `out` is unspecified then.
[[nodiscard]] std::optional<UrlFailure> parse_host_into(std::string_view input,
                                                        bool is_opaque, std::string& out);

}  // namespace zoret::url::detail
