#include "app/clustexec.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "app/drawingarea.h"
#include "app/help.h"
#include "app/panbuttons.h"
#include "app/widgets.h"
#include "app/zoneswindow.h"
#include "diagram/layout.h"
#include "diagram/scalefield.h"
#include "diagram/surfaces/exports.h"
#include "engine/analysisrun.h"

namespace vardell {
namespace {

const char* const InputErrorCaption = "Input error";
const char* const InvalidNumberText = "Invalid number.";
const char* const NotPositiveText = "The number must be greater than 0.";
const char* const MetafileFilter = "Windows Metafile (*.EMF)|*.EMF";
const char* const MetafileExtension = "EMF";

// The font dialog offers 6 to 24 points; a font from outside that range is brought into it.
// Pixel-sized fonts are compared at the screen's 96 pixels per inch.
QFont WithinFontSizes(QFont font) {
  constexpr double Smallest = SmallestFontPoints, Largest = LargestFontPoints;
  constexpr double PixelsPerPoint = ScreenPixelsPerInch / 72.0;
  if (font.pointSizeF() > 0) {
    font.setPointSizeF(std::clamp(font.pointSizeF(), Smallest, Largest));
  } else if (font.pixelSize() > 0) {
    const int smallest = static_cast<int>(std::ceil(Smallest * PixelsPerPoint));
    const int largest = static_cast<int>(std::floor(Largest * PixelsPerPoint));
    font.setPixelSize(std::clamp(font.pixelSize(), smallest, largest));
  }
  return font;
}

// The buttons stand in one column at the right, the labels of the scale group at its left.
QPushButton* NewButton(QWidget* parent, const char* name, const char* caption, const char* hint,
                       int top) {
  return vardell::NewButton(parent, name, caption, hint, {680, top, 113, 25});
}

QLabel* NewLabel(QWidget* parent, const char* name, const char* caption, int top) {
  return vardell::NewLabel(parent, name, caption, {8, top});
}

// Makes text fit into width pixels by taking the font down a pixel at a time; the window's
// sans-serif font may be wider than the one the layout was designed for.
QFont FittingFont(QFont font, const QString& text, int width) {
  constexpr int SmallestPixels = 8;
  while (font.pixelSize() > SmallestPixels && QFontMetrics(font).horizontalAdvance(text) > width)
    font.setPixelSize(font.pixelSize() - 1);
  return font;
}

QLineEdit* NewEdit(QWidget* parent, const char* name, const char* hint, int top) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setToolTip(QString::fromLatin1(hint));
  edit->setGeometry(8, top, 97, 21);
  return edit;
}

}  // namespace

std::optional<double> ParseFieldNumber(const QString& text) {
  return ParseScaleField(text.toStdString());
}

TClustExec::TClustExec(UserDialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), dialogs_(dialogs) {
  setObjectName(QStringLiteral("ClustExec"));
  setWindowTitle(QStringLiteral("Results Cluster Analysis"));
  setFont(DefaultDiagramFont());
  move(154, 4);
  resize(806, 731);
  BuildControls();
  ConnectHandlers();
  FormCreate();
}

