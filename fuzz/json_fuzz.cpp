// Parse, then write both ways and read back: any accepted text must survive the
// compact and the pretty writer unchanged in value.
//
// libFuzzer: clang++ -std=c++20 -fsanitize=fuzzer,address,undefined
//            -Icore/include fuzz/json_fuzz.cpp core/src/json.cpp core/src/error.cpp
// Replaying a corpus without libFuzzer: add -DZORET_FUZZ_REPLAY_MAIN and pass files.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "zoret/json.hpp"

namespace {

void check_round_trip(const zoret::Json& value, const std::string& text, const char* form) {
  const auto again = zoret::parse_json(text);
  if (!again) {
    std::fprintf(stderr, "%s text does not parse: %s\n%s\n", form,
                 again.error().message().c_str(), text.c_str());
    std::abort();
  }
  if (!zoret::json_equal(*again, value)) {
    std::fprintf(stderr, "%s text reads back differently:\n%s\n", form, text.c_str());
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto value = zoret::parse_json(input);
  if (!value) return 0;
  check_round_trip(*value, zoret::to_json_compact(*value), "compact");
  check_round_trip(*value, zoret::to_json_pretty_text(*value), "pretty");
  return 0;
}

#ifdef ZORET_FUZZ_REPLAY_MAIN
int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::FILE* file = std::fopen(argv[i], "rb");
    if (file == nullptr) {
      std::perror(argv[i]);
      return 1;
    }
    std::string bytes;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
    std::fclose(file);
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  return 0;
}
#endif
