#pragma once
// The results window: shows the tree diagram of the last analysis and holds the commands that
// change how it is drawn (pan, millimetre scales, tick size, font) and that send it elsewhere
// (printer, metafile, clipboard), with help, Close and Exit. Created hidden at start-up; every
// run shows it. It owns the user's drawing settings, which persist over runs and over Close.

#include <QFont>
#include <QImage>
#include <QWidget>
#include <optional>
#include <string>
#include <utility>

#include "analysis/analysisdata.h"
#include "analysis/parametersource.h"
#include "app/userdialogs.h"
#include "diagram/surface.h"
#include "diagram/treediagram.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace vardell {

class DrawingArea;
class TZonesWindow;

class TClustExec : public QWidget {
  Q_OBJECT
 public:
  explicit TClustExec(UserDialogs& dialogs, QWidget* parent = nullptr);  // runs FormCreate

  // The run driver: the analysis into the store; a message the run returns is shown and the
  // run stops, else the window is shown, brought to front and the diagram drawn. Unexpected
  // errors (FloatingPointOverflow, ...) propagate to the caller's GuardCommand.
  void RunAnalysis(const ParameterSource& source);

  AnalysisStore& Store() { return store_; }
  TreeDiagram& Diagram() { return diagram_; }
  const QImage& Picture() const;  // the drawing area's buffer
  OutputTarget Target() const { return target_; }
  const QFont& DiagramFont() const { return diagramFont_; }

  // Lays the tree out afresh and draws it on the screen picture.
  void RedrawDiagram();

  // The event handlers, public so that the window's behaviour can be driven directly.
  void FormCreate();
  void UpButtonClick();
  void DownButtonClick();
  void LeftButtonClick();
  void RightButtonClick();
  void FntButtonClick();
  void FitButtonClick();  // back to the fitted layout: ScaleFixed false, then a redraw
  void PrButtonClick();
  void MFButtonClick();
  void CopyButtonClick();
  void ZonesButtonClick();
  void HelpButtonClick();
  void CloseButtonClick();
  void ExitButtonClick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  enum class EntryField { Vscale, Hscale, Tick };

  void BuildControls();
  void ConnectHandlers();
  void Pan(double dx, double dy);
  void EnterNumber(EntryField field);
  void ShowFieldValue(EntryField field);
  void ShowFittedScales(const std::string& vscale, const std::string& hscale);
  // One drawing on the printer or the metafile; the screen is the target again afterwards,
  // also when the drawing fails, and is redrawn.
  template <typename Draw>
  void DrawOn(OutputTarget target, Draw&& draw);
  void BackToScreen();
  // The Zones window, made at its first opening, and the cut it asks the diagram to show.
  TZonesWindow* ZonesWindowMade();
  void ShowCut(std::optional<int> groups);
  void CloseZonesWindow();
  template <typename Command>
  void Guarded(Command&& command) {
    GuardCommand(dialogs_, std::forward<Command>(command));
  }

  UserDialogs& dialogs_;
  AnalysisStore store_;
  TreeDiagram diagram_;
  OutputTarget target_ = OutputTarget::Screen;
  QFont diagramFont_;
  QFont lastChosenFont_;
  QString acceptedTick_;

  DrawingArea* PaintBox = nullptr;
  QPushButton* HelpButton = nullptr;
  QPushButton* CloseButton = nullptr;
  QPushButton* ExitButton = nullptr;
  QGroupBox* ScaleGroup = nullptr;
  QLabel* Label1 = nullptr;
  QLineEdit* VscaleEdit = nullptr;
  QLabel* Label2 = nullptr;
  QLineEdit* HscaleEdit = nullptr;
  QLabel* Label4 = nullptr;
  QLineEdit* TickEdit = nullptr;
  QPushButton* FntButton = nullptr;
  QPushButton* FitButton = nullptr;
  QToolButton* UpButton = nullptr;
  QToolButton* LeftButton = nullptr;
  QToolButton* RightButton = nullptr;
  QToolButton* DownButton = nullptr;
  QPushButton* PrButton = nullptr;
  QPushButton* MFButton = nullptr;
  QPushButton* CopyButton = nullptr;
  QPushButton* ZonesButton = nullptr;
  TZonesWindow* ZonesWindow = nullptr;
};

// The number syntax of the scale and tick fields: optional leading blanks, an optional sign,
// digits with an optional "." and fraction digits, an optional exponent; nothing after it.
std::optional<double> ParseFieldNumber(const QString& text);

}  // namespace vardell
