#include "app/zoneswindow.h"

#include <QCloseEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <sstream>

#include "app/brokenstickchart.h"
#include "app/help.h"
#include "app/widgets.h"
#include "diagram/surfaces/temporaryfile.h"
#include "engine/zonetables.h"

namespace vardell {
namespace {

const char* const CsvFilter = "Comma-separated values (*.csv)|*.csv";
const char* const CsvExtension = "csv";

QString Text(const std::string& text) { return QString::fromStdString(text); }

QTableWidgetItem* Cell(const QString& text, bool number) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  if (number) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return item;
}

}  // namespace

TZonesWindow::TZonesWindow(UserDialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), dialogs_(dialogs) {
  setObjectName(QStringLiteral("ZonesWindow"));
  setWindowTitle(QStringLiteral("Zones"));
  BuildControls();
  resize(540, 560);
}

void TZonesWindow::BuildControls() {
  auto* label = new QLabel(QStringLiteral("Number of zones"), this);
  ZoneSpin = new QSpinBox(this);
  ZoneSpin->setObjectName(QStringLiteral("ZoneSpin"));
  ZoneSpin->setToolTip(
      QStringLiteral("Undo the last fusions of the tree until this many zones remain"));
  label->setBuddy(ZoneSpin);
  Chart = new BrokenStickChart(this);
  Chart->setObjectName(QStringLiteral("BrokenStickChart"));
  SuggestionLabel = new QLabel(this);
  SuggestionLabel->setObjectName(QStringLiteral("SuggestionLabel"));
  SuggestionLabel->setWordWrap(true);
  ZoneTable = new QTableWidget(this);
  ZoneTable->setObjectName(QStringLiteral("ZoneTable"));
  ZoneTable->verticalHeader()->hide();
  ZoneTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ZoneTable->horizontalHeader()->setStretchLastSection(true);
  auto* saveButton =
      NewButton(this, "SaveButton", "Save table\u2026", "Save the table as comma-separated values");
  auto* closeButton = NewButton(this, "CloseButton", "Close", nullptr);
  auto* helpButton = NewButton(this, "HelpButton", "Help", nullptr);

  auto* top = new QHBoxLayout;
  top->addWidget(label);
  top->addWidget(ZoneSpin);
  top->addStretch();
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(helpButton);
  buttons->addStretch();
  buttons->addWidget(saveButton);
  buttons->addWidget(closeButton);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(Chart);
  layout->addWidget(SuggestionLabel);
  layout->addWidget(ZoneTable, 1);
  layout->addLayout(buttons);

  connect(ZoneSpin, &QSpinBox::valueChanged, this, [this](int groups) {
    GuardCommand(dialogs_, [&] {
      FillTable();
      emit GroupsChanged(groups);
    });
  });
  connect(saveButton, &QPushButton::clicked, this, &TZonesWindow::SaveButtonClick);
  connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
  connect(helpButton, &QPushButton::clicked, this, &TZonesWindow::HelpButtonClick);
}

void TZonesWindow::ShowAnalysis(const Analysis& analysis) {
  analysis_ = &analysis;
  const int n = std::max(analysis.Matrix.ObjectCount, 1);
  const bool brokenStick = BrokenStickApplies(analysis.Settings);
  const int opening = brokenStick ? BrokenStickTable(analysis.TreeRoot.get(), n).Suggestion : 2;
  {
    const QSignalBlocker quiet(ZoneSpin);
    ZoneSpin->setRange(1, n);
    ZoneSpin->setValue(std::min(opening, n));
  }
  ShowBrokenStick();
  FillTable();
}

int TZonesWindow::Groups() const { return ZoneSpin->value(); }

