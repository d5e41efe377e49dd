#include "app/form1.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTableView>
#include <algorithm>

#include "analysis/fileloading.h"
#include "app/clustexec.h"
#include "app/gridmodel.h"
#include "app/help.h"
#include "app/logo.h"
#include "app/settings.h"
#include "app/widgets.h"
#include "diagram/surfaces/exports.h"

namespace vardell {

const char* const DataFileFilter =
    "SDF Text files (*.txt)|*.TXT|DBase files (*.dbf)|*.DBF|Paradox files (*.db)|*.DB|"
    "Row-Column ASCII (*.DAT)|*.DAT|Comma-separated text (*.csv)|*.CSV|All files (*.*)|*.*";

namespace {

constexpr int GridRowHeight = 16;
constexpr int GridColumnWidth = 64;

// List rows as tight as the design's, so the six strategies fit their list without scrolling.
class ListRowDelegate : public QStyledItemDelegate {
 public:
  ListRowDelegate(int rowHeight, QObject* parent)
      : QStyledItemDelegate(parent), rowHeight_(rowHeight) {}
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return {QStyledItemDelegate::sizeHint(option, index).width(), rowHeight_};
  }

 private:
  int rowHeight_;
};

QListWidget* NewList(QWidget* parent, const char* name, const char* hint, QRect geometry,
                     QAbstractItemView::SelectionMode mode) {
  auto* list = new QListWidget(parent);
  list->setObjectName(QString::fromUtf8(name));
  list->setToolTip(QString::fromUtf8(hint));
  list->setGeometry(geometry);
  list->setSelectionMode(mode);
  list->setUniformItemSizes(true);
  const QFontMetrics metrics(parent->font());
  list->setItemDelegate(new ListRowDelegate(std::max(13, metrics.height() + 1), list));
  return list;
}

// Widens a control whose caption or entries would not fit the designed width; the left
// edge stays unless keepRight asks for the right edge to stay.
void FitWidth(QWidget* widget, int needed, bool keepRight = false) {
  const QRect designed = widget->geometry();
  if (needed <= designed.width()) return;
  const int left = keepRight ? designed.right() + 1 - needed : designed.left();
  widget->setGeometry(left, designed.top(), needed, designed.height());
}

// The caption with a margin on either side; the style's own minimum width is wider than the
// design's buttons and is not needed for the text to fit.
int ButtonWidthFor(const QPushButton* button) {
  return QFontMetrics(button->font()).horizontalAdvance(button->text()) + 16;
}

int ListWidthFor(const QListWidget* list, const QStringList& entries) {
  const QFontMetrics metrics(list->font());
  int widest = 0;
  for (const QString& entry : entries) widest = std::max(widest, metrics.horizontalAdvance(entry));
  // frame on both sides plus the item's text margins
  return widest + 2 * list->frameWidth() + 8;
}

QStringList EntriesOf(const ChoiceListModel& model, int from = 0) {
  QStringList entries;
  entries.reserve(model.Count() - from);
  for (int i = from; i < model.Count(); ++i) entries << QString::fromStdString(model.Entry(i));
  return entries;
}

// The selection of each row, read from the selection's ranges at once.
std::vector<bool> SelectedRows(const QListWidget* list) {
  std::vector<bool> selected(list->count(), false);
  for (const QItemSelectionRange& range : list->selectionModel()->selection())
    for (int row = range.top(); row <= range.bottom(); ++row) selected[row] = true;
  return selected;
}

// The program's own selection changes run no handler.
void SelectOnly(QListWidget* list, int row) {
  const QSignalBlocker block(list);
  list->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
}

void SetItemSelected(QListWidget* list, int row, bool selected) {
  const QSignalBlocker block(list);
  list->item(row)->setSelected(selected);
}

// The list control shows model's entries and selection; selected runs become one range each.
void ShowChoices(QListWidget* list, const ChoiceListModel& model) {
  const QSignalBlocker block(list);
  list->clear();
  list->addItems(EntriesOf(model));
  QItemSelection selection;
  int first = -1;
  for (int i = 0; i <= model.Count(); ++i) {
    const bool selected = i < model.Count() && model.IsSelected(i);
    if (selected && first < 0) first = i;
    if (!selected && first >= 0) {
      selection.select(list->model()->index(first, 0), list->model()->index(i - 1, 0));
      first = -1;
    }
  }
  list->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  if (!selection.isEmpty())
    list->selectionModel()->setCurrentIndex(selection.first().topLeft(),
                                            QItemSelectionModel::NoUpdate);
}

// The list control follows a rule's changes to model: entries leave or join at the end, and
// only the selections that differ change, so the user's place in the list stays. A
// single-choice list takes its new selection as its current entry too.
void FollowChoices(QListWidget* list, const ChoiceListModel& model) {
  const QSignalBlocker block(list);
  while (list->count() > model.Count()) delete list->takeItem(list->count() - 1);
  if (list->count() < model.Count()) list->addItems(EntriesOf(model, list->count()));
  const std::vector<bool> shown = SelectedRows(list);
  const bool single = list->selectionMode() == QAbstractItemView::SingleSelection;
  for (int row = 0; row < model.Count(); ++row) {
    if (shown[row] == model.IsSelected(row)) continue;
    if (!single) {
      SetItemSelected(list, row, model.IsSelected(row));
      continue;
    }
    int chosen = model.Count() - 1;
    while (chosen >= 0 && !model.IsSelected(chosen)) --chosen;
    if (chosen >= 0)
      SelectOnly(list, chosen);
    else
      list->clearSelection();
    return;
  }
}

// Ends the grid change whatever way the load leaves.
class GridChange {
 public:
  explicit GridChange(GridModel& model) : model_(model) { model_.BeginGridChange(); }
  ~GridChange() { model_.EndGridChange(); }
  GridChange(const GridChange&) = delete;
  GridChange& operator=(const GridChange&) = delete;

