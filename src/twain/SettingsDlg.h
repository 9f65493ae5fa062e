#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "logging/Logger.h"
#include "platform/MessageWindow.h"
#include "twain/twain.h"

class DialogPresenter;
class Velloran;

// The data source's side of its main dialog. The widgets live in the user interface process;
// this object keeps what the source decides: whether the dialog is shown, its status line, and
// its window, the message window whose thread runs the dialog's timers (the wait time-out),
// the "new files arrived" message and the dialog's commands, one at a time.
//
// Created on MSG_ENABLEDS and destroyed on MSG_DISABLEDS, under the source's session lock.
// Messages are handled under that lock too; those that were still on their way when the
// dialog was destroyed are dropped.
class SettingsDlg {
 public:
  // "New files arrived" from a network source.
  static constexpr std::uint32_t kFilesArrivedMessage = platform::WM_USER + 200;
  // WM_COMMAND ids of the dialog's buttons.
  static constexpr std::uintptr_t kScanCommand = 1004;
  static constexpr std::uintptr_t kCloseCommand = 8;

  // What the status line, the progress bar and the counter line show.
  struct Status {
    std::string text;
    int done = 0;
    int total = 0;            // progress bar range 0..total
    std::string counterText;  // "3 out of 10"; unchanged by a status with total 0
  };

  // `source` outlives the dialog.
  explicit SettingsDlg(Velloran& source);
  SettingsDlg(const SettingsDlg&) = delete;
  SettingsDlg& operator=(const SettingsDlg&) = delete;
  // Stops the window and waits for its thread unless called on it.
  ~SettingsDlg();

  // Creates the window, hidden; `parent` is the application's window. False when the window's
  // thread cannot be started.
  bool Create(TW_HANDLE parent);
  // Puts the dialog on the screen through `presenter`. Empty when it is shown; otherwise why
  // it cannot be, and the dialog stays hidden.
  std::string Show(DialogPresenter& presenter);
  bool IsShown() const { return m_shown; }
  // Destroys the window: no message is handled after the current one. Does not wait for the
  // window's thread, which may be the caller's own.
  void Destroy();
  bool IsDestroyed() const { return m_destroyed; }

  // Identifies the window to the driver; non-null once created.
  void* WindowHandle() { return m_created ? &m_window : nullptr; }
  platform::MessageWindow& Window() { return m_window; }
  TW_HANDLE Parent() const { return m_parent; }

  // `total` 0 leaves the counter line as it was.
  void SetStatus(const std::string& text, int done, int total);
  Status LastStatus() const;

  // The Scan button: starts the batch once; the button stays disabled afterwards.
  void OnScan();
  // The dialog is being closed: a running batch gets a cancel request; otherwise the
  // application is asked to close the source. The dialog itself stays.
  void OnClose();

 private:
  void HandleMessage(const platform::WindowMessage& message);
  void OnCommand(std::uintptr_t command);

  Velloran& m_source;
  TW_HANDLE m_parent = nullptr;
  bool m_created = false;
  bool m_shown = false;
  bool m_destroyed = false;
  bool m_scanStarted = false;
  mutable std::mutex m_statusMutex;
  Status m_status;
  Logger m_logger{"MainDialog", "SettingsDlg"};
  // Last: destroyed first, so that its thread has ended before the members it uses go.
  platform::MessageWindow m_window;
};
