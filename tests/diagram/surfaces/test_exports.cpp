// The command-line exports: format by extension, the pictures' sizes, and failed writes.

#include <gtest/gtest.h>

#include <QImage>
#include <QPageSize>
#include <QPrinter>
#include <filesystem>

#include "diagram/surfaces/exports.h"
#include "support_emfreader.h"
#include "support_trees.h"

namespace vardell {
namespace {

namespace fs = std::filesystem;
using testing::Chain;
using testing::MakeAnalysis;
using testing::ReadFileBytes;

class ExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("vardell-export-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }
  int FilesInDir() const {
    return static_cast<int>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
  }
  fs::path dir_;
};

struct FormatCase {
  const char* Name;
  const char* FileName;
  std::size_t MagicAt;
  const char* Magic;
};

TEST_F(ExportTest, ChoosesTheFormatByExtension) {
  const FormatCase cases[] = {
      {"emf", "tree.emf", 40, " EMF"},   {"EMF upper case", "TREE.EMF", 40, " EMF"},
      {"svg", "tree.svg", 0, "<?xml"},   {"png", "tree.png", 1, "PNG"},
      {"pdf", "tree.Pdf", 0, "%PDF"},
  };
  for (const FormatCase& c : cases) {
    auto analysis = MakeAnalysis(Chain(12, 4.0), 12);
    std::string path = PathOf(c.FileName);
    ExportDiagramFile(*analysis, path);
    std::string bytes = ReadFileBytes(path);
    ASSERT_GT(bytes.size(), c.MagicAt + 4) << c.Name;
    EXPECT_EQ(bytes.substr(c.MagicAt, std::string(c.Magic).size()), c.Magic) << c.Name;
    fs::remove(path);
    EXPECT_EQ(FilesInDir(), 0) << c.Name << ": a temporary file was left";
  }
}

TEST_F(ExportTest, PngIsTheScreenPicture) {
  auto analysis = MakeAnalysis(Chain(12, 4.0), 12);
  std::string path = PathOf("screen.png");
  ExportDiagramFile(*analysis, path);
  QImage image(QString::fromStdString(path));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.width(), ScreenAreaWidth);
  EXPECT_EQ(image.height(), ScreenAreaHeight);
  EXPECT_EQ(qRound(image.dotsPerMeterX() * 0.0254), 96);
  // The clearing rectangle's outline, and white inside.
  EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::black));
  EXPECT_EQ(image.pixelColor(ScreenAreaWidth - 1, ScreenAreaHeight - 1), QColor(Qt::black));
  EXPECT_EQ(image.pixelColor(ScreenAreaWidth - 5, ScreenAreaHeight - 5), QColor(Qt::white));

  // The same as a redraw on the screen picture with the windows' font.
  QImage screen = NewScreenImage();
  TreeDiagram diagram;
  RedrawOnScreen(diagram, *analysis, screen, DefaultDiagramFont());
  EXPECT_EQ(image.convertToFormat(QImage::Format_RGB32), screen);
}

TEST_F(ExportTest, SvgHasTheScreenSizeAndTheTexts) {
  auto analysis = MakeAnalysis(Chain(4, 2.0), 4, -1, {"first", "second"});
  std::string path = PathOf("screen.svg");
  ExportDiagramFile(*analysis, path);
  std::string svg = ReadFileBytes(path);
  for (const char* expected : {"viewBox=\"0 0 665 689\"", "first", "second", "O4", "distance units"})
    EXPECT_NE(svg.find(expected), std::string::npos) << expected;
}

TEST_F(ExportTest, PdfIsOneA4Page) {
  auto analysis = MakeAnalysis(Chain(12, 4.0), 12);
  std::string path = PathOf("page.pdf");
  ExportDiagramFile(*analysis, path);
  std::string pdf = ReadFileBytes(path);
  EXPECT_NE(pdf.find("/MediaBox [0 0 595"), std::string::npos);
  EXPECT_NE(pdf.find("/Count 1"), std::string::npos);
}

TEST_F(ExportTest, FailuresNameTheFile) {
  auto analysis = MakeAnalysis(Chain(3, 1.0), 3);
  for (const char* name : {"no/dir/x.emf", "no/dir/x.svg", "no/dir/x.png", "no/dir/x.pdf",
                           "x.bmp", "x", "x.emf.txt"}) {
    std::string path = PathOf(name);
    try {
      ExportDiagramFile(*analysis, path);
      ADD_FAILURE() << name << ": no error";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(FilesInDir(), 0);
}

TEST(PrintDiagram, FitsThePrinterScalesAtThreeHundredDots) {
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
  ASSERT_EQ(hscales.size(), 1u);
  EXPECT_EQ(hscales[0], FormatScaleField(t.XFactor * 25.4 / 300));
  // A sans-serif of 10 points at 300 dots per inch: a line of text some 42 to 50 dots high.
  double th = t.LineHeight * t.YFactor;
  EXPECT_GE(th, 40);
  EXPECT_LE(th, 52);
  // Fitted to the printable width: the tree's far side 10 dots inside it.
  double right = t.XOrigin + (t.LabelWidth + t.DistanceExtent) * t.XFactor;
  EXPECT_NEAR(right, printer.width() - 10, 1e-6);
}

}  // namespace
}  // namespace vardell
