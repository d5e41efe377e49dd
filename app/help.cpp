#include "app/help.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QScrollBar>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QWidget>

#include "app/help/helpfile.h"

// The help file is a resource of the static app library; nothing else refers to it, so it
// is registered here explicitly (the macro works only outside a namespace).
static void RegisterHelpResource() { Q_INIT_RESOURCE(resources); }

namespace vardell {
namespace {

QUrl& CurrentHelpFile() {
  static QUrl file;
  return file;
}

QPointer<QWidget>& Viewer() {
  static QPointer<QWidget> viewer;
  return viewer;
}

QWidget* NewViewer(QWidget* owner) {
  auto* viewer = new QWidget(owner, Qt::Window);
  viewer->setObjectName(QStringLiteral("HelpViewer"));
  viewer->setWindowTitle(QStringLiteral("vardell Help"));
  viewer->setAttribute(Qt::WA_DeleteOnClose);
  viewer->resize(640, 600);
  auto* browser = new QTextBrowser(viewer);
  browser->setObjectName(QStringLiteral("HelpBrowser"));
  browser->setOpenExternalLinks(false);
  auto* layout = new QVBoxLayout(viewer);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browser);
  return viewer;
}

}  // namespace

QUrl BuiltInHelpFile() {
  RegisterHelpResource();
  return QUrl(QStringLiteral("qrc:/help/vardell.html"));
}

QUrl InstalledHelpFile() {
  const QString installed = QDir(QCoreApplication::applicationDirPath())
                                .absoluteFilePath(QStringLiteral("../share/vardell/vardell.html"));
  if (QFileInfo::exists(installed)) return QUrl::fromLocalFile(QDir::cleanPath(installed));
  return BuiltInHelpFile();
}

void SetHelpFile(const QUrl& file) { CurrentHelpFile() = file; }

QUrl HelpFile() {
  if (CurrentHelpFile().isEmpty()) CurrentHelpFile() = BuiltInHelpFile();
  return CurrentHelpFile();
}

QUrl HelpTopic(const QUrl& file, int context) {
  QUrl topic = file;
  switch (context) {
    case HelpCoefficients: topic.setFragment(QStringLiteral("coefficients")); break;
    case HelpResultsWindow: topic.setFragment(QStringLiteral("results")); break;
    case HelpZones: topic.setFragment(QStringLiteral("zones")); break;
    default: topic.setFragment(QString()); break;
  }
  return topic;
}

// One viewer serves both windows; it belongs to the window that first asked for it.
void ShowHelp(QWidget* parent, int context) {
  QPointer<QWidget>& viewer = Viewer();
  if (!viewer) viewer = NewViewer(parent ? parent->window() : nullptr);
  auto* browser = viewer->findChild<QTextBrowser*>(QStringLiteral("HelpBrowser"));
  const QUrl topic = HelpTopic(HelpFile(), context);
  browser->setSource(topic);
  if (context == HelpContents) browser->verticalScrollBar()->setValue(0);
  viewer->show();
  viewer->raise();
  viewer->activateWindow();
}

}  // namespace vardell
