// The EMF surface and the metafile export, read back from the file.

#include <emf2svg.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>

#include "diagram/recordingsurface.h"
#include "diagram/surfaces/emfsurface.h"
#include "diagram/surfaces/exports.h"
#include "support_emfreader.h"
#include "support_trees.h"

namespace vardell {
namespace {

namespace fs = std::filesystem;
using testing::Chain;
using testing::MakeAnalysis;
using testing::ReadEmf;
using testing::ReadFileBytes;

// Forwards to a real surface and records what it was asked to draw.
class TeeSurface : public Surface {
 public:
  explicit TeeSurface(Surface& inner) : inner_(inner), log_(0, 0, 0, 0, 0) {}
  void MoveTo(int x, int y) override { inner_.MoveTo(x, y), log_.MoveTo(x, y); }
  void LineTo(int x, int y) override { inner_.LineTo(x, y), log_.LineTo(x, y); }
  void TextOut(int x, int y, const std::string& t) override {
    inner_.TextOut(x, y, t);
    log_.TextOut(x, y, ToMetafileText(t));
  }
  int TextWidth(const std::string& t) override { return inner_.TextWidth(t); }
  int TextHeight(const std::string& t) override { return inner_.TextHeight(t); }
  void Rectangle(int x1, int y1, int x2, int y2) override {
    inner_.Rectangle(x1, y1, x2, y2), log_.Rectangle(x1, y1, x2, y2);
  }
  int Width() const override { return inner_.Width(); }
  int Height() const override { return inner_.Height(); }
  int PixelsPerInch() const override { return inner_.PixelsPerInch(); }
  const std::vector<RecordedCall>& Calls() const { return log_.Calls(); }

 private:
  Surface& inner_;
  RecordingSurface log_;
};

std::string Describe(const std::vector<RecordedCall>& calls) {
  std::string all;
  for (const RecordedCall& c : calls)
    all += std::to_string(static_cast<int>(c.Op)) + " " + std::to_string(c.X1) + "," +
           std::to_string(c.Y1) + " " + std::to_string(c.X2) + "," + std::to_string(c.Y2) + " " +
           c.Text + "\n";
  return all;
}

class MetafileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("vardell-emf-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

  // Draws analysis into a metafile at path through the EMF surface directly, returning what
  // the layout asked the surface to draw.
  std::vector<RecordedCall> DrawDirectly(Analysis& analysis, const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr);
    std::vector<RecordedCall> calls;
    {
      RecordingSurface screen(ScreenAreaWidth, ScreenAreaHeight, 96, 7, 13);
      EmfSurface metafile(file);
      TeeSurface tee(metafile);
      TreeDiagram diagram;
      diagram.RedrawDiagram(analysis, OutputTarget::Metafile, screen, tee);
      metafile.Finish();
      calls = tee.Calls();
    }
    std::fclose(file);
    return calls;
  }

