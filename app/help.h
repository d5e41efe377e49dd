#pragma once
// The program's help: one HTML help file with a contents page and topics by context number.

class QWidget;

namespace vardell {

enum HelpContext { HelpContents = 0, HelpCoefficients = 1, HelpResultsWindow = 2, HelpZones = 3 };

// Opens the help viewer window at the contents page or at a context topic.
void ShowHelp(QWidget* parent, int context);

}  // namespace vardell
