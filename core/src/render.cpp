#include "zoret/render.hpp"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "detail/ascii.hpp"
#include "zoret/json.hpp"

namespace zoret {
namespace {

constexpr std::array<bool, 256> kHtmlSpecial = [] {
  std::array<bool, 256> table{};
  for (const unsigned char c : {'&', '<', '>', '"', '\''}) table[c] = true;
  return table;
}();

/// The first byte in [p, end) that HTML escaping replaces, or `end`. Values are
/// mostly plain text and URLs: sixteen bytes are cleared at a time where SSE2 is
/// there (every x86-64), the last load ending at `end`; shorter values and the
/// rest byte by byte.
const char* find_html_special(const char* p, const char* end) noexcept {
#if defined(__SSE2__)
  if (end - p >= 16) {
    const auto hits = [](const char* at) noexcept {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
      const auto is = [&](char c) { return _mm_cmpeq_epi8(bytes, _mm_set1_epi8(c)); };
      return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
          _mm_or_si128(_mm_or_si128(is('&'), is('<')), _mm_or_si128(is('>'), is('"'))),
          is('\''))));
    };
    for (; end - p > 16; p += 16) {
      if (const unsigned mask = hits(p); mask != 0) return p + std::countr_zero(mask);
    }
    // The last sixteen bytes overlap what was cleared: the first hit lies at p or later.
    const unsigned mask = hits(end - 16);
    return mask == 0 ? end : end - 16 + std::countr_zero(mask);
  }
#endif
  while (p != end && !kHtmlSpecial[static_cast<unsigned char>(*p)]) ++p;
  return p;
}

// Room for the markup around each value; the values themselves are added on top,
// so a snippet without characters to escape is built without reallocating.
constexpr std::size_t kTagOverhead = 48;

std::size_t text_size(const std::string& s) { return s.size() + kTagOverhead; }
std::size_t text_size(const std::optional<std::string>& s) {
  return s ? s->size() + kTagOverhead : 0;
}

std::size_t og_size(const OGPayload& og) {
  std::size_t n = text_size(og.type) + text_size(og.title) + text_size(og.description) +
                  text_size(og.url) + text_size(og.image) + text_size(og.image_alt) +
                  text_size(og.site_name) + text_size(og.locale) + text_size(og.audio) +
                  text_size(og.video) + 2 * (kTagOverhead + 10);
  if (og.locale_alternate) {
    for (const auto& locale : *og.locale_alternate) n += locale.size() + kTagOverhead;
  }
  return n;
}

std::size_t twitter_size(const TwitterPayload& tw) {
  return text_size(tw.card) + text_size(tw.title) + text_size(tw.description) +
         text_size(tw.image) + text_size(tw.image_alt) + text_size(tw.site) +
         text_size(tw.creator);
}

// `open` is everything up to the opening quote of the value.
void append_tag(std::string& out, std::string_view open, std::string_view value) {
  out += open;
  append_escaped_html(out, value);
  out += "\">\n";
}

void append_present_tag(std::string& out, std::string_view open,
                        const std::optional<std::string>& value) {
  if (value) append_tag(out, open, *value);
}

void append_present_tag(std::string& out, std::string_view open,
                        const std::optional<std::uint32_t>& value) {
  if (!value) return;
  out += open;
  detail::append_decimal(out, *value);
  out += "\">\n";
}

// Each line is followed by "\n"; the single renderers drop the last one.
void append_opengraph_lines(std::string& out, const OGPayload& og) {
  append_tag(out, R"(<meta property="og:type" content=")", og.type);
  append_present_tag(out, R"(<meta property="og:title" content=")", og.title);
  append_present_tag(out, R"(<meta property="og:description" content=")", og.description);
  append_present_tag(out, R"(<meta property="og:url" content=")", og.url);
  append_present_tag(out, R"(<meta property="og:image" content=")", og.image);
  append_present_tag(out, R"(<meta property="og:image:width" content=")", og.image_width);
  append_present_tag(out, R"(<meta property="og:image:height" content=")", og.image_height);
  append_present_tag(out, R"(<meta property="og:image:alt" content=")", og.image_alt);
  append_present_tag(out, R"(<meta property="og:site_name" content=")", og.site_name);
  append_present_tag(out, R"(<meta property="og:locale" content=")", og.locale);
  if (og.locale_alternate) {
    for (const auto& locale : *og.locale_alternate) {
      append_tag(out, R"(<meta property="og:locale:alternate" content=")", locale);
    }
  }
  append_present_tag(out, R"(<meta property="og:audio" content=")", og.audio);
  append_present_tag(out, R"(<meta property="og:video" content=")", og.video);
}

void append_twitter_lines(std::string& out, const TwitterPayload& tw) {
  append_tag(out, R"(<meta name="twitter:card" content=")", tw.card);
  append_present_tag(out, R"(<meta name="twitter:title" content=")", tw.title);
  append_present_tag(out, R"(<meta name="twitter:description" content=")", tw.description);
  append_present_tag(out, R"(<meta name="twitter:image" content=")", tw.image);
  append_present_tag(out, R"(<meta name="twitter:image:alt" content=")", tw.image_alt);
  append_present_tag(out, R"(<meta name="twitter:site" content=")", tw.site);
  append_present_tag(out, R"(<meta name="twitter:creator" content=")", tw.creator);
}

