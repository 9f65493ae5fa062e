#include "AcquisitionFixtures.h"

#include <tiffio.h>

#include <fstream>
#include <sstream>

#include "imaging/ImageFixtures.h"
#include "imaging/codecs/TiffEncoder.h"
#include "logging/LoggingSetup.h"

namespace acquisition_test {

namespace {

std::string InRoot(const test_support::ScopedEnvironment& env, const char* name) {
  return (env.Root() / name).string();
}

}  // namespace

AcquisitionTest::AcquisitionTest()
    : settings(InRoot(env, "velloran.ini"), InRoot(env, "velloran.log"), InRoot(env, "velloranLog.ini"),
               InRoot(env, "velloran.flist")) {
  settings.SetDeleteFiles(false);
  settings.SetLoggerEnabled(true);
  ConfigureLogging(settings);
}

AcquisitionTest::~AcquisitionTest() { ShutdownLogging(); }

std::string AcquisitionTest::Log() const { return test_support::ScopedEnvironment::ReadFile(settings.GetLogFilePath()); }

int AcquisitionTest::CountLines(const std::string& levelAndLogger, const std::string& text) const {
  std::istringstream lines(Log());
  const std::string wanted = levelAndLogger + ": " + text;
  int count = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.size() >= wanted.size() && line.compare(line.size() - wanted.size(), wanted.size(), wanted) == 0) ++count;
  }
  return count;
}

std::string AcquisitionTest::MakeFolder(const std::string& relative) const {
  const std::filesystem::path folder = env.Root() / relative;
  std::filesystem::create_directories(folder);
  return folder.string() + "/";
}

void WriteImage(const std::string& path, const CxImage& image, uint32_t formatId) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  ASSERT_TRUE(image.SaveFile(path, formatId)) << path << ": " << image.GetLastError();
}

void WriteTiffPages(const std::string& path, const std::vector<CxImage>& pages) {
  std::vector<imaging::TiffPage> tiffPages;
  for (const CxImage& page : pages) tiffPages.push_back({&page, imaging::TiffCompression::Automatic});
  auto encoded = imaging::EncodeTiff(tiffPages);
  ASSERT_FALSE(encoded.IsError()) << encoded.ErrorText();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(encoded.Value().data()), static_cast<std::streamsize>(encoded.Value().size()));
  ASSERT_TRUE(out.good()) << path;
}

void DamageTiffPage(const std::string& path, int page) {
  uint64_t offset = 0;
  uint64_t length = 0;
  {
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(tiff, nullptr) << path;
    ASSERT_TRUE(TIFFSetDirectory(tiff, static_cast<tdir_t>(page)));
    uint64_t* offsets = nullptr;
    uint64_t* counts = nullptr;
    ASSERT_TRUE(TIFFGetField(tiff, TIFFTAG_STRIPOFFSETS, &offsets));
    ASSERT_TRUE(TIFFGetField(tiff, TIFFTAG_STRIPBYTECOUNTS, &counts));
    offset = offsets[0];
    length = counts[0];
    TIFFClose(tiff);
  }
  std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
  file.seekp(static_cast<std::streamoff>(offset));
  for (uint64_t i = 0; i < length; ++i) file.put(static_cast<char>((i * 7 + 0x5A) & 0xFF));
  ASSERT_TRUE(file.good()) << path;
}

void WriteText(const std::string& path, const std::string& text) {
  test_support::ScopedEnvironment::WriteFile(path, text);
}

CxImage PageOfWidth(uint32_t width, uint32_t height) { return fixtures::MakeColorImage(width, height); }

}  // namespace acquisition_test
