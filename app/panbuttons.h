#pragma once
// The four pan buttons of the results window: small glyph buttons with an arrow that take no
// focus, so a click leaves the keyboard focus where it was.

#include <QIcon>
#include <QString>

class QToolButton;
class QWidget;

namespace vardell {

enum class PanDirection { Up, Left, Right, Down };

// A 16 x 16 arrow, black when the button is enabled and grey when it is disabled.
QIcon PanGlyph(PanDirection direction);

QToolButton* NewPanButton(QWidget* parent, const QString& objectName, PanDirection direction,
                          const QString& hint, int left, int top);

}  // namespace vardell
