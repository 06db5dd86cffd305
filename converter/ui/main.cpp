// tarvex: the converter's windows. Reads keyfont, keymap and tarvex.txt from the current directory; takes
// no command-line arguments.
#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "forms.h"

namespace {

void report_exception(const std::exception& error) {
  QMessageBox::critical(nullptr, QString::fromLatin1(kProgramTitle), QString::fromLocal8Bit(error.what()));
}

// An exception that leaves an event handler is reported, and the program goes on.
class TarvexApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
      report_exception(error);
      return false;
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  TarvexApplication application(argc, argv);
  try {
    return run_tarvex();
  } catch (const std::exception& error) {
    report_exception(error);
    return 1;
  }
}
