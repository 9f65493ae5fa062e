#pragma once

class PendingImagesList;

// Where the pages of a batch come from. The data source picks one by the scan mode when a
// batch starts and otherwise only asks it these questions; what is particular to files on
// disk, an MFP's uploads or a remote scanner stays behind it.
class ScanSource {
 public:
  enum class Start {
    kDeliverNow,  // the pending list holds the batch: its first image goes out at once
    kAwaitFiles,  // files arrive while the batch runs; their arrival starts the delivery
    kFailed,      // the source cannot serve; it has said why
  };

  virtual ~ScanSource() = default;

  // Begins a batch on `pending`, which the source initialises for it.
  virtual Start Begin(PendingImagesList& pending) = 0;
  // Whether files may still arrive for the running batch, so that an exhausted list is worth
  // a wait.
  virtual bool MayReceiveMore() const = 0;
};
