#include "app/widgets.h"

#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace vardell {

QPushButton* NewButton(QWidget* parent, const char* name, const char* caption, const char* hint) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  button->setObjectName(QString::fromUtf8(name));
  if (hint) button->setToolTip(QString::fromUtf8(hint));
  return button;
}

QPushButton* NewButton(QWidget* parent, const char* name, const char* caption, const char* hint,
                       QRect geometry) {
  QPushButton* button = NewButton(parent, name, caption, hint);
  button->setGeometry(geometry);
  return button;
}

QLabel* NewLabel(QWidget* parent, const char* name, const char* caption, QPoint at) {
  auto* label = new QLabel(QString::fromUtf8(caption), parent);
  label->setObjectName(QString::fromUtf8(name));
  label->move(at);
  label->adjustSize();
  return label;
}

void ChainTabOrder(std::initializer_list<QWidget*> order) {
  for (std::size_t i = 1; i < order.size(); ++i)
    QWidget::setTabOrder(order.begin()[i - 1], order.begin()[i]);
}

}  // namespace vardell