void TClustExec::BuildControls() {
  PaintBox = new DrawingArea(this);
  PaintBox->setObjectName(QStringLiteral("PaintBox"));
  PaintBox->setGeometry(8, 8, ScreenAreaWidth, ScreenAreaHeight);
  PaintBox->setToolTip(QStringLiteral("Tree diagram"));

  HelpButton = NewButton(this, "HelpButton", "Help", "Displays help screens", 8);
  CloseButton = NewButton(this, "CloseButton", "Close",
                          "Closes this window and returns to parameter dialog", 40);
  ExitButton = NewButton(this, "ExitButton", "Exit", "Quits application", 72);

  ScaleGroup = new QGroupBox(QStringLiteral("Drawing scale in mm"), this);
  ScaleGroup->setObjectName(QStringLiteral("ScaleGroup"));
  ScaleGroup->setToolTip(QStringLiteral("Drawing scale adjustments"));
  ScaleGroup->setGeometry(680, 112, 113, 153);
  // The title sits on the frame line, so the first label below it stays clear of the frame.
  ScaleGroup->setStyleSheet(QStringLiteral(
      "#ScaleGroup { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
      "#ScaleGroup::title { subcontrol-origin: margin; subcontrol-position: top left;"
      " left: 5px; padding: 0px 1px; }"));
  ScaleGroup->setFont(FittingFont(font(), ScaleGroup->title(), 113 - 2 * 6));
  Label1 = NewLabel(ScaleGroup, "Label1", "Vertical scale", 16);
  VscaleEdit =
      NewEdit(ScaleGroup, "VscaleEdit", "Sets vertical scale of tree diagram in mm/depth unit", 32);
  Label2 = NewLabel(ScaleGroup, "Label2", "Horizontal scale", 64);
  HscaleEdit = NewEdit(ScaleGroup, "HscaleEdit",
                       "Sets horizontal scale of trree diagram in millimiters/distance unit", 80);
  Label4 = NewLabel(ScaleGroup, "Label4", "Horizontal tick scale", 112);
  TickEdit = NewEdit(ScaleGroup, "TickEdit", "Sets number of distance units per tick", 128);
  // The group's font may have been narrowed for its title; its fields and labels keep the
  // window's font where their texts fit.
  for (QWidget* inside :
       std::initializer_list<QWidget*>{Label1, VscaleEdit, Label2, HscaleEdit, TickEdit})
    inside->setFont(font());
  Label4->setFont(FittingFont(font(), Label4->text(), 113 - 8 - 3));
  for (QLabel* label : {Label1, Label2, Label4}) label->adjustSize();

  FntButton = NewButton(this, "FntButton", "Change Font", "Set font type and size", 272);
  FitButton = NewButton(this, "FitButton", "Fit", "Fit the tree to the drawing area", 304);
  UpButton = NewPanButton(this, QStringLiteral("UpButton"), PanDirection::Up,
                          QStringLiteral("Move drawing up"), 728, 352);
  LeftButton = NewPanButton(this, QStringLiteral("LeftButton"), PanDirection::Left,
                            QStringLiteral("Move drawing left"), 704, 376);
  RightButton = NewPanButton(this, QStringLiteral("RightButton"), PanDirection::Right,
                             QStringLiteral("Move drawing right"), 752, 376);
  DownButton = NewPanButton(this, QStringLiteral("DownButton"), PanDirection::Down,
                            QStringLiteral("Move drawing down"), 728, 400);
  PrButton = NewButton(this, "PrButton", "Print", "Print tree diagram", 440);
  MFButton = NewButton(this, "MFButton", "Windows Metafile",
                       "Export tree diagram in Windows Graphics Metafile for exchange with "
                       "graphics editors",
                       472);
  // The copy button keeps its hint for assistive tools but shows no tooltip.
  CopyButton = NewButton(this, "CopyButton", "Copy to Clipboard", nullptr, 504);
  CopyButton->setAccessibleDescription(QStringLiteral("Copy to clipboard as bitmap"));
  ZonesButton = NewButton(this, "ZonesButton", "Zones\u2026", "Divide the tree into zones", 536);

  // Tab order: Exit, Close, the scale group's fields, Print, Metafile, Font, Fit, Help, Copy,
  // Zones.
  ChainTabOrder({ExitButton, CloseButton, VscaleEdit, HscaleEdit, TickEdit, PrButton, MFButton,
                 FntButton, FitButton, HelpButton, CopyButton, ZonesButton});
}

// Every command runs after the click or key that started it has been delivered (see
// AfterInputEvent), so that its dialogs and message boxes open outside that event.
void TClustExec::ConnectHandlers() {
  const std::pair<QAbstractButton*, void (TClustExec::*)()> commands[] = {
      {HelpButton, &TClustExec::HelpButtonClick},   {CloseButton, &TClustExec::CloseButtonClick},
      {ExitButton, &TClustExec::ExitButtonClick},   {FntButton, &TClustExec::FntButtonClick},
      {FitButton, &TClustExec::FitButtonClick},     {PrButton, &TClustExec::PrButtonClick},
      {MFButton, &TClustExec::MFButtonClick},       {CopyButton, &TClustExec::CopyButtonClick},
      {ZonesButton, &TClustExec::ZonesButtonClick}, {UpButton, &TClustExec::UpButtonClick},
      {DownButton, &TClustExec::DownButtonClick},   {LeftButton, &TClustExec::LeftButtonClick},
      {RightButton, &TClustExec::RightButtonClick}};
  for (const auto& [button, handler] : commands)
    connect(button, &QAbstractButton::clicked, this, handler, Qt::QueuedConnection);
  for (QLineEdit* edit : {VscaleEdit, HscaleEdit, TickEdit}) edit->installEventFilter(this);
  diagram_.ScalesFitted = [this](const std::string& vscale, const std::string& hscale) {
    ShowFittedScales(vscale, hscale);
  };
}

