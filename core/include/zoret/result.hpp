#pragma once

#include <cassert>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

#include "zoret/error.hpp"

namespace zoret {

/// Programmer mistakes only; never used for bad caller input.
#define ZORET_ASSERT(cond) assert(cond)

/// Holds either a `T` or a `ZoretError`, shaped like `std::expected<T, ZoretError>`
/// so that a move to C++23 touches only this header.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(const T& value) : state_(std::in_place_index<0>, value) {}
  Result(T&& value) : state_(std::in_place_index<0>, std::move(value)) {}
  Result(ZoretError error) : state_(std::in_place_index<1>, std::move(error)) {}
  template <class U>
    requires(std::is_constructible_v<T, U&&> && !std::is_same_v<std::decay_t<U>, T> &&
             !std::is_same_v<std::decay_t<U>, ZoretError> &&
             !std::is_same_v<std::decay_t<U>, Result>)
  Result(U&& value) : state_(std::in_place_index<0>, std::forward<U>(value)) {}

  [[nodiscard]] bool has_value() const noexcept { return state_.index() == 0; }
  explicit operator bool() const noexcept { return has_value(); }

  T& value() & { ZORET_ASSERT(has_value()); return *std::get_if<0>(&state_); }
  const T& value() const& { ZORET_ASSERT(has_value()); return *std::get_if<0>(&state_); }
  T&& value() && { ZORET_ASSERT(has_value()); return std::move(*std::get_if<0>(&state_)); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T&& operator*() && { return std::move(*this).value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  const ZoretError& error() const& { ZORET_ASSERT(!has_value()); return *std::get_if<1>(&state_); }
  ZoretError&& error() && { ZORET_ASSERT(!has_value()); return std::move(*std::get_if<1>(&state_)); }

 private:
  std::variant<T, ZoretError> state_;
};

/// Success without a value, or a `ZoretError`.
template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(ZoretError error) : error_(std::move(error)) {}

  [[nodiscard]] bool has_value() const noexcept { return !error_.has_value(); }
  explicit operator bool() const noexcept { return has_value(); }
  const ZoretError& error() const& { ZORET_ASSERT(!has_value()); return *error_; }
  ZoretError&& error() && { ZORET_ASSERT(!has_value()); return std::move(*error_); }

 private:
  std::optional<ZoretError> error_;
};

}  // namespace zoret
