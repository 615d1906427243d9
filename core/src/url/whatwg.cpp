#include "zoret/url/whatwg.hpp"

#include <array>
#include <cstdint>
#include <cstring>

#include "url/host.hpp"
#include "url/percent_encode.hpp"

// The basic URL parser without a base URL and without a state override. With
// neither, the state machine never moves backwards past a component, so each
// state below scans its whole component at once and encodes it in one pass
// instead of collecting a buffer code point by code point. The states' names are
// kept in the comments so the code can be read against the standard.

namespace zoret::url {
namespace {

using detail::append_encoded;
using detail::ascii_lower;
using detail::is_ascii_alpha;
using detail::is_ascii_digit;

constexpr std::uint64_t kMaxUrlLength = 0xFFFFFFFFu;
constexpr std::size_t kNotFound = std::string_view::npos;

struct SchemeKind {
  bool special = false;
  bool file = false;
  std::optional<std::uint16_t> port;
};

SchemeKind classify(std::string_view scheme) {
  if (scheme == "http" || scheme == "ws") return {true, false, 80};
  if (scheme == "https" || scheme == "wss") return {true, false, 443};
  if (scheme == "ftp") return {true, false, 21};
  if (scheme == "file") return {true, true, std::nullopt};
  return {};
}

bool is_scheme_code_point(char c) {
  return is_ascii_alpha(c) || is_ascii_digit(c) || c == '+' || c == '-' || c == '.';
}

bool is_windows_drive_letter(std::string_view s) {
  return s.size() == 2 && is_ascii_alpha(s[0]) && (s[1] == ':' || s[1] == '|');
}

bool is_encoded_dot(std::string_view s) {
  return s.size() == 3 && s[0] == '%' && s[1] == '2' && (s[2] == 'e' || s[2] == 'E');
}

bool is_single_dot(std::string_view s) { return s == "." || is_encoded_dot(s); }

bool is_double_dot(std::string_view s) {
  switch (s.size()) {
    case 2: return s == "..";
    case 4:
      return (s[0] == '.' && is_encoded_dot(s.substr(1))) ||
             (s[3] == '.' && is_encoded_dot(s.substr(0, 3)));
    case 6: return is_encoded_dot(s.substr(0, 3)) && is_encoded_dot(s.substr(3));
    default: return false;
  }
}

using StopTable = std::array<bool, 256>;

constexpr StopTable make_stops(std::string_view chars) {
  StopTable t{};
  for (char c : chars) t[static_cast<unsigned char>(c)] = true;
  return t;
}

// Where a component ends: the query and fragment delimiters, plus the segment
// separators of the URL's kind when slashes count.
constexpr StopTable kStopsSpecial = make_stops("?#/\\");
constexpr StopTable kStopsNonSpecial = make_stops("?#/");
constexpr StopTable kStopsOpaque = make_stops("?#");

class Parser {
 public:
  Parser(std::string_view input, ParsedUrl& url) : in_(input), url_(url) {}

  std::optional<UrlFailure> run() {
    // scheme start state and scheme state: without a base URL, anything other
    // than a scheme followed by ':' ends in the no scheme state, which fails.
    if (in_.empty() || !is_ascii_alpha(in_[0])) return UrlFailure::RelativeUrlWithoutBase;
    std::size_t colon = 1;
    while (colon < in_.size() && is_scheme_code_point(in_[colon])) ++colon;
    if (colon == in_.size() || in_[colon] != ':') return UrlFailure::RelativeUrlWithoutBase;
    url_.scheme.assign(in_.data(), colon);
    for (char& c : url_.scheme) c = ascii_lower(c);
    kind_ = classify(url_.scheme);
    p_ = colon + 1;

    if (kind_.file) return file_state();
    if (kind_.special) {
      // special authority slashes state, then special authority ignore slashes
      // state: any run of slashes and backslashes, even none, leads to the
      // authority.
      while (p_ < in_.size() && is_slash(in_[p_])) ++p_;
      return authority_state();
    }
    if (at(p_) == '/') {
      ++p_;
      // path or authority state
      if (at(p_) == '/') {
        ++p_;
        return authority_state();
      }
      return path_state();
    }
    return opaque_path_state();
  }

