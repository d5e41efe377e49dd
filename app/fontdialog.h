#pragma once
// The font dialog of "Change Font". It lists the fonts that can write Western text (the
// Windows-1252 letters; no symbol or math fonts), their styles and the sizes the drawing
// accepts, 6 to 24 points. It opens on the given font in that font's own style, so that OK
// without a change gives the very same font back.

#include <QDialog>
#include <QFont>
#include <QStringList>

class QLabel;
class QListWidget;

namespace vardell {

constexpr int SmallestFontPoints = 6;
constexpr int LargestFontPoints = 24;

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

// The font families the dialog offers: scalable, not private, no alias of another family,
// not a symbol font, and with a glyph for every printable Latin-1 character.
QStringList WesternFontFamilies();

}  // namespace vardell
