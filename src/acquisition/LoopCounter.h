#pragma once

#include <cstdint>

// Loop mode: a batch that delivers the files of its list over and over until `limit` files
// have been moved to. Without loop mode the counter only counts.
class LoopCounter {
 public:
  LoopCounter(bool enabled, int32_t limit) : enabled_(enabled), limit_(limit) {}

  bool Enabled() const { return enabled_; }
  int32_t Limit() const { return limit_; }
  // Files the cursor has moved to since the counter was made.
  int32_t Delivered() const { return delivered_; }

  bool LetsCursorMoveOn() const { return !enabled_ || delivered_ < limit_; }
  void CountDelivery() { ++delivered_; }

 private:
  bool enabled_;
  int32_t limit_;
  int32_t delivered_ = 0;
};
