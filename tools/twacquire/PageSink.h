#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "BmpFile.h"
#include "twain/twain.h"

namespace twacquire {

// What an application does with the pages it receives. `number` counts pages from 1 over the
// whole run; `output` names what was written (empty when nothing was).
class PageSink {
 public:
  virtual ~PageSink() = default;

  // Native transfer: the bitmap block, freed by the caller after the call.
  virtual bool TakeBitmap(int number, const uint8_t* block, std::size_t size, std::string& output,
                          std::string& error) = 0;

  // Memory transfer: the description, then every strip, then the end of the page.
  virtual void BeginStrips(const TW_IMAGEINFO& info, const TW_PALETTE8* palette) = 0;
  virtual bool TakeStrip(const TW_IMAGEMEMXFER& strip, const uint8_t* data, std::string& error) = 0;
  virtual bool EndStrips(int number, std::string& output, std::string& error) = 0;

  // File transfer: the name the source is told to write, then the page written there.
  virtual std::string FileTransferPath(int number) = 0;
  virtual bool TakeFile(int number, const std::string& path, std::string& output, std::string& error) = 0;
};

// Writes every page into a folder as page-0001.bmp, page-0002.bmp, ...
class BmpFolderSink : public PageSink {
 public:
  explicit BmpFolderSink(std::string folder);

  bool TakeBitmap(int number, const uint8_t* block, std::size_t size, std::string& output,
                  std::string& error) override;
  void BeginStrips(const TW_IMAGEINFO& info, const TW_PALETTE8* palette) override;
  bool TakeStrip(const TW_IMAGEMEMXFER& strip, const uint8_t* data, std::string& error) override;
  bool EndStrips(int number, std::string& output, std::string& error) override;
  std::string FileTransferPath(int number) override;
  bool TakeFile(int number, const std::string& path, std::string& output, std::string& error) override;

  std::string PagePath(int number) const;

 private:
  std::string folder_;
  StripPage strips_;
};

// Keeps nothing: what an application that only measures the transfers does. File transfers
// all go to one file.
class DiscardingSink : public PageSink {
 public:
  explicit DiscardingSink(std::string fileTransferPath) : fileTransferPath_(std::move(fileTransferPath)) {}

  bool TakeBitmap(int, const uint8_t*, std::size_t, std::string&, std::string&) override { return true; }
  void BeginStrips(const TW_IMAGEINFO&, const TW_PALETTE8*) override {}
  bool TakeStrip(const TW_IMAGEMEMXFER&, const uint8_t*, std::string&) override { return true; }
  bool EndStrips(int, std::string&, std::string&) override { return true; }
  std::string FileTransferPath(int) override { return fileTransferPath_; }
  bool TakeFile(int, const std::string&, std::string&, std::string&) override { return true; }

 private:
  std::string fileTransferPath_;
};

}  // namespace twacquire
