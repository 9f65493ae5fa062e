// libFileFormats.so through its C functions, drawing into the platform's bitmap sections.

#include "FileFormatsApi.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "pdf/PdfFixtures.h"
#include "platform/Bitmap.h"
#include "support/ScopedEnvironment.h"

namespace {

using namespace test_pdf;
using ::testing::HasSubstr;
using platform::BitmapSection;
using platform::MemoryDeviceContext;
using test_support::ScopedEnvironment;

std::u16string Wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// One library instance for a test.
class Library {
 public:
  Library() : id_(DPLCreateLibrary()) {}
  ~Library() { DPLReleaseLibrary(id_); }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  DplInstance Id() const { return id_; }
  DplHandle Open(const std::filesystem::path& path, const std::string& password = "") const {
    return DPLDAOpenFile(id_, Wide(path.string()).c_str(), Wide(password).c_str());
  }
  int32_t ErrorCode() const { return DPLLastErrorCode(id_); }
  std::string ErrorText() const {
    const DplChar16* text = DPLLastRenderError(id_);
    const int32_t length = DPLStringResultLength(id_);
    return std::string(text, text + length);  // our texts here are ASCII
  }

 private:
  DplInstance id_;
};

// A bitmap of the given size selected into a fresh context.
struct Surface {
  Surface(int32_t width, int32_t height, uint16_t bitCount = 24)
      : context(MemoryDeviceContext::CreateCompatible()), bitmap(BitmapSection::Create(width, height, bitCount)) {
    EXPECT_TRUE(context.Select(bitmap));
  }
  Bgr At(int32_t x, int32_t y) const { return PixelAt(bitmap.PictureRow(y), x, bitmap.BitCount() / 8); }

  MemoryDeviceContext context;
  BitmapSection bitmap;
};

class FileFormatsLibraryTest : public ::testing::Test {
 protected:
  std::filesystem::path Write(const std::string& name, const std::vector<PageSpec>& pages) const {
    const auto path = env_.Temp() / name;
    WritePdf(path, pages);
    return path;
  }