 private:
  [[nodiscard]] char at(std::size_t i) const { return i < in_.size() ? in_[i] : '\0'; }
  [[nodiscard]] bool at_end(std::size_t i) const { return i >= in_.size(); }
  // '/' always, '\' only for special URLs.
  [[nodiscard]] bool is_slash(char c) const { return c == '/' || (kind_.special && c == '\\'); }

  [[nodiscard]] std::size_t find_component_end(std::size_t from, bool stop_at_slash) const {
    const StopTable& stops =
        !stop_at_slash ? kStopsOpaque : kind_.special ? kStopsSpecial : kStopsNonSpecial;
    std::size_t i = from;
    while (i < in_.size() && !stops[static_cast<unsigned char>(in_[i])]) ++i;
    return i;
  }

  std::optional<UrlFailure> authority_state() {
    const std::size_t end = find_component_end(p_, true);
    const std::string_view authority = in_.substr(p_, end - p_);
    std::size_t host_start = p_;
    // Only the last '@' ends the userinfo; earlier ones become "%40", which is
    // what the userinfo percent-encode set makes of them anyway. The first ':'
    // of the whole userinfo separates the password.
    const std::size_t at_sign = authority.rfind('@');
    if (at_sign != kNotFound) {
      const std::string_view userinfo = authority.substr(0, at_sign);
      const std::size_t colon = userinfo.find(':');
      append_encoded(url_.username, userinfo.substr(0, colon), detail::kUserinfoSet);
      if (colon != kNotFound) {
        append_encoded(url_.password, userinfo.substr(colon + 1), detail::kUserinfoSet);
      }
      host_start += at_sign + 1;
      if (host_start == end) return UrlFailure::EmptyHost;
    }

    // host state: a ':' outside brackets starts the port.
    std::size_t host_end = host_start;
    bool inside_brackets = false;
    for (; host_end < end; ++host_end) {
      const char c = in_[host_end];
      if (c == '[') inside_brackets = true;
      if (c == ']') inside_brackets = false;
      if (c == ':' && !inside_brackets) break;
    }
    const std::string_view host = in_.substr(host_start, host_end - host_start);
    const bool has_port = host_end < end;
    if (host.empty() && (has_port || kind_.special)) return UrlFailure::EmptyHost;
    if (auto failure = detail::parse_host_into(host, !kind_.special, url_.host.emplace())) {
      return failure;
    }

    if (has_port) {
      // port state: digits up to the end of the authority, nothing else.
      std::uint32_t port = 0;
      bool any = false;
      for (std::size_t i = host_end + 1; i < end; ++i) {
        if (!is_ascii_digit(in_[i])) return UrlFailure::InvalidPortNumber;
        port = port * 10 + static_cast<std::uint32_t>(in_[i] - '0');
        if (port > 65535) return UrlFailure::InvalidPortNumber;
        any = true;
      }
      if (any && port != kind_.port) url_.port = static_cast<std::uint16_t>(port);
    }
    p_ = end;
    return path_start_state();
  }

  std::optional<UrlFailure> file_state() {
    url_.host.emplace();
    if (!is_slash(at(p_))) return path_state();
    ++p_;
    // file slash state
    if (!is_slash(at(p_))) return path_state();
    ++p_;
    // file host state
    const std::size_t end = find_component_end(p_, true);
    const std::string_view buffer = in_.substr(p_, end - p_);
    if (is_windows_drive_letter(buffer)) {
      // "file://C|/": the would-be host is the first path segment instead.
      return path_state();
    }
    if (!buffer.empty()) {
      if (auto failure = detail::parse_host_into(buffer, false, *url_.host)) return failure;
      if (*url_.host == "localhost") url_.host->clear();
    }
    p_ = end;
    return path_start_state();
  }

