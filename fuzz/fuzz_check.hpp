#pragma once

// A failed property stops the run with the property's text, so that libFuzzer
// (or the corpus replay under ctest) reports the input that broke it.

#include <cstdio>
#include <cstdlib>

#define ZORET_FUZZ_CHECK(cond) \
  ((cond) ? static_cast<void>(0) : ::zoret_fuzz_failed(#cond, __FILE__, __LINE__))

[[noreturn]] inline void zoret_fuzz_failed(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, what);
  std::abort();
}
