#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "acquisition/PdfLibrary.h"
#include "pdf/PdfFixtures.h"
#include "settings/SettingsStore.h"
#include "support/ScopedEnvironment.h"

namespace test_pdf {

// A private world for the tests of the source's PDF pages: settings and log in a temporary
// folder with logging on, and the build's libFileFormats.so as the PDF library. The library
// object is released after each test.
class PdfTestEnvironment : public ::testing::Test {
 protected:
  PdfTestEnvironment();
  ~PdfTestEnvironment() override;

  std::string Path(const std::string& name) const { return (env_.Temp() / name).string(); }
  // Writes a PDF file in the test's folder; returns its path.
  std::string Write(const std::string& name, const std::vector<PageSpec>& pages) const;
  // Replaces the settings file: logging on, then `more` (ini lines).
  void WriteSettings(const std::string& more) const;
  std::string LogText() const;
  // Calls through the current library object.
  static const PdfLibraryCalls& Calls() { return GetPdfLibrary()->Calls(); }

  test_support::ScopedEnvironment env_;
  SettingsStore settings_;
};

// Three letter pages, each filled with its own colour: red, green, blue.
std::vector<PageSpec> ThreeColouredPages();

}  // namespace test_pdf
