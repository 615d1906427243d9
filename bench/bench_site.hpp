#pragma once

// The site every core benchmark builds its pages for (the Python benchmarks use
// the same one, bench/versus.py).

#include "zoret/config.hpp"

namespace zoret::bench {

inline SEOConfig site_config() {
  SEOConfig config;
  config.canonical_host = "example.com";
  config.public_base_url = "https://example.com";
  config.title_template = "{title} | Example Journal";
  config.publisher_name = "Example Media";
  config.publisher_logo = "https://example.com/static/logo.png";
  config.default_og_image =
      SEOImage{"https://example.com/static/og-default.png", 1200, 630, "Example Journal"};
  config.site_name = "Example Journal";
  config.locale = "en_US";
  return config;
}

}  // namespace zoret::bench
