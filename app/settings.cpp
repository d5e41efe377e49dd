#include "app/settings.h"

#include <QFileInfo>
#include <QSettings>

namespace vardell {
namespace {

const char* const DataFolderKey = "LastDataFolder";

QSettings UserSettings() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("vardell"),
                   QStringLiteral("vardell"));
}

}  // namespace

QString LastDataFolder() { return UserSettings().value(DataFolderKey).toString(); }

void RememberDataFile(const QString& path) {
  UserSettings().setValue(DataFolderKey, QFileInfo(path).absolutePath());
}

}  // namespace vardell
