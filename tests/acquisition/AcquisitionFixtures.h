#pragma once

// A private world for the acquisition tests: settings and log file in a temporary folder,
// logging switched on, and writers for the image files the tests scan.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/CxImage.h"
#include "settings/SettingsStore.h"
#include "support/ScopedEnvironment.h"

namespace acquisition_test {

class AcquisitionTest : public ::testing::Test {
 protected:
  AcquisitionTest();
  ~AcquisitionTest() override;

  // The text logged so far.
  std::string Log() const;
  // How many log lines end with `text` after the logger name ("DEBUG Velloran: " + text).
  int CountLines(const std::string& levelAndLogger, const std::string& text) const;
  // A new folder below the test's root, with a trailing "/".
  std::string MakeFolder(const std::string& relative) const;

  test_support::ScopedEnvironment env;
  SettingsStore settings;
};

// Writes `image` as a file of the given format; the test fails when it cannot.
void WriteImage(const std::string& path, const CxImage& image, uint32_t formatId = ImageFormat::Png);
// One TIFF file with a page per image.
void WriteTiffPages(const std::string& path, const std::vector<CxImage>& pages);
// Scribbles over the compressed data of one page of a TIFF file, so that this page, and only
// it, fails to decode. The page must have been written with LZW (24-bit pages are).
void DamageTiffPage(const std::string& path, int page);
void WriteText(const std::string& path, const std::string& text);

// A 24-bit page whose width tells it apart: tests give each page of each file its own width.
CxImage PageOfWidth(uint32_t width, uint32_t height = 12);

}  // namespace acquisition_test
