#include "twain/SettingsDlg.h"

#include <cstdio>
#include <exception>

#include "resources/StringTable.h"
#include "twain/DialogPresenter.h"
#include "twain/Velloran.h"

namespace {

constexpr unsigned int kReadyString = 117;        // "ready"
constexpr unsigned int kCounterFormatString = 133;  // "%d out of %d"

std::string FormatCounter(int done, int total) {
  const std::string format = LoadResourceString(kCounterFormatString);
  char text[64] = {};
  std::snprintf(text, sizeof(text), format.c_str(), done, total);
  return text;
}

}  // namespace

SettingsDlg::SettingsDlg(Velloran& source)
    : m_source(source), m_window([this](const platform::WindowMessage& message) { HandleMessage(message); }) {}

SettingsDlg::~SettingsDlg() { Destroy(); }

bool SettingsDlg::Create(TW_HANDLE parent) {
  m_parent = parent;
  if (!m_window.Create()) return false;
  m_created = true;
  m_source.InitialiseFolderPage();
  SetStatus(LoadResourceString(kReadyString), 0, 0);
  return true;
}

std::string SettingsDlg::Show(DialogPresenter& presenter) {
  std::string reason = presenter.Present();
  m_shown = reason.empty();
  return reason;
}

void SettingsDlg::Destroy() {
  m_destroyed = true;
  m_shown = false;
  m_window.Stop();
}

void SettingsDlg::SetStatus(const std::string& text, int done, int total) {
  std::lock_guard lock(m_statusMutex);
  m_status.text = text;
  m_status.done = done;
  // The progress bar's range is 16 bits wide.
  m_status.total = static_cast<std::uint16_t>(total);
  if (total != 0) m_status.counterText = FormatCounter(done, total);
}

SettingsDlg::Status SettingsDlg::LastStatus() const {
  std::lock_guard lock(m_statusMutex);
  return m_status;
}

void SettingsDlg::HandleMessage(const platform::WindowMessage& message) {
  Velloran::SessionLock lock(m_source);
  if (m_destroyed) return;
  try {
    switch (message.message) {
      case platform::WM_TIMER:
        m_source.OnWaitImagesTimer(static_cast<int>(message.wParam));
        break;
      case kFilesArrivedMessage:
        m_source.AddFTPImageFilesToScan();
        break;
      case platform::WM_COMMAND:
        OnCommand(message.wParam);
        break;
      case platform::WM_CLOSE:
        OnClose();
        break;
      default:
        break;
    }
  } catch (const std::exception& caught) {
    m_logger.Error("Message 0x%x failed: %s", static_cast<unsigned>(message.message), caught.what());
  } catch (...) {
    m_logger.Error("Message 0x%x failed", static_cast<unsigned>(message.message));
  }
  // Releasing the lock sends what the handler queued, on this thread.
}

void SettingsDlg::OnCommand(std::uintptr_t command) {
  if (command == kScanCommand) {
    OnScan();
  } else if (command == kCloseCommand) {
    m_logger.Debug("Close button: Click");
    m_window.Post(platform::WM_CLOSE);
  }
}

void SettingsDlg::OnScan() {
  // A hidden dialog has no button to press, and the button is disabled after the first press.
  if (!m_shown || m_scanStarted) return;
  m_logger.Debug("OnScan: Started");
  m_scanStarted = true;
  m_source.StartScan();
  m_logger.Debug("OnScan: StartScan");
}

void SettingsDlg::OnClose() {
  m_logger.Debug("OnClose: started");
  if (m_source.InternalState() != Velloran::kScanIdle) {
    m_logger.Debug("OnClose: set state to Cancel");
    m_source.SetInternalState(Velloran::kScanCancelRequested);
    return;
  }
  m_logger.Debug("OnClose: NotifyCloseDSReq");
  m_source.NotifyCloseDSReq();
}
