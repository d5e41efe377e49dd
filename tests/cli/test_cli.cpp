// vardell-cli end to end on small files it is given.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "version.h"

namespace vardell {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int Status;
  std::string Out;
  std::string Err;
};

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("vardell-cli-test-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& content) {
    fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
  }

  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  // limitBlocks: a file-size limit (in the shell's blocks of 512 or 1024 bytes) for the tool's
  // writes, which then fail as on a full disk instead of raising SIGXFSZ. folder: the working
  // folder, when not this one.
  Outcome Run(const std::string& arguments, int limitBlocks = 0, const fs::path& folder = {}) {
    fs::path out = dir_ / "stdout", err = dir_ / "stderr";
    std::string limit =
        limitBlocks > 0 ? "trap '' XFSZ; ulimit -f " + std::to_string(limitBlocks) + "; " : "";
    if (!folder.empty()) limit += "cd '" + folder.string() + "' && ";
    std::string command = limit + std::string(VARDELL_CLI) + " " + arguments + " >" + out.string() +
                          " 2>" + err.string();
    int raw = std::system(command.c_str());
    return {WEXITSTATUS(raw), Read(out), Read(err)};
  }

  // The standard output of a run that must succeed.
  std::string OutputOf(const std::string& arguments) {
    Outcome r = Run(arguments);
    EXPECT_EQ(r.Status, 0) << arguments << ": " << r.Err;
    return r.Out;
  }

  fs::path dir_;
};

// Three objects whose dissimilarities are 1-2: 2, 1-3: 5, 2-3: 3 under the Manhattan metric
// of one doubled variable: values 0, 2 and 5.
const char* const ThreeObjects = "3 2\r\n0 0\r\n2 2\r\n5 5\r\n";

TEST_F(CliTest, FusionTableOfAFurthestNeighbourRun) {
  std::string file = Write("three.dat", ThreeObjects);
  EXPECT_EQ(OutputOf(file + " --strategy furthest-neighbour --coefficient manhattan --fusions -"),
            "step,child1,child2,level,size,first_object\n"
            "1,0,1,2,2,0\n"
            "2,2,3,5,3,0\n");
}

TEST_F(CliTest, ConstrainedRunNamesObjectsByTheirRowsInTheFile) {
  // Depths 30, 10, 20: the depth sort puts row 2 first; ids stay the file's rows.
  std::string file = Write("depth.dat", "3 3\n30 1 1\n10 0 0\n20 4 4\n");
  OutputOf(file +
           " --constrained --strategy furthest-neighbour --coefficient euclidean --fusions " +
           (dir_ / "f.csv").string());
  // Squared distances in depth order (rows 2, 3, 1): 2-3: 32, 3-1: 18, so 3 and 1 fuse first.
  EXPECT_EQ(Read(dir_ / "f.csv"),
            "step,child1,child2,level,size,first_object\n"
            "1,0,2,18,2,2\n"
            "2,3,1,32,3,1\n");
}

TEST_F(CliTest, LevelsReadBackToTheStoredBinaryValue) {
  std::string file = Write("tenth.dat", "2 2\n0 0\n0.1 0.3\n");
  Outcome r = Run(file + " --strategy nearest-neighbour --fusions -");
  ASSERT_EQ(r.Status, 0) << r.Err;
  std::string row = r.Out.substr(r.Out.find('\n') + 1);
  EXPECT_EQ(row.substr(0, 6), "1,0,1,");
  double level = std::stod(row.substr(6));
  // sqrt(0.01 + 0.09) held at 40 bits: not the double nearest to sqrt(0.1).
  EXPECT_NEAR(level, 0.316227766, 1e-9);
  char printed[64];
  std::snprintf(printed, sizeof printed, "%.17g", level);
  EXPECT_EQ(row.substr(6, row.find(',', 6) - 6), printed);
}

// Depths 30, 10, 20, 40, 50 in file order; two close pairs of samples and one far zone.
const char* const FiveSamples = "5 3\n30 10 10\n10 0 0\n20 0 1\n40 10 11\n50 10 12\n";

