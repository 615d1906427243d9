#pragma once

// Helpers shared by the core tests.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "zoret/config.hpp"
#include "zoret/json.hpp"
#include "zoret/result.hpp"

namespace zoret::testing {

/// A heap block of exactly the input's size, so that AddressSanitizer reports any
/// read past its end.
class HeapCopy {
 public:
  explicit HeapCopy(std::string_view text)
      : size_(text.size()), data_(std::make_unique_for_overwrite<char[]>(text.size())) {
    if (size_ != 0) std::memcpy(data_.get(), text.data(), size_);
  }
  [[nodiscard]] std::string_view view() const { return {data_.get(), size_}; }

 private:
  std::size_t size_;
  std::unique_ptr<char[]> data_;
};

inline std::string repeat(std::string_view unit, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += unit;
  return out;
}

/// A record's compact text as streamed by its `write_json`.
template <class Record>
std::string compact_json(const Record& record) {
  std::string out;
  append_record_json(out, record, /*pretty=*/false);
  return out;
}

/// The value of `result`, failing the current test when it holds an error.
template <class T>
T value_of(const Result<T>& result) {
  EXPECT_TRUE(result.has_value()) << result.error().display();
  return result ? *result : T();
}

/// Succeeds when `result` holds exactly the error of `kind` with `message`; the
/// predicate behind EXPECT_ERROR.
template <class R>
::testing::AssertionResult holds_error(const char* expression, const char*, const char*,
                                       const R& result, ErrorKind kind,
                                       const std::string& message) {
  if (result.has_value()) return ::testing::AssertionFailure() << expression << " succeeded";
  const ZoretError expected(kind, message);
  if (result.error() == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << expression << " failed with \""
                                       << result.error().display() << "\", not \""
                                       << expected.display() << '"';
}

/// Host example.com, base https://example.com, everything else as value-initialised.
inline SEOConfig site() {
  SEOConfig config;
  config.canonical_host = "example.com";
  config.public_base_url = "https://example.com";
  return config;
}

}  // namespace zoret::testing

/// Expects `result` to hold the error of `kind` with `message`; streams like EXPECT_EQ.
// NOLINTNEXTLINE(readability-identifier-naming): named like the gtest macros it joins
#define EXPECT_ERROR(result, kind, message) \
  EXPECT_PRED_FORMAT3(::zoret::testing::holds_error, result, kind, message)
