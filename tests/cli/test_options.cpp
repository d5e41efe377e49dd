#include <gtest/gtest.h>

#include "cli/options.h"

namespace vardell {
namespace {

std::variant<CliOptions, UsageError> Parse(std::vector<std::string> arguments) {
  return ParseCommandLine(arguments);
}

TEST(CliOptions, AcceptedCommandLines) {
  struct Case {
    std::vector<std::string> arguments;
    int strategy, coefficient;
    bool constrained;
    int depth, id;
  } cases[] = {
      {{"a.dat"}, 0, 0, false, 1, 0},
      {{"a.dat", "--strategy", "unweighted-pairgroup"}, 5, 0, false, 1, 0},
      {{"--strategy=centroid-sorting", "a.dat", "--coefficient", "chord"}, 3, 1, false, 1, 0},
      {{"a.dat", "--coefficient=manhattan", "--constrained", "--depth-column", "3"},
       0,
       2,
       true,
       3,
       0},
      {{"a.dat", "--id-column", "2", "--strategy", "nearest-neighbour"}, 2, 0, false, 1, 2},
      {{"a.dat", "--strategy", "furthest-neighbour", "--id-column=0"}, 1, 0, false, 1, 0},
      {{"a.dat", "--strategy", "weighted-pairgroup"}, 4, 0, false, 1, 0},
      {{"a.dat", "--strategy", "minimum-variance"}, 0, 0, false, 1, 0},
  };
  for (const Case& c : cases) {
    auto parsed = Parse(c.arguments);
    ASSERT_TRUE(std::holds_alternative<CliOptions>(parsed)) << std::get<UsageError>(parsed).Text;
    const CliOptions& o = std::get<CliOptions>(parsed);
    EXPECT_EQ(o.File, "a.dat");
    EXPECT_EQ(o.StrategyEntry, c.strategy);
    EXPECT_EQ(o.CoefficientEntry, c.coefficient);
    EXPECT_EQ(o.Constrained, c.constrained);
    EXPECT_EQ(o.DepthColumn, c.depth);
    EXPECT_EQ(o.IdColumn, c.id);
  }
}

TEST(CliOptions, UsageErrors) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"a.dat", "b.dat"},
      {"a.dat", "--strategy"},
      {"a.dat", "--strategy", "ward"},
      {"a.dat", "--coefficient", "Euclidean"},
      {"a.dat", "--depth-column", "0"},
      {"a.dat", "--depth-column", "x"},
      {"a.dat", "--id-column", "-1"},
      {"a.dat", "--data-columns", "5-2"},
      {"a.dat", "--data-columns", "2,,3"},
      {"a.dat", "--data-columns", "0"},
      {"a.dat", "--frobnicate"},
      {"a.dat", "--constrained=yes"},
  };
  for (const auto& arguments : cases) {
    std::string line;
    for (const auto& a : arguments) line += a + " ";
    EXPECT_TRUE(std::holds_alternative<UsageError>(Parse(arguments))) << line;
  }
}

// The results window's drawing controls: numbers as its fields take them (above 0), sizes of
// its font dialog; each needs a drawing to apply to.
TEST(CliOptions, DrawingOptions) {
  const struct {
    std::vector<std::string> Arguments;
    const char* Problem;  // nullptr: accepted
  } cases[] = {
      {{"--tick", "2.5", "--vertical-scale", " 8.6591", "--horizontal-scale=1e1"}, nullptr},
      {{"--tick", "auto", "--font", "DejaVu Serif", "--font-size", "24"}, nullptr},
      {{"--font-size", "6"}, nullptr},
      {{"--tick", "0"}, "--tick"},
      {{"--tick", "2,5"}, "--tick"},
      {{"--tick", "Auto"}, "--tick"},
      {{"--vertical-scale", "-1"}, "--vertical-scale"},
      {{"--horizontal-scale", "5 "}, "--horizontal-scale"},
      {{"--horizontal-scale", "1e999"}, "--horizontal-scale"},
      {{"--font", ""}, "--font"},
      {{"--font-size", "5"}, "--font-size"},
      {{"--font-size", "25"}, "--font-size"},
      {{"--font-size", "10.5"}, "--font-size"},
      {{"--font-size"}, "--font-size"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> arguments = {"a.dat", "--export", "t.png"};
    arguments.insert(arguments.end(), c.Arguments.begin(), c.Arguments.end());
    auto parsed = Parse(arguments);
    SCOPED_TRACE(c.Arguments.front() + " " + c.Arguments.back());
    if (!c.Problem) {
      ASSERT_TRUE(std::holds_alternative<CliOptions>(parsed)) << std::get<UsageError>(parsed).Text;
      continue;
    }
    ASSERT_TRUE(std::holds_alternative<UsageError>(parsed));
    EXPECT_EQ(std::get<UsageError>(parsed).Text.rfind(c.Problem, 0), 0u)
        << std::get<UsageError>(parsed).Text;
  }
  auto parsed = std::get<CliOptions>(Parse({"a.dat", "--export", "t.png", "--tick", "2.5",
                                            "--horizontal-scale", "7", "--font-size", "12"}));
  EXPECT_EQ(parsed.TickUnits, 2.5);
  EXPECT_FALSE(parsed.VscaleMm);
  EXPECT_EQ(parsed.HscaleMm, 7.0);
  EXPECT_EQ(parsed.FontPoints, 12);
  EXPECT_TRUE(std::holds_alternative<UsageError>(Parse({"a.dat", "--tick", "5"})));  // no --export
}

TEST(CliOptions, ColumnLists) {
  EXPECT_EQ(ParseColumnList("2-5,8"), (std::vector<int>{2, 3, 4, 5, 8}));
  EXPECT_EQ(ParseColumnList("7"), (std::vector<int>{7}));
  EXPECT_EQ(ParseColumnList("3-3,1"), (std::vector<int>{3, 1}));
  EXPECT_FALSE(ParseColumnList(""));
  EXPECT_FALSE(ParseColumnList("2-"));
  EXPECT_FALSE(ParseColumnList("a-b"));
  EXPECT_FALSE(ParseColumnList("1-999999999"));
}

// The method names are the methods table's, in list order, wrapped within 80 columns.
TEST(CliOptions, HelpNamesEveryMethod) {
  const std::string help = HelpText();
  EXPECT_NE(
      help.find("  --strategy NAME      minimum-variance (default), furthest-neighbour,\n"
                "                       nearest-neighbour, centroid-sorting, weighted-pairgroup,\n"
                "                       unweighted-pairgroup\n"
                "  --coefficient NAME   euclidean (default), chord, manhattan\n"),
      std::string::npos)
      << help;
}

TEST(CliOptions, HelpAndVersionNeedNoFile) {
  auto help = Parse({"--help"});
  ASSERT_TRUE(std::holds_alternative<CliOptions>(help));
  EXPECT_TRUE(std::get<CliOptions>(help).Help);
  auto version = Parse({"--version"});
  ASSERT_TRUE(std::holds_alternative<CliOptions>(version));
  EXPECT_TRUE(std::get<CliOptions>(version).Version);
}

}  // namespace
}  // namespace vardell
