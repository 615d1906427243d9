#include "zoret/error.hpp"

namespace zoret {

std::string_view display_prefix(ErrorKind kind) noexcept {
  switch (kind) {
    case ErrorKind::InvalidUrl: return "invalid URL: ";
    case ErrorKind::InvalidConfiguration: return "invalid configuration: ";
    case ErrorKind::InvalidEntity: return "invalid entity: ";
    case ErrorKind::InvalidSchema: return "invalid schema: ";
    case ErrorKind::Serialization: return "serialization error: ";
    case ErrorKind::Contract: return "contract error: ";
    case ErrorKind::UrlPolicy: return "URL policy error: ";
  }
  return "";
}

std::string ZoretError::display() const {
  std::string out(display_prefix(kind_));
  out += message_;
  return out;
}

}  // namespace zoret
