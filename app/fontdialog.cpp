#include "app/fontdialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <tuple>

namespace vardell {
namespace {

constexpr int OfferedSizes[] = {6, 7, 8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24};
static_assert(OfferedSizes[0] == SmallestFontPoints &&
              OfferedSizes[std::size(OfferedSizes) - 1] == LargestFontPoints);

// Upright before slanted, then the nearer to the normal weight, then by name: the regular
// style comes first.
QStringList SortedStyles(const QString& family) {
  QStringList styles = QFontDatabase::styles(family);
  std::sort(styles.begin(), styles.end(), [&](const QString& a, const QString& b) {
    const auto key = [&](const QString& style) {
      const int weight = QFontDatabase::weight(family, style);
      return std::tuple(QFontDatabase::italic(family, style), std::abs(weight - QFont::Normal),
                        weight, style);
    };
    return key(a) < key(b);
  });
  return styles;
}

int NearestOfferedSize(double points) {
  return *std::min_element(std::begin(OfferedSizes), std::end(OfferedSizes), [&](int a, int b) {
    return std::abs(a - points) < std::abs(b - points);
  });
}

QListWidget* NewList(QWidget* parent, const char* name, const QStringList& entries) {
  auto* list = new QListWidget(parent);
  list->setObjectName(QString::fromLatin1(name));
  list->addItems(entries);
  return list;
}

void SelectEntry(QListWidget* list, const QString& text) {
  const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
  list->setCurrentItem(found.isEmpty() ? list->item(0) : found.first());
  if (list->currentItem()) list->scrollToItem(list->currentItem());
}

}  // namespace

FontDialog::FontDialog(const QFont& initial, QWidget* parent) : QDialog(parent), initial_(initial) {
  setObjectName(QStringLiteral("FontDialog"));
  setWindowTitle(QStringLiteral("Font"));
  const QFontInfo shown(initial);
  initialFamily_ = shown.family();
  initialStyle_ = shown.styleName();
  initialPoints_ = NearestOfferedSize(shown.pointSizeF());

  QStringList sizes;
  for (int size : OfferedSizes) sizes << QString::number(size);
  families_ = NewList(this, "FontFamilies", WesternFontFamilies());
  styles_ = NewList(this, "FontStyles", {});
  sizes_ = NewList(this, "FontSizes", sizes);
  auto* sampleBox = new QGroupBox(QStringLiteral("Sample"), this);
  sample_ = new QLabel(QStringLiteral("AaBbYyZz"), sampleBox);
  sample_->setObjectName(QStringLiteral("FontSample"));
  sample_->setAlignment(Qt::AlignCenter);
  sample_->setMinimumHeight(48);
  (new QVBoxLayout(sampleBox))->addWidget(sample_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("Font:"), this), 0, 0);
  grid->addWidget(new QLabel(QStringLiteral("Font style:"), this), 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Size:"), this), 0, 2);
  grid->addWidget(families_, 1, 0);
  grid->addWidget(styles_, 1, 1);
  grid->addWidget(sizes_, 1, 2);
  grid->addWidget(sampleBox, 2, 0, 1, 3);
  grid->addWidget(buttons, 3, 0, 1, 3);
  grid->setColumnStretch(0, 4);
  grid->setColumnStretch(1, 3);
  grid->setColumnStretch(2, 1);
  resize(480, 360);

  SelectEntry(families_, initialFamily_);
  ShowStyles(initialStyle_);
  SelectEntry(sizes_, QString::number(initialPoints_));
  ShowSample();
  connect(families_, &QListWidget::currentRowChanged, this,
          [this] { ShowStyles(Chosen(styles_)); });
  connect(styles_, &QListWidget::currentRowChanged, this, &FontDialog::ShowSample);
  connect(sizes_, &QListWidget::currentRowChanged, this, &FontDialog::ShowSample);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  families_->setFocus();
}

QString FontDialog::Chosen(const QListWidget* list) const {
  return list->currentItem() ? list->currentItem()->text() : QString();
}

// The family's styles, preferred selected where the family has it, else the style of the same
// weight and slant, else the regular one.
void FontDialog::ShowStyles(const QString& preferred) {
  const QString family = Chosen(families_);
  const QStringList styles = SortedStyles(family);
  QString pick = styles.value(0);
  if (styles.contains(preferred)) {
    pick = preferred;
  } else {
    const QFontInfo shown(initial_);
    for (const QString& style : styles)
      if (QFontDatabase::italic(family, style) == shown.italic() &&
          QFontDatabase::weight(family, style) == shown.weight()) {
        pick = style;
        break;
      }
  }
  styles_->blockSignals(true);
  styles_->clear();
  styles_->addItems(styles);
  SelectEntry(styles_, pick);
  styles_->blockSignals(false);
  ShowSample();
}

void FontDialog::ShowSample() { sample_->setFont(SelectedFont()); }

QFont FontDialog::SelectedFont() const {
  const QString family = Chosen(families_), style = Chosen(styles_);
  const int points = Chosen(sizes_).toInt();
  if (family == initialFamily_ && style == initialStyle_ && points == initialPoints_)
    return initial_;
  return QFontDatabase::font(family, style, points);
}

}  // namespace vardell
