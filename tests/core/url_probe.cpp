// zoret_url_probe: reads one JSON string per line on stdin (JSON so that controls
// and newlines survive) and writes one JSON object per line on stdout:
//   {"ok":true,"scheme":"https","path":"/a","query":"x=1"}   (query null if absent)
//   {"ok":false,"error":"invalid port number"}
// Differential tests drive it against other URL parsers.

#include <iostream>
#include <nlohmann/json.hpp>
#include <string>

#include "zoret/url/whatwg.hpp"

int main() {  // NOLINT(bugprone-exception-escape): a test tool, ended by anything unexpected
  std::ios::sync_with_stdio(false);
  std::string line;
  while (std::getline(std::cin, line)) {
    const auto input = nlohmann::json::parse(line, nullptr, false);
    nlohmann::json out;
    if (!input.is_string()) {
      out = {{"probe_error", "each line must be one JSON string"}};
    } else if (auto url = zoret::url::parse_url(input.get_ref<const std::string&>())) {
      out = {{"ok", true}, {"scheme", url->scheme}, {"path", url->path}, {"query", nullptr}};
      if (url->query) out["query"] = *url->query;
    } else {
      out = {{"ok", false}, {"error", std::string(zoret::url::describe(url.error()))}};
    }
    std::cout << out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
              << std::endl;
  }
  return 0;
}
