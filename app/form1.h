#pragma once
// The parameter window, the program's main window: loads a data file into the grid and the
// column lists, shows the choices of a run and forwards the user's changes to them (their
// rules keep the strategy, coefficient, identifier and data-column choices consistent), and
// starts a run on the results window, which reads the choices.

#include <QWidget>

#include "analysis/choicelist.h"
#include "analysis/datagrid.h"
#include "analysis/parameterchoices.h"
#include "app/userdialogs.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTableView;

namespace vardell {

class GridModel;
class TClustExec;

class TForm1 : public QWidget {
  Q_OBJECT
 public:
  TForm1(TClustExec& results, UserDialogs& dialogs, QWidget* parent = nullptr);
  ~TForm1() override;

  const DataGrid& Grid() const { return grid_; }
  const ParameterChoices& Choices() const { return choices_; }

  // The event handlers, run by the controls on the user's actions.
  void FileOpenClick();
  // Loads the file at path as "Data File" does once its dialog has returned it (the file
  // named on the command line).
  void OpenDataFile(const QString& path);
  void AlgoListClick();
  void DistListClick();
  void DepthListBoxClick();
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
  QListWidget* ListOf(ChoiceList list) const;
  void TakeSelection(ChoiceList list);
  void FollowChoices();
  template <typename Command>
  void Guarded(Command&& command);

  TClustExec& results_;
  UserDialogs& dialogs_;
  DataGrid grid_;
  ColumnLists columnLists_;                        // what a load fills
  ParameterChoices choices_{grid_, columnLists_};  // the list controls show them
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
