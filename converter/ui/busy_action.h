// What a window does for the length of one action: its button disabled and the busy cursor over it.
#pragma once

#include <QWidget>

class BusyAction {
 public:
  BusyAction(QWidget* button, QWidget* window) : button_(button), window_(window) {
    button_->setEnabled(false);
    window_->setCursor(Qt::WaitCursor);
  }
  ~BusyAction() {
    window_->unsetCursor();
    button_->setEnabled(true);
  }
  BusyAction(const BusyAction&) = delete;
  BusyAction& operator=(const BusyAction&) = delete;

 private:
  QWidget* button_;
  QWidget* window_;
};