  std::optional<UrlFailure> path_start_state() {
    if (kind_.special) {
      if (is_slash(at(p_))) ++p_;
      return path_state();
    }
    if (at_end(p_)) return std::nullopt;
    if (in_[p_] == '/') {
      ++p_;
      return path_state();
    }
    if (in_[p_] == '?' || in_[p_] == '#') return query_and_fragment();
    return path_state();
  }

  // "Shorten a URL's path": a file URL keeps a lone drive letter.
  void shorten_path() {
    std::string& path = url_.path;
    if (kind_.file && path.size() == 3 && path[0] == '/' && is_ascii_alpha(path[1]) &&
        path[2] == ':') {
      return;
    }
    const std::size_t last = path.rfind('/');
    if (last != kNotFound) path.resize(last);
  }

  std::optional<UrlFailure> path_state() {
    std::string& path = url_.path;
    path.reserve(in_.size() - p_);
    while (true) {
      const std::size_t end = find_component_end(p_, true);
      const std::string_view segment = in_.substr(p_, end - p_);
      const bool more = end < in_.size() && is_slash(in_[end]);
      // A dot segment that ends the path still leaves a trailing slash.
      if (is_double_dot(segment)) {
        shorten_path();
        if (!more) path.push_back('/');
      } else if (is_single_dot(segment)) {
        if (!more) path.push_back('/');
      } else if (kind_.file && path.empty() && is_windows_drive_letter(segment)) {
        path.push_back('/');
        path.push_back(segment[0]);
        path.push_back(':');
      } else {
        path.push_back('/');
        append_encoded(path, segment, detail::kPathSet);
      }
      p_ = end;
      if (!more) break;
      ++p_;
    }
    return query_and_fragment();
  }

  std::optional<UrlFailure> opaque_path_state() {
    url_.has_opaque_path = true;
    const std::size_t end = find_component_end(p_, false);
    std::string& path = url_.path;
    path.reserve(end - p_);
    // A space right before the query or fragment is encoded so that the path
    // survives a round trip through serialisation and trimming.
    const std::string_view text = in_.substr(p_, end - p_);
    if (!text.empty() && text.back() == ' ' && end < in_.size()) {
      append_encoded(path, text.substr(0, text.size() - 1), detail::kC0ControlSet);
      path.append("%20");
    } else {
      append_encoded(path, text, detail::kC0ControlSet);
    }
    p_ = end;
    return query_and_fragment();
  }

  std::optional<UrlFailure> query_and_fragment() {
    if (at(p_) == '?') {
      ++p_;
      std::size_t end = in_.find('#', p_);
      if (end == kNotFound) end = in_.size();
      std::string& query = url_.query.emplace();
      query.reserve(end - p_);
      append_encoded(query, in_.substr(p_, end - p_),
                     kind_.special ? detail::kSpecialQuerySet : detail::kQuerySet);
      p_ = end;
    }
    if (at(p_) == '#') {
      ++p_;
      std::string& fragment = url_.fragment.emplace();
      fragment.reserve(in_.size() - p_);
      append_encoded(fragment, in_.substr(p_), detail::kFragmentSet);
      p_ = in_.size();
    }
    return std::nullopt;
  }

