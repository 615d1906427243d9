#include "zoret/hashing.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace zoret {
namespace {

TEST(Sha256Hex, MatchesKnownDigests) {
  struct Row {
    const char* name;
    std::string input;
    const char* digest;
  };
  const Row rows[] = {
      // FIPS 180-4 examples, plus the long message of the NIST test vectors.
      {"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"two blocks", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"million a", std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
      // Embedded NUL bytes are data, not terminators.
      {"nul byte", std::string(1, '\0'),
       "6e340b9cffb37a989ca544e6bb780a2c78901d3fb33738768511a30617afa01d"},
      {"nul inside", std::string("a\0b", 3),
       "59b271ae1bbcb1d31d41929817f4b16fb439eb4f31520b5ad1d5ce98920a7138"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Result<std::string> digest = sha256_hex(row.input);
    ASSERT_TRUE(digest.has_value()) << digest.error().display();
    EXPECT_EQ(*digest, row.digest);
    // In pieces, at every split and with empty pieces around it, the same digest.
    const std::string_view text(row.input);
    for (std::size_t at = 0; at <= text.size() && at < 130; ++at) {
      const std::string_view parts[] = {"", text.substr(0, at), "", text.substr(at)};
      EXPECT_EQ(*sha256_hex(parts), *digest) << at;
    }
  }
}

}  // namespace
}  // namespace zoret
