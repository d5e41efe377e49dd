// Writing files: complete or not at all, through symbolic links, and the metafile and PDF
// writers on a disk that fills up.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QPageSize>
#include <QPrinter>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>

#include "diagram/surfaces/emfsurface.h"
#include "diagram/surfaces/exports.h"
#include "diagram/surfaces/pdffile.h"
#include "diagram/surfaces/temporaryfile.h"
#include "support_diagram.h"
#include "support_faults.h"

namespace vardell {
namespace {

namespace fs = std::filesystem;
using namespace vardell::testing;

class FileWriting : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("vardell-writing-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Earlier(const std::string& name) {
    std::ofstream(dir_ / name, std::ios::binary) << "earlier";
    return (dir_ / name).string();
  }
  std::size_t FileCount() const {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
  }

  fs::path dir_;
};

constexpr rlim_t FullAfter = 600;  // bytes a file may reach before the disk is "full"

// 0 when write fails with the message that names the file at path, 3 when it fails with
// another, 4 when it does not fail.
int WriteFailure(const std::string& path, const std::function<void()>& write) {
  try {
    write();
  } catch (const std::runtime_error& error) {
    return std::string(error.what()) == "The file " + path + " could not be written" ? 0 : 3;
  }
  return 4;
}

TEST_F(FileWriting, FailedWritesKeepTheEarlierFileAndLeaveNoTemporaryFile) {
  const std::string path = Earlier("table.csv");
  const std::string big(5000, 'x');
  const int status = StatusWithFileSizeLimit(
      FullAfter, [&] { return WriteFailure(path, [&] { WriteFileAtomically(path, big); }); });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadFileBytes(path), "earlier");
  EXPECT_EQ(FileCount(), 1u);
  // Below the limit the same write replaces it.
  EXPECT_EQ(StatusWithFileSizeLimit(FullAfter, [&] { return WriteFileAtomically(path, "new"), 0; }),
            0);
  EXPECT_EQ(ReadFileBytes(path), "new");
  EXPECT_EQ(FileCount(), 1u);
}

// libEMF throws from its close when a write fails; the surface reports it once and its
// destructor does not close again (which ended the program).
TEST_F(FileWriting, MetafileOntoAFullDiskFailsCleanly) {
  auto analysis = MakeAnalysis(Chain(40, 4.0), 40);
  const std::string path = Earlier("tree.emf");
  const int status = StatusWithFileSizeLimit(FullAfter, [&] {
    TreeDiagram diagram;
    return WriteFailure(path, [&] { ExportMetafile(diagram, *analysis, path); });
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadFileBytes(path), "earlier");
  EXPECT_EQ(FileCount(), 1u);
}

// Qt's PDF writer reports success whatever fails; the page is checked before it replaces
// the earlier file, for the export and for a printer set to print into a PDF file.
TEST_F(FileWriting, PdfOntoAFullDiskFailsAndKeepsTheEarlierFile) {
  auto analysis = MakeAnalysis(Chain(40, 4.0), 40);
  const std::string exported = Earlier("tree.pdf"), printed = Earlier("printed.pdf");
  const int status = StatusWithFileSizeLimit(FullAfter, [&] {
    int failures = 0;
    TreeDiagram diagram;
    try {
      ExportDiagramFile(diagram, *analysis, exported);
    } catch (const std::runtime_error&) {
      ++failures;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFileName(QString::fromStdString(printed));
    failures += WriteFailure(printed, [&] { PrintDiagram(diagram, *analysis, printer); }) == 0;
    return failures == 2 ? 0 : 3;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadFileBytes(exported), "earlier");
  EXPECT_EQ(ReadFileBytes(printed), "earlier");
  EXPECT_EQ(FileCount(), 2u);
}

TEST(PdfIsComplete, WantsTheCrossReferenceAndTheEndMark) {
  const std::string whole =
      "%PDF-1.4\n1 0 obj\n<<>>\nendobj\nxref\n0 1\ntrailer\n<<>>\nstartxref\n29\n%%EOF\n";
  EXPECT_TRUE(PdfIsComplete(whole));
  EXPECT_TRUE(PdfIsComplete(whole.substr(0, whole.size() - 1)));
  EXPECT_FALSE(PdfIsComplete(whole.substr(0, whole.size() - 3)));    // cut in the end mark
  EXPECT_FALSE(PdfIsComplete(whole.substr(0, 40)));                  // cut before the trailer
  EXPECT_FALSE(PdfIsComplete("%PDF-1.4\n" + whole.substr(9 + 20)));  // a piece lost inside
  EXPECT_FALSE(PdfIsComplete(""));
  EXPECT_FALSE(PdfIsComplete("startxref\n99999999999999999999999\n%%EOF"));
}

// Links are followed to the file they end at, relative to the folder of each link; the link
// itself stays, and the target keeps its permissions.
TEST_F(FileWriting, SymbolicLinksAreWrittenThrough) {
  fs::create_directories(dir_ / "sub");
  const std::string target = Earlier("sub/target.csv");
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink("sub/link2", dir_ / "link1");
  fs::create_symlink("target.csv", dir_ / "sub" / "link2");
  fs::create_symlink("absent.csv", dir_ / "dangling");
  EXPECT_EQ(WriteTarget((dir_ / "link1").string()), (dir_ / "sub" / "target.csv").string());
  EXPECT_EQ(WriteTarget((dir_ / "dangling").string()), (dir_ / "absent.csv").string());
  EXPECT_EQ(WriteTarget(target), target);

  WriteFileAtomically((dir_ / "link1").string(), "new");
  EXPECT_TRUE(fs::is_symlink(dir_ / "link1"));
  EXPECT_EQ(ReadFileBytes(target), "new");
  EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  WriteFileAtomically((dir_ / "dangling").string(), "made");
  EXPECT_EQ(ReadFileBytes((dir_ / "absent.csv").string()), "made");
  EXPECT_THROW(WriteFileAtomically("", "x"), std::runtime_error);
}

}  // namespace
}  // namespace vardell
