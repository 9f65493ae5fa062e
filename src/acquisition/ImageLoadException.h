#pragma once

#include <exception>
#include <string>

// Thrown when a page cannot be decoded or rendered. The loading loop catches it and skips the
// page or the file. what() names the type, as callers have always seen it; Reason() says what
// was wrong with the file, for the log line that reports the skipped page.
class ImageLoadException : public std::exception {
 public:
  ImageLoadException() = default;
  explicit ImageLoadException(std::string reason) : reason_(std::move(reason)) {}

  const char* what() const noexcept override { return "ImageLoadException"; }
  // Empty when nothing more is known.
  const std::string& Reason() const noexcept { return reason_; }

 private:
  std::string reason_;
};