TEST_F(CliTest, ZoneTablesOfAConstrainedMinimumVarianceRun) {
  std::string file = Write("five.dat", FiveSamples);
  // Levels 0.5, 1, 2.5 and 254.8 (squared distances halved, summed): the first split removes
  // 252.3 against a broken-stick share of 254.8 / 4 * (1 + 1/2 + 1/3 + 1/4).
  EXPECT_EQ(OutputOf(file + " --constrained --broken-stick -"),
            "groups,reduction,expected\n"
            "2,252.3,132.7083333\n"
            "3,1.5,69.00833333\n"
            "4,0.5,37.15833333\n");
  // Objects are the file's rows; depths 10 and 20 make zone 1.
  EXPECT_EQ(OutputOf(file + " --constrained --zones auto --zone-table - --memberships " +
                     (dir_ / "groups.csv").string()),
            "zone,samples,first_object,last_object,top_depth,bottom_depth,boundary_below\n"
            "1,2,1,2,10,20,25\n"
            "2,3,0,4,30,50,\n");
  EXPECT_EQ(Read(dir_ / "groups.csv"),
            "object,label,depth,group\n"
            "0,30,30,2\n1,10,10,1\n2,20,20,1\n3,40,40,2\n4,50,50,2\n");
}

TEST_F(CliTest, MembershipsOfAnOrdinaryRun) {
  // Identifiers with a comma and a quote are quoted as CSV fields.
  std::string file = Write("named.txt", "name,a,b\nx,0,0\n\"y,1\",9,9\nz\"2,1,1\n");
  EXPECT_EQ(
      OutputOf(file + " --id-column 1 --strategy furthest-neighbour --zones 2 --memberships -"),
      "object,label,depth,group\n0,x,,1\n1,\"y,1\",,2\n2,\"z\"\"2\",,1\n");
}

TEST_F(CliTest, TablesAreWrittenWholeOrNotAtAll) {
  std::string file = Write("five.dat", FiveSamples);
  std::string earlier = Write("zones.csv", "earlier\n");
  Outcome failed = Run(file + " --constrained --zones 2 --zone-table " + earlier +
                       " --memberships " + (dir_ / "missing" / "m.csv").string());
  EXPECT_EQ(failed.Status, 1);
  EXPECT_NE(failed.Err.find("Cannot write the memberships"), std::string::npos) << failed.Err;
  Outcome replaced = Run(file + " --constrained --zones 5 --zone-table " + earlier);
  ASSERT_EQ(replaced.Status, 0) << replaced.Err;
  EXPECT_EQ(Read(earlier).substr(0, 5), "zone,");
  for (const auto& entry : fs::directory_iterator(dir_))  // no temporary file left behind
    EXPECT_TRUE(entry.path().filename() == "five.dat" || entry.path().filename() == "zones.csv" ||
                entry.path().filename() == "stdout" || entry.path().filename() == "stderr")
        << entry.path();
}

TEST_F(CliTest, ExportDrawsTheCut) {
  std::string file = Write("five.dat", FiveSamples);
  const auto picture = [&](const std::string& options, const char* name) {
    Outcome r = Run(file + " " + options + " --export " + (dir_ / name).string());
    EXPECT_EQ(r.Status, 0) << r.Err;
    return Read(dir_ / name);
  };
  const std::string plain = picture("--constrained", "plain.svg");
  EXPECT_NE(picture("--constrained --zones 2", "cut.svg"), plain);
  EXPECT_NE(picture("--constrained --zones 1", "one.svg"), plain);  // its zone number
  // An ordinary run's single group has neither line nor numbers.
  EXPECT_EQ(picture("--zones 1", "ordinary-one.svg"), picture("", "ordinary.svg"));
}

