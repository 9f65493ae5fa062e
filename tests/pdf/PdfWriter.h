#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Small PDF documents for tests and benchmarks: pages of a given size and rotation with filled
// rectangles and lines of text, written with a correct cross-reference table.
namespace test_pdf {

struct Color {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
};

// A filled rectangle in points, measured from the top-left corner of the unrotated page.
struct Box {
  double left = 0;
  double top = 0;
  double width = 0;
  double height = 0;
  Color color;
};

// A line of Helvetica text; (left, top) is the start of its baseline, from the top-left corner
// of the unrotated page. `turned` runs it upwards, so that it reads across a page shown turned
// by 90 degrees.
struct TextLine {
  double left = 0;
  double top = 0;
  double size = 12;
  std::string text;  // ASCII; parentheses and backslashes are escaped
  bool turned = false;
  Color color;
};

struct PageSpec {
  double width = 612;  // US Letter
  double height = 792;
  int rotate = 0;  // /Rotate, degrees clockwise
  std::vector<Box> boxes;
  std::vector<TextLine> lines;
};

inline constexpr Color kRed{255, 0, 0};
inline constexpr Color kGreen{0, 255, 0};
inline constexpr Color kBlue{0, 0, 255};

// The bytes of a PDF document with these pages.
std::string MakePdf(const std::vector<PageSpec>& pages);
void WritePdf(const std::filesystem::path& path, const std::vector<PageSpec>& pages);

// A letter page that looks like a typed document: a heading bar, a frame and `lines` lines of
// text. The benchmark's page and the sample's.
PageSpec TypedLetterPage(int lines = 48);

}  // namespace test_pdf
