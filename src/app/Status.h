// The outcome of an operation that can be refused, with the reason in words for the user.
#pragma once

#include <string>
#include <utility>

namespace korvane {

class [[nodiscard]] TStatus {
 public:
  static TStatus Ok() { return TStatus(); }
  static TStatus Error(std::string message) { return TStatus(std::move(message)); }

  bool ok() const { return ok_; }
  explicit operator bool() const { return ok_; }
  const std::string& message() const { return message_; }

 private:
  TStatus() = default;
  explicit TStatus(std::string message) : ok_(false), message_(std::move(message)) {}

  bool ok_ = true;
  std::string message_;
};

}  // namespace korvane