  ScopedEnvironment env_;
  Library library_;
};

// A letter page with a red square at its top-left and a blue one at its bottom-right.
PageSpec MarkedLetterPage() {
  PageSpec page;
  page.boxes.push_back({36, 36, 72, 72, kRed});
  page.boxes.push_back({504, 684, 72, 72, kBlue});
  return page;
}

struct StorageCase {
  const char* name;
  bool topDown;
  uint16_t bitCount;
};

class FileFormatsStorageTest : public FileFormatsLibraryTest, public ::testing::WithParamInterface<StorageCase> {};

TEST_P(FileFormatsStorageTest, LetterPageAt300DpiFillsTheBitmapTopLeftFirst) {
  const DplHandle document = library_.Open(Write("letter.pdf", {MarkedLetterPage()}));
  ASSERT_NE(document, 0u) << library_.ErrorText();
  EXPECT_EQ(DPLDAGetPageCount(library_.Id(), document), 1);
  const DplHandle page = DPLDAFindPage(library_.Id(), document, 1);
  ASSERT_NE(page, 0u) << library_.ErrorText();
  EXPECT_DOUBLE_EQ(DPLDAGetPageWidth(library_.Id(), document, page), 612.0);
  EXPECT_DOUBLE_EQ(DPLDAGetPageHeight(library_.Id(), document, page), 792.0);
  EXPECT_EQ(DPLDAPageRotation(library_.Id(), document, page), 0);

  Surface surface(2550, GetParam().topDown ? -3300 : 3300, GetParam().bitCount);
  ASSERT_NE(DPLDARenderPageToDC(library_.Id(), document, page, 300.0, surface.context.Handle()), 0)
      << library_.ErrorText();
  EXPECT_EQ(library_.ErrorCode(), DPL_OK);
  EXPECT_EQ(library_.ErrorText(), "");
  // Red covers 150..449 in both axes at 300 dpi, blue 2100..2399 x 2850..3149.
  EXPECT_EQ(surface.At(300, 300), kRedPixel);
  EXPECT_EQ(surface.At(2250, 3000), kBluePixel);
  EXPECT_EQ(surface.At(0, 0), kWhitePixel);
  EXPECT_EQ(surface.At(2549, 3299), kWhitePixel);
  EXPECT_EQ(surface.At(2250, 300), kWhitePixel);
  EXPECT_EQ(surface.At(300, 3000), kWhitePixel);
}

INSTANTIATE_TEST_SUITE_P(Storage, FileFormatsStorageTest,
                         ::testing::ValuesIn(std::vector<StorageCase>{
                             {"TopDown24", true, 24}, {"BottomUp24", false, 24}, {"TopDown32", true, 32}}),
                         [](const auto& info) { return std::string(info.param.name); });

struct RotationCase {
  int rotate;
  // Where the red square of the unrotated top-left corner lands, as a fraction of the shown page.
  double x;
  double y;
};

class FileFormatsRotationTest : public FileFormatsLibraryTest, public ::testing::WithParamInterface<RotationCase> {};

TEST_P(FileFormatsRotationTest, PageIsShownTurnedAndReportsItsUnturnedSize) {
  PageSpec page;
  page.width = 400;
  page.height = 200;
  page.rotate = GetParam().rotate;
  page.boxes.push_back({0, 0, 40, 40, kRed});
  const DplHandle document = library_.Open(Write("turned.pdf", {page}));
  ASSERT_NE(document, 0u) << library_.ErrorText();
  const DplHandle handle = DPLDAFindPage(library_.Id(), document, 1);
  EXPECT_EQ(DPLDAPageRotation(library_.Id(), document, handle), GetParam().rotate);
  EXPECT_DOUBLE_EQ(DPLDAGetPageWidth(library_.Id(), document, handle), 400.0);
  EXPECT_DOUBLE_EQ(DPLDAGetPageHeight(library_.Id(), document, handle), 200.0);

  const bool quarter = GetParam().rotate % 180 != 0;
  const int32_t width = quarter ? 200 : 400;
  const int32_t height = quarter ? 400 : 200;
  Surface surface(width, -height);
  ASSERT_NE(DPLDARenderPageToDC(library_.Id(), document, handle, 72.0, surface.context.Handle()), 0)
      << library_.ErrorText();
  const auto x = static_cast<int32_t>(GetParam().x * (width - 1));
  const auto y = static_cast<int32_t>(GetParam().y * (height - 1));
  EXPECT_EQ(surface.At(x == 0 ? 5 : x - 5, y == 0 ? 5 : y - 5), kRedPixel);
  EXPECT_EQ(surface.At(width / 2, height / 2), kWhitePixel);
}

INSTANTIATE_TEST_SUITE_P(Rotation, FileFormatsRotationTest,
                         ::testing::ValuesIn(std::vector<RotationCase>{
                             {0, 0, 0}, {90, 1, 0}, {180, 1, 1}, {270, 0, 1}}),
                         [](const auto& info) { return "Rotate" + std::to_string(info.param.rotate); });

TEST_F(FileFormatsLibraryTest, PagesAreFoundByNumberAndKeepTheirHandles) {
  std::vector<PageSpec> pages(3);
  pages[0].boxes.push_back({0, 0, 612, 792, kRed});
  pages[1].boxes.push_back({0, 0, 612, 792, kGreen});
  pages[2].boxes.push_back({0, 0, 612, 792, kBlue});
  const auto path = Write("three.pdf", pages);
  const DplHandle document = library_.Open(path);
  ASSERT_NE(document, 0u);
  EXPECT_EQ(DPLDAGetPageCount(library_.Id(), document), 3);

  const DplHandle second = DPLDAFindPage(library_.Id(), document, 2);
  ASSERT_NE(second, 0u);
  EXPECT_EQ(DPLDAFindPage(library_.Id(), document, 2), second);
  EXPECT_NE(DPLDAFindPage(library_.Id(), document, 3), second);
  Surface surface(61, -79);
  ASSERT_NE(DPLDARenderPageToDC(library_.Id(), document, second, 7.2, surface.context.Handle()), 0);
  EXPECT_EQ(surface.At(30, 40), kGreenPixel);

  for (const int32_t missing : {0, 4, -1}) {
    SCOPED_TRACE(missing);
    EXPECT_EQ(DPLDAFindPage(library_.Id(), document, missing), 0u);
    EXPECT_EQ(library_.ErrorCode(), DPL_ERROR_NO_SUCH_PAGE);
    EXPECT_THAT(library_.ErrorText(), HasSubstr(path.string()));
    EXPECT_THAT(library_.ErrorText(), HasSubstr("(it has 3)"));
  }
}

struct OpenFailure {
  const char* name;
  const char* file;      // in the test's folder; "" for the folder itself
  const char* password;  // given to the open call
  int code;
  const char* says;
};

class FileFormatsOpenFailureTest : public FileFormatsLibraryTest, public ::testing::WithParamInterface<OpenFailure> {
 protected:
  void SetUp() override {
    const auto plain = Write("plain.pdf", {PageSpec{}});
    WriteLockedCopy(plain, env_.Temp() / "locked.pdf", "secret");
    WriteDamagedPdf(env_.Temp() / "damaged.pdf");
    ScopedEnvironment::WriteFile(env_.Temp() / "empty.pdf", "");
    ScopedEnvironment::WriteFile(env_.Temp() / "picture.pdf", std::string("\x89PNG\r\n\x1a\n", 8));
  }
};

TEST_P(FileFormatsOpenFailureTest, OpenFailsWithItsOwnCodeAndNamesTheFile) {
  const auto path = env_.Temp() / GetParam().file;
  EXPECT_EQ(library_.Open(path, GetParam().password), 0u);
  EXPECT_EQ(library_.ErrorCode(), GetParam().code);
  EXPECT_THAT(library_.ErrorText(), HasSubstr("'" + path.string() + "'"));
  EXPECT_THAT(library_.ErrorText(), HasSubstr(GetParam().says));
  EXPECT_EQ(DPLStringResultLength(library_.Id()), static_cast<int32_t>(library_.ErrorText().size()));
}

INSTANTIATE_TEST_SUITE_P(
    Files, FileFormatsOpenFailureTest,
    ::testing::ValuesIn(std::vector<OpenFailure>{
        {"Missing", "absent.pdf", "", DPL_ERROR_FILE_UNREADABLE, "No such file"},
        {"Folder", "", "", DPL_ERROR_FILE_UNREADABLE, "folder"},
        {"Damaged", "damaged.pdf", "", DPL_ERROR_DAMAGED, "too damaged"},
        {"Empty", "empty.pdf", "", DPL_ERROR_DAMAGED, "not a PDF"},
        {"OtherFormat", "picture.pdf", "", DPL_ERROR_DAMAGED, "not a PDF"},
        {"LockedWithoutPassword", "locked.pdf", "", DPL_ERROR_PASSWORD, "protected by a password"},
        {"LockedWrongPassword", "locked.pdf", "guess", DPL_ERROR_PASSWORD, "wrong"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileFormatsLibraryTest, LockedDocumentOpensWithItsPassword) {
  const auto plain = Write("plain.pdf", {MarkedLetterPage()});
  WriteLockedCopy(plain, env_.Temp() / "locked.pdf", "secret");
  const DplHandle document = library_.Open(env_.Temp() / "locked.pdf", "secret");
  ASSERT_NE(document, 0u) << library_.ErrorText();
  const DplHandle page = DPLDAFindPage(library_.Id(), document, 1);
  Surface surface(612, -792);
  ASSERT_NE(DPLDARenderPageToDC(library_.Id(), document, page, 72.0, surface.context.Handle()), 0);
  EXPECT_EQ(surface.At(72, 72), kRedPixel);
}

// Handles and drawing surfaces that are not what they claim are refused, never followed.
TEST_F(FileFormatsLibraryTest, UnknownHandlesAndUnusableSurfacesAreRefused) {
  const DplInstance id = library_.Id();
  const DplHandle document = library_.Open(Write("one.pdf", {PageSpec{}}));
  const DplHandle other = library_.Open(Write("two.pdf", {PageSpec{}}));
  ASSERT_NE(document, 0u);
  ASSERT_NE(other, 0u);
  const DplHandle page = DPLDAFindPage(id, document, 1);
  const DplHandle otherPage = DPLDAFindPage(id, other, 1);
  Surface surface(61, -79);

  EXPECT_EQ(DPLDAGetPageCount(id, document + other + 100), 0);
  EXPECT_EQ(library_.ErrorCode(), DPL_ERROR_BAD_DOCUMENT);
  EXPECT_EQ(DPLDAGetPageWidth(id, document, otherPage), 0.0);
  EXPECT_EQ(library_.ErrorCode(), DPL_ERROR_BAD_PAGE);
  EXPECT_EQ(DPLDAFindPage(id, 0, 1), 0u);
  EXPECT_EQ(library_.ErrorCode(), DPL_ERROR_BAD_DOCUMENT);

  for (const double resolution : {0.0, -72.0, std::nan(""), std::numeric_limits<double>::infinity(), 1e9}) {
    SCOPED_TRACE(resolution);
    EXPECT_EQ(DPLDARenderPageToDC(id, document, page, resolution, surface.context.Handle()), 0);
    EXPECT_EQ(library_.ErrorCode(), DPL_ERROR_BAD_ARGUMENT);
  }

  EXPECT_EQ(DPLDARenderPageToDC(id, document, page, 72.0, nullptr), 0);
  EXPECT_EQ(library_.ErrorCode(), DPL_ERROR_BAD_DEVICE_CONTEXT);
  MemoryDeviceContext empty = MemoryDeviceContext::CreateCompatible();
  EXPECT_EQ(DPLDARenderPageToDC(id, document, page, 72.0, empty.Handle()), 0);
  EXPECT_THAT(library_.ErrorText(), HasSubstr("no bitmap selected"));

  // A header that promises more than its buffer holds.
  DplBitmap lying = *surface.bitmap.Handle();
  lying.header.height = -80;
  DplDeviceContext lyingContext{sizeof(DplDeviceContext), &lying};
  EXPECT_EQ(DPLDARenderPageToDC(id, document, page, 72.0, &lyingContext), 0);
  EXPECT_EQ(library_.ErrorCode(), DPL_ERROR_BAD_DEVICE_CONTEXT);
  lying = *surface.bitmap.Handle();
  lying.stride = 60 * 3;
  EXPECT_EQ(DPLDARenderPageToDC(id, document, page, 72.0, &lyingContext), 0);
  EXPECT_EQ(library_.ErrorCode(), DPL_ERROR_BAD_DEVICE_CONTEXT);

  // A success clears the record; a closed document is gone with its pages.
  EXPECT_NE(DPLDARenderPageToDC(id, document, page, 72.0, surface.context.Handle()), 0);
  EXPECT_EQ(library_.ErrorCode(), DPL_OK);
  DPLDACloseFile(id, document);
  EXPECT_EQ(library_.ErrorCode(), DPL_OK);
  EXPECT_EQ(DPLDARenderPageToDC(id, document, page, 72.0, surface.context.Handle()), 0);
  EXPECT_EQ(library_.ErrorCode(), DPL_ERROR_BAD_DOCUMENT);
  DPLDACloseFile(id, document);
  EXPECT_EQ(library_.ErrorCode(), DPL_ERROR_BAD_DOCUMENT);
}

TEST(FileFormatsInstanceTest, ReleasedInstanceIsRefusedAndOthersKeepTheirDocuments) {
  ScopedEnvironment env;
  const auto path = env.Temp() / "page.pdf";
  WritePdf(path, {PageSpec{}});
  const DplInstance first = DPLCreateLibrary();
  const DplInstance second = DPLCreateLibrary();
  ASSERT_GT(first, 0);
  ASSERT_GT(second, 0);
  ASSERT_NE(first, second);
  const DplHandle kept = DPLDAOpenFile(second, Wide(path.string()).c_str(), u"");
  const DplHandle dropped = DPLDAOpenFile(first, Wide(path.string()).c_str(), u"");
  ASSERT_NE(dropped, 0u);

  DPLReleaseLibrary(first);
  EXPECT_EQ(DPLDAGetPageCount(first, dropped), 0);
  EXPECT_EQ(DPLLastErrorCode(first), DPL_ERROR_BAD_INSTANCE);
  EXPECT_EQ(DPLDAOpenFile(first, Wide(path.string()).c_str(), u""), 0u);
  EXPECT_EQ(DPLDAGetPageCount(second, kept), 1);
  DPLReleaseLibrary(second);
  DPLReleaseLibrary(second);  // twice is harmless
}

TEST_F(FileFormatsLibraryTest, FileNameThatIsNotUtf16IsRefused) {
  const char16_t unpaired[] = {u'/', 0xD800, u'x', 0};
  EXPECT_EQ(DPLDAOpenFile(library_.Id(), unpaired, u""), 0u);
  EXPECT_EQ(library_.ErrorCode(), DPL_ERROR_BAD_ARGUMENT);
  EXPECT_EQ(DPLDAOpenFile(library_.Id(), nullptr, u""), 0u);
  EXPECT_EQ(library_.ErrorCode(), DPL_ERROR_BAD_ARGUMENT);
}

}  // namespace
