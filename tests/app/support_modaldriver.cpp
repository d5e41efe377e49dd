#include "support_modaldriver.h"

#include <QApplication>
#include <memory>

namespace vardell {

ModalDriver::ModalDriver() {
  timer_.setInterval(10);
  connect(&timer_, &QTimer::timeout, this, &ModalDriver::Poll);
  timer_.start();
}

ModalDriver::~ModalDriver() { timer_.stop(); }

ModalDriver& ModalDriver::Then(Action action) {
  actions_.push_back(std::move(action));
  return *this;
}

void ModalDriver::Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal || modal == last_ || actions_.empty() || !modal->isVisible()) return;
  last_ = modal;
  Seen << QString::fromLatin1(modal->metaObject()->className());
  // Run outside this timer's event: Qt does not fire a timer again while its own event is
  // being handled, and an action may open the next dialog in a loop of its own.
  auto action = std::make_shared<Action>(std::move(actions_.front()));
  actions_.pop_front();
  QTimer::singleShot(0, modal, [action, modal] { (*action)(modal); });
}

}  // namespace vardell
