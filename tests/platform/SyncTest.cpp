#include "platform/Sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

namespace {

using platform::Event;
using platform::WAIT_FAILED;
using platform::WAIT_OBJECT_0;
using platform::WAIT_TIMEOUT;
using platform::WaitForMultiple;

TEST(EventTest, AutoResetEventReleasesOneWaitOnly) {
  Event event(/*manualReset=*/false, /*initiallySet=*/true);
  EXPECT_EQ(event.Wait(0), WAIT_OBJECT_0);
  EXPECT_EQ(event.Wait(0), WAIT_TIMEOUT);
  EXPECT_FALSE(event.IsSet());
}

TEST(EventTest, ManualResetEventStaysSetUntilReset) {
  Event event(/*manualReset=*/true);
  EXPECT_EQ(event.Wait(0), WAIT_TIMEOUT);
  event.Set();
  EXPECT_EQ(event.Wait(0), WAIT_OBJECT_0);
  EXPECT_EQ(event.Wait(0), WAIT_OBJECT_0);
  event.Reset();
  EXPECT_EQ(event.Wait(0), WAIT_TIMEOUT);
}

TEST(EventTest, WaitTimesOutWith258) {
  Event event(/*manualReset=*/true);
  EXPECT_EQ(event.Wait(20), 258u);
}

TEST(WaitForMultipleTest, ReportsTheFirstSetEventAndConsumesOnlyThatOne) {
  Event cancel(/*manualReset=*/true);
  Event haveData(/*manualReset=*/false);
  haveData.Set();
  EXPECT_EQ(WaitForMultiple({&cancel, &haveData}, 0), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(WaitForMultiple({&cancel, &haveData}, 0), WAIT_TIMEOUT);

  cancel.Set();
  haveData.Set();
  // The lower index wins, and an auto-reset event that was not reported keeps its signal.
  EXPECT_EQ(WaitForMultiple({&cancel, &haveData}, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(haveData.IsSet());
}

TEST(WaitForMultipleTest, FailsForAnEmptyListOrANullEntry) {
  Event event(/*manualReset=*/true, /*initiallySet=*/true);
  EXPECT_EQ(WaitForMultiple({}, 0), WAIT_FAILED);
  EXPECT_EQ(WaitForMultiple({&event, nullptr}, 0), WAIT_FAILED);
}

TEST(WaitForMultipleTest, WakesWhenAnotherThreadSetsAnEvent) {
  Event first(/*manualReset=*/false);
  Event second(/*manualReset=*/false);
  platform::Thread setter([&] { second.Set(); });
  EXPECT_EQ(WaitForMultiple({&first, &second}, platform::INFINITE), WAIT_OBJECT_0 + 1);
  EXPECT_FALSE(second.IsSet());
}

TEST(ThreadTest, WaitForExitReportsWhenTheBodyHasReturned) {
  Event release(/*manualReset=*/true);
  platform::Thread thread([&] { release.Wait(platform::INFINITE); });
  EXPECT_TRUE(thread.IsStarted());
  EXPECT_EQ(thread.WaitForExit(0), WAIT_TIMEOUT);
  release.Set();
  EXPECT_EQ(thread.WaitForExit(platform::INFINITE), WAIT_OBJECT_0);
  thread.Join();
  EXPECT_FALSE(thread.IsStarted());
}

TEST(ThreadTest, DestructorJoins) {
  std::atomic<bool> ran{false};
  { platform::Thread thread([&] { ran = true; }); }
  EXPECT_TRUE(ran);
}

TEST(RecursiveCriticalSectionTest, OwnerReentersOthersWaitUntilFullyReleased) {
  platform::RecursiveCriticalSection section;
  section.Enter();
  section.Enter();
  const auto otherThreadCanEnter = [&] {
    bool entered = false;
    std::thread([&] {
      entered = section.TryEnter();
      if (entered) section.Leave();
    }).join();
    return entered;
  };
  EXPECT_FALSE(otherThreadCanEnter());
  section.Leave();
  EXPECT_FALSE(otherThreadCanEnter());
  section.Leave();
  EXPECT_TRUE(otherThreadCanEnter());
}

}  // namespace
