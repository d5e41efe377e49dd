// vardell: hierarchical agglomerative cluster analysis of sediment-core data.

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>
#include <clocale>
#include <iostream>
#include <optional>
#include <string_view>

#include "app/clustexec.h"
#include "app/form1.h"
#include "app/help/helpfile.h"
#include "app/logo.h"
#include "app/userdialogs.h"
#include "version.h"

namespace {

void PrintHelp() {
  const QUrl helpFile = vardell::InstalledHelpFile();
  std::cout << "usage: vardell [FILE]\n\n"
               "Opens the parameter window of vardell, hierarchical agglomerative cluster\n"
               "analysis of multivariate data. With FILE (a row-column .DAT file, a dBase,\n"
               "Paradox or text table) the file is loaded at start-up as the \"Data File\"\n"
               "command loads it.\n\n"
               "  --help      this text\n"
               "  --version   the program's version\n\n"
               "Qt's own options (such as -platform offscreen) are accepted as well.\n"
               "The help file: "
            << (helpFile.isLocalFile() ? helpFile.toLocalFile().toStdString()
                                       : std::string("built into the program"))
            << "\n";
}

// --help and --version are answered before any window exists, so they work without a display.
std::optional<int> AnswerInformationRequest(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--version") {
      std::cout << "vardell " VARDELL_VERSION "\n";
      return 0;
    }
    if (argument == "--help" || argument == "-h") {
      QCoreApplication core(argc, argv);  // the program's folder tells where the help file is
      PrintHelp();
      return 0;
    }
  }
  return std::nullopt;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (auto status = AnswerInformationRequest(argc, argv)) return *status;
  QApplication application(argc, argv);
  // Qt has just taken the desktop's locale for the C library. Numbers in files, fields and
  // drawings are written with a full stop whatever the desktop writes; the program's own
  // conversions never consult the locale, and the C library's keep to "C" for any library
  // that does.
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setApplicationName(QStringLiteral("vardell"));
  // The name alone: a display name would be appended to every window caption.
  QGuiApplication::setDesktopFileName(QStringLiteral("vardell"));  // the desktop entry's name
  QApplication::setWindowIcon(vardell::ProgramIcon());
  vardell::SetHelpFile(vardell::InstalledHelpFile());

  vardell::QtUserDialogs dialogs;
  // The results window is made first only because the parameter window needs it to start
  // runs; it stays hidden until the first run.
  vardell::TClustExec results(dialogs);
  vardell::TForm1 parameters(results, dialogs);
  parameters.show();
  // "vardell FILE" (also the desktop's "Open with") loads the file as "Data File" would,
  // once the window is up, and with a full path as the dialog gives.
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() > 1) {
    const QString file = QFileInfo(arguments[1]).absoluteFilePath();
    QTimer::singleShot(0, &parameters, [&parameters, file] { parameters.OpenDataFile(file); });
  }
  return QApplication::exec();
}
