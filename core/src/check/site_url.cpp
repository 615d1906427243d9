#include "check/site_url.hpp"

namespace zoret::detail {

Result<std::string> site_public_url(std::string_view route, const CheckContext& context) {
  if (context.resolver != nullptr) return context.resolver->resolve(route);
  return PublicUrlResolver(*context.site_config).resolve(route);
}

}  // namespace zoret::detail
