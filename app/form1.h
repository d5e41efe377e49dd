#pragma once
// The parameter window, the program's main window: loads a data file into the grid and the
// column lists, keeps the strategy, coefficient, identifier and data-column choices
// consistent while the user clicks, and starts a run on the results window. A run reads the
// choices straight from the controls through the ParameterSource interface.

#include <QWidget>

#include "analysis/choicelist.h"
#include "analysis/datagrid.h"
#include "analysis/parametersource.h"
#include "app/userdialogs.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTableView;

namespace vardell {

class GridModel;
class TClustExec;

class TForm1 : public QWidget, public ParameterSource {
  Q_OBJECT
 public:
  TForm1(TClustExec& results, UserDialogs& dialogs, QWidget* parent = nullptr);
  ~TForm1() override;

  // ParameterSource: the lists by position, the check box and the grid's cells.
  int EntryCount(ChoiceList list) const override;
  bool IsSelected(ChoiceList list, int position) const override;
  bool ConstrainedChecked() const override;
  int RowCount() const override;
  const std::string& CellText(int column, int row) const override;

  const DataGrid& Grid() const { return grid_; }

  // The event handlers, run by the controls on the user's actions.
  void FileOpenClick();
  void AlgoListClick();
  void CheckBox1Click();
  void IDListClick();
  void DataColListClick();
  void StartButtonClick();
  void HelpButtonClick();
  void Button1Click();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  void SetTabOrder();
  void ConnectHandlers();
  void ResetChoices();
  void LoadFile(const QString& path);
  void ShowColumnLists();
  void ShowLoadedState();
  void ApplyCoefficientRule();
  QListWidget* ListOf(ChoiceList list) const;
  template <typename Command>
  void Guarded(Command&& command);

  TClustExec& results_;
  UserDialogs& dialogs_;
  DataGrid grid_;
  ColumnLists columnLists_;  // what a load fills; the list controls show it afterwards
  GridModel* gridModel_ = nullptr;

  QPushButton* FileOpen = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* HelpButton = nullptr;
  QLabel* Logo = nullptr;
  QLabel* Label4 = nullptr;
  QTableView* DataGrid_ = nullptr;  // object name "DataGrid"
  QLabel* Label1 = nullptr;
  QListWidget* AlgoList = nullptr;
  QLabel* Label2 = nullptr;
  QListWidget* DistList = nullptr;
  QCheckBox* CheckBox1 = nullptr;
  QLabel* Label3 = nullptr;
  QListWidget* DepthListBox = nullptr;
  QLabel* Label6 = nullptr;
  QListWidget* IDList = nullptr;
  QLabel* Label7 = nullptr;
  QListWidget* DataColList = nullptr;
  QPushButton* StartButton = nullptr;
};

// The filter of the "Data File" dialog and the entry it opens on (counted from 1).
extern const char* const DataFileFilter;
constexpr int DataFileFilterIndex = 4;

}  // namespace vardell
