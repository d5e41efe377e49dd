#pragma once
// The screenshot tests' setup: they run under Xvfb with the xcb platform and save their
// pictures into the folder an environment variable names; without the variable they are
// skipped.

#include <QtTest>
#include <functional>

#include "support_windows.h"

// Declares folder, the folder the environment variable names, and skips the test where the
// variable is unset.
#define VARDELL_SCREENSHOT_FOLDER(folder, variable)      \
  const QString folder = qEnvironmentVariable(variable); \
  if (folder.isEmpty()) QSKIP(variable " not set")

namespace vardell {

// A constrained run of file, started as a person would: the file loaded, the constraint
// checked, whatever choose picks in the lists, then "Start"; no message on the way, and the
// results window shown.
inline void RunConstrained(
    Windows& w, const QString& file, const std::function<void()>& choose = [] {}) {
  w.Load(file);
  QVERIFY(w.Dialogs.Messages.empty());
  w.ClickCheckBox();
  choose();
  w.Run();
  QVERIFY(w.Dialogs.Messages.empty());
  QVERIFY(w.Results.isVisible());
}

}  // namespace vardell
