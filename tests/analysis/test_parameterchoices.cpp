#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>

#include "analysis/fileloading.h"
#include "analysis/methods.h"
#include "analysis/parameterchoices.h"
#include "support_grid.h"

namespace vardell {
namespace {

// "6|0": a list of six entries with entry 0 selected; "4|0,1,3": several selected.
std::string State(const ChoiceListModel& list) {
  std::string selected;
  for (int e = 0; e < list.Count(); ++e)
    if (list.IsSelected(e)) selected.append(selected.empty() ? "" : ",").append(std::to_string(e));
  return std::to_string(list.Count()) + "|" + selected;
}

// The rules driven as the window forwards the user's changes, steps separated by blanks:
// "algo:5" chooses strategy entry 5, "dist:2" coefficient entry 2, "check" toggles the
// constraint, "id:3" chooses identifier entry 3, "data:1" chooses data column 1 alone,
// "data+:2" toggles data column 2, "open" presses "Data File", "load" loads the table again.
class ChoicesScript {
 public:
  ChoicesScript() { Load(); }

  void Run(const std::string& script) {
    std::istringstream steps(script);
    for (std::string step; steps >> step;) {
      const std::string what = step.substr(0, step.find(':'));
      const int entry = what.size() < step.size() ? std::stoi(step.substr(what.size() + 1)) : 0;
      Step(what, entry);
    }
  }

  testing::LoadedTable Table = testing::MakeTable({"DEPTH", "A", "B", "C"}, {{"1", "2", "3", "4"}});
  ParameterChoices Choices{Table.Grid, Table.Lists};

 private:
  void Step(const std::string& what, int entry) {
    if (what == "algo") {
      Choices.Algo.SelectOnly(entry);
      Choices.StrategyChosen();
    } else if (what == "dist") {
      Choices.Dist.SelectOnly(entry);
    } else if (what == "check") {
      Choices.ConstraintSet(!Choices.Constrained);
    } else if (what == "id") {
      Table.Lists.Id.SelectOnly(entry);
      Choices.IdentifierChosen();
    } else if (what == "data" || what == "data+") {
      const bool toggled = !Table.Lists.DataCol.IsSelected(entry);
      if (what == "data")
        Table.Lists.DataCol.SelectOnly(entry);
      else
        Table.Lists.DataCol.SetSelected(entry, toggled);
      Choices.DataColumnsChosen();
    } else if (what == "open") {
      Choices.ResetForDataFile();
    } else if (what == "load") {
      Choices.ResetForDataFile();
      Load();
    } else {
      ADD_FAILURE() << "unknown step " << what;
    }
  }
  void Load() { Table.Lists = testing::MakeTable({"DEPTH", "A", "B", "C"}, {}).Lists; }
};

TEST(ParameterChoices, RulesKeepTheChoicesConsistent) {
  // Each case: the steps, "=>", then the lists as "entries|selected": strategies (6, or 2 in
  // the constrained form), coefficients (3 with the Manhattan metric, 2 without), and where
  // they are not "5|0 4|0,1,2,3", identifiers and data columns.
  const std::pair<const char*, std::string> cases[] = {
      {"after a load", "=> 6|0 3|0"},
      {"check with unweighted, manhattan", "algo:5 dist:2 check => 2|0 2|0"},
      {"uncheck: four back, no manhattan", "algo:5 dist:2 check check => 6|0 2|0"},
      {"uncheck keeps furthest selected", "check algo:1 check => 6|1 3|0"},
      {"after uncheck a choice decides", "algo:5 dist:2 check check algo:4 => 6|4 3|0"},
      {"furthest appends manhattan, selection kept", "algo:3 dist:1 algo:1 => 6|1 3|1"},
      {"furthest again changes nothing", "algo:3 dist:1 algo:1 algo:1 => 6|1 3|1"},
      {"centroid with chord", "dist:1 algo:3 => 6|3 2|0"},
      {"minimum variance with manhattan", "algo:1 dist:2 algo:0 => 6|0 2|0"},
      {"weighted keeps manhattan selected", "algo:2 dist:2 algo:4 => 6|4 3|2"},
      {"data file resets strategy and coefficient only", "algo:1 dist:2 load => 6|0 3|0"},
      {"then manhattan goes with minimum variance", "algo:1 dist:2 load dist:2 => 6|0 3|2"},
      {"data file keeps the constrained form", "check algo:1 load => 2|0 3|0"},
      {"data file without a load empties the columns", "algo:4 id:2 open => 6|0 3|0 1|0 0|"},
      {"identifier deselects its data column", "id:3 => 6|0 3|0 5|3 4|0,1,3"},
      {"data column sends identifier back to NONE", "id:3 data+:2 => 6|0 3|0"},
      {"NONE changes nothing", "id:3 id:0 => 6|0 3|0 5|0 4|0,1,3"},
      {"identifier of an unselected column", "data:0 id:3 => 6|0 3|0 5|3 4|0"},
      {"data column off keeps the identifier", "id:2 data+:3 => 6|0 3|0 5|2 4|0,2"},
  };
  for (const auto& [name, steps] : cases) {
    SCOPED_TRACE(name);
    const std::size_t arrow = steps.find("=>");
    ChoicesScript script;
    script.Run(steps.substr(0, arrow));
    std::istringstream lists(steps.substr(arrow + 2));
    std::string algo, dist, id = "5|0", data = "4|0,1,2,3";
    lists >> algo >> dist >> id >> data;
    EXPECT_EQ(State(script.Choices.Algo), algo);
    EXPECT_EQ(State(script.Choices.Dist), dist);
    EXPECT_EQ(State(script.Table.Lists.Id), id);
    EXPECT_EQ(State(script.Table.Lists.DataCol), data);
  }
}

// Entries leave only from the end and come back in their places: the lists always read as
// the methods table's first entries.
TEST(ParameterChoices, ListsAreTheMethodsTablesInOrder) {
  ChoicesScript script;
  for (const char* step : {"", "check", "check", "algo:0", "algo:1", "check", "check algo:2"}) {
    SCOPED_TRACE(step);
    script.Run(step);
    const ParameterChoices& choices = script.Choices;
    for (int e = 0; e < choices.Algo.Count(); ++e)
      EXPECT_EQ(choices.Algo.Entry(e), Strategies[e].ListText);
    for (int e = 0; e < choices.Dist.Count(); ++e)
      EXPECT_EQ(choices.Dist.Entry(e), Coefficients[e].ListText);
    EXPECT_EQ(choices.Algo.Count(), choices.Constrained ? ConstrainedStrategyCount : StrategyCount);
    // the source a run reads is the same lists
    EXPECT_EQ(choices.EntryCount(ChoiceList::Algo), choices.Algo.Count());
  }
}

}  // namespace
}  // namespace vardell
