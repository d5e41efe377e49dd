#pragma once
// The Zones window: divides the results window's tree into a number of zones (groups in an
// ordinary run), shows the broken-stick model's suggestion for a constrained minimum-variance
// run and a table of the zones or groups, and saves that table as CSV. Non-modal; the results
// window draws the cut while it is open.

#include <QWidget>

#include "analysis/analysisdata.h"
#include "app/userdialogs.h"
#include "engine/zonation.h"

class QLabel;
class QSpinBox;
class QTableWidget;

namespace vardell {

class BrokenStickChart;

class TZonesWindow : public QWidget {
  Q_OBJECT
 public:
  TZonesWindow(UserDialogs& dialogs, QWidget* parent);

  // Shows the zonation of analysis, whose tree must outlive the window's use of it, with
  // the number of zones set as at opening: the broken-stick suggestion where the model
  // applies, else 2.
  void ShowAnalysis(const Analysis& analysis);
  int Groups() const;

  void SaveButtonClick();
  void HelpButtonClick();

 signals:
  void GroupsChanged(int groups);
  void Closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildControls();
  void ShowBrokenStick();
  void FillTable();

  UserDialogs& dialogs_;
  const Analysis* analysis_ = nullptr;
  TreeCut cut_;

  QSpinBox* ZoneSpin = nullptr;
  BrokenStickChart* Chart = nullptr;
  QLabel* SuggestionLabel = nullptr;
  QTableWidget* ZoneTable = nullptr;
};

}  // namespace vardell
