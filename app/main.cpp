// vardell: hierarchical agglomerative cluster analysis of sediment-core data.

#include <QApplication>

#include "app/clustexec.h"
#include "app/form1.h"
#include "app/help/helpfile.h"
#include "app/userdialogs.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("vardell"));
  // The name alone: a display name would be appended to every window caption.
  vardell::SetHelpFile(vardell::InstalledHelpFile());

  vardell::QtUserDialogs dialogs;
  // The results window is made first only because the parameter window needs it to start
  // runs; it stays hidden until the first run.
  vardell::TClustExec results(dialogs);
  vardell::TForm1 parameters(results, dialogs);
  parameters.show();
  return QApplication::exec();
}