  std::string_view in_;
  ParsedUrl& url_;
  SchemeKind kind_;
  std::size_t p_ = 0;
};

bool is_c0_control_or_space(char c) { return static_cast<unsigned char>(c) <= 0x20; }
bool is_tab_or_newline(char c) { return c == '\t' || c == '\n' || c == '\r'; }

std::uint64_t serialized_length(const ParsedUrl& url) {
  std::uint64_t n = url.scheme.size() + 1 + url.path.size() + 2;
  if (url.host) n += 2 + url.username.size() + 1 + url.password.size() + 1 + url.host->size() + 6;
  if (url.query) n += 1 + url.query->size();
  if (url.fragment) n += 1 + url.fragment->size();
  return n;
}

// Bytes that a host of the shortcut below may hold: lower-case ASCII letters,
// digits, "-" and "." (the host parser keeps such a name as it is).
constexpr StopTable kSimpleHostBytes = [] {
  StopTable t{};
  for (char c = 'a'; c <= 'z'; ++c) t[static_cast<unsigned char>(c)] = true;
  for (char c = '0'; c <= '9'; ++c) t[static_cast<unsigned char>(c)] = true;
  t['-'] = t['.'] = true;
  return t;
}();

/// The end of the run of bytes from `from` that `set` leaves as they are and that
/// are not `stop` or a backslash (a segment separator of special URLs).
std::size_t plain_run_end(std::string_view in, std::size_t from, const detail::EncodeSet& set,
                          char stop) {
  std::size_t i = from;
  while (i < in.size() && !set[static_cast<unsigned char>(in[i])] && in[i] != stop &&
         in[i] != '\\') {
    ++i;
  }
  return i;
}

/// The common case, handled in one pass without the state machine: an "http" or
/// "https" URL spelled in lower case, a host of lower-case letters, digits, "-"
/// and "." whose labels are not empty and whose last label begins with a letter
/// (so it is no IPv4 address), no credentials or port, and a path, query and
/// fragment that need no percent-encoding and hold no dot segments or
/// backslashes. Such a URL parses to its own pieces. Returns false, leaving `url`
/// untouched, for anything else; the general parser then decides.
bool parse_simple(std::string_view in, ParsedUrl& url) {
  std::size_t p = 0;
  if (in.starts_with("https://")) {
    p = 8;
  } else if (in.starts_with("http://")) {
    p = 7;
  } else {
    return false;
  }
  const std::size_t host_start = p;
  std::size_t last_label = p;
  for (; p < in.size() && kSimpleHostBytes[static_cast<unsigned char>(in[p])]; ++p) {
    if (in[p] != '.') continue;
    if (p == last_label) return false;  // an empty label
    last_label = p + 1;
  }
  if (last_label >= p || !is_ascii_alpha(in[last_label])) return false;
  if (p < in.size() && in[p] != '/' && in[p] != '?' && in[p] != '#') return false;
  const std::size_t host_end = p;

  const std::size_t path_start = p;
  while (p < in.size() && in[p] == '/') {
    const std::size_t end = plain_run_end(in, p + 1, detail::kPathSet, '/');
    const std::string_view segment = in.substr(p + 1, end - p - 1);
    if (is_single_dot(segment) || is_double_dot(segment)) return false;
    p = end;
  }
  if (p < in.size() && in[p] != '?' && in[p] != '#') return false;  // a byte to encode
  const std::size_t path_end = p;
  std::size_t query_end = p;
  if (p < in.size() && in[p] == '?') {
    query_end = plain_run_end(in, p + 1, detail::kSpecialQuerySet, '#');
    if (query_end < in.size() && in[query_end] != '#') return false;
  }
  if (query_end < in.size() &&
      plain_run_end(in, query_end + 1, detail::kFragmentSet, '\0') != in.size()) {
    return false;
  }

  url.scheme.assign(in.data(), host_start - 3);
  url.host.emplace(in.substr(host_start, host_end - host_start));
  if (path_end == path_start) {
    url.path = "/";
  } else {
    url.path.assign(in.substr(path_start, path_end - path_start));
  }
  if (query_end > path_end) url.query.emplace(in.substr(path_end + 1, query_end - path_end - 1));
  if (query_end < in.size()) url.fragment.emplace(in.substr(query_end + 1));
  return true;
}

std::optional<UrlFailure> parse_into(std::string_view input, ParsedUrl& url, bool shortcut) {
  if (input.size() > kMaxUrlLength) return UrlFailure::Overflow;
  while (!input.empty() && is_c0_control_or_space(input.front())) input.remove_prefix(1);
  while (!input.empty() && is_c0_control_or_space(input.back())) input.remove_suffix(1);
  // Tabs, newlines and every other control byte stop the shortcut.
  if (shortcut && parse_simple(input, url)) return std::nullopt;

  // Tabs and newlines are rare, so the common case parses the caller's text in
  // place and only their presence costs a copy.
  const auto contains = [&](char c) {
    return std::memchr(input.data(), c, input.size()) != nullptr;
  };
  std::string cleaned;
  if (!input.empty() && (contains('\t') || contains('\n') || contains('\r'))) {
    cleaned.reserve(input.size());
    for (char c : input) {
      if (!is_tab_or_newline(c)) cleaned.push_back(c);
    }
    input = cleaned;
  }

  if (auto failure = Parser(input, url).run()) return failure;
  if (serialized_length(url) > kMaxUrlLength) return UrlFailure::Overflow;
  return std::nullopt;
}

}  // namespace

std::string_view describe(UrlFailure failure) noexcept {
  switch (failure) {
    case UrlFailure::EmptyHost: return "empty host";
    case UrlFailure::InvalidInternationalDomainName: return "invalid international domain name";
    case UrlFailure::InvalidPortNumber: return "invalid port number";
    case UrlFailure::InvalidIpv4Address: return "invalid IPv4 address";
    case UrlFailure::InvalidIpv6Address: return "invalid IPv6 address";
    case UrlFailure::InvalidDomainCharacter: return "invalid domain character";
    case UrlFailure::RelativeUrlWithoutBase: return "relative URL without a base";
    case UrlFailure::Overflow: return "URLs more than 4 GB are not supported";
  }
  return "";
}

bool is_special_scheme(std::string_view scheme) noexcept { return classify(scheme).special; }

std::optional<std::uint16_t> default_port(std::string_view scheme) noexcept {
  return classify(scheme).port;
}

UrlResult<ParsedUrl> parse_url(std::string_view input) {
  // Built in place and returned by name: moving a ParsedUrl costs more than
  // parsing a short URL does.
  UrlResult<ParsedUrl> result(std::in_place);
  if (auto failure = parse_into(input, *result, /*shortcut=*/true)) result = *failure;
  return result;
}

namespace detail {
UrlResult<ParsedUrl> parse_url_without_shortcut(std::string_view input) {
  UrlResult<ParsedUrl> result(std::in_place);
  if (auto failure = parse_into(input, *result, /*shortcut=*/false)) result = *failure;
  return result;
}
}  // namespace detail

UrlResult<std::string> parse_host(std::string_view input, bool is_opaque) {
  std::string out;
  if (auto failure = detail::parse_host_into(input, is_opaque, out)) return *failure;
  return out;
}

std::string serialize(const ParsedUrl& url) {
  std::string out;
  out.reserve(static_cast<std::size_t>(serialized_length(url)));
  out += url.scheme;
  out += ':';
  if (url.host) {
    out += "//";
    if (!url.username.empty() || !url.password.empty()) {
      out += url.username;
      if (!url.password.empty()) {
        out += ':';
        out += url.password;
      }
      out += '@';
    }
    out += *url.host;
    if (url.port) {
      out += ':';
      out += std::to_string(*url.port);
    }
  } else if (!url.has_opaque_path && url.path.size() > 1 && url.path[0] == '/' &&
             url.path[1] == '/') {
    // Without the "/." a path starting with an empty segment would read back as
    // an authority.
    out += "/.";
  }
  out += url.path;
  if (url.query) {
    out += '?';
    out += *url.query;
  }
  if (url.fragment) {
    out += '#';
    out += *url.fragment;
  }
  return out;
}

}  // namespace zoret::url