  fs::path dir_;
};

TEST(MetafileText, IsWindows1252) {
  const struct {
    const char* Utf8;
    const char* Stored;
  } cases[] = {{"AB-12.5", "AB-12.5"},    {"\xC3\xA9t\xC3\xA9", "\xE9t\xE9"},
               {"\xE2\x82\xAC", "\x80"},   {"\xE2\x80\x94", "\x97"},
               {"\xCE\xA9", "?"},          {"\xF0\x9F\x98\x80x", "?x"},
               {"\xFF", "?"},              {"a\xC3", "a?"},
               {"\xC3(", "?("},            {"", ""}};
  for (const auto& c : cases) EXPECT_EQ(ToMetafileText(c.Utf8), c.Stored) << c.Utf8;
}

TEST_F(MetafileTest, HoldsWhatTheLayoutDrewInAFrameOfItsNaturalSize) {
  auto analysis = MakeAnalysis(Chain(12, 4.0), 12, -1, {"S\xC3\xA9"});
  std::string path = PathOf("direct.emf");
  std::vector<RecordedCall> drawn = DrawDirectly(*analysis, path);
  std::string bytes = ReadFileBytes(path);
  testing::EmfPicture picture = ReadEmf(bytes);

  EXPECT_EQ(Describe(picture.Calls), Describe(drawn));
  EXPECT_EQ(picture.Frame[0], 0);
  EXPECT_EQ(picture.Frame[1], 0);
  EXPECT_EQ(picture.Frame[2], 31250);
  EXPECT_EQ(picture.Frame[3], 31250);
  // The frame is 1000 device units of the reference device the file records.
  EXPECT_EQ(picture.Frame[2] * picture.Device[0], 1000 * 100 * picture.Millimetres[0]);
  EXPECT_EQ(picture.Frame[3] * picture.Device[1], 1000 * 100 * picture.Millimetres[1]);
  EXPECT_EQ(picture.FontHeight, -MetafileFontHeight);
  EXPECT_EQ(picture.FontFace, "DejaVu Sans");
  EXPECT_TRUE(picture.EndsWithEof);
  EXPECT_EQ(picture.DeclaredBytes, bytes.size());
  EXPECT_EQ(picture.DeclaredRecords, picture.Records);

  // Header at the origin, every label once at x = 0, nothing beyond the 1000 units.
  std::map<std::string, int> labels;
  int texts = 0;
  for (const RecordedCall& c : picture.Calls) {
    if (c.Op != RecordedCall::Kind::Text) {
      for (int v : {c.X1, c.Y1, c.X2, c.Y2}) EXPECT_TRUE(v >= 0 && v <= 1000) << v;
      continue;
    }
    if (texts++ == 0) {
      EXPECT_EQ(c.X1, 0);
      EXPECT_EQ(c.Y1, 0);
      EXPECT_EQ(c.Text.rfind("EUCLIDIAN DISTANCE; MINIMUM VARIANCE DISPERSION INCREASE", 0), 0u);
    } else {
      EXPECT_EQ(c.X1, 0);
      ++labels[c.Text];
    }
  }
  EXPECT_EQ(labels.size(), 12u);
  EXPECT_EQ(labels["S\xE9"], 1);
  EXPECT_EQ(labels["O12"], 1);
}

TEST_F(MetafileTest, ExportWritesTheSameRecordsAndClearsTheScreen) {
  auto analysis = MakeAnalysis(Chain(7, 3.0), 7);
  std::vector<RecordedCall> drawn = DrawDirectly(*analysis, PathOf("direct.emf"));

  TreeDiagram diagram;
  diagram.Scale = DrawingScale{2.5, 7.0, 10, true, 40, -10, 10};  // ignored by the metafile
  QImage screen = NewScreenImage();
  screen.fill(Qt::red);
  std::string path = PathOf("export.emf");
  ExportMetafile(diagram, *analysis, screen, DefaultDiagramFont(), path);

  EXPECT_EQ(Describe(ReadEmf(ReadFileBytes(path)).Calls), Describe(drawn));
  EXPECT_EQ(screen.pixelColor(0, 0), QColor(Qt::black));  // the clearing rectangle's outline
  EXPECT_EQ(screen.pixelColor(300, 300), QColor(Qt::white));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);
}

TEST_F(MetafileTest, FailedExportNamesTheFileAndLeavesNothing) {
  auto analysis = MakeAnalysis(Chain(3, 1.0), 3);
  TreeDiagram diagram;
  QImage screen = NewScreenImage();
  std::string path = PathOf("missing/sub/x.emf");
  try {
    ExportMetafile(diagram, *analysis, screen, DefaultDiagramFont(), path);
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
  }
  EXPECT_EQ(std::distance(fs::recursive_directory_iterator(dir_), fs::recursive_directory_iterator()), 0);
}

TEST_F(MetafileTest, ConvertsToSvgWithItsTexts) {
  auto analysis = MakeAnalysis(Chain(5, 2.0), 5, -1, {"alpha", "beta"});
  std::string path = PathOf("convert.emf");
  DrawDirectly(*analysis, path);
  std::string bytes = ReadFileBytes(path);
  generatorOptions options{};
  options.nameSpace = const_cast<char*>("svg");
  options.svgDelimiter = true;
  char* svg = nullptr;
  size_t length = 0;
  ASSERT_TRUE(emf2svg(bytes.data(), bytes.size(), &svg, &length, &options));
  std::string text(svg, length);
  free(svg);
  for (const char* expected : {"alpha", "beta", "O5", "distance units", "DejaVu Sans"})
    EXPECT_NE(text.find(expected), std::string::npos) << expected;
}

}  // namespace
}  // namespace vardell