void TZonesWindow::ShowBrokenStick() {
  const Analysis& analysis = *analysis_;
  const int n = analysis.Matrix.ObjectCount;
  const BrokenStick stick = BrokenStickApplies(analysis.Settings)
                                ? BrokenStickTable(analysis.TreeRoot.get(), n)
                                : BrokenStick{};
  Chart->SetTable(stick);
  Chart->setVisible(!stick.Rows.empty());
  if (!BrokenStickApplies(analysis.Settings)) {
    SuggestionLabel->setText(
        QStringLiteral("The broken stick applies to constrained minimum-variance runs."));
  } else if (stick.Rows.empty()) {
    SuggestionLabel->setText(QStringLiteral("The broken stick needs at least three samples."));
  } else if (stick.Suggestion == 1) {
    SuggestionLabel->setText(QStringLiteral(
        "The broken-stick model suggests 1 zone: not even the first division removes more "
        "dispersion than a random division would."));
  } else if (stick.Suggestion == 2) {
    SuggestionLabel->setText(QStringLiteral(
        "The broken-stick model suggests 2 zones: the first division removes more dispersion "
        "than a random division would, the second does not."));
  } else {
    SuggestionLabel->setText(
        QStringLiteral("The broken-stick model suggests %1 zones: each of the first %2 "
                       "divisions removes more dispersion than a random division would.")
            .arg(stick.Suggestion)
            .arg(stick.Suggestion - 1));
  }
}

// Constrained: one row per zone with its samples, labels, depths and boundary; ordinary:
// one row per group with its members' labels.
void TZonesWindow::FillTable() {
  if (!analysis_ || !analysis_->TreeRoot) return;
  const Analysis& analysis = *analysis_;
  const DataMatrix& matrix = analysis.Matrix;
  const bool constrained = analysis.Settings.Constrained;
  cut_ = CutTree(analysis.TreeRoot.get(), matrix.ObjectCount, Groups(), constrained);
  ZoneTable->clear();
  ZoneTable->setRowCount(static_cast<int>(cut_.Groups.size()));
  if (constrained) {
    ZoneTable->setColumnCount(7);
    ZoneTable->setHorizontalHeaderLabels(
        {"Zone", "Samples", "Top", "Bottom", "Top depth", "Bottom depth", "Boundary below"});
    const std::vector<Zone> zones = ZonesOf(cut_, matrix);
    for (int z = 0; z < static_cast<int>(zones.size()); ++z) {
      const Zone& zone = zones[z];
      const QString cells[] = {
          QString::number(z + 1),
          QString::number(zone.Samples),
          Text(matrix.Labels[zone.FirstObject]),
          Text(matrix.Labels[zone.LastObject]),
          Text(TableNumber(zone.TopDepth)),
          Text(TableNumber(zone.BottomDepth)),
          zone.BoundaryBelow ? Text(TableNumber(*zone.BoundaryBelow)) : QString()};
      for (int c = 0; c < 7; ++c) ZoneTable->setItem(z, c, Cell(cells[c], c != 2 && c != 3));
    }
  } else {
    ZoneTable->setColumnCount(3);
    ZoneTable->setHorizontalHeaderLabels({"Group", "Samples", "Members"});
    for (int g = 0; g < static_cast<int>(cut_.Groups.size()); ++g) {
      QStringList members;  // labels without the padding that right-aligns object numbers
      for (int object : cut_.Groups[g].Objects) members << Text(matrix.Labels[object]).trimmed();
      ZoneTable->setItem(g, 0, Cell(QString::number(g + 1), true));
      ZoneTable->setItem(g, 1, Cell(QString::number(members.size()), true));
      ZoneTable->setItem(g, 2, Cell(members.join(QStringLiteral(", ")), false));
    }
  }
  ZoneTable->resizeColumnsToContents();
}

// The table as CSV: the zone table of a constrained run, the memberships of an ordinary one;
// written beside the chosen file and renamed onto it.
void TZonesWindow::SaveButtonClick() {
  GuardCommand(dialogs_, [&] {
    if (!analysis_ || !analysis_->TreeRoot) return;
    const std::optional<QString> path =
        dialogs_.SaveFileName(QString::fromLatin1(CsvFilter), QString::fromLatin1(CsvExtension));
    if (!path) return;
    std::ostringstream text;
    if (analysis_->Settings.Constrained)
      WriteZoneTable(*analysis_, cut_, text);
    else
      WriteMemberships(*analysis_, cut_, text);
    WriteFileAtomically(QFile::encodeName(*path).toStdString(), text.str());
  });
}

void TZonesWindow::HelpButtonClick() {
  GuardCommand(dialogs_, [&] { ShowHelp(this, HelpZones); });
}

void TZonesWindow::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  if (event->isAccepted()) emit Closed();
}

void TZonesWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    HelpButtonClick();
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace vardell
