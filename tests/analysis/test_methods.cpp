#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "analysis/methods.h"

namespace vardell {
namespace {

std::string ReadSourceFile(const std::string& relative) {
  std::ifstream in(std::string(VARDELL_DATA_DIR) + "/../../" + relative, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A method added to the table is also added to the help file and the command-line tool's
// manual page.
TEST(MethodsTable, EveryMethodIsDocumented) {
  const std::string help = ReadSourceFile("app/help/vardell.html");
  const std::string manual = ReadSourceFile("dist/vardell-cli.1.in");
  ASSERT_FALSE(help.empty());
  ASSERT_FALSE(manual.empty());
  for (const StrategyMethod& method : Strategies) {
    EXPECT_NE(help.find(method.ListText), std::string::npos) << method.ListText;
    EXPECT_NE(manual.find(method.CliName), std::string::npos) << method.CliName;
  }
  for (const CoefficientMethod& method : Coefficients) {
    EXPECT_NE(help.find(method.ListText), std::string::npos) << method.ListText;
    EXPECT_NE(manual.find(method.CliName), std::string::npos) << method.CliName;
  }
}

}  // namespace
}  // namespace vardell
