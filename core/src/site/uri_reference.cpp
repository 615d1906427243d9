#include "zoret/site/uri_reference.hpp"

#include <array>
#include <cstdio>

#include "site/text_checks.hpp"
#include "zoret/url/whatwg.hpp"

namespace zoret::site {
namespace {

constexpr std::array<bool, 256> kEncoded = [] {
  std::array<bool, 256> table{};
  for (int b = 0x80; b < 256; ++b) table[b] = true;
  for (const unsigned char c : std::string_view(" \"<>[\\]^`{|}")) table[c] = true;
  return table;
}();

constexpr bool is_hex(char c) {
  return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
}

void append_percent(std::string& out, unsigned char b) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const char escaped[3] = {'%', kHex[b >> 4], kHex[b & 0xF]};
  out.append(escaped, 3);
}

// Everything after the authority (path, query, fragment) or the userinfo.
void append_encoded(std::string& out, std::string_view text) {
  std::size_t run = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    const bool lone_percent =
        b == '%' && (i + 2 >= text.size() || !is_hex(text[i + 1]) || !is_hex(text[i + 2]));
    if (!kEncoded[b] && !lone_percent) continue;
    out.append(text.data() + run, i - run);
    append_percent(out, b);
    run = i + 1;
  }
  out.append(text.data() + run, text.size() - run);
}

bool is_ascii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

ZoretError control_error(unsigned char c, std::string_view url) {
  char code[8];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
  std::string message = "URL contains the control character ";
  message += code;
  message += ": ";
  message += detail::quoted(url);
  return ZoretError(ErrorKind::InvalidUrl, std::move(message));
}

// A non-ASCII authority: userinfo percent-encoded, host through IDNA, port kept.
Result<std::string> ascii_authority(std::string_view authority, std::string_view url) {
  std::string out;
  const std::size_t at = authority.rfind('@');
  if (at != std::string_view::npos) {
    append_encoded(out, authority.substr(0, at + 1));
    authority.remove_prefix(at + 1);
  }
  const std::size_t colon = authority.rfind(':');
  const std::size_t bracket = authority.rfind(']');
  const bool has_port =
      colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket);
  const std::string_view host = has_port ? authority.substr(0, colon) : authority;
  auto ascii = url::parse_host(host, /*is_opaque=*/false);
  if (!ascii) {
    std::string message = "URL host cannot be converted to ASCII: ";
    message += url::describe(ascii.error());
    message += ": ";
    message += detail::quoted(url);
    return ZoretError(ErrorKind::InvalidUrl, std::move(message));
  }
  out += *ascii;
  if (has_port) out += authority.substr(colon);
  return out;
}

}  // namespace

Result<std::string> encode_uri_reference(std::string_view url) {
  // Most URLs need nothing; one pass finds out, and refuses controls on the way.
  bool unchanged = true;
  for (std::size_t i = 0; i < url.size(); ++i) {
    const auto b = static_cast<unsigned char>(url[i]);
    if (detail::is_ascii_control(b)) return control_error(b, url);
    if (kEncoded[b] || (b == '%' && (i + 2 >= url.size() || !is_hex(url[i + 1]) ||
                                     !is_hex(url[i + 2])))) {
      unchanged = false;
    }
  }
  if (unchanged) return std::string(url);

  std::string out;
  out.reserve(url.size() + 16);
  std::size_t rest = 0;
  if (const std::size_t scheme_end = url.find("://"); scheme_end != std::string_view::npos) {
    const std::size_t start = scheme_end + 3;
    std::size_t end = start;
    while (end < url.size() && url[end] != '/' && url[end] != '?' && url[end] != '#') ++end;
    const std::string_view authority = url.substr(start, end - start);
    out.append(url.substr(0, start));
    if (is_ascii(authority)) {
      // Percent-encoding cannot repair a host, and these never belong in one.
      if (authority.find_first_of(" \"<>\\^`{|}") != std::string_view::npos) {
        return ZoretError(
            ErrorKind::InvalidUrl,
            "URL authority contains a character that is not allowed there: " + detail::quoted(url));
      }
      out.append(authority);
    } else {
      auto converted = ascii_authority(authority, url);
      if (!converted) return std::move(converted).error();
      out += *converted;
    }
    rest = end;
  }
  append_encoded(out, url.substr(rest));
  return out;
}

}  // namespace zoret::site
