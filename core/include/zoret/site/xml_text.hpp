#pragma once

#include <string>
#include <string_view>

namespace zoret::site {

/// Appends `text` to `out` with the five XML special characters replaced by the
/// predefined entities: & &amp;, < &lt;, > &gt;, " &quot;, ' &apos;, so that the
/// text is safe in element content and in either kind of quoted attribute.
/// Every other byte is copied: callers pass text already restricted to
/// characters XML 1.0 allows (URLs after `encode_uri_reference`, checked dates
/// and language tags). XML 1.0, section 2.4.
void append_escaped_xml(std::string& out, std::string_view text);

}  // namespace zoret::site
