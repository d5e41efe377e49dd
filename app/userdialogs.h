#pragma once
// Every modal message box and common dialog of both windows goes through UserDialogs. The
// program uses QtUserDialogs; window tests install a scripted one that records messages and
// answers dialogs, so no test blocks on a modal window.

#include <QFont>
#include <QObject>
#include <QString>
#include <exception>
#include <optional>

#include "analysis/usermessage.h"

class QPrinter;
class QWidget;

namespace vardell {

enum class MessageButtons { Ok, OkCancel };
enum class MessageIcon { None, Error };
enum class DialogAnswer { Ok, Cancel };

class UserDialogs {
 public:
  virtual ~UserDialogs() = default;
  virtual DialogAnswer ShowMessage(const QString& caption, const QString& text,
                                   MessageButtons buttons, MessageIcon icon) = 0;
  // filter in the "Description|PATTERN|Description|PATTERN" form; filterIndex counts from 1.
  // The dialog opens in folder, or in its own choice when folder is empty or gone.
  virtual std::optional<QString> OpenFileName(const QString& filter, int filterIndex,
                                              const QString& folder) = 0;
  // Asks before overwriting an existing file; a name without extension gets defaultExtension.
  virtual std::optional<QString> SaveFileName(const QString& filter,
                                              const QString& defaultExtension) = 0;
  virtual std::optional<QFont> ChooseFont(const QFont& initial) = 0;
  // The print dialog on printer; false when cancelled.
  virtual bool SetupPrinter(QPrinter& printer) = 0;
};

// The real dialogs, parented to parent.
class QtUserDialogs : public UserDialogs {
 public:
  explicit QtUserDialogs(QWidget* parent = nullptr) : parent_(parent) {}
  DialogAnswer ShowMessage(const QString& caption, const QString& text, MessageButtons buttons,
                           MessageIcon icon) override;
  std::optional<QString> OpenFileName(const QString& filter, int filterIndex,
                                      const QString& folder) override;
  std::optional<QString> SaveFileName(const QString& filter,
                                      const QString& defaultExtension) override;
  std::optional<QFont> ChooseFont(const QFont& initial) override;
  bool SetupPrinter(QPrinter& printer) override;

 private:
  QWidget* parent_;
};

// "name" -> "name.EXT" when the file name part has no extension.
QString WithDefaultExtension(const QString& path, const QString& extension);

// The general handler of unexpected errors: a box with caption "vardell", the error icon and
// the error's text, with a full stop added as WithFullStop adds it.
void ReportUnexpectedError(UserDialogs& dialogs, const std::exception& error);

// A message the user can act on: its caption and text, one OK button, no icon.
void ShowUserMessage(UserDialogs& dialogs, const UserMessage& message);

// Runs one command; an exception it throws ends the command and reaches the general handler.
template <typename Command>
void GuardCommand(UserDialogs& dialogs, Command&& command) {
  try {
    command();
  } catch (const std::exception& error) {
    ReportUnexpectedError(dialogs, error);
  }
}

// Runs command once the event being delivered has returned, on context's thread; nothing runs
// if context is gone by then. The windows' commands open their message boxes and dialogs this
// way, never from inside the key or mouse event that started them: a modal box opened from
// inside a key event, over the second top-level window, was reported to stay unpainted.
template <typename Command>
void AfterInputEvent(QObject* context, Command&& command) {
  QMetaObject::invokeMethod(context, std::forward<Command>(command), Qt::QueuedConnection);
}

}  // namespace vardell
