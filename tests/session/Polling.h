#pragma once

// Waiting for something another thread does. The limit only keeps a broken test from hanging;
// it is far above what any passing run needs.

#include <chrono>
#include <cstddef>
#include <string>
#include <thread>

namespace session_test {

inline constexpr std::chrono::seconds kHangLimit{20};

template <typename Predicate>
bool WaitUntil(Predicate done, std::chrono::milliseconds limit = kHangLimit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

inline std::size_t CountOf(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
  return count;
}

}  // namespace session_test
