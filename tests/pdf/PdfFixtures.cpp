#include "pdf/PdfFixtures.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include "support/ShellQuoted.h"

namespace test_pdf {
using test_support::ShellQuoted;

void WriteLockedCopy(const std::filesystem::path& plain, const std::filesystem::path& locked,
                     const std::string& password) {
  const std::string command = "qpdf --encrypt " + ShellQuoted(password) + " " + ShellQuoted(password + "-owner") +
                              " 256 -- " + ShellQuoted(plain.string()) + " " + ShellQuoted(locked.string());
  if (std::system(command.c_str()) != 0) throw std::runtime_error("qpdf failed: " + command);
}

void WriteDamagedPdf(const std::filesystem::path& path) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R\nthe rest of this file was lost\n";
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string Describe(const Bgr& pixel) {
  return "(r=" + std::to_string(pixel.red) + " g=" + std::to_string(pixel.green) + " b=" + std::to_string(pixel.blue) +
         ")";
}

}  // namespace test_pdf
