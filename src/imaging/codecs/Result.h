#pragma once

#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace imaging {

// The reason a decoder or encoder gave up; the text becomes the image's last error.
struct Error {
  std::string text;
};

// A value or an Error. Bad input is an Error, never an exception or an assertion.
template <typename T>
class [[nodiscard]] Result {
 public:
  template <typename U>
    requires std::is_convertible_v<U&&, T>
  Result(U&& value) : state_(std::in_place_index<0>, std::forward<U>(value)) {}
  Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}

  bool IsError() const { return state_.index() == 1; }
  T& Value() & { return std::get<0>(state_); }
  T&& Value() && { return std::get<0>(std::move(state_)); }
  const T& Value() const& { return std::get<0>(state_); }
  const std::string& ErrorText() const { return std::get<1>(state_).text; }
  Error TakeError() { return std::move(std::get<1>(state_)); }

 private:
  std::variant<T, Error> state_;
};

// Success or an Error, for steps that produce nothing.
class [[nodiscard]] Status {
 public:
  Status() = default;
  Status(Error error) : error_(std::move(error.text)), failed_(true) {}
  static Status Ok() { return {}; }

  bool IsError() const { return failed_; }
  const std::string& ErrorText() const { return error_; }
  Error TakeError() { return Error{std::move(error_)}; }

 private:
  std::string error_;
  bool failed_ = false;
};

}  // namespace imaging