constexpr std::string_view kScriptOpen = "<script type=\"application/ld+json\">\n";
constexpr std::string_view kScriptClose = "\n</script>";

// "<" occurs in JSON text only inside strings, where "<\/" and "\u003c" read back
// as the same characters; so the JSON stays equal while no "</" can end the
// element and no "<!--" can switch the tokenizer into its double-escaped state.
void append_script(std::string& out, std::string_view json) {
  out += kScriptOpen;
  std::size_t run = 0;
  for (std::size_t lt = json.find('<'); lt != std::string_view::npos;
       lt = json.find('<', lt + 1)) {
    const std::string_view rest = json.substr(lt + 1);
    if (rest.starts_with('/')) {
      out.append(json, run, lt + 1 - run);
      out += '\\';
      run = lt + 1;
    } else if (rest.starts_with("!--")) {
      out.append(json, run, lt - run);
      out += "\\u003c";
      run = lt + 1;
    }
  }
  out.append(json, run);
  out += kScriptClose;
}

std::string script_element(std::string_view json) {
  std::string out;
  out.reserve(kScriptOpen.size() + json.size() + kScriptClose.size() + 16);
  append_script(out, json);
  return out;
}

/// Appends the script element of `compact`, the JSON-LD's compact text, indented.
/// Without a "<" there is nothing to escape, and the text is re-indented straight
/// into place rather than into a copy that is then scanned.
void append_script_from_compact(std::string& out, std::string_view compact) {
  if (compact.find('<') == std::string_view::npos) {
    out += kScriptOpen;
    append_json_reindented(out, compact);
    out += kScriptClose;
    return;
  }
  std::string json;
  append_json_reindented(json, compact);
  append_script(out, json);
}

/// The head snippet; `jsonld_size` bounds the JSON-LD's indented text and
/// `append_jsonld(out)` appends its script element (both used only when there is
/// JSON-LD).
template <class AppendJsonld>
void append_head_snippet(std::string& out, const SEOPayload& payload, std::size_t jsonld_size,
                         AppendJsonld&& append_jsonld) {
  out.reserve(out.size() + text_size(payload.title) + text_size(payload.description) +
              text_size(payload.canonical) + text_size(payload.robots) +
              og_size(payload.og) + twitter_size(payload.twitter) +
              (payload.schema_jsonld ? kScriptOpen.size() + jsonld_size + 32 : 0));
  out += "<title>";
  append_escaped_html(out, payload.title);
  out += "</title>\n";
  if (!payload.description.empty()) {
    append_tag(out, R"(<meta name="description" content=")", payload.description);
  }
  append_tag(out, R"(<link rel="canonical" href=")", payload.canonical);
  append_tag(out, R"(<meta name="robots" content=")", payload.robots);
  append_opengraph_lines(out, payload.og);
  append_twitter_lines(out, payload.twitter);
  if (payload.schema_jsonld) {
    append_jsonld(out);
    out += '\n';
  }
}

}  // namespace

void append_escaped_html(std::string& out, std::string_view text) {
  const char* run = text.data();
  const char* const end = text.data() + text.size();
  for (const char* p = find_html_special(run, end); p != end; p = find_html_special(run, end)) {
    out.append(run, p);
    run = p + 1;
    switch (*p) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += "&#x27;"; break;
    }
  }
  out.append(run, end);
}

std::string escape_html(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  append_escaped_html(out, text);
  return out;
}

std::string render_opengraph(const SEOPayload& payload) {
  std::string out;
  out.reserve(og_size(payload.og));
  append_opengraph_lines(out, payload.og);
  out.pop_back();
  return out;
}

std::string render_twitter(const SEOPayload& payload) {
  std::string out;
  out.reserve(twitter_size(payload.twitter));
  append_twitter_lines(out, payload.twitter);
  out.pop_back();
  return out;
}

std::string render_jsonld(const SEOPayload& payload) {
  if (!payload.schema_jsonld) return std::string();
  return script_element(to_json_pretty_text(*payload.schema_jsonld));
}

std::string render_jsonld(const SEOPayload& payload, std::string_view jsonld) {
  if (!payload.schema_jsonld) return std::string();
  std::string out;
  out.reserve(kScriptOpen.size() + jsonld.size() * 2 + kScriptClose.size());
  append_script_from_compact(out, jsonld);
  return out;
}

std::string render_html(const SEOPayload& payload) {
  std::string json;
  if (payload.schema_jsonld) json = to_json_pretty_text(*payload.schema_jsonld);
  std::string out;
  append_head_snippet(out, payload, json.size(),
                      [&](std::string& text) { append_script(text, json); });
  return out;
}

std::string render_html(const SEOPayload& payload, std::string_view jsonld) {
  std::string out;
  append_html(out, payload, jsonld);
  return out;
}

void append_html(std::string& out, const SEOPayload& payload, std::string_view jsonld) {
  // The indented text is at most twice the compact one for the usual shallow
  // JSON-LD; a deeper one grows the string once more.
  append_head_snippet(out, payload, jsonld.size() * 2,
                      [&](std::string& text) { append_script_from_compact(text, jsonld); });
}

}  // namespace zoret
