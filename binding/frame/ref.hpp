#pragma once

#include <Python.h>

#include <utility>

namespace zoret::py {

/// Owns exactly one strong reference, or none. A bare `PyObject*` elsewhere in the
/// binding is always borrowed.
class Ref {
 public:
  Ref() = default;
  static Ref steal(PyObject* fresh) noexcept { return Ref(fresh); }
  static Ref borrow(PyObject* existing) noexcept {
    Py_XINCREF(existing);
    return Ref(existing);
  }

  Ref(Ref&& other) noexcept : obj_(std::exchange(other.obj_, nullptr)) {}
  Ref& operator=(Ref&& other) noexcept {
    if (this != &other) {
      PyObject* old = std::exchange(obj_, std::exchange(other.obj_, nullptr));
      Py_XDECREF(old);
    }
    return *this;
  }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  ~Ref() { Py_XDECREF(obj_); }

  [[nodiscard]] PyObject* get() const noexcept { return obj_; }
  [[nodiscard]] PyObject* release() noexcept { return std::exchange(obj_, nullptr); }
  explicit operator bool() const noexcept { return obj_ != nullptr; }

 private:
  explicit Ref(PyObject* obj) noexcept : obj_(obj) {}
  PyObject* obj_ = nullptr;
};

}  // namespace zoret::py
