#include "support_scripteddialogs.h"

#include <QPrinter>

namespace vardell {
namespace {

template <typename T>
std::optional<T> Next(std::deque<std::optional<T>>& answers) {
  std::optional<T> answer;
  if (!answers.empty()) {
    answer.swap(answers.front());
    answers.pop_front();
  }
  return answer;
}

}  // namespace

DialogAnswer ScriptedDialogs::ShowMessage(const QString& caption, const QString& text,
                                          MessageButtons buttons, MessageIcon icon) {
  Messages.push_back({caption, text, buttons, icon});
  return MessageAnswer;
}

std::optional<QString> ScriptedDialogs::OpenFileName(const QString& filter, int filterIndex) {
  ++OpenCalls;
  LastOpenFilter = filter;
  LastOpenFilterIndex = filterIndex;
  return Next(OpenAnswers);
}

std::optional<QString> ScriptedDialogs::SaveFileName(const QString& filter,
                                                     const QString& defaultExtension) {
  ++SaveCalls;
  LastSaveFilter = filter;
  LastSaveExtension = defaultExtension;
  std::optional<QString> answer = Next(SaveAnswers);
  if (answer) answer = WithDefaultExtension(*answer, defaultExtension);
  return answer;
}

std::optional<QFont> ScriptedDialogs::ChooseFont(const QFont& initial) {
  ++FontCalls;
  LastFontOffered = initial;
  return Next(FontAnswers);
}

bool ScriptedDialogs::SetupPrinter(QPrinter& printer) {
  ++PrintCalls;
  std::optional<QString> pdf = Next(PrintToPdfAnswers);
  if (!pdf) return false;
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(*pdf);
  return true;
}

}  // namespace vardell
