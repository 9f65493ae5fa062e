#pragma once

// Whole sessions through the entry point, as an application runs them: velloran.ds through the
// test manager, scanning a folder of image files the test writes, with private settings that
// delete nothing and logging into the private log file.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "imaging/CxImage.h"
#include "settings/SettingsStore.h"
#include "support/ScopedEnvironment.h"
#include "support/SourceSettings.h"
#include "support/TwainSession.h"

namespace transfers_test {

// The mechanisms as twacquire names them (MechanismName).
using Mechanism = twacquire::TransferMechanism;

// A page as pixels: rows top-down, each holding only the bytes of its pixels (24-bit pixels as
// blue, green, red; bits past the last pixel of a packed row cleared), and the colour table.
struct Pixels {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t bpp = 0;
  std::vector<RgbQuad> palette;
  std::vector<std::vector<uint8_t>> rows;
};
Pixels PixelsOf(const CxImage& image);
// Page `page` of a file, decoded as the source decodes it.
Pixels PixelsOfFile(const std::string& path, int32_t page = 0);
// Compares size, depth, colour table and every row; says where the first difference is.
::testing::AssertionResult SamePixels(const Pixels& expected, const Pixels& actual);

// One page received by the application.
struct ReceivedPage {
  TW_IMAGEINFO info{};
  TW_PALETTE8 palette{};
  Pixels pixels;
  int strips = 0;  // memory transfer
};

class TransferSession : public ::testing::Test {
 protected:
  TransferSession();

  // The scanned folder, with a trailing "/".
  const std::string& Folder() const { return folder_; }
  std::string PathIn(const std::string& name) const { return folder_ + name; }
  // Writes `image` into the scanned folder.
  std::string WritePage(const std::string& name, const CxImage& image, uint32_t formatId = ImageFormat::Png) const;
  std::string WriteTiff(const std::string& name, const std::vector<const CxImage*>& pages) const;

  // Opens the manager and the source.
  void Open();
  // MSG_ENABLEDS without a dialog: with pages in the folder the source is in state 6 when it returns.
  TW_UINT16 EnableHeadless();
  // DAT_IMAGEINFO and (up to 8 bits) DAT_PALETTE8, then one transfer; the transfer's answer is
  // checked to be TWRC_XFERDONE.
  void TransferPage(Mechanism mechanism, ReceivedPage& page, uint32_t memoryBufferLength = 0x10000);
  // MSG_ENDXFER; the Count the source answered.
  TW_INT16 EndTransfer();
  // Transfers pages until the source ends the batch (Count 0).
  void TransferBatch(Mechanism mechanism, std::vector<ReceivedPage>& pages);
  void Disable();
  // Sets a one-value capability.
  TW_UINT16 SetCapability(TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 item);

  std::string Log() const;

  test_support::ScopedEnvironment environment;
  std::unique_ptr<SettingsStore> settings = test_support::PrepareSourceSettings();
  test_support::TestDsm dsm;
  test_support::TwainSession app{dsm};

 private:
  std::string folder_;
  std::string outputFolder_;
  int fileTransfers_ = 0;
};

// 24-bit page whose pixels all differ from their neighbours; `seed` makes pages differ.
CxImage ColourPage(uint32_t width, uint32_t height, uint32_t seed = 0);
// 8-bit page with the gray ramp or with a colour table of its own.
CxImage IndexedPage(uint32_t width, uint32_t height, bool grayRamp);
// 1-bit page, entry 0 black, entry 1 white, with a pattern that reaches the last pixel.
CxImage BilevelPage(uint32_t width, uint32_t height);

}  // namespace transfers_test
