#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include "DataSourceManager.h"
#include "twain/twain.h"

namespace twacquire {

// twacquire as a TWAIN application: its identity, the manager and one open
// source. Closes what it opened when it dies. Not copyable: the manager's
// callback finds the application by its address.
class TwainApplication {
 public:
  explicit TwainApplication(const DataSourceManager& manager);
  TwainApplication(const TwainApplication&) = delete;
  TwainApplication& operator=(const TwainApplication&) = delete;
  ~TwainApplication();

  // Each returns false and fills LastError() on failure.
  bool OpenManager();
  // The manager's default source when `productFamily` is empty, else the first
  // source of that family.
  bool OpenSource(const std::string& productFamily);
  bool CloseSource();
  bool CloseManager();

  const TW_IDENTITY& SourceIdentity() const { return source_; }
  const std::string& LastError() const { return lastError_; }

  // A triplet for the open source.
  TW_UINT16 Send(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);

  // The next notification of the source (MSG_XFERREADY, MSG_CLOSEDSREQ, ...),
  // waiting up to `timeoutMs` (0: without limit); nullopt when none arrived.
  std::optional<TW_UINT16> WaitForNotification(int timeoutMs);
  // Ends the wait of WaitForNotification, and every later one, at once; from any thread.
  void StopWaiting();

  // Asks the source, from another thread than the one blocked in a call to it, to give up a wait
  // for pages (MSG_CLOSEDS, which fails while a transfer is pending but ends the wait). Changes
  // nothing of this object.
  void BreakSourceWait() const;

  // "<what> failed (return code n): <condition text> (condition code c)", the condition asked
  // from the source.
  std::string SourceFailure(const std::string& what, TW_UINT16 rc);

 private:
  static TW_UINT16 OnNotification(TW_IDENTITY* origin, TW_IDENTITY* destination, TW_UINT32 dg, TW_UINT16 dat,
                                  TW_UINT16 msg, TW_MEMREF data);
  bool Fail(const std::string& what, TW_UINT16 rc, bool askSource);
  bool FindSource(const std::string& productFamily, TW_IDENTITY& found);

  const DataSourceManager& manager_;
  TW_IDENTITY application_{};
  TW_IDENTITY source_{};
  bool managerOpen_ = false;
  bool sourceOpen_ = false;
  std::string lastError_;

  std::mutex notificationsLock_;
  std::condition_variable notificationArrived_;
  std::deque<TW_UINT16> notifications_;
  bool stopWaiting_ = false;
};

}  // namespace twacquire