TEST_F(CliTest, ExitStatusesAndMessages) {
  std::string good = Write("good.dat", ThreeObjects);
  std::string corrupt = Write("corrupt.dat", "3 2\n1 2\n3\n");
  std::string text = Write("text.dat", "2 2\n1 a b\n3 4\n");
  struct Case {
    std::string arguments;
    int status;
    std::string err;  // start of standard error
  } cases[] = {
      {good, 0, ""},
      {corrupt, 1, "Data file corrupt.\n"},
      {Write("big.dat", "201 2\n"), 1, "Maximum size of data matrix exceeded.\n"},
      {text, 1, "Data file contains non-numeric fields\n"},
      {good + " --data-columns 1", 1, "You should select at least 2 datacolumns.\n"},
      {good + " --constrained --data-columns 1-2", 1,
       "You should select at least 2 datacolumns.\n"},
      {good + " --strategy ward", 2, "vardell-cli: unknown strategy"},
      {good + " --data-columns 1-3", 2, "vardell-cli: data column 3 is out of range"},
      {good + " --zones 0", 2, "vardell-cli: --zones needs a number"},
      {good + " --zones 4", 2, "vardell-cli: --zones 4 is out of range (the run has 3 objects)"},
      {good + " --zones auto", 2, "vardell-cli: --zones auto needs a constrained minimum-variance"},
      {good + " --constrained --strategy furthest-neighbour --broken-stick -", 2,
       "vardell-cli: --broken-stick needs a constrained minimum-variance"},
      {good + " --zones 2 --zone-table -", 2, "vardell-cli: --zone-table needs a constrained run"},
      {good + " --constrained --zone-table -", 2, "vardell-cli: --zone-table needs --zones"},
      {good + " --memberships -", 2, "vardell-cli: --memberships needs --zones"},
      {good + " --zones 2 --memberships - --fusions -", 2, "vardell-cli: only one of"},
      {good + " --zones 3 --memberships -", 0, ""},
      {"", 2, "vardell-cli: no data file given"},
      {"--help", 0, ""},
      {"--version", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    Outcome r = Run(c.arguments);
    EXPECT_EQ(r.Status, c.status);
    EXPECT_EQ(r.Err.substr(0, c.err.size()), c.err);
    if (c.status == 2) {
      EXPECT_NE(r.Err.find("usage: vardell-cli FILE"), std::string::npos);
    }
  }
  EXPECT_NE(Run("--help").Out.find("--fusions"), std::string::npos);
  EXPECT_EQ(Run("--version").Out, "vardell-cli " VARDELL_VERSION "\n");
}

// Relative paths load, and full stops in folder names do not change how a file is read.
TEST_F(CliTest, RelativePathsAndFoldersWithFullStops) {
  fs::create_directories(dir_ / "j.smith" / "core.v2");
  const std::string file = (dir_ / "j.smith" / "core.v2" / "X.DAT").string();
  std::ofstream(file, std::ios::binary) << ThreeObjects;
  const std::pair<std::string, fs::path> cases[] = {
      {file, {}},
      {"./X.DAT", dir_ / "j.smith" / "core.v2"},
      {"core.v2/X.DAT", dir_ / "j.smith"},
      {"../core.v2/X.DAT", dir_ / "j.smith" / "core.v2"}};
  for (const auto& [argument, folder] : cases) {
    const Outcome r = Run(argument + " --fusions -", 0, folder);
    EXPECT_EQ(r.Status, 0) << argument << ": " << r.Err;
    EXPECT_EQ(r.Out.rfind("step,", 0), 0u) << argument;
  }
}

TEST_F(CliTest, RealCoreLoadsAndRunsConstrained) {
  Outcome r = Run(std::string(VARDELL_DATA_DIR) + "/RLGH.DAT --constrained --fusions -");
  ASSERT_EQ(r.Status, 0) << r.Err;
  int rows = 0;
  for (char c : r.Out) rows += c == '\n';
  EXPECT_EQ(rows, 20);  // header and 19 fusions
  std::string last = r.Out.substr(r.Out.rfind('\n', r.Out.size() - 2) + 1);
  EXPECT_EQ(last.substr(0, 3), "19,");
}

TEST_F(CliTest, ExportsByExtension) {
  std::string file = Write("three.dat", ThreeObjects);
  struct Case {
    const char* name;
    const char* magic;  // the file's first bytes
    std::size_t offset;
  } cases[] = {
      {"tree.emf", " EMF", 40},  // the EMF header's signature
      {"tree.EMF", " EMF", 40},   {"tree.svg", "<?xml", 0},
      {"tree.png", "\x89PNG", 0}, {"tree.pdf", "%PDF", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::path target = dir_ / c.name;
    Outcome r = Run(file + " --export " + target.string());
    ASSERT_EQ(r.Status, 0) << r.Err;
    std::string content = Read(target);
    ASSERT_GT(content.size(), c.offset + 4);
    EXPECT_EQ(content.substr(c.offset, std::string(c.magic).size()), c.magic);
  }
  Outcome unknown = Run(file + " --export " + (dir_ / "tree.bmp").string());
  EXPECT_EQ(unknown.Status, 1);
  EXPECT_FALSE(unknown.Err.empty());
  Outcome unwritable = Run(file + " --export " + (dir_ / "no-such-folder" / "tree.png").string());
  EXPECT_EQ(unwritable.Status, 1);
  EXPECT_FALSE(fs::exists(dir_ / "no-such-folder"));
}

// The window's drawing controls on the exported screen picture: the tick in the header, a
// font the window does not offer refused before anything is loaded or written.
TEST_F(CliTest, DrawingOptionsReachTheExport) {
  std::string file = Write("three.dat", ThreeObjects);  // furthest neighbour: root at level 5
  const std::string run = file + " --strategy furthest-neighbour --coefficient manhattan --export ";
  const struct {
    const char* Options;
    const char* Header;
  } cases[] = {
      {"", "   10.0000 distance units"},
      {" --tick auto", "    1.0000 distance units"},
      {" --tick 0.25 --vertical-scale 5 --font-size 14", "    0.2500 distance units"},
      {" --tick 1e300", "1.0000e+300 distance units"},
  };
  for (const auto& c : cases) {
    fs::path target = dir_ / "tree.svg";
    Outcome r = Run(run + target.string() + c.Options);
    ASSERT_EQ(r.Status, 0) << c.Options << r.Err;
    EXPECT_NE(Read(target).find(c.Header), std::string::npos) << c.Options;
  }
  // A math font is no choice of the window's font dialog, installed or not.
  for (const char* family : {"No-Such-Family-Here", "'DejaVu Math TeX Gyre'"}) {
    fs::path target = dir_ / "font.png";
    Outcome r = Run(run + target.string() + " --fusions " + (dir_ / "f.csv").string() + " --font " +
                    family);
    EXPECT_EQ(r.Status, 2) << family;
    EXPECT_NE(r.Err.find("--font"), std::string::npos);
    EXPECT_FALSE(fs::exists(target) || fs::exists(dir_ / "f.csv"));
  }
}

// The files a run leaves in the test's folder besides its standard streams.
std::vector<std::string> FilesIn(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name != "stdout" && name != "stderr") names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Every output onto a disk that fills up: the general message, exit status 1, the earlier
// file untouched and no temporary file left.
TEST_F(CliTest, OutputsOntoAFullDiskFailAndKeepTheEarlierFile) {
  const std::string data = std::string(VARDELL_DATA_DIR) + "/ABER.DAT";
  for (const char* name : {"fusions.csv", "tree.emf", "tree.pdf", "tree.svg", "tree.png"}) {
    SCOPED_TRACE(name);
    const fs::path target = dir_ / name;
    Write(name, "earlier");
    const std::string option = std::string(name) == "fusions.csv" ? " --fusions " : " --export ";
    Outcome r = Run(data + option + target.string(), 1);
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, std::string(name) == "fusions.csv"
                         ? "Cannot write the fusion table to " + target.string() + ".\n"
                         : "The file " + target.string() + " could not be written.\n");
    EXPECT_EQ(Read(target), "earlier");
    EXPECT_EQ(FilesIn(dir_), std::vector<std::string>{name});
    fs::remove(target);
  }
}

// An output through a symbolic link replaces the link's target, keeping the target's
// permissions; the link stays a link.
TEST_F(CliTest, OutputsWriteThroughSymbolicLinks) {
  const std::string data = Write("three.dat", ThreeObjects);
  for (const char* name : {"fusions.csv", "tree.emf", "tree.pdf", "tree.svg", "tree.png"}) {
    SCOPED_TRACE(name);
    const fs::path target = dir_ / (std::string("target-") + name), link = dir_ / name;
    Write(target.filename().string(), "earlier");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(target.filename(), link);
    const std::string option = std::string(name) == "fusions.csv" ? " --fusions " : " --export ";
    Outcome r = Run(data + option + link.string());
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_NE(Read(target), "earlier");
    EXPECT_EQ(fs::status(target).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  }
}

TEST_F(CliTest, EmptyOutputPathIsAUsageError) {
  const std::string data = Write("three.dat", ThreeObjects);
  for (const char* option :
       {"--fusions", "--export", "--zone-table", "--memberships", "--broken-stick"}) {
    for (const std::string& form : {std::string(option) + " \"\"", std::string(option) + "="}) {
      Outcome r = Run(data + " " + form);
      EXPECT_EQ(r.Status, 2) << form;
      EXPECT_EQ(r.Err.substr(0, 13), "vardell-cli: ") << form;
    }
  }
}

}  // namespace
}  // namespace vardell
