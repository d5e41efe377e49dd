#pragma once
// A UserDialogs for window tests: records every message and answers every dialog from a
// script, so no test ever blocks on a modal window.

#include <QFont>
#include <QString>
#include <deque>
#include <optional>
#include <vector>

#include "app/userdialogs.h"

namespace vardell {

struct RecordedMessage {
  QString Caption;
  QString Text;
  MessageButtons Buttons;
  MessageIcon Icon;
};

class ScriptedDialogs : public UserDialogs {
 public:
  DialogAnswer ShowMessage(const QString& caption, const QString& text, MessageButtons buttons,
                           MessageIcon icon) override;
  std::optional<QString> OpenFileName(const QString& filter, int filterIndex) override;
  std::optional<QString> SaveFileName(const QString& filter,
                                      const QString& defaultExtension) override;
  std::optional<QFont> ChooseFont(const QFont& initial) override;
  bool SetupPrinter(QPrinter& printer) override;

  // Scripted answers, used up in order; an empty queue means the user cancels.
  std::deque<std::optional<QString>> OpenAnswers;
  std::deque<std::optional<QString>> SaveAnswers;
  std::deque<std::optional<QFont>> FontAnswers;
  std::deque<std::optional<QString>> PrintToPdfAnswers;  // a PDF path = confirmed print
  DialogAnswer MessageAnswer = DialogAnswer::Ok;

  // What the program asked.
  std::vector<RecordedMessage> Messages;
  QString LastOpenFilter;
  int LastOpenFilterIndex = 0;
  QString LastSaveFilter;
  QString LastSaveExtension;
  std::optional<QFont> LastFontOffered;
  int OpenCalls = 0, SaveCalls = 0, FontCalls = 0, PrintCalls = 0;
};

}  // namespace vardell
