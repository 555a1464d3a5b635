// The outcome of an operation that can fail for a reason worth reporting.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace kelva {

// Success, or a message that says what failed (for data files: the file and
// the line).
class Status {
 public:
  static Status ok() { return Status(); }
  static Status error(std::string message) { return Status(std::move(message)); }
  bool isOk() const { return !message_.has_value(); }
  const std::string& message() const { return *message_; }

 private:
  Status() = default;
  explicit Status(std::string message) : message_(std::move(message)) {}
  std::optional<std::string> message_;
};

// A value, or the Status that explains why there is none.
template <typename T>
class Result {
 public:
  Result(T value) : value_(std::move(value)), status_(Status::ok()) {}  // NOLINT: implicit on purpose
  Result(Status status) : status_(std::move(status)) {}                // NOLINT
  bool isOk() const { return value_.has_value(); }
  const Status& status() const { return status_; }
  T& value() { return *value_; }
  const T& value() const { return *value_; }

 private:
  std::optional<T> value_;
  Status status_;
};

}  // namespace kelva
