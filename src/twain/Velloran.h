#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/DiskScanSource.h"
#include "acquisition/NextImageLoader.h"
#include "acquisition/PendingImagesList.h"
#include "logging/Logger.h"
#include "network/NetworkArrivals.h"
#include "network/AsyncCancelDialog.h"
#include "network/NetworkScanSource.h"
#include "platform/Sync.h"
#include "twain/DialogPresenter.h"
#include "twain/TwainDriver.h"

class ScanImage;
class SettingsDlg;
class SettingsStore;

// The data source: routes every triplet to its handler and runs the session.
//
// Where the members live:
//   Velloran.cpp                        construction, triplet routing, the session lock
//   VelloranSession.cpp                 TWAIN states 3 to 7, notifications, timers, dialog
//   VelloranTransfers.cpp               image description and the three transfer mechanisms
//   VelloranCapabilities.cpp            capability set-up
//   VelloranScan.cpp                    scan start, next image, the Folder page's file list
//   VelloranNetworkScan.cpp             network arrivals, their time-out and the wait for them
// Where the pages come from is a ScanSource (acquisition/DiskScanSource, network/NetworkScanSource),
// chosen by the scan mode when a batch starts.
//
// Threads. Triplets come on the application's thread(s); the dialog's message window runs
// timers, posted messages and dialog commands on a thread of its own; network servers call in
// from theirs. Everything that touches the session does so under the session lock
// (SessionLock), a recursive driver lock. Lock order everywhere: session lock, then the wait
// lock, then the pending list's own lock; the wait dialog's thread takes none of them.
// MSG_XFERREADY and MSG_CLOSEDSREQ are queued while the lock is held and sent by the same thread
// as soon as it has released the lock completely, so an application may call the source again
// from its callback, from any thread.
class Velloran : public TwainDriver, private NetworkArrivals {
 public:
  // Values of the internal scan state (SetInternalState).
  static constexpr int kScanIdle = 0;             // no batch, or waiting for the first network image
  static constexpr int kScanRunning = 1;
  static constexpr int kScanCancelRequested = 2;  // takes effect at the next MSG_ENDXFER

  class SessionLock;
  class BlockingWaitScope;

  // `settings` must outlive the source (the module deletes the source first).
  Velloran(ModuleInstance instance, SettingsStore& settings);
  // Ends the dialog threads first (they call into this object), then releases the rest.
  ~Velloran() override;

  // ---- Triplets -------------------------------------------------------------------------
  // Takes the session lock for the whole call; queued notifications go out before it returns.
  TW_UINT16 Dispatch(const TwainTriplet& triplet) override;

  // ---- Session ---------------------------------------------------------------------------
  TW_UINT16 OpenDS(const TwainTriplet& triplet) override;
  TW_UINT16 CloseDS() override;
  TW_UINT16 EnableDS(TW_USERINTERFACE* userInterface) override;
  TW_UINT16 DisableDS(TW_USERINTERFACE* userInterface) override;
  TW_UINT16 GetPendingXfers(TW_INT16* count) override;
  TW_UINT16 EndXfers(TW_INT16* count) override;
  TW_UINT16 ResetPendingXfer(TW_INT16* count) override;

  // The internal scan state may be written without the session lock (a cancel must get
  // through while another thread is busy); returns `newState`.
  int SetInternalState(int newState);
  int InternalState() const { return m_internalState.load(); }

  // The wait time-out timer on the dialog's window, id = the raised timer id counter; 0 when
  // the time-out is off or no dialog exists. Under the session lock.
  int CreateTimeoutTimer();
  // Stops the timer whose id equals the counter; the counter stays.
  void KillTimeoutTimer();
  // Stops the timer whose id equals the counter and raises the counter, so that a message the
  // timer queued before can be told from a current one.
  void StopTimeoutTimer();
  int TimerIdCounter() const { return m_timerIdCounter.load(); }

  // These hide TwainDriver's versions: they queue the notification while the calling thread
  // holds the session lock and send it when the thread releases it (at once when it holds
  // none). MSG_XFERREADY moves to state 6 at once. The answer is the manager's when sent at
  // once, TWRC_SUCCESS when queued.
  TW_UINT16 NotifyXferReady();
  TW_UINT16 NotifyCloseDSReq();

  // The dialog's status line, progress bar and counter; nothing without a dialog.
  void ReportStatus(const std::string& text);
  // nullptr while the source is not enabled.
  SettingsDlg* Dialog() const { return m_dialog.get(); }
  // What puts the dialog on the screen from the next MSG_ENABLEDS on (the user interface
  // process unless replaced).
  void SetDialogPresenter(std::unique_ptr<DialogPresenter> presenter) { m_presenter = std::move(presenter); }

