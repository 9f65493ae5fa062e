#include "pdf/PdfTestEnvironment.h"

#include "logging/LoggingSetup.h"

namespace test_pdf {

using test_support::ScopedEnvironment;

PdfTestEnvironment::PdfTestEnvironment()
    : settings_(Path("VELLORAN.ini"), Path("VELLORAN.log"), Path("VELLORANLog.ini"), Path("VELLORAN.flist")) {
  WriteSettings("");
  ConfigureLogging(settings_);
  SetPdfLibraryFolder(PDF_LIBRARY_FOLDER);
}

PdfTestEnvironment::~PdfTestEnvironment() {
  ReleasePdfLibrary();
  SetPdfLibraryFolder("");
  ShutdownLogging();
}

std::string PdfTestEnvironment::Write(const std::string& name, const std::vector<PageSpec>& pages) const {
  WritePdf(Path(name), pages);
  return Path(name);
}

void PdfTestEnvironment::WriteSettings(const std::string& more) const {
  ScopedEnvironment::WriteFile(Path("VELLORAN.ini"), "[Logger]\nLoggerEnabled=1\n" + more);
}

std::string PdfTestEnvironment::LogText() const { return ScopedEnvironment::ReadFile(Path("VELLORAN.log")); }

std::vector<PageSpec> ThreeColouredPages() {
  std::vector<PageSpec> pages(3);
  pages[0].boxes.push_back({0, 0, 612, 792, kRed});
  pages[1].boxes.push_back({0, 0, 612, 792, kGreen});
  pages[2].boxes.push_back({0, 0, 612, 792, kBlue});
  return pages;
}

}  // namespace test_pdf
