// The EMF surface and the metafile export, read back from the file.

#include <emf2svg.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "diagram/surfaces/emfsurface.h"
#include "diagram/surfaces/exports.h"
#include "support_diagram.h"
#include "support_emfreader.h"

namespace vardell {
namespace {

namespace fs = std::filesystem;
using namespace vardell::testing;

// Forwards to the metafile and records what the layout asked of it.
class TeeSurface : public Surface {
 public:
  explicit TeeSurface(Surface& inner) : inner_(inner) {}
  void MoveTo(int x, int y) override { inner_.MoveTo(x, y), Log.MoveTo(x, y); }
  void LineTo(int x, int y) override { inner_.LineTo(x, y), Log.LineTo(x, y); }
  void TextOut(int x, int y, const std::string& t) override {
    inner_.TextOut(x, y, t), Log.TextOut(x, y, ToMetafileText(t));
  }
  int TextWidth(const std::string& t) override { return inner_.TextWidth(t); }
  int TextHeight(const std::string& t) override { return inner_.TextHeight(t); }
  void Rectangle(int x1, int y1, int x2, int y2) override { inner_.Rectangle(x1, y1, x2, y2); }
  int Width() const override { return inner_.Width(); }
  int Height() const override { return inner_.Height(); }
  int PixelsPerInch() const override { return inner_.PixelsPerInch(); }
  RecordingSurface Log{0, 0, 0, 0, 0};

 private:
  Surface& inner_;
};

fs::path FreshDir(const std::string& name) {
  fs::path dir = fs::temp_directory_path() / ("vardell-emf-" + name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

// Draws analysis through the EMF surface into path; returns what the layout drew.
std::string DrawDirectly(Analysis& analysis, const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  RecordingSurface screen(ScreenAreaWidth, ScreenAreaHeight, 96, 7, 13);
  EmfSurface metafile(file);
  TeeSurface tee(metafile);
  TreeDiagram().RedrawDiagram(analysis, OutputTarget::Metafile, screen, tee);
  metafile.Finish();
  std::fclose(file);
  return Describe(tee.Log.Calls());
}

TEST(MetafileText, IsWindows1252) {
  const char* utf8[] = {"AB-1.5", "\xC3\xA9t\xC3\xA9", "\xE2\x82\xAC\xE2\x80\x94", "\xCE\xA9",
                        "\xF0\x9F\x98\x80x", "\xFF", "a\xC3", "\xC3("};
  const char* stored[] = {"AB-1.5", "\xE9t\xE9", "\x80\x97", "?", "?x", "?", "a?", "?("};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(ToMetafileText(utf8[i]), stored[i]) << i;
}

TEST(Metafile, HoldsWhatTheLayoutDrewInAFrameOfItsNaturalSize) {
  fs::path dir = FreshDir("direct");
  auto analysis = MakeAnalysis(Chain(12, 4.0), 12, -1, {"S\xC3\xA9"});
  std::string drawn = DrawDirectly(*analysis, (dir / "d.emf").string());
  EmfPicture picture = ReadEmf(ReadFileBytes((dir / "d.emf").string()));
  fs::remove_all(dir);
  EXPECT_EQ(Describe(picture.Calls), drawn);
  EXPECT_TRUE(picture.Complete);
  EXPECT_EQ(std::vector<int>(picture.Frame, picture.Frame + 4), (std::vector<int>{0, 0, 31250, 31250}));
  // 1000 device units of the reference device that the file records.
  EXPECT_EQ(picture.Frame[2] * picture.Device[0], 1000 * 100 * picture.Millimetres[0]);
  EXPECT_EQ(picture.Frame[3] * picture.Device[1], 1000 * 100 * picture.Millimetres[1]);
  EXPECT_EQ(picture.FontHeight, -16);
  EXPECT_EQ(picture.FontFace, "DejaVu Sans");
  // The header at the origin, then every label once at x = 0; nothing beyond 1000 units.
  std::map<std::string, int> texts;
  for (const RecordedCall& c : picture.Calls) {
    if (c.Op == RecordedCall::Kind::Text) {
      ++texts[c.Text];
      EXPECT_EQ(c.X1, 0);
    }
    EXPECT_TRUE(std::max({c.X1, c.Y1, c.X2, c.Y2}) <= 1000 && std::min({c.X1, c.Y1, c.X2, c.Y2}) >= 0);
  }
  EXPECT_EQ(texts.size(), 13u);
  EXPECT_EQ(texts["S\xE9"], 1);
}

TEST(Metafile, ExportWritesTheSameAtAnyPanAndLeavesNothingWhenItFails) {
  fs::path dir = FreshDir("export");
  auto analysis = MakeAnalysis(Chain(7, 3.0), 7, -1, {"alpha"});
  std::string drawn = DrawDirectly(*analysis, (dir / "direct.emf").string());
  TreeDiagram diagram;
  diagram.Scale = DrawingScale{2.5, 7.0, 10, true, 40, -10, 10};
  QImage screen = NewScreenImage();
  ExportMetafile(diagram, *analysis, screen, DefaultDiagramFont(), (dir / "x.emf").string());
  std::string bytes = ReadFileBytes((dir / "x.emf").string());
  EXPECT_EQ(Describe(ReadEmf(bytes).Calls), drawn);
  EXPECT_EQ(screen.pixelColor(0, 0), QColor(Qt::black));  // the screen was cleared

  // libemf2svg reads it too.
  generatorOptions options{};
  options.nameSpace = const_cast<char*>("svg");
  options.svgDelimiter = true;
  char* svg = nullptr;
  size_t length = 0;
  ASSERT_TRUE(emf2svg(bytes.data(), bytes.size(), &svg, &length, &options));
  EXPECT_NE(std::string(svg, length).find("alpha"), std::string::npos);
  free(svg);

  std::string missing = (dir / "no" / "x.emf").string();
  std::string error =
      ErrorText([&] { ExportMetafile(diagram, *analysis, screen, DefaultDiagramFont(), missing); });
  EXPECT_NE(error.find(missing), std::string::npos) << error;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace vardell
