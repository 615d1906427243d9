#include "check/site_url.hpp"

#include "zoret/url/public_url.hpp"

namespace zoret::detail {

Result<std::string> site_public_url(std::string_view route, const SEOConfig& config) {
  return normalize_public_url(route, config);
}

}  // namespace zoret::detail
