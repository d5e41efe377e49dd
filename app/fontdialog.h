#pragma once
// The font dialog of "Change Font". It lists the fonts that can write Western text
// (WesternFontFamilies), their styles and the sizes the drawing
// accepts, 6 to 24 points. It opens on the given font in that font's own style, so that OK
// without a change gives the very same font back.

#include <QDialog>
#include <QFont>
#include <QStringList>

#include "diagram/drawingscale.h"
#include "diagram/surfaces/drawingfont.h"

class QLabel;
class QListWidget;

namespace vardell {

class FontDialog : public QDialog {
  Q_OBJECT
 public:
  explicit FontDialog(const QFont& initial, QWidget* parent = nullptr);

  QFont SelectedFont() const;

 private:
  void ShowStyles(const QString& preferred);
  void ShowSample();
  QString Chosen(const QListWidget* list) const;

  QFont initial_;
  QString initialFamily_, initialStyle_;
  int initialPoints_ = 0;
  QListWidget* families_ = nullptr;
  QListWidget* styles_ = nullptr;
  QListWidget* sizes_ = nullptr;
  QLabel* sample_ = nullptr;
};

}  // namespace vardell
