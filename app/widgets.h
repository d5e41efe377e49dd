#pragma once
// The controls both windows build: each with its object name (tests find controls by it),
// its tooltip and its designed place (or its place in a layout).

#include <QPoint>
#include <QRect>
#include <initializer_list>

class QLabel;
class QPushButton;
class QWidget;

namespace vardell {

// hint may be null: the button then shows no tooltip. Without a geometry a layout places it.
QPushButton* NewButton(QWidget* parent, const char* name, const char* caption, const char* hint);
QPushButton* NewButton(QWidget* parent, const char* name, const char* caption, const char* hint,
                       QRect geometry);

// The label is as large as its caption.
QLabel* NewLabel(QWidget* parent, const char* name, const char* caption, QPoint at);

// Tab moves from each control to the next in order.
void ChainTabOrder(std::initializer_list<QWidget*> order);

}  // namespace vardell