 private:
  GridModel& model_;
};

}  // namespace

TForm1::TForm1(TClustExec& results, UserDialogs& dialogs, QWidget* parent)
    : QWidget(parent), results_(results), dialogs_(dialogs) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("VARDELL 3.0"));
  setFont(DefaultDiagramFont());
  resize(713, 516);
  BuildControls();
  SetTabOrder();
  ConnectHandlers();
}

// The grid view reads grid_ until it is gone, so it goes before the members do.
TForm1::~TForm1() { delete DataGrid_; }

void TForm1::BuildControls() {
  FileOpen = NewButton(this, "FileOpen", "Data File", "Select datafile", {8, 8, 75, 25});
  Button1 = NewButton(this, "Button1", "Exit", "Quit application", {624, 8, 73, 25});
  HelpButton = NewButton(this, "HelpButton", "Help", "Help display", {536, 8, 75, 25});

  Logo = new QLabel(this);
  Logo->setObjectName(QStringLiteral("Logo"));
  Logo->setGeometry(120, 56, 577, 425);
  Logo->setAlignment(Qt::AlignLeft | Qt::AlignTop);  // unscaled from the top-left, clipped
  Logo->setPixmap(QPixmap::fromImage(DrawLogo()));

  Label4 = NewLabel(this, "Label4", "Data", {352, 32});
  gridModel_ = new GridModel(grid_, this);
  DataGrid_ = new QTableView(this);
  DataGrid_->setObjectName(QStringLiteral("DataGrid"));
  DataGrid_->setToolTip(QStringLiteral("Data display; allows limited data editing"));
  DataGrid_->setGeometry(352, 48, 345, 385);
  DataGrid_->setModel(gridModel_);
  DataGrid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  DataGrid_->setSelectionMode(QAbstractItemView::ContiguousSelection);
  DataGrid_->verticalHeader()->setMinimumSectionSize(GridRowHeight);
  DataGrid_->verticalHeader()->setDefaultSectionSize(GridRowHeight);
  DataGrid_->verticalHeader()->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
  DataGrid_->horizontalHeader()->setDefaultSectionSize(GridColumnWidth);
  DataGrid_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  // After every change of the grid each column is as wide as its header needs, and never
  // narrower than the design's columns.
  QHeaderView* header = DataGrid_->horizontalHeader();
  connect(gridModel_, &QAbstractItemModel::modelReset, this, [header] {
    for (int column = 0; column < header->count(); ++column)
      header->resizeSection(column, std::max(GridColumnWidth, header->sectionSizeHint(column)));
  });

  Label1 = NewLabel(this, "Label1", "Clustering algorithm", {8, 48});
  AlgoList = NewList(this, "AlgoList", "Select clustring algorithm", {8, 64, 137, 89},
                     QAbstractItemView::SingleSelection);
  ShowChoices(AlgoList, choices_.Algo);

  Label2 = NewLabel(this, "Label2", "Distance metric", {8, 168});
  DistList = NewList(this, "DistList", "Select distance/similarity coefficient", {8, 192, 137, 49},
                     QAbstractItemView::SingleSelection);
  ShowChoices(DistList, choices_.Dist);
  DistList->installEventFilter(this);  // F1 opens the topic on coefficients
  const int choiceWidth = std::max(ListWidthFor(AlgoList, EntriesOf(choices_.Algo)),
                                   ListWidthFor(DistList, EntriesOf(choices_.Dist)));
  FitWidth(AlgoList, choiceWidth);
  FitWidth(DistList, choiceWidth);

  CheckBox1 = new QCheckBox(QStringLiteral("Stratigraphically constrained clustering"), this);
  CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
  CheckBox1->setToolTip(QStringLiteral("Sets stratigraphic order restriction"));
  CheckBox1->setGeometry(8, 272, 225, 17);
  FitWidth(CheckBox1, CheckBox1->sizeHint().width());

  Label3 = NewLabel(this, "Label3", "Depth column", {8, 296});
  DepthListBox = NewList(this, "DepthListBox",
                         "Select depth / order column for stratigraphical constrained clustering",
                         {8, 312, 105, 121}, QAbstractItemView::SingleSelection);
  Label6 = NewLabel(this, "Label6", "Identifier column", {112, 296});
  IDList = NewList(this, "IDList",
                   "Select column with object identifiers to be displayed next to tree diagram",
                   {120, 312, 105, 121}, QAbstractItemView::SingleSelection);
  Label7 = NewLabel(this, "Label7", "Data Columns", {232, 296});
  DataColList = NewList(this, "DataColList", "Select data columns", {232, 312, 105, 121},
                        QAbstractItemView::ExtendedSelection);

  StartButton =
      NewButton(this, "StartButton", "Start clustering",
                "Starts cluster computation and displays tree diagram", {608, 456, 89, 25});
  for (QPushButton* button : {FileOpen, Button1, HelpButton, StartButton})
    FitWidth(button, ButtonWidthFor(button), button != FileOpen);

  // Until the first load only the logo and the three buttons at the top are shown.
  for (QWidget* control : std::initializer_list<QWidget*>{
           Label4, DataGrid_, Label1, AlgoList, Label2, DistList, CheckBox1, Label3, DepthListBox,
           Label6, IDList, Label7, DataColList, StartButton})
    control->hide();
}

