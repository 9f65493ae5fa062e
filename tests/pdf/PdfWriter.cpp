#include "PdfWriter.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace test_pdf {
namespace {

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof(text), "%.3f", value);
  return text;
}

std::string Channel(uint8_t value) { return Number(value / 255.0); }

std::string Escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '(' || c == ')' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

std::string ContentOf(const PageSpec& page) {
  std::string content;
  for (const Box& box : page.boxes) {
    content += Channel(box.color.red) + " " + Channel(box.color.green) + " " + Channel(box.color.blue) + " rg ";
    // PDF measures from the bottom-left corner.
    content += Number(box.left) + " " + Number(page.height - box.top - box.height) + " " + Number(box.width) + " " +
               Number(box.height) + " re f\n";
  }
  for (const TextLine& line : page.lines) {
    content += Channel(line.color.red) + " " + Channel(line.color.green) + " " + Channel(line.color.blue) + " rg ";
    const std::string matrix = line.turned ? "0 1 -1 0 " : "1 0 0 1 ";
    content += "BT /F1 " + Number(line.size) + " Tf " + matrix + Number(line.left) + " " +
               Number(page.height - line.top) + " Tm (" + Escaped(line.text) + ") Tj ET\n";
  }
  return content;
}

}  // namespace

std::string MakePdf(const std::vector<PageSpec>& pages) {
  // Objects: 1 catalog, 2 page tree, 3 font, then a page and its content per page.
  std::vector<std::string> objects;
  objects.push_back("<< /Type /Catalog /Pages 2 0 R >>");
  std::string kids;
  for (size_t i = 0; i < pages.size(); ++i) kids += std::to_string(4 + 2 * i) + " 0 R ";
  objects.push_back("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>");
  objects.push_back("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
  for (size_t i = 0; i < pages.size(); ++i) {
    const PageSpec& page = pages[i];
    objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + Number(page.width) + " " +
                      Number(page.height) + "] /Rotate " + std::to_string(page.rotate) +
                      " /Resources << /Font << /F1 3 0 R >> >> /Contents " + std::to_string(5 + 2 * i) + " 0 R >>");
    const std::string content = ContentOf(page);
    objects.push_back("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream");
  }

  std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
  std::vector<size_t> offsets;
  for (size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (const size_t offset : offsets) {
    char entry[24];
    std::snprintf(entry, sizeof(entry), "%010zu 00000 n \n", offset);
    pdf += entry;
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
         std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

void WritePdf(const std::filesystem::path& path, const std::vector<PageSpec>& pages) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << MakePdf(pages);
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

PageSpec TypedLetterPage(int lines) {
  PageSpec page;
  page.boxes.push_back({54, 36, 504, 40, {40, 70, 140}});    // heading bar
  page.boxes.push_back({54, 90, 504, 2, {0, 0, 0}});         // rule under the heading
  page.boxes.push_back({54, 740, 504, 1, {0, 0, 0}});        // footer rule
  page.boxes.push_back({430, 100, 128, 90, {230, 230, 230}});  // shaded box
  page.lines.push_back({66, 64, 20, "Quarterly report", false, {255, 255, 255}});
  for (int i = 0; i < lines; ++i) {
    page.lines.push_back({72, 120.0 + i * 12.8, 10,
                          "Line " + std::to_string(i + 1) +
                              ": the quick brown fox jumps over the lazy dog (0123456789) & more text.",
                          false, {}});
  }
  return page;
}

}  // namespace test_pdf
