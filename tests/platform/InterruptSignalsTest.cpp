#include "platform/InterruptSignals.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace {

using ::testing::ElementsAre;

void (*HandlerOf(int signal))(int) {
  struct sigaction current = {};
  sigaction(signal, nullptr, &current);
  return current.sa_handler;
}

TEST(InterruptSignalsTest, SignalsReachTheCallbackInsteadOfEndingTheProcessWhileItLives) {
  const auto before = HandlerOf(SIGINT);
  std::mutex lock;
  std::condition_variable arrived;
  std::vector<int> seen;
  {
    platform::InterruptSignals signals([&](int signal) {
      const std::lock_guard guard(lock);
      seen.push_back(signal);
      arrived.notify_all();
    });
    ASSERT_TRUE(signals.Active());
    // One object per process: a second one leaves the signals alone.
    EXPECT_FALSE(platform::InterruptSignals([](int) {}).Active());

    raise(SIGINT);
    raise(SIGTERM);
    std::unique_lock wait(lock);
    ASSERT_TRUE(arrived.wait_for(wait, std::chrono::seconds(20), [&] { return seen.size() == 2; }));
    EXPECT_THAT(seen, ElementsAre(SIGINT, SIGTERM));
  }
  EXPECT_EQ(HandlerOf(SIGINT), before);
}

}  // namespace
