#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "zoret/result.hpp"

namespace zoret::url {

/// Why a URL or host did not parse. Each parse failure of the URL Standard's basic
/// URL parser (without a base URL) maps to exactly one of these.
enum class UrlFailure {
  EmptyHost,
  InvalidInternationalDomainName,
  InvalidPortNumber,
  InvalidIpv4Address,
  InvalidIpv6Address,
  InvalidDomainCharacter,
  RelativeUrlWithoutBase,
  Overflow,
};

/// The short description of a failure, e.g. "invalid port number".
[[nodiscard]] std::string_view describe(UrlFailure failure) noexcept;

/// A parsed URL, every component in the URL Standard's serialisation.
struct ParsedUrl {
  std::string scheme;  ///< ASCII lower case, without the ':'.
  std::string username;
  std::string password;
  std::optional<std::string> host;  ///< Serialized host; "" is the empty host.
  std::optional<std::uint16_t> port;  ///< Absent when omitted or the scheme's default.
  std::string path;  ///< The URL path serializer's output (the `pathname`).
  bool has_opaque_path = false;
  std::optional<std::string> query;     ///< Without the '?'.
  std::optional<std::string> fragment;  ///< Without the '#'.

  friend bool operator==(const ParsedUrl&, const ParsedUrl&) = default;
};

/// Holds either a `T` or the `UrlFailure` that prevented it.
template <class T>
using UrlResult = Expected<T, UrlFailure>;

/// Parses UTF-8 `input` as an absolute URL with the basic URL parser and no base.
/// Validation errors that the standard does not treat as failures are ignored.
/// Errors: any `UrlFailure`; `Overflow` for input or output beyond 4 GiB.
/// WHATWG URL Standard, "basic URL parser" (no base URL, no state override).
[[nodiscard]] UrlResult<ParsedUrl> parse_url(std::string_view input);

namespace detail {
/// `parse_url` without its one-pass shortcut for plain "http"/"https" URLs: the
/// state machine alone. For checks that both give the same result.
[[nodiscard]] UrlResult<ParsedUrl> parse_url_without_shortcut(std::string_view input);
}  // namespace detail

/// Runs the host parser on `input` (the raw text between authority delimiters) and
/// returns the serialized host. `is_opaque` is true for non-special schemes.
/// Hosts with only ASCII code points (after percent-decoding) are lower-cased and
/// checked without UTS #46 processing; others go through ICU's UTS #46 ToASCII.
/// Errors: `EmptyHost`, `InvalidInternationalDomainName`, `InvalidDomainCharacter`,
/// `InvalidIpv4Address`, `InvalidIpv6Address`.
/// WHATWG URL Standard, "host parsing" and "host serializing".
[[nodiscard]] UrlResult<std::string> parse_host(std::string_view input, bool is_opaque);

/// The URL serializer (the `href`), fragment included.
/// WHATWG URL Standard, "URL serializing".
[[nodiscard]] std::string serialize(const ParsedUrl& url);

/// The default port of a special scheme, if it has one.
[[nodiscard]] std::optional<std::uint16_t> default_port(std::string_view scheme) noexcept;

/// True for the special schemes: ftp, file, http, https, ws, wss.
[[nodiscard]] bool is_special_scheme(std::string_view scheme) noexcept;

}  // namespace zoret::url
