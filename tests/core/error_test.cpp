#include "zoret/error.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zoret/result.hpp"

namespace zoret {
namespace {

TEST(ZoretErrorDisplay, PrefixPerKindThenMessage) {
  const std::vector<std::pair<ErrorKind, std::string>> rows = {
      {ErrorKind::InvalidUrl, "invalid URL: x"},
      {ErrorKind::InvalidConfiguration, "invalid configuration: x"},
      {ErrorKind::InvalidEntity, "invalid entity: x"},
      {ErrorKind::InvalidSchema, "invalid schema: x"},
      {ErrorKind::Serialization, "serialization error: x"},
      {ErrorKind::Contract, "contract error: x"},
      {ErrorKind::UrlPolicy, "URL policy error: x"},
  };
  for (const auto& [kind, shown] : rows) {
    const ZoretError error(kind, "x");
    EXPECT_EQ(error.display(), shown);
    EXPECT_EQ(error.message(), "x");
    EXPECT_EQ(error.kind(), kind);
  }
  // The message goes in unchanged, an empty one included.
  EXPECT_EQ(ZoretError(ErrorKind::InvalidUrl, "").display(), "invalid URL: ");
  EXPECT_EQ(ZoretError(ErrorKind::Contract, "{} %s \n").display(), "contract error: {} %s \n");
}

TEST(Result, HoldsValueOrErrorAndMovesOut) {
  Result<std::string> ok(std::string("value"));
  ASSERT_TRUE(ok);
  EXPECT_EQ(*ok, "value");
  EXPECT_EQ(std::move(ok).value(), "value");

  Result<std::string> failed(ZoretError(ErrorKind::Serialization, "boom"));
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error(), ZoretError(ErrorKind::Serialization, "boom"));
  EXPECT_NE(failed.error(), ZoretError(ErrorKind::Contract, "boom"));

  Result<void> done;
  EXPECT_TRUE(done);
  Result<void> not_done(ZoretError(ErrorKind::InvalidUrl, "m"));
  EXPECT_EQ(not_done.error().display(), "invalid URL: m");
}

}  // namespace
}  // namespace zoret
