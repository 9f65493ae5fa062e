// The wait dialog's side of a network wait: shown before the wait begins, ended by the waiting
// thread without a cancel, or by "Stop waiting" with one.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "network/AsyncCancelDialog.h"
#include "platform/Sync.h"

namespace {

// A window as a display shows it: active once it is up, or refused.
class TestView final : public AsyncCancelDialog::View {
 public:
  explicit TestView(bool opens) : opens_(opens) {}
  bool Open(AsyncCancelDialog& dialog) override {
    if (!opens_) return false;
    dialog.Activated();
    return true;
  }
  void Close() override { ++closed; }
  std::atomic<int> closed{0};

 private:
  const bool opens_;
};

class AsyncCancelDialogTest : public ::testing::Test {
 protected:
  TestView& UseView(bool opens) {
    auto view = std::make_unique<TestView>(opens);
    TestView& shown = *view;
    dialog.SetView(std::move(view));
    return shown;
  }

  std::atomic<int> cancels{0};
  AsyncCancelDialog dialog{[this] { ++cancels; }};
};

TEST_F(AsyncCancelDialogTest, EndedByTheWaitItDoesNotCancel) {
  TestView& view = UseView(/*opens=*/true);
  dialog.Show();
  ASSERT_EQ(dialog.WaitUntilShown(), platform::WAIT_OBJECT_0);
  dialog.End();
  EXPECT_FALSE(dialog.IsShown());
  EXPECT_EQ(view.closed, 1);
  EXPECT_EQ(cancels, 0);
  EXPECT_FALSE(dialog.IsCancelled());
}

TEST_F(AsyncCancelDialogTest, StopWaitingCancelsOnceAndStaysUntilCleared) {
  TestView& view = UseView(/*opens=*/true);
  dialog.Show();
  ASSERT_EQ(dialog.WaitUntilShown(), platform::WAIT_OBJECT_0);
  dialog.StopWaiting();
  dialog.End();
  EXPECT_EQ(view.closed, 1);
  EXPECT_EQ(cancels, 1);
  EXPECT_TRUE(dialog.IsCancelled());

  // A later wait that ends by itself reports no second cancel once the next scan cleared it.
  dialog.ClearCancelled();
  dialog.Show();
  ASSERT_EQ(dialog.WaitUntilShown(), platform::WAIT_OBJECT_0);
  dialog.End();
  EXPECT_EQ(cancels, 1);
}

TEST_F(AsyncCancelDialogTest, StopWaitingWithoutADialogDoesNothing) {
  dialog.StopWaiting();
  EXPECT_FALSE(dialog.IsCancelled());
  EXPECT_EQ(dialog.WaitUntilShown(), platform::WAIT_FAILED);
}

// A window that cannot be created must not leave the wait stuck on the ready event.
TEST_F(AsyncCancelDialogTest, WindowThatCannotBeCreatedLetsTheWaitGoOn) {
  TestView& view = UseView(/*opens=*/false);
  dialog.Show();
  EXPECT_EQ(dialog.WaitUntilShown(), platform::WAIT_OBJECT_0);
  dialog.End();
  EXPECT_EQ(view.closed, 0);
  EXPECT_EQ(cancels, 0);
}

}  // namespace
