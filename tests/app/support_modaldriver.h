#pragma once
// Answers the real modal dialogs of a test one after the other: each scripted action runs on
// the next modal window that appears, so a test of the real dialogs never blocks.

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>

namespace vardell {

class ModalDriver : public QObject {
 public:
  using Action = std::function<void(QWidget* modal)>;
  ModalDriver();
  ~ModalDriver() override;
  ModalDriver& Then(Action action);
  bool Done() const { return actions_.empty(); }
  QStringList Seen;  // class names of the modal windows met

 private:
  void Poll();
  QTimer timer_;
  std::deque<Action> actions_;
  QPointer<QWidget> last_;
};

}  // namespace vardell
