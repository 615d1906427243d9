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

/// The one error type of the core: a kind plus an owned message text, and the
/// operating system's error number when the failure came from it.
class ZoretError {
 public:
  ZoretError(ErrorKind kind, std::string message, int os_error = 0)
      : kind_(kind), message_(std::move(message)), os_error_(os_error) {}

  [[nodiscard]] ErrorKind kind() const noexcept { return kind_; }
  [[nodiscard]] const std::string& message() const noexcept { return message_; }
  /// The errno value behind a file-system failure (its text is in the message
  /// already), so that callers can tell ENOSPC from EACCES; 0 otherwise.
  [[nodiscard]] int os_error() const noexcept { return os_error_; }

  /// The fixed prefix of the kind ("invalid URL: ") followed by the message.
  [[nodiscard]] std::string display() const;

  friend bool operator==(const ZoretError&, const ZoretError&) = default;

 private:
  ErrorKind kind_;
  std::string message_;
  int os_error_;
};

/// The prefix that `display()` puts before the message, colon and blank included.
[[nodiscard]] std::string_view display_prefix(ErrorKind kind) noexcept;

}  // namespace zoret