  // Stops and releases the network scan source objects; safe in every state. A wait for network
  // images in progress ends as if cancelled.
  void ReleaseNetworkObjects();

  // ---- Transfers -------------------------------------------------------------------------
  TW_UINT16 GetImageInfo(TW_IMAGEINFO& imageInfo) override;
  TW_UINT16 GetPalette8(TW_PALETTE8& palette) override;
  TW_UINT16 NativeXfer(const TwainTriplet& triplet) override;
  TW_UINT16 SetupMemXfer(const TwainTriplet& triplet) override;
  TW_UINT16 MemXfer(const TwainTriplet& triplet) override;
  TW_UINT16 SetupFileXfer(const TwainTriplet& triplet) override;
  TW_UINT16 FileXfer(const TwainTriplet& triplet) override;

  // ---- Capabilities ----------------------------------------------------------------------
  // Creates the capability objects that do not exist yet; objects from an
  // earlier session of the process keep their values.
  void AddCapabilities();

  // ---- Scanning (VelloranScan.cpp, VelloranNetworkScan.cpp) -----------------------------------
  // All under the session lock.
  // Starts a batch from the source the scan mode chooses: from MSG_ENABLEDS with the dialog
  // hidden, or from the dialog's Scan command.
  void StartScan();
  // After a transfer: releases the finished image and tries to produce the next one. True when
  // a next image is ready; false when the batch has ended.
  bool LoadNextImageAfterTransfer();
  // The wait time-out timer's message, with the timer's id.
  void OnWaitImagesTimer(int timerId);
  // New files may have arrived from the network source: collects them from the server, admits
  // the images, notes the end marker and, as the processing mode says, starts the batch or wakes
  // the wait. From the server's events and the dialog's WM_USER + 200.
  void AddFTPImageFilesToScan();
  // Stops the network server; its scan folder goes when DeleteTempFolders said so.
  void StopFtpServer();
  // Inside MSG_ENDXFER of a network batch whose list is exhausted: waits, without the session
  // lock, for new files, the end marker, the time-out or a cancel. 0: a new current image is
  // ready; 1: no further image (cancelled, or the marker came and nothing is left); 2: the wait
  // timed out or failed.
  int LoadNextImageWithWait();
  // What draws the wait dialog from the next wait on (nothing is drawn unless replaced).
  void SetWaitDialogView(std::unique_ptr<AsyncCancelDialog::View> view) { m_waitDialog.SetView(std::move(view)); }
  // Images still pending in the current batch: the files not moved to yet, plus the page held
  // for the next transfer.
  int PendingCount() const;
  // Releases the current image and its file.
  void ReleaseCurrentImage();
  // Drops every pending image of the batch.
  void ClearPendingImages();
  // The prepared page the next transfer delivers (the open file's ScanImage); nullptr when none.
  ScanImage* CurrentImage();

  // Starts delivering a batch: the first image, then MSG_XFERREADY; with none, MSG_CLOSEDSREQ
  // unless files may still arrive for it.
  void FirstImageStep();
  // Produces the next current image; false when the batch has no further one.
  bool LoadNextImage();
  // Whether a received file decodes to an image (its own decode; the current image stays).
  bool CheckImage(const std::string& path);
  // The Folder page's refresh: the file-list file replaces the pending list's entries.
  void LoadFileList();
  // The dialog initialises: with a Folder page (UIMode) the file list is loaded.
  void InitialiseFolderPage();
  const PendingImagesList& PendingImages() const { return m_pendingImages; }

 protected:
  SettingsStore& Settings() const { return m_settings; }

  // ---- Scanning state ----
  int m_xferCount = 0;  // images completed in the current batch

  // ---- Waiting for network images ----
  // The wait lock: one of AddFTPImageFilesToScan and OnWaitImagesTimer at a time. Taken after
  // the session lock.
  platform::RecursiveCriticalSection m_waitLock;
  platform::Event m_cancelEvent{/*manualReset=*/true};
  platform::Event m_haveDataEvent{/*manualReset=*/false};
  // Read once at construction from section ProcessingManager.
  int m_processingMode = 0;
  int m_timeoutMs = 0;
  bool m_timeoutEnabled = false;

  Logger m_logger{"Velloran", "Velloran"};

 private:
  struct QueuedNotification {
    TW_UINT16 msg;
    TW_IDENTITY source;       // copies: the identities may change once the lock is released
    TW_IDENTITY application;
  };

