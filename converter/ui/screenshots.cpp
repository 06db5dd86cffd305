// tarvex-screenshots FOLDER OUTPUT: opens tarvex's windows in FOLDER (which holds keyfont, keymap and some
// .txt files in Wylie), plays a session on them as a user would, and writes the main window, the status
// window after the batch and the wild-card window after its search as PNG files into OUTPUT.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QThread>
#include <cstdio>

#include "forms.h"

using namespace tarvex;

namespace {

// Lets the display map and paint the windows before they are grabbed.
void settle() {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < 400) {
    QApplication::processEvents(QEventLoop::AllEvents, 50);
    QThread::msleep(20);
  }
}

bool save(QWidget* window, const QString& file) {
  settle();
  if (window->grab().save(file)) return true;
  std::fprintf(stderr, "tarvex-screenshots: could not write %s\n", qPrintable(file));
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: tarvex-screenshots FOLDER OUTPUT\n");
    return 2;
  }
  const QDir output(QDir(QString::fromLocal8Bit(argv[2])).absolutePath());
  if (!QDir::setCurrent(QString::fromLocal8Bit(argv[1]))) {
    std::fprintf(stderr, "tarvex-screenshots: cannot enter %s\n", argv[1]);
    return 1;
  }
  Forms forms;
  if (!create_forms(forms)) return 1;

  TMainForm& main_form = *forms.MainForm;
  show_form(&main_form);
  main_form.ConversionListBox->setCurrentRow(0);  // Wylie to Tsendrel
  main_form.FilterComboBox->setCurrentIndex(1);
  main_form.FileListBox->selectAll();
  bool saved = save(&main_form, output.filePath(QStringLiteral("main-window.png")));

  main_form.ConvertBtnClick();
  saved &= save(forms.DebugText.get(), output.filePath(QStringLiteral("status-window.png")));

  main_form.WildCardConvert1Click();
  TWildcardForm& wildcard = *forms.WildcardForm;
  wildcard.filePattern->setText(QStringLiteral("*.txt"));
  wildcard.selectFilesClick();
  saved &= save(&wildcard, output.filePath(QStringLiteral("wildcard-window.png")));
  return saved ? 0 : 1;
}
