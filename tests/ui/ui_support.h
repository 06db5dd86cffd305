// Helpers of the window tests: a working folder holding the key tables, files written byte for byte, the
// status window's lines, and a watcher that answers the start-up error box as a user would.
#pragma once

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

namespace ui_test {

// The generated tables when they are there, else the small sample pair.
inline QString table_source(const QString& name) {
  const QString generated = QStringLiteral(TSENDREL_SOURCE_DIR "/data/") + name;
  return QFile::exists(generated) ? generated : QStringLiteral(TSENDREL_SOURCE_DIR "/data/sample/") + name;
}

inline bool write_file(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray read_file(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool copy_tables(const QString& folder) {
  return QFile::copy(table_source(QStringLiteral("keyfont")), folder + QStringLiteral("/keyfont")) &&
         QFile::copy(table_source(QStringLiteral("keymap")), folder + QStringLiteral("/keymap"));
}

inline QStringList memo_lines(const QPlainTextEdit* memo) {
  return memo->toPlainText().split(QLatin1Char('\n'));
}

// Presses OK on every message box that comes up modally, and keeps its title and text.
class ErrorBoxWatcher : public QObject {
 public:
  ErrorBoxWatcher() {
    connect(&timer_, &QTimer::timeout, this, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      titles.push_back(box->windowTitle());
      texts.push_back(box->text());
      box->button(QMessageBox::Ok)->click();
    });
    timer_.start(5);
  }
  QStringList titles;
  QStringList texts;

 private:
  QTimer timer_;
};

}  // namespace ui_test
