#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace zoret {

/// The seven kinds of failure the core reports. The order is part of the ABI of
/// the error table in the binding; do not reorder.
enum class ErrorKind {
  InvalidUrl,
  InvalidConfiguration,
  InvalidEntity,
  InvalidSchema,
  Serialization,
  Contract,
  UrlPolicy,
};

/// The one error type of the core: a kind plus an owned message text.
class ZoretError {
 public:
  ZoretError(ErrorKind kind, std::string message)
      : kind_(kind), message_(std::move(message)) {}

  [[nodiscard]] ErrorKind kind() const noexcept { return kind_; }
  [[nodiscard]] const std::string& message() const noexcept { return message_; }

  /// The fixed prefix of the kind ("invalid URL: ") followed by the message.
  [[nodiscard]] std::string display() const;

  friend bool operator==(const ZoretError&, const ZoretError&) = default;

 private:
  ErrorKind kind_;
  std::string message_;
};

/// The prefix that `display()` puts before the message, colon and blank included.
[[nodiscard]] std::string_view display_prefix(ErrorKind kind) noexcept;

}  // namespace zoret
