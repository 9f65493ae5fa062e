// The message window that stands in for the dialog's window: messages, commands and timers
// handled one at a time on its own thread.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "Polling.h"
#include "platform/MessageWindow.h"

namespace session_test {
namespace {

using platform::MessageWindow;
using platform::WindowMessage;

// Records every message the window hands to its handler.
class Recorder {
 public:
  MessageWindow::Handler Handler() {
    return [this](const WindowMessage& message) {
      std::lock_guard lock(mutex_);
      messages_.push_back(message);
    };
  }
  std::vector<WindowMessage> Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  bool WaitForCount(std::size_t count) const {
    return WaitUntil([&] { return Messages().size() >= count; });
  }

 private:
  mutable std::mutex mutex_;
  std::vector<WindowMessage> messages_;
};

// A message posted after everything else: once it has arrived, whatever was queued before it
// has been handled.
constexpr std::uint32_t kSentinel = platform::WM_USER + 1;

class MessageWindowTest : public ::testing::Test {
 protected:
  // Posts a sentinel and waits for it; returns what arrived before it since `from`.
  std::vector<WindowMessage> DrainAfter(std::size_t from) {
    const std::size_t before = recorder.Messages().size();
    EXPECT_TRUE(window.Post(kSentinel));
    EXPECT_TRUE(recorder.WaitForCount(before + 1));
    std::vector<WindowMessage> all = recorder.Messages();
    std::vector<WindowMessage> result;
    for (std::size_t i = from; i < all.size(); ++i) {
      if (all[i].message != kSentinel) result.push_back(all[i]);
    }
    return result;
  }

  Recorder recorder;  // outlives the window, whose thread calls it
  MessageWindow window{recorder.Handler()};
};

TEST_F(MessageWindowTest, PostedMessagesArriveInOrderWithTheirParameters) {
  EXPECT_FALSE(window.Post(platform::WM_USER + 200)) << "nothing is queued before the window exists";
  ASSERT_TRUE(window.Create());
  EXPECT_FALSE(window.Create());

  ASSERT_TRUE(window.Post(platform::WM_USER + 200, 11, -12));
  ASSERT_TRUE(window.Post(platform::WM_COMMAND, 1004));
  ASSERT_TRUE(window.Post(platform::WM_CLOSE));
  ASSERT_TRUE(recorder.WaitForCount(3));

  const std::vector<WindowMessage> messages = recorder.Messages();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].message, platform::WM_USER + 200);
  EXPECT_EQ(messages[0].wParam, 11u);
  EXPECT_EQ(messages[0].lParam, -12);
  EXPECT_EQ(messages[1].message, platform::WM_COMMAND);
  EXPECT_EQ(messages[1].wParam, 1004u);
  EXPECT_EQ(messages[2].message, platform::WM_CLOSE);

  window.Stop();
  EXPECT_FALSE(window.Post(platform::WM_CLOSE));
  EXPECT_EQ(window.SetTimer(1, 10), 0u);
  EXPECT_TRUE(window.Join());
  EXPECT_TRUE(window.HasEnded());
}

TEST_F(MessageWindowTest, TimersDeliverTheirOwnIdsUntilKilled) {
  ASSERT_TRUE(window.Create());
  EXPECT_EQ(window.SetTimer(0, 10), 0u);
  EXPECT_EQ(window.SetTimer(5, 0), 0u);
  EXPECT_FALSE(window.KillTimer(5));
  ASSERT_EQ(window.SetTimer(7, 2), 7u);
  ASSERT_EQ(window.SetTimer(9, 3), 9u);

  auto seen = [&](std::uintptr_t id) {
    for (const WindowMessage& message : recorder.Messages()) {
      if (message.message == platform::WM_TIMER && message.wParam == id) return true;
    }
    return false;
  };
  ASSERT_TRUE(WaitUntil([&] { return seen(7) && seen(9); }));
  for (const WindowMessage& message : recorder.Messages()) {
    EXPECT_EQ(message.message, platform::WM_TIMER);
    EXPECT_TRUE(message.wParam == 7 || message.wParam == 9) << message.wParam;
  }
  EXPECT_TRUE(window.KillTimer(7));
  EXPECT_TRUE(window.KillTimer(9));
}