void TForm1::SetTabOrder() {
  ChainTabOrder({FileOpen, Button1, CheckBox1, AlgoList, DistList, DepthListBox, IDList,
                 DataColList, StartButton, HelpButton, DataGrid_});
}

template <typename Command>
void TForm1::Guarded(Command&& command) {
  GuardCommand(dialogs_, std::forward<Command>(command));
}

void TForm1::ConnectHandlers() {
  // The buttons' commands run once the click or key that pressed them has been delivered,
  // so that their dialogs and message boxes open outside that event.
  const std::pair<QPushButton*, void (TForm1::*)()> commands[] = {
      {FileOpen, &TForm1::FileOpenClick},
      {StartButton, &TForm1::StartButtonClick},
      {HelpButton, &TForm1::HelpButtonClick},
      {Button1, &TForm1::Button1Click}};
  for (const auto& [button, handler] : commands)
    connect(
        button, &QPushButton::clicked, this,
        [this, handler] { Guarded([this, handler] { (this->*handler)(); }); },
        Qt::QueuedConnection);
  connect(CheckBox1, &QCheckBox::toggled, this, [this] { Guarded([this] { CheckBox1Click(); }); });
  // Every change of a list's selection by the user goes to the choices. A rule runs when the
  // user changes its list's selection, and also on a click on the entry already selected, as
  // any click on a list does; each rule leaves nothing for a second application to change, so
  // a click that also changed the selection may run it twice.
  const auto onUserChange = [this](ChoiceList list, void (TForm1::*handler)()) {
    const auto run = [this, handler] { Guarded([this, handler] { (this->*handler)(); }); };
    connect(ListOf(list), &QListWidget::itemSelectionChanged, this, run);
    if (list != ChoiceList::Dist && list != ChoiceList::Depth)
      connect(ListOf(list), &QListWidget::itemClicked, this, run);
  };
  onUserChange(ChoiceList::Algo, &TForm1::AlgoListClick);
  onUserChange(ChoiceList::Dist, &TForm1::DistListClick);
  onUserChange(ChoiceList::Depth, &TForm1::DepthListBoxClick);
  onUserChange(ChoiceList::Id, &TForm1::IDListClick);
  onUserChange(ChoiceList::DataCol, &TForm1::DataColListClick);
}

