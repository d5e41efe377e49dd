#include "diagram/surfaces/pdffile.h"

#include <QFile>
#include <QPrinter>
#include <QString>
#include <charconv>
#include <cstdio>
#include <memory>
#include <string>

#include "diagram/surfaces/temporaryfile.h"

namespace vardell {
namespace {

std::string ReadBytes(const std::string& path) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  std::string bytes;
  if (!file) return bytes;
  char buffer[65536];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;)
    bytes.append(buffer, got);
  return bytes;
}

bool IsPdfBlank(char c) { return c == ' ' || c == '\r' || c == '\n' || c == '\t' || c == '\0'; }

}  // namespace

bool PdfIsComplete(std::string_view bytes) {
  while (!bytes.empty() && IsPdfBlank(bytes.back())) bytes.remove_suffix(1);
  if (!bytes.ends_with("%%EOF")) return false;
  const std::size_t start = bytes.rfind("startxref");
  if (start == std::string_view::npos) return false;
  std::size_t at = start + 9;
  while (at < bytes.size() && IsPdfBlank(bytes[at])) ++at;
  std::size_t offset = 0;
  const auto [end, error] = std::from_chars(bytes.data() + at, bytes.data() + bytes.size(), offset);
  if (error != std::errc() || end == bytes.data() + at) return false;
  return offset < start && bytes.substr(offset, 4) == "xref";
}

void PrintAtomically(QPrinter& printer, const std::function<void()>& print) {
  const QString name = printer.outputFileName();
  if (printer.outputFormat() != QPrinter::PdfFormat || name.isEmpty()) return print();
  const std::string path = QFile::encodeName(name).toStdString();
  TemporaryFile temporary(path);
  temporary.CloseForOthers();
  struct NameBack {
    QPrinter& Printer;
    const QString& Name;
    ~NameBack() { Printer.setOutputFileName(Name); }
  } nameBack{printer, name};
  printer.setOutputFileName(QFile::decodeName(temporary.Name().c_str()));
  print();  // an exception passes, and the temporary file goes with it
  if (!PdfIsComplete(ReadBytes(temporary.Name()))) throw WriteError(path);
  temporary.Commit();
}

}  // namespace vardell