void TClustExec::FormCreate() {
  diagram_.Scale = DrawingScale{};  // the drawing defaults live with the settings
  diagramFont_ = font();
  lastChosenFont_ = font();
  PaintBox->setFont(diagramFont_);
  acceptedTick_ = QStringLiteral("10");
  TickEdit->setText(acceptedTick_);
  VscaleEdit->clear();
  HscaleEdit->clear();
}

const QImage& TClustExec::Picture() const { return PaintBox->Picture(); }

void TClustExec::RunAnalysis(const ParameterSource& source) {
  if (auto message = vardell::RunAnalysis(source, store_)) {
    ShowUserMessage(dialogs_, *message);
    return;
  }
  target_ = OutputTarget::Screen;
  show();
  raise();
  activateWindow();
  if (ZonesWindow && ZonesWindow->isVisible()) {
    // An open Zones window follows the new tree, set as at its opening.
    ZonesWindow->ShowAnalysis(store_.Current());
    diagram_.CutGroups = ZonesWindow->Groups();
  }
  RedrawDiagram();
}

void TClustExec::RedrawDiagram() {
  Analysis& analysis = store_.Current();
  if (analysis.TreeRoot) {
    RedrawOnScreen(diagram_, analysis, PaintBox->PictureToRedraw(), diagramFont_);
  } else {
    // Without a tree (after Close) there is nothing to lay out; the area stays blank.
    PaintBox->PictureToRedraw().fill(Qt::white);
  }
  PaintBox->update();
}

void TClustExec::ShowFittedScales(const std::string& vscale, const std::string& hscale) {
  VscaleEdit->setText(QString::fromStdString(vscale));
  HscaleEdit->setText(QString::fromStdString(hscale));
  VscaleEdit->repaint();
  HscaleEdit->repaint();
}

void TClustExec::Pan(double dx, double dy) {
  Guarded([&] {
    diagram_.Scale.PanX += dx * diagram_.Scale.PanStep;
    diagram_.Scale.PanY += dy * diagram_.Scale.PanStep;
    RedrawDiagram();
  });
}

void TClustExec::FitButtonClick() {
  Guarded([&] {
    diagram_.Scale.ScaleFixed = false;
    RedrawDiagram();
  });
}

void TClustExec::UpButtonClick() { Pan(0, -1); }
void TClustExec::DownButtonClick() { Pan(0, 1); }
void TClustExec::LeftButtonClick() { Pan(-1, 0); }
void TClustExec::RightButtonClick() { Pan(1, 0); }

bool TClustExec::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      const EntryField field = watched == VscaleEdit   ? EntryField::Vscale
                               : watched == HscaleEdit ? EntryField::Hscale
                                                       : EntryField::Tick;
      AfterInputEvent(this, [this, field] { EnterNumber(field); });
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TClustExec::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    Guarded([&] { ShowHelp(this, HelpResultsWindow); });
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TClustExec::EnterNumber(EntryField field) {
  Guarded([&] {
    QLineEdit* edit = field == EntryField::Vscale   ? VscaleEdit
                      : field == EntryField::Hscale ? HscaleEdit
                                                    : TickEdit;
    const std::optional<double> value = ParseFieldNumber(edit->text());
    const char* refusal = !value ? InvalidNumberText : *value <= 0 ? NotPositiveText : nullptr;
    if (refusal) {
      dialogs_.ShowMessage(QString::fromLatin1(InputErrorCaption), QString::fromLatin1(refusal),
                           MessageButtons::OkCancel, MessageIcon::None);
      ShowFieldValue(field);
    } else if (field == EntryField::Tick) {
      diagram_.Scale.TickUnits = *value;
      acceptedTick_ = edit->text();
    } else {
      (field == EntryField::Vscale ? diagram_.Scale.VscaleMm : diagram_.Scale.HscaleMm) = *value;
      diagram_.Scale.ScaleFixed = true;
    }
    RedrawDiagram();
  });
}

