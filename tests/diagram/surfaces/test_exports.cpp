// The command-line exports and printing: format by extension, sizes, and failed writes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QImage>
#include <QPageSize>
#include <QPrinter>
#include <filesystem>
#include <stdexcept>

#include "diagram/surfaces/exports.h"
#include "support_diagram.h"

namespace vardell {
namespace {

namespace fs = std::filesystem;
using namespace vardell::testing;

TEST(ExportDiagramFile, ChoosesTheFormatByExtensionAndNamesTheFileOnFailure) {
  fs::path dir = fs::temp_directory_path() / "vardell-exports";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const struct {
    const char* FileName;
    std::size_t MagicAt;
    const char* Contains;  // at MagicAt, or anywhere when MagicAt is npos
  } cases[] = {{"a.emf", 40, " EMF"},
               {"B.EMF", 40, " EMF"},
               {"c.svg", std::string::npos, "viewBox=\"0 0 665 689\""},
               {"d.png", 1, "PNG"},
               {"e.Pdf", std::string::npos, "/MediaBox [0 0 595"}};  // A4
  auto analysis = MakeAnalysis(Chain(12, 4.0), 12);
  for (const auto& c : cases) {
    std::string path = (dir / c.FileName).string();
    ExportDiagramFile(*analysis, path);
    std::string bytes = ReadFileBytes(path);
    std::size_t found = bytes.find(c.Contains);
    EXPECT_TRUE(c.MagicAt == std::string::npos ? found != std::string::npos : found == c.MagicAt)
        << c.FileName;
  }
  QImage png((dir / "d.png").c_str());
  QImage screen = NewScreenImage();
  TreeDiagram diagram;
  RedrawOnScreen(diagram, *analysis, screen, DefaultDiagramFont());
  EXPECT_EQ(png.convertToFormat(QImage::Format_RGB32), screen);  // the screen picture of the run

  for (const char* name : {"no/x.emf", "no/x.svg", "no/x.png", "no/x.pdf", "x.bmp", "x"}) {
    std::string path = (dir / name).string();
    EXPECT_THAT([&] { ExportDiagramFile(*analysis, path); },
                ::testing::ThrowsMessage<std::runtime_error>(::testing::HasSubstr(path)));
  }
  // Only the five pictures: no temporary file is left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 5);
  fs::remove_all(dir);
}

TEST(PrintDiagram, FitsThePageAtThreeHundredDotsInATenPointFont) {
  auto analysis = MakeAnalysis(Chain(12, 4.0), 12, 4);
  std::string path = (fs::temp_directory_path() / "vardell-print-test.pdf").string();
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(path));
  printer.setPageSize(QPageSize(QPageSize::A4));
  TreeDiagram diagram;
  std::vector<std::string> hscales;
  diagram.ScalesFitted = [&](const std::string&, const std::string& h) { hscales.push_back(h); };
  QImage screen = NewScreenImage();
  PrintDiagram(diagram, *analysis, screen, DefaultDiagramFont(), printer);
  fs::remove(path);
  const PageTransform& t = diagram.Transform();
  EXPECT_EQ(printer.resolution(), 300);
  EXPECT_EQ(hscales, (std::vector<std::string>{FormatScaleField(t.XFactor * 25.4 / 300)}));
  double lineHeight = t.LineHeight * t.YFactor;  // 10 points are 41.7 dots; a line a bit more
  EXPECT_TRUE(lineHeight >= 40 && lineHeight <= 52) << lineHeight;
  EXPECT_DOUBLE_EQ(t.XOrigin + (t.LabelWidth + t.DistanceExtent) * t.XFactor, printer.width() - 10);
}

}  // namespace
}  // namespace vardell
