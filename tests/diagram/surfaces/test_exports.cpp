// The EMF surface, the exports and printing: files read back record by record, format by
// extension, sizes, and failed writes.

#include <emf2svg.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QImage>
#include <QLocale>
#include <QPageSize>
#include <QPrinter>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "../../support_commalocale.h"
#include "diagram/surfaces/emfsurface.h"
#include "diagram/surfaces/exports.h"
#include "support_diagram.h"

namespace vardell {
namespace {

namespace fs = std::filesystem;
using namespace vardell::testing;
using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

int I32(const std::string& b, std::size_t at) {
  if (at + 4 > b.size()) throw std::runtime_error("record beyond the end of the file");
  int v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

struct EmfPicture {
  int Frame[4] = {};        // left, top, right, bottom in 0.01 mm
  int Device[2] = {};       // reference device in pixels
  int Millimetres[2] = {};  // and in millimetres
  bool Complete = false;    // the declared size is the file's and the last record ends it
  int FontHeight = 0;
  std::string FontFace;
  std::vector<RecordedCall> Calls;  // moves, lines and texts as the recording surface has them
};

EmfPicture ReadEmf(const std::string& b) {
  enum : int { Header = 1, Eof = 14, MoveTo = 27, LineTo = 54, CreateFont = 82, TextA = 83 };
  using K = RecordedCall::Kind;
  EmfPicture p;
  if (I32(b, 0) != Header || b.compare(40, 4, " EMF") != 0) throw std::runtime_error("not an EMF");
  for (int i = 0; i < 4; ++i) p.Frame[i] = I32(b, 24 + 4 * i);
  for (int i = 0; i < 2; ++i)
    p.Device[i] = I32(b, 72 + 4 * i), p.Millimetres[i] = I32(b, 80 + 4 * i);
  int x = 0, y = 0, type = 0;
  std::size_t at = 0;
  for (int size = 0; at < b.size(); at += size) {
    type = I32(b, at);
    size = I32(b, at + 4);
    if (size < 8 || size % 4 != 0 || at + size > b.size()) throw std::runtime_error("bad record");
    if (type == MoveTo) {
      x = I32(b, at + 8), y = I32(b, at + 12);
      p.Calls.push_back({K::Move, x, y, 0, 0, {}});
    } else if (type == LineTo) {
      p.Calls.push_back({K::Line, x, y, I32(b, at + 8), I32(b, at + 12), {}});
      x = I32(b, at + 8), y = I32(b, at + 12);
    } else if (type == TextA) {  // EMRTEXT: reference point, character count, string offset
      p.Calls.push_back({K::Text, I32(b, at + 36), I32(b, at + 40), 0, 0,
                         b.substr(at + I32(b, at + 48), I32(b, at + 44))});
    } else if (type == CreateFont) {  // LOGFONTW after the handle; face name of 32 UTF-16 units
      p.FontHeight = I32(b, at + 12);
      for (std::size_t k = at + 40; k < at + 104 && b[k] != 0; k += 2) p.FontFace += b[k];
    }
  }
  p.Complete = type == Eof && at == b.size() && static_cast<std::size_t>(I32(b, 48)) == b.size();
  return p;
}

// Records what the layout draws when it measures text as the metafile does.
struct MeasuredAsMetafile : RecordingSurface {
  explicit MeasuredAsMetafile(EmfSurface& m)
      : RecordingSurface(1000, 1000, 96, 0, 0), metafile(m) {}
  int TextWidth(const std::string& t) override { return metafile.TextWidth(t); }
  int TextHeight(const std::string& t) override { return metafile.TextHeight(t); }
  EmfSurface& metafile;
};

TEST(MetafileText, IsWindows1252) {
  const char* utf8[] = {"AB-1.5",
                        "\xC3\xA9t\xC3\xA9",
                        "\xE2\x82\xAC\xE2\x80\x94",
                        "\xCE\xA9",
                        "\xF0\x9F\x98\x80x",
                        "\xFF",
                        "a\xC3",
                        "\xC3("};
  const char* stored[] = {"AB-1.5", "\xE9t\xE9", "\x80\x97", "?", "?x", "?", "a?", "?("};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(ToMetafileText(utf8[i]), stored[i]) << i;
}

TEST(Metafile, HoldsWhatTheLayoutDrewAtAnyPan) {
  std::string path = (fs::temp_directory_path() / "vardell-metafile-test.emf").string();
  auto analysis = MakeAnalysis(Chain(12, 4.0), 12, -1, {"S\xC3\xA9", "alpha"});
  TreeDiagram diagram;
  diagram.Scale = DrawingScale{2.5, 7.0, 10, true, 40, -10, 10};  // the metafile ignores both
  ExportMetafile(diagram, *analysis, path);
  std::string bytes = ReadFileBytes(path);
  fs::remove(path);
  EmfPicture picture = ReadEmf(bytes);

  // What a fitted layout draws, measuring text as the metafile does.
  std::FILE* scratch = std::tmpfile();
  std::vector<RecordedCall> calls;
  {
    EmfSurface metafile(scratch);
    MeasuredAsMetafile drawn(metafile);
    TreeDiagram().RedrawDiagram(*analysis, OutputTarget::Metafile, drawn);
    calls = drawn.Calls();
  }
  std::fclose(scratch);
  for (RecordedCall& c : calls) c.Text = ToMetafileText(c.Text);
  EXPECT_EQ(Describe(picture.Calls), Describe(calls));
  EXPECT_TRUE(picture.Complete);
  EXPECT_EQ(std::vector<int>(picture.Frame, picture.Frame + 4),
            (std::vector<int>{0, 0, 31250, 31250}));
  // 1000 device units of the reference device that the file records.
  EXPECT_EQ(picture.Frame[2] * picture.Device[0], 1000 * 100 * picture.Millimetres[0]);
  EXPECT_EQ(picture.Frame[3] * picture.Device[1], 1000 * 100 * picture.Millimetres[1]);
  EXPECT_EQ(picture.FontHeight, -16);
  EXPECT_EQ(picture.FontFace, "DejaVu Sans");
  for (const RecordedCall& c : picture.Calls)  // nothing beyond the 1000 units
    EXPECT_TRUE(std::max({c.X1, c.Y1, c.X2, c.Y2}) <= 1000 &&
                std::min({c.X1, c.Y1, c.X2, c.Y2}) >= 0);
  // libemf2svg reads it too.
  generatorOptions options{};
  options.nameSpace = const_cast<char*>("svg");
  options.svgDelimiter = true;
  char* svg = nullptr;
  size_t length = 0;
  ASSERT_TRUE(emf2svg(bytes.data(), bytes.size(), &svg, &length, &options));
  EXPECT_NE(std::string(svg, length).find("alpha"), std::string::npos);
  free(svg);
}

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
  TreeDiagram exported;  // its drawing settings apply to every format
  exported.Scale.TickUnits = 0.5;
  for (const auto& c : cases) {
    std::string path = (dir / c.FileName).string();
    ExportDiagramFile(exported, *analysis, path);
    std::string bytes = ReadFileBytes(path);
    std::size_t found = bytes.find(c.Contains);
    EXPECT_TRUE(c.MagicAt == std::string::npos ? found != std::string::npos : found == c.MagicAt)
        << c.FileName;
  }
  QImage png((dir / "d.png").c_str());
  QImage screen = NewScreenImage();
  TreeDiagram diagram;
  diagram.Scale.TickUnits = 0.5;
  RedrawOnScreen(diagram, *analysis, screen, DefaultDiagramFont());
  EXPECT_EQ(png.convertToFormat(QImage::Format_RGB32), screen);  // the screen picture of the run

  for (const char* name : {"no/x.emf", "no/x.svg", "no/x.png", "no/x.pdf", "x.bmp", "x"}) {
    std::string path = (dir / name).string();
    EXPECT_THAT([&] { ExportDiagramFile(exported, *analysis, path); },
                ThrowsMessage<std::runtime_error>(HasSubstr(path)));
  }
  // Only the five pictures: no temporary file is left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 5);
  fs::remove_all(dir);
}

// The files hold the same bytes on a desktop that writes decimals with a comma.
TEST(ExportDiagramFile, SameBytesUnderACommaLocale) {
  const fs::path dir = fs::temp_directory_path() / "vardell-exports-locale";
  fs::remove_all(dir);
  fs::create_directories(dir);
  auto analysis = MakeAnalysis(Chain(12, 4.5), 12);
  for (const char* name : {"plain.emf", "plain.svg"}) {
    const std::string plain = (dir / name).string(),
                      comma = plain + ".comma" + fs::path(name).extension().string();
    TreeDiagram diagram;
    ExportDiagramFile(diagram, *analysis, plain);
    {
      ScopedCommaLocale locale;
      if (!locale.Active()) GTEST_SKIP() << locale.Reason();
      QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
      ExportDiagramFile(diagram, *analysis, comma);
      QLocale::setDefault(QLocale::c());
    }
    EXPECT_EQ(ReadFileBytes(comma), ReadFileBytes(plain)) << name;
  }
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
  std::string hscale;
  diagram.ScalesFitted = [&](const std::string&, const std::string& h) { hscale += h; };
  PrintDiagram(diagram, *analysis, printer);
  fs::remove(path);
  const PageTransform& t = diagram.Transform();
  EXPECT_EQ(printer.resolution(), 300);
  EXPECT_EQ(hscale, FormatScaleField(t.XFactor * 25.4 / 300));
  double lineHeight = t.LineHeight * t.YFactor;  // 10 points are 41.7 dots; a line a bit more
  EXPECT_TRUE(lineHeight >= 40 && lineHeight <= 52) << lineHeight;
  EXPECT_DOUBLE_EQ(t.XOrigin + (t.LabelWidth + t.DistanceExtent) * t.XFactor, printer.width() - 10);
}

}  // namespace
}  // namespace vardell