// The field's text for the value it holds, shown again after a refused entry.
void TClustExec::ShowFieldValue(EntryField field) {
  const auto scaleText = [](double mm) {
    return mm > 0 ? QString::fromStdString(FormatScaleField(mm)) : QString();
  };
  switch (field) {
    case EntryField::Vscale: VscaleEdit->setText(scaleText(diagram_.Scale.VscaleMm)); break;
    case EntryField::Hscale: HscaleEdit->setText(scaleText(diagram_.Scale.HscaleMm)); break;
    case EntryField::Tick: TickEdit->setText(acceptedTick_); break;
  }
}

void TClustExec::FntButtonClick() {
  Guarded([&] {
    const std::optional<QFont> chosen = dialogs_.ChooseFont(lastChosenFont_);
    if (!chosen) return;
    lastChosenFont_ = WithinFontSizes(*chosen);
    diagramFont_ = lastChosenFont_;
    PaintBox->setFont(diagramFont_);
    RedrawDiagram();
  });
}

template <typename Draw>
void TClustExec::DrawOn(OutputTarget target, Draw&& draw) {
  target_ = target;
  try {
    draw();
  } catch (...) {
    BackToScreen();
    throw;
  }
  BackToScreen();
}

void TClustExec::BackToScreen() {
  target_ = OutputTarget::Screen;
  RedrawDiagram();
}

void TClustExec::PrButtonClick() {
  Guarded([&] {
    QPrinter printer(QPrinter::HighResolution);
    printer.setResolution(PrinterDotsPerInch);
    if (!dialogs_.SetupPrinter(printer)) return;
    DrawOn(OutputTarget::Printer, [&] { PrintDiagram(diagram_, store_.Current(), printer); });
  });
}

void TClustExec::MFButtonClick() {
  Guarded([&] {
    const std::optional<QString> path = dialogs_.SaveFileName(
        QString::fromLatin1(MetafileFilter), QString::fromLatin1(MetafileExtension));
    if (!path) return;
    DrawOn(OutputTarget::Metafile, [&] {
      ExportMetafile(diagram_, store_.Current(), QFile::encodeName(*path).toStdString());
    });
  });
}

void TClustExec::CopyButtonClick() {
  Guarded([&] {
    // At the screen's resolution: 1330 x 1378 pixels on a desktop scaled to 200 %.
    const QImage& picture = PaintBox->Picture();
    const double ratio = picture.devicePixelRatio();
    const QImage shown =
        picture.copy(0, 0, qRound(PaintBox->width() * ratio), qRound(PaintBox->height() * ratio));
    QGuiApplication::clipboard()->setImage(shown);
  });
}

void TClustExec::HelpButtonClick() {
  Guarded([&] { ShowHelp(this, HelpContents); });
}

void TClustExec::ZonesButtonClick() {
  Guarded([&] {
    if (!store_.Current().TreeRoot) return;
    TZonesWindow* zones = ZonesWindowMade();
    zones->ShowAnalysis(store_.Current());
    if (!zones->isVisible()) {
      // Beside this window where the screen has room, else as far right as it allows.
      const QRect screen = this->screen()->availableGeometry();
      const int left =
          std::min(frameGeometry().right() + 1, screen.right() - zones->frameGeometry().width());
      zones->move(std::max(left, screen.left()), std::max(y(), screen.top()));
    }
    zones->show();
    zones->raise();
    zones->activateWindow();
    ShowCut(zones->Groups());
  });
}

TZonesWindow* TClustExec::ZonesWindowMade() {
  if (!ZonesWindow) {
    ZonesWindow = new TZonesWindow(dialogs_, this);
    connect(ZonesWindow, &TZonesWindow::GroupsChanged, this,
            [this](int groups) { ShowCut(groups); });
    connect(ZonesWindow, &TZonesWindow::Closed, this, [this] { ShowCut(std::nullopt); });
  }
  return ZonesWindow;
}

void TClustExec::ShowCut(std::optional<int> groups) {
  diagram_.CutGroups = groups;
  RedrawDiagram();
}

void TClustExec::CloseZonesWindow() {
  if (ZonesWindow && ZonesWindow->isVisible()) ZonesWindow->close();
}

void TClustExec::closeEvent(QCloseEvent* event) {
  CloseZonesWindow();
  QWidget::closeEvent(event);
}

void TClustExec::CloseButtonClick() {
  Guarded([&] {
    CloseZonesWindow();
    FreeTree(store_.Current().TreeRoot);
    hide();
  });
}

void TClustExec::ExitButtonClick() {
  Guarded([] { QCoreApplication::quit(); });
}

}  // namespace vardell
