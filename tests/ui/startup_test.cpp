#include <QTemporaryDir>
#include <QtTest>

#include "forms.h"
#include "ui_support.h"

namespace {

QString table_message(const char* file) {
  return QStringLiteral(
             "Could not initialize character table from file %1.  Please make sure that file %1 is in the "
             "same "
             "directory as tarvex.exe. Copy from installation diskettes if necessary. Exiting.")
      .arg(QLatin1String(file));
}

}  // namespace

class StartupTest : public QObject {
  Q_OBJECT
 private slots:
  void init() { QVERIFY(folder_.isValid()); }
  void cleanup() { QDir::setCurrent(QDir::tempPath()); }

  void failed_load_shows_error_and_exits_zero_data() {
    QTest::addColumn<QByteArray>("keyfont");  // empty: no file
    QTest::addColumn<QByteArray>("keymap");
    QTest::addColumn<QString>("message");
    const QByteArray keyfont = ui_test::read_file(ui_test::table_source(QStringLiteral("keyfont")));
    const QByteArray keymap = ui_test::read_file(ui_test::table_source(QStringLiteral("keymap")));
    QTest::newRow("no keyfont") << QByteArray() << keymap << table_message("keyfont");
    QTest::newRow("keyfont without records") << QByteArray("\n") << keymap << table_message("keyfont");
    QTest::newRow("no keymap") << keyfont << QByteArray() << table_message("keymap");
    QTest::newRow("keymap key above 127") << keyfont << QByteArray("\xe9 k\n") << table_message("keymap");
    QTest::newRow("keymap letter not in keyfont")
        << keyfont << QByteArray("k [\n") << table_message("keymap");
  }
  void failed_load_shows_error_and_exits_zero() {
    QFETCH(QByteArray, keyfont);
    QFETCH(QByteArray, keymap);
    QFETCH(QString, message);
    QTemporaryDir folder;
    if (!keyfont.isEmpty()) QVERIFY(ui_test::write_file(folder.filePath(QStringLiteral("keyfont")), keyfont));
    if (!keymap.isEmpty()) QVERIFY(ui_test::write_file(folder.filePath(QStringLiteral("keymap")), keymap));
    QVERIFY(QDir::setCurrent(folder.path()));

    ui_test::ErrorBoxWatcher boxes;
    QCOMPARE(run_tarvex(), 0);
    QCOMPARE(boxes.titles, QStringList{QStringLiteral("Error")});
    QCOMPARE(boxes.texts, QStringList{message});
  }

  void failed_load_creates_no_other_window() {
    QVERIFY(QDir::setCurrent(folder_.path()));
    ui_test::ErrorBoxWatcher boxes;
    Forms forms;
    QVERIFY(!create_forms(forms));
    QCOMPARE(boxes.texts.size(), 1);
    QVERIFY(forms.MainForm);
    QVERIFY(!forms.MainForm->isVisible());
    QVERIFY(!forms.Instructions && !forms.DebugText && !forms.WildcardForm && !forms.AboutForm &&
            !forms.HelpForm);
  }

 private:
  QTemporaryDir folder_;
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
