// Makes samples/report.pdf: a typed letter page and a bar chart on a page shown as landscape
// (/Rotate 90), drawn with vector shapes and a standard font, so the file stays a few KB.
// The pages are the same on every run. Usage: make_sample_pdf FOLDER
#include <cstdio>
#include <exception>
#include <string>

#include "pdf/PdfWriter.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  using namespace test_pdf;
  // Drawn on the unrotated portrait page so that it stands upright once the page is shown
  // turned: a point (x, y) of the landscape view is (y, 792 - x) on the portrait page.
  PageSpec chart;
  chart.rotate = 90;
  chart.lines.push_back({60, 792 - 70, 18, "Pages scanned per month", /*turned=*/true, {}});
  const Color colours[] = {{200, 60, 50}, {60, 140, 200}, {90, 170, 80}, {230, 170, 40}};
  for (int month = 0; month < 12; ++month) {
    const double height = 80 + ((month * 37) % 11) * 36;
    const double x = 90 + month * 55;
    chart.boxes.push_back({540 - height, 792 - x - 36, height, 36, colours[month % 4]});
  }
  chart.boxes.push_back({540, 52, 2, 670, {0, 0, 0}});   // the axis under the bars
  chart.boxes.push_back({100, 720, 442, 2, {0, 0, 0}});  // the axis left of them
  try {
    WritePdf(std::string(argv[1]) + "/report.pdf", {TypedLetterPage(), chart});
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
