#include "zoret/site/xml_text.hpp"

#include <array>

namespace zoret::site {
namespace {

constexpr std::array<bool, 256> kSpecial = [] {
  std::array<bool, 256> table{};
  for (const unsigned char c : {'&', '<', '>', '"', '\''}) table[c] = true;
  return table;
}();

}  // namespace

void append_escaped_xml(std::string& out, std::string_view text) {
  std::size_t run = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!kSpecial[static_cast<unsigned char>(text[i])]) continue;
    std::string_view entity;
    switch (text[i]) {
      case '&': entity = "&amp;"; break;
      case '<': entity = "&lt;"; break;
      case '>': entity = "&gt;"; break;
      case '"': entity = "&quot;"; break;
      case '\'': entity = "&apos;"; break;
      default: continue;
    }
    out.append(text.data() + run, i - run);
    out.append(entity);
    run = i + 1;
  }
  out.append(text.data() + run, text.size() - run);
}

}  // namespace zoret::site
