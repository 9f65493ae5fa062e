#pragma once

#include <exception>

// Thrown when a page cannot be decoded or rendered. The loading loop catches it and skips the
// page or the file; the decoder has already logged the reason.
class ImageLoadException : public std::exception {
 public:
  const char* what() const noexcept override { return "ImageLoadException"; }
};