// Held timer messages wait (one per timer, however often it fired) while other messages flow;
// killing the timer does not take back the message it has already queued, so the handler gets
// a message for a timer that no longer runs and must recognise it by its id.
TEST_F(MessageWindowTest, HeldTimerMessageOutlivesItsKilledTimer) {
  ASSERT_TRUE(window.Create());
  window.HoldTimerMessages();
  ASSERT_EQ(window.SetTimer(3, 1), 3u);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));  // the timer is overdue many times over
  // The sentinel is handled after the window has looked at its timers, so a message for timer 3
  // is queued by now; held, it must not follow the sentinel.
  EXPECT_TRUE(DrainAfter(0).empty());
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(recorder.Messages().size(), 1u);

  EXPECT_TRUE(window.KillTimer(3));
  const std::size_t beforeRelease = recorder.Messages().size();
  window.ReleaseTimerMessages();
  ASSERT_TRUE(recorder.WaitForCount(beforeRelease + 1));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const std::vector<WindowMessage> late = DrainAfter(beforeRelease);
  ASSERT_EQ(late.size(), 1u);
  EXPECT_EQ(late[0].message, platform::WM_TIMER);
  EXPECT_EQ(late[0].wParam, 3u);
}

TEST_F(MessageWindowTest, CommandsFromManyThreadsRunOneAtATimeOnTheWindowThread) {
  ASSERT_TRUE(window.Create());
  constexpr int kThreads = 4;
  constexpr int kCommandsPerThread = 100;
  std::atomic<int> running{0};
  std::atomic<int> overlaps{0};
  std::atomic<int> offThread{0};
  std::mutex orderMutex;
  std::vector<std::vector<int>> order(kThreads);

  std::vector<std::thread> posters;
  for (int poster = 0; poster < kThreads; ++poster) {
    posters.emplace_back([&, poster] {
      for (int i = 0; i < kCommandsPerThread; ++i) {
        ASSERT_TRUE(window.Run([&, poster, i] {
          if (running.fetch_add(1) != 0) ++overlaps;
          if (!window.IsWindowThread()) ++offThread;
          {
            std::lock_guard lock(orderMutex);
            order[poster].push_back(i);
          }
          std::this_thread::yield();
          running.fetch_sub(1);
        }));
      }
    });
  }
  for (std::thread& poster : posters) poster.join();
  ASSERT_TRUE(WaitUntil([&] {
    std::lock_guard lock(orderMutex);
    std::size_t total = 0;
    for (const auto& list : order) total += list.size();
    return total == kThreads * kCommandsPerThread;
  }));
  EXPECT_EQ(overlaps.load(), 0);
  EXPECT_EQ(offThread.load(), 0);
  for (int poster = 0; poster < kThreads; ++poster) {
    for (int i = 0; i < kCommandsPerThread; ++i) EXPECT_EQ(order[poster][i], i) << "poster " << poster;
  }
  EXPECT_FALSE(window.IsWindowThread());
}

// A handler may destroy its own window (a source disabled from a callback on this thread):
// nothing waits for the thread, which ends after the handler.
TEST(MessageWindowTeardown, HandlerDestroyingItsOwnWindowDoesNotWaitForItself) {
  std::unique_ptr<MessageWindow> window;
  std::promise<bool> joinedItself;
  std::promise<void> destroyed;
  window = std::make_unique<MessageWindow>([&](const WindowMessage&) {
    joinedItself.set_value(window->Join());
    window.reset();
    destroyed.set_value();
  });
  ASSERT_TRUE(window->Create());
  ASSERT_TRUE(window->Post(platform::WM_CLOSE));
  std::future<void> done = destroyed.get_future();
  ASSERT_EQ(done.wait_for(kHangLimit), std::future_status::ready);
  EXPECT_FALSE(joinedItself.get_future().get());
  // Give the detached thread its moment to leave; under ASan a use of the freed window would show.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

// Destroyed from another thread, the window waits for the handler that is running.
TEST(MessageWindowTeardown, DestructorWaitsForTheRunningHandler) {
  std::promise<void> started;
  std::atomic<bool> finished{false};
  auto window = std::make_unique<MessageWindow>([&](const WindowMessage&) {
    started.set_value();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    finished = true;
  });
  ASSERT_TRUE(window->Create());
  ASSERT_TRUE(window->Post(platform::WM_CLOSE));
  ASSERT_EQ(started.get_future().wait_for(kHangLimit), std::future_status::ready);
  window.reset();
  EXPECT_TRUE(finished.load());
}

}  // namespace
}  // namespace session_test