// --- Choices ---------------------------------------------------------------------------

QListWidget* TForm1::ListOf(ChoiceList list) const {
  switch (list) {
    case ChoiceList::Algo: return AlgoList;
    case ChoiceList::Dist: return DistList;
    case ChoiceList::Depth: return DepthListBox;
    case ChoiceList::Id: return IDList;
    case ChoiceList::DataCol: return DataColList;
  }
  return nullptr;
}

// The user's selection in a list goes to the choices.
void TForm1::TakeSelection(ChoiceList list) {
  const std::vector<bool> selected = SelectedRows(ListOf(list));
  ChoiceListModel& model = choices_.List(list);
  for (int row = 0; row < model.Count() && row < static_cast<int>(selected.size()); ++row)
    model.SetSelected(row, selected[row]);
}

void TForm1::FollowChoices() {
  for (ChoiceList list :
       {ChoiceList::Algo, ChoiceList::Dist, ChoiceList::Depth, ChoiceList::Id, ChoiceList::DataCol})
    vardell::FollowChoices(ListOf(list), choices_.List(list));
}

// --- Handlers ----------------------------------------------------------------------------

void TForm1::FileOpenClick() {
  ResetChoices();
  const std::optional<QString> path = dialogs_.OpenFileName(QString::fromUtf8(DataFileFilter),
                                                            DataFileFilterIndex, LastDataFolder());
  if (!path) return;
  LoadFile(*path);
}

void TForm1::OpenDataFile(const QString& path) {
  Guarded([&] {
    ResetChoices();
    LoadFile(path);
  });
}

// Before the dialog opens, and so also when it is cancelled.
void TForm1::ResetChoices() {
  choices_.ResetForDataFile();
  ShowColumnLists();
  FollowChoices();
}

void TForm1::LoadFile(const QString& path) {
  RememberDataFile(path);
  std::optional<UserMessage> message;
  {
    const GridChange change(*gridModel_);
    try {
      message = LoadDataFile(path.toStdString(), grid_, columnLists_);
    } catch (...) {
      ShowColumnLists();
      throw;
    }
  }
  ShowColumnLists();
  if (message)
    ShowUserMessage(dialogs_, *message);
  else
    ShowLoadedState();
}

// The column lists as the last reset or load left them.
void TForm1::ShowColumnLists() {
  for (ChoiceList list : {ChoiceList::Depth, ChoiceList::Id, ChoiceList::DataCol})
    ShowChoices(ListOf(list), choices_.List(list));
}

void TForm1::ShowLoadedState() {
  Logo->hide();
  for (QWidget* control : {static_cast<QWidget*>(DataGrid_), static_cast<QWidget*>(AlgoList),
                           static_cast<QWidget*>(DistList), static_cast<QWidget*>(CheckBox1),
                           static_cast<QWidget*>(IDList), static_cast<QWidget*>(DataColList)})
    control->show();
  DepthListBox->show();
  for (QLabel* label : {Label1, Label6, Label7, Label2, Label3, Label4}) label->show();
  StartButton->show();
}

// Each list's user change goes to the choices; the lists then show what its rule made of it.
void TForm1::AlgoListClick() {
  TakeSelection(ChoiceList::Algo);
  choices_.StrategyChosen();
  FollowChoices();
}

void TForm1::DistListClick() { TakeSelection(ChoiceList::Dist); }

void TForm1::DepthListBoxClick() { TakeSelection(ChoiceList::Depth); }

void TForm1::CheckBox1Click() {
  choices_.ConstraintSet(CheckBox1->isChecked());
  FollowChoices();
}

void TForm1::IDListClick() {
  TakeSelection(ChoiceList::Id);
  choices_.IdentifierChosen();
  FollowChoices();
}

void TForm1::DataColListClick() {
  TakeSelection(ChoiceList::DataCol);
  choices_.DataColumnsChosen();
  FollowChoices();
}

void TForm1::StartButtonClick() {
  GuardCommand(dialogs_, [&] { results_.RunAnalysis(choices_); });
}

void TForm1::HelpButtonClick() { ShowHelp(this, HelpContents); }

void TForm1::Button1Click() { QCoreApplication::quit(); }

// --- Events ------------------------------------------------------------------------------

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == DistList && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
    Guarded([this] { ShowHelp(this, HelpCoefficients); });
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

// The main window: closing it through its frame ends the program, also while the results
// window is shown.
void TForm1::closeEvent(QCloseEvent* event) {
  event->accept();
  QCoreApplication::quit();
}

}  // namespace vardell
