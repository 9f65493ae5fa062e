#pragma once

// Drives a data source the way a TWAIN application does, through the test data
// source manager:
//
//   test_support::ScopedEnvironment env;          // private settings and logs
//   test_support::TestDsm dsm;                    // loads libtwaindsm.so.2, offers velloran.ds
//   test_support::TwainSession app(dsm);
//   ASSERT_EQ(app.OpenDsm(), TWRC_SUCCESS);
//   ASSERT_EQ(app.OpenSource(), TWRC_SUCCESS);    // also registers the callback
//   TW_USERINTERFACE ui{TW_FALSE, TW_FALSE, nullptr};
//   app.Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
//   app.SourceCondition();                        // DAT_STATUS of the source
//   app.Received();                               // notifications this application got
//
// The destructor closes whatever is still open. Sessions of several
// applications may share one TestDsm.

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "support/TestDsmApi.h"
#include "support/BuildPaths.h"
#include "twain/twain.h"

namespace test_support {

// The test manager library, loaded by path so that a data source finds it as
// an already loaded libtwaindsm.so.2 (or libtwaindsm.so for the legacy copy).
class TestDsm {
 public:
  explicit TestDsm(const std::string& libraryPath = TestDsmPath(), const std::string& sourcePath = VelloranDsPath());
  TestDsm(const TestDsm&) = delete;
  TestDsm& operator=(const TestDsm&) = delete;
  ~TestDsm();

  TW_UINT16 Entry(TW_IDENTITY* origin, TW_IDENTITY* destination, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                  TW_MEMREF data) const;
  void SetSourcePath(const std::string& path) const;
  // Every DAT_NULL notification any source sent, oldest first.
  std::vector<TestDsmNotification> Notifications() const;
  void ClearNotifications() const;
  int SourceLoadCount() const;

 private:
  template <typename Function>
  Function Resolve(const char* name) const;

  void* library_ = nullptr;
  DSMENTRYPROC entry_ = nullptr;
};

// One application.
class TwainSession {
 public:
  explicit TwainSession(const TestDsm& dsm, const char* productName = "Velloran tests");
  TwainSession(const TwainSession&) = delete;
  TwainSession& operator=(const TwainSession&) = delete;
  ~TwainSession();

  TW_UINT16 OpenDsm();
  TW_UINT16 CloseDsm();
  // Opens the manager's default source and registers this application's callback.
  TW_UINT16 OpenSource();
  TW_UINT16 CloseSource();

  // A triplet for the open source.
  TW_UINT16 Send(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);
  // MSG_SET of a one-value capability, its container made and freed as an application does.
  TW_UINT16 SetOneValue(TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 item);
  // DAT_STATUS of the source (which resets its pending code); 0xFFFF when the call fails.
  TW_UINT16 SourceCondition();
  // DAT_STATUS of the manager.
  TW_UINT16 DsmCondition();

  TW_IDENTITY& App() { return app_; }
  TW_IDENTITY& Source() { return source_; }

  // The notifications this application's callback received (MSG_XFERREADY, ...).
  std::vector<TW_UINT16> Received() const;
  // Runs inside the callback, on the thread that sent the notification; the
  // answer is the callback's return value.
  void OnNotification(std::function<TW_UINT16(TW_UINT16 msg)> handler);

 private:
  static TW_UINT16 Callback(TW_IDENTITY* origin, TW_IDENTITY* destination, TW_UINT32 dg, TW_UINT16 dat,
                            TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 Deliver(TW_UINT16 msg);

  const TestDsm& dsm_;
  TW_IDENTITY app_{};
  TW_IDENTITY source_{};
  bool dsmOpen_ = false;
  bool sourceOpen_ = false;
  TW_UINT32 callbackKey_ = 0;
  mutable std::mutex mutex_;
  std::vector<TW_UINT16> received_;
  std::function<TW_UINT16(TW_UINT16)> handler_;
};

}  // namespace test_support