  // ---- Routing ----
  TW_UINT16 RouteTriplet(const TwainTriplet& triplet);
  // A call from anyone but the application that has the source open (a null
  // origin included) is refused while the source is open.
  bool IsFromOtherApplication(const TW_IDENTITY* origin) const;
  TW_UINT16 ProcessEvent(TW_EVENT* event);
  // Handlers read or write the data and the origin they need without checking
  // them: a missing one is refused here, once the message and state are known
  // to be accepted, so the answer to a wrong message or state stays the same.
  bool LacksNeededPointer(const TwainTriplet& triplet) const;
  // The answer of an operation this source does not carry out yet: the state
  // check of its triplet (then, for the set-up and transfer triplets, the
  // message check), then TWCC_BADPROTOCOL.
  TW_UINT16 RefuseUnavailable(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg);

  // ---- Notifications ----
  void QueueNotification(TW_UINT16 msg);
  // Sends through the manager, without the session lock; the last answer, TWRC_SUCCESS for none.
  // Never throws: it runs while locks are being released.
  TW_UINT16 SendNotifications(const std::vector<QueuedNotification>& notifications) const noexcept;

  // ---- Dialog ----
  // Stops the current dialog's window and keeps the object until its thread has ended: the
  // thread may be the caller's own (a callback on it disabling the source).
  void RetireDialog();
  // Deletes retired dialogs whose thread has ended. Never waits.
  void DeleteEndedDialogs();
  // Waits for every retired dialog's thread; without the session lock.
  void JoinRetiredDialogs();
  bool IsOnDialogThread() const;
  // A source closed from its dialog's thread must not be unloaded under that thread's feet.
  void KeepModuleLoadedIfOnDialogThread();
  // "%d images transferred" with the transfer count.
  std::string ImagesTransferredText() const;
  static int NextTimerId(int id);

  SettingsStore& m_settings;

  // ---- Scanning ----
  // The one place that chooses where a batch's pages come from.
  ScanSource& SourceFor(int mode);
  // From the network server's event thread.
  void OnNetworkFilesArrived() override;
  // The loop of LoadNextImageWithWait once its dialog is shown; its result.
  int WaitForNetworkImage(std::uint32_t limit);
  // On the wait dialog's thread once "Stop waiting" has ended it.
  void OnWaitDialogCancelled();
  PendingImagesList m_pendingImages;
  NextImageLoader m_imageLoader{m_pendingImages, m_settings};  // owns the open file
  DiskScanSource m_diskSource{m_settings};
  NetworkScanSource m_networkSource{*this, m_settings};
  ScanSource* m_source = &m_diskSource;  // the running batch's
  AsyncCancelDialog m_waitDialog{[this] { OnWaitDialogCancelled(); }};

  // ---- Session lock ----
  platform::RecursiveCriticalSection m_sessionLock;
  int m_lockDepth = 0;  // nesting of the thread that holds the lock
  std::vector<QueuedNotification> m_notifications;  // queued by the thread that holds the lock

  std::atomic<int> m_internalState{kScanIdle};
  std::atomic<int> m_timerIdCounter{0};
  bool m_moduleKeptLoaded = false;

  // ---- Dialog ----
  std::unique_ptr<DialogPresenter> m_presenter;
  std::unique_ptr<SettingsDlg> m_dialog;
  std::uint64_t m_dialogGeneration = 0;  // raised for every new dialog
  std::vector<std::unique_ptr<SettingsDlg>> m_retiredDialogs;
};

// Holds the session lock of `source` for its lifetime (recursively). When the outermost hold
// of a thread ends, the notifications the thread queued meanwhile are sent, after the lock has
// been released.
class Velloran::SessionLock {
 public:
  explicit SessionLock(Velloran& source);
  SessionLock(const SessionLock&) = delete;
  SessionLock& operator=(const SessionLock&) = delete;
  ~SessionLock();

  // Ends the hold early; the last answer of the manager to a notification sent now,
  // TWRC_SUCCESS when nothing was sent.
  TW_UINT16 Release();

 private:
  Velloran* m_source;  // nullptr once released
};

// For a thread that blocks in a wait while it holds the session lock: releases the lock
// completely (sending what the thread queued) and holds back the dialog's timer messages, as a
// blocked thread would not see them; on destruction takes the lock back as deeply as before and
// lets the held timer messages through.
class Velloran::BlockingWaitScope {
 public:
  explicit BlockingWaitScope(Velloran& source);
  BlockingWaitScope(const BlockingWaitScope&) = delete;
  BlockingWaitScope& operator=(const BlockingWaitScope&) = delete;
  ~BlockingWaitScope();

 private:
  Velloran& m_source;
  int m_depth;
  std::uint64_t m_heldDialog;  // generation of the dialog whose timers are held; 0 for none
};
