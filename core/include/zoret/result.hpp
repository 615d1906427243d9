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

/// Holds either a `T` or an error `E`, shaped like `std::expected<T, E>` so that a
/// move to C++23 touches only this header.
template <class T, class E>
class [[nodiscard]] Expected {
 public:
  Expected(const T& value) : state_(std::in_place_index<0>, value) {}
  Expected(T&& value) : state_(std::in_place_index<0>, std::move(value)) {}
  Expected(E error) : state_(std::in_place_index<1>, std::move(error)) {}
  // The constraint keeps copies and moves of Expected itself out of this overload.
  // NOLINTBEGIN(bugprone-forwarding-reference-overload)
  template <class U>
    requires(std::is_constructible_v<T, U&&> && !std::is_same_v<std::decay_t<U>, T> &&
             !std::is_same_v<std::decay_t<U>, E> && !std::is_same_v<std::decay_t<U>, Expected>)
  Expected(U&& value) : state_(std::in_place_index<0>, std::forward<U>(value)) {}
  // NOLINTEND(bugprone-forwarding-reference-overload)
  /// Holds a value-initialised `T`, to be filled in place.
  explicit Expected(std::in_place_t) : state_(std::in_place_index<0>) {}

  [[nodiscard]] bool has_value() const noexcept { return state_.index() == 0; }
  explicit operator bool() const noexcept { return has_value(); }

  [[nodiscard]] T& value() & { ZORET_ASSERT(has_value()); return *std::get_if<0>(&state_); }
  [[nodiscard]] const T& value() const& { ZORET_ASSERT(has_value()); return *std::get_if<0>(&state_); }
  [[nodiscard]] T&& value() && { ZORET_ASSERT(has_value()); return std::move(*std::get_if<0>(&state_)); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T&& operator*() && { return std::move(*this).value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  [[nodiscard]] const E& error() const& { ZORET_ASSERT(!has_value()); return *std::get_if<1>(&state_); }
  [[nodiscard]] E&& error() && { ZORET_ASSERT(!has_value()); return std::move(*std::get_if<1>(&state_)); }

 private:
  std::variant<T, E> state_;
};

/// Success without a value, or an error `E`.
template <class E>
class [[nodiscard]] Expected<void, E> {
 public:
  Expected() = default;
  Expected(E error) : error_(std::move(error)) {}

  [[nodiscard]] bool has_value() const noexcept { return !error_.has_value(); }
  explicit operator bool() const noexcept { return has_value(); }
  [[nodiscard]] const E& error() const& { ZORET_ASSERT(!has_value()); return *error_; }
  [[nodiscard]] E&& error() && { ZORET_ASSERT(!has_value()); return std::move(*error_); }

 private:
  std::optional<E> error_;
};

/// The result of every fallible core operation.
template <class T>
using Result = Expected<T, ZoretError>;

}  // namespace zoret
