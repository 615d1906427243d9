#pragma once

// Payloads and JSON values shared by the payload, rendering and output tests.

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "zoret/json.hpp"
#include "zoret/payload.hpp"

namespace zoret::testing {

/// Parses `text`, failing the current test when it is not JSON.
inline Json parse(std::string_view text) {
  auto value = parse_json(text);
  EXPECT_TRUE(value.has_value()) << text;
  return value ? *std::move(value) : Json();
}

/// Only the fields that are always present: title T, canonical C, og type
/// website, card summary.
inline SEOPayload minimal_payload(std::string robots = "index,follow") {
  SEOPayload p;
  p.title = "T";
  p.canonical = "C";
  p.robots = std::move(robots);
  p.og.type = "website";
  p.twitter.card = "summary";
  return p;
}

}  // namespace zoret::testing
