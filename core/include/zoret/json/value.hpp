#pragma once

#include <cstdint>

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "zoret/json/allocator.hpp"

namespace zoret {

/// The JSON value of the system. Objects are `std::map`s, so keys are unique and
/// iterate in ascending byte order. Numbers are held as exactly one of: unsigned
/// 64-bit (every non-negative integer), signed 64-bit (negative integers only) or
/// double. Build integers with `json_int` / `json_uint` to keep that invariant.
/// Its parts are allocated through JsonAllocator.
using Json = nlohmann::basic_json<std::map, std::vector, std::string, bool, std::int64_t,
                                  std::uint64_t, double, JsonAllocator>;

[[nodiscard]] Json json_uint(std::uint64_t value);
/// A negative value is held signed, any other value unsigned.
[[nodiscard]] Json json_int(std::int64_t value);

/// Structural equality in which numbers are equal only when held the same way
/// with the same value: 1 and 1.0 differ.
[[nodiscard]] bool json_equal(const Json& a, const Json& b) noexcept;

/// Empties `value`'s objects and arrays from the leaves up. The value library
/// destroys a container by first moving all of its descendants into a stack it
/// allocates, so that deep values cannot exhaust the call stack; a tree emptied
/// this way is destroyed without that stack or those moves. Levels deeper than a
/// bound are left to the library. `value` stays valid: an emptied container.
void empty_from_leaves(Json& value) noexcept;

}  // namespace zoret
