#pragma once
// A UserDialogs for window tests: records every message and answers every dialog from a
// script, so no test ever blocks on a modal window.

#include <QFont>
#include <QPrinter>
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
  // Scripted answers, used up in order; an empty queue means the user cancels.
  std::deque<std::optional<QString>> OpenAnswers;
  std::deque<std::optional<QString>> SaveAnswers;  // completed as the real dialog does
  std::deque<std::optional<QFont>> FontAnswers;
  std::deque<std::optional<QString>> PrintToPdfAnswers;  // a PDF path = confirmed print
  DialogAnswer MessageAnswer = DialogAnswer::Ok;

  // What the program asked.
  std::vector<RecordedMessage> Messages;
  std::vector<QString> OpenFolders;  // the folder each open dialog started in
  QString LastSaveFilter, LastSaveExtension;
  std::optional<QFont> LastFontOffered;
  int SaveCalls = 0, FontCalls = 0, PrintCalls = 0;

  DialogAnswer ShowMessage(const QString& caption, const QString& text, MessageButtons buttons,
                           MessageIcon icon) override {
    Messages.push_back({caption, text, buttons, icon});
    return MessageAnswer;
  }
  std::optional<QString> OpenFileName(const QString&, int, const QString& folder) override {
    OpenFolders.push_back(folder);
    return Next(OpenAnswers);
  }
  std::optional<QString> SaveFileName(const QString& filter, const QString& extension) override {
    ++SaveCalls;
    LastSaveFilter = filter;
    LastSaveExtension = extension;
    const std::optional<QString> answer = Next(SaveAnswers);
    return answer ? std::optional(WithDefaultExtension(*answer, extension)) : answer;
  }
  std::optional<QFont> ChooseFont(const QFont& initial) override {
    ++FontCalls;
    LastFontOffered = initial;
    return Next(FontAnswers);
  }
  bool SetupPrinter(QPrinter& printer) override {
    ++PrintCalls;
    const std::optional<QString> pdf = Next(PrintToPdfAnswers);
    if (!pdf) return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(*pdf);
    return true;
  }

 private:
  template <typename T>
  static std::optional<T> Next(std::deque<std::optional<T>>& answers) {
    std::optional<T> answer;  // swapped out: a move here trips a false maybe-uninitialized
    if (!answers.empty()) {
      answer.swap(answers.front());
      answers.pop_front();
    }
    return answer;
  }
};

}  // namespace vardell
