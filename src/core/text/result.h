#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

namespace tw {

// What a call at the platform boundary gives back: its value, or a message a user can read
// that says what failed and why (the system's reason turned into text where it happened).
//
// The error convention: the platform layer reports failures through a Result; the core and the
// front ends above it throw exceptions that carry such a message (valueOrThrow), and every
// thread entry point catches them and reports them. A failure is never turned into invented
// data.
template <typename T>
class Result {
 public:
  Result(T value) : value_(std::move(value)) {}  // NOLINT(google-explicit-constructor)
  static Result failure(std::string message) { return Result(Failed{std::move(message)}); }

  bool ok() const { return value_.has_value(); }
  explicit operator bool() const { return ok(); }
  const T& value() const& { return *value_; }
  T& value() & { return *value_; }
  T&& value() && { return std::move(*value_); }
  const T* operator->() const { return &*value_; }
  const T& operator*() const { return *value_; }
  // The message of a failure; empty for a success.
  const std::string& error() const { return error_; }
  T valueOr(T fallback) const { return ok() ? *value_ : std::move(fallback); }
  // The value, or std::runtime_error with the message.
  const T& valueOrThrow() const {
    if (!ok()) throw std::runtime_error(error_);
    return *value_;
  }

 private:
  struct Failed {
    std::string message;
  };
  explicit Result(Failed failed) : error_(std::move(failed.message)) {}
  std::optional<T> value_;
  std::string error_;
};

// A call that gives nothing back but may fail.
template <>
class Result<void> {
 public:
  Result() = default;
  static Result failure(std::string message) {
    Result r;
    r.failed_ = true;
    r.error_ = std::move(message);
    return r;
  }
  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  const std::string& error() const { return error_; }
  void throwIfFailed() const {
    if (failed_) throw std::runtime_error(error_);
  }

 private:
  bool failed_ = false;
  std::string error_;
};

using Status = Result<void>;

}  // namespace tw
