// The outcome of an operation that can fail for a reason worth reporting.
#pragma once

#include <optional>
#include <stdexcept>
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
  // Empty for success.
  const std::string& message() const {
    static const std::string none;
    return message_ ? *message_ : none;
  }

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
  // Only a failure explains a missing value: a Result made from an ok Status
  // would claim success and hold nothing, so it is refused on the spot.
  Result(Status status) : status_(std::move(status)) {  // NOLINT
    if (status_.isOk()) throw std::logic_error("a Result needs a value or an error, not an ok Status");
  }
  bool isOk() const { return value_.has_value(); }
  const Status& status() const { return status_; }
  T& value() { return *value_; }
  const T& value() const { return *value_; }

 private:
  std::optional<T> value_;
  Status status_;
};

}  // namespace kelva
