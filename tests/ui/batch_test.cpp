#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "forms.h"
#include "rtf_writer.h"
#include "startup.h"
#include "ui_support.h"

using namespace tarvex;

namespace {

QByteArray font_switch(int font_base, int size) {
  static FontEntry fonts[kRtfFontCount];
  static const int count = build_font_table(fonts);
  (void)count;
  return QStringLiteral("\\f%1\\fs%2").arg(fonts[font_base].number).arg(size).toLatin1();
}

void select_rows(QListWidget* list, const QStringList& texts) {
  list->clearSelection();
  for (int row = 0; row < list->count(); ++row)
    if (texts.contains(list->item(row)->text())) list->item(row)->setSelected(true);
}

// What the windows look like whenever a status line arrives during a batch.
struct BatchWatch {
  BatchWatch(QWidget* button, QWidget* window, TDebugText* status) {
    connection_ = QObject::connect(status->Memo, &QPlainTextEdit::textChanged, status, [=, this] {
      if (status->Memo->toPlainText().isEmpty()) return;
      ++lines;
      button_enabled |= button->isEnabled();
      idle_cursor |= window->cursor().shape() != Qt::WaitCursor;
      status_hidden |= !status->isVisible();
    });
  }
  ~BatchWatch() { QObject::disconnect(connection_); }
  BatchWatch(const BatchWatch&) = delete;
  BatchWatch& operator=(const BatchWatch&) = delete;

  int lines = 0;
  bool button_enabled = false;
  bool idle_cursor = false;
  bool status_hidden = false;

 private:
  QMetaObject::Connection connection_;
};

}  // namespace

class BatchTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    QVERIFY(folder_.isValid());
    QVERIFY(ui_test::copy_tables(folder_.path()));
    QVERIFY(QDir::setCurrent(folder_.path()));
    QVERIFY(create_forms(forms_));
    show_form(forms_.MainForm.get());
  }
  void cleanupTestCase() { QDir::setCurrent(QDir::tempPath()); }

  void init() {
    QVERIFY(texts_.isValid());
    for (const char* name : {"a.txt", "b.txt", "notes"})
      QVERIFY(ui_test::write_file(texts_.filePath(QLatin1String(name)), "ka\r\n"));
    TMainForm& form = *forms_.MainForm;
    form.open_directory(texts_.path());
    form.ConversionListBox->setCurrentRow(0);
    form.FontListBox->setCurrentRow(kEkorlam);
    form.tib_pt_size->setText(QStringLiteral("28"));
    form.small_tib_pt_size->setText(QStringLiteral("24"));
  }

  void convert_writes_rtf_beside_selected_files() {
    TMainForm& form = *forms_.MainForm;
    select_rows(form.FileListBox, {"a.txt", "notes"});
    BatchWatch watch(form.ConvertBtn, &form, forms_.DebugText.get());
    QTest::mouseClick(form.ConvertBtn, Qt::LeftButton);

    const QString dir = texts_.path();
    QCOMPARE(ui_test::memo_lines(forms_.DebugText->Memo),
             (QStringList{"Input file path: " + dir + "/a.txt", "Output file path: " + dir + "/a.rtf",
                          dir + "/a.txt: 1 syllable, 0 not converted", "Input file path: " + dir + "/notes",
                          "Output file path: " + dir + "/notes.rtf",
                          dir + "/notes: 1 syllable, 0 not converted", "2 file(s) processed"}));
    for (const char* output : {"a.rtf", "notes.rtf"}) {
      const QByteArray rtf = ui_test::read_file(texts_.filePath(QLatin1String(output)));
      QVERIFY2(rtf.startsWith("{\\rtf1"), output);
      QVERIFY2(rtf.contains(font_switch(kEkorlamBase, 56)), output);
    }
    QVERIFY(!QFile::exists(texts_.filePath(QStringLiteral("b.rtf"))));

    QCOMPARE(watch.lines, 7);
    QVERIFY(!watch.button_enabled);
    QVERIFY(!watch.idle_cursor);
    QVERIFY(!watch.status_hidden);
    QVERIFY(form.ConvertBtn->isEnabled());
    QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
  }

  void convert_without_selection_logs_zero() {
    forms_.MainForm->FileListBox->clearSelection();
    forms_.DebugText->Memo->setPlainText(QStringLiteral("earlier line"));
    forms_.MainForm->ConvertBtnClick();
    QCOMPARE(ui_test::memo_lines(forms_.DebugText->Memo), QStringList{"0 file(s) processed"});
  }

  void korlam_choice_reaches_the_output() {
    TMainForm& form = *forms_.MainForm;
    form.FontListBox->setCurrentRow(kKorlam);
    form.tib_pt_size->setText(QStringLiteral("30"));
    form.small_tib_pt_size->setText(QStringLiteral("20"));
    form.cr_check_box->setChecked(true);
    select_rows(form.FileListBox, {"b.txt"});
    form.ConvertBtnClick();
    QVERIFY(
        ui_test::read_file(texts_.filePath(QStringLiteral("b.rtf"))).contains(font_switch(kKorlamBase, 60)));
    QCOMPARE(forms_.request.font_base, kKorlamBase);
    QCOMPARE(forms_.request.keep_cr, 1);
    QCOMPARE(forms_.request.small_tib_size, 40);
    form.cr_check_box->setChecked(false);
  }

  void bad_sizes_are_logged_and_the_batch_runs_data() {
    QTest::addColumn<QString>("normal");
    QTest::addColumn<QString>("small");
    QTest::addColumn<QStringList>("first_lines");
    QTest::addColumn<int>("half_points");
    const QStringList bad_normal{"Bad tibetan point size.", "Please set to a number between 8 and 99"};
    const QStringList bad_small{
        "Bad small tibetan point size.",
        "Please set to a number between 8 and 99 and greater than the tibetan point size."};
    QTest::newRow("normal below 8") << "7"
                                    << "7" << bad_small << 14;
    QTest::newRow("normal empty") << ""
                                  << "24" << bad_normal << 56;
    QTest::newRow("small above normal") << "20"
                                        << "24" << bad_small << 40;
    QTest::newRow("small empty") << "28"
                                 << "" << bad_small << 56;
    QTest::newRow("small below 8") << "28"
                                   << "5" << bad_small << 56;
    QTest::newRow("both good") << "99"
                               << "8" << QStringList() << 198;
  }
  void bad_sizes_are_logged_and_the_batch_runs() {
    QFETCH(QString, normal);
    QFETCH(QString, small);
    QFETCH(QStringList, first_lines);
    QFETCH(int, half_points);
    TMainForm& form = *forms_.MainForm;
    form.tib_pt_size->setText(normal);
    form.small_tib_pt_size->setText(small);
    select_rows(form.FileListBox, {"a.txt"});
    form.ConvertBtnClick();
    const QStringList lines = ui_test::memo_lines(forms_.DebugText->Memo);
    QCOMPARE(lines.mid(0, first_lines.size()), first_lines);
    QCOMPARE(lines.size(), first_lines.size() + 4);  // the two paths, the file's summary, the count
    QCOMPARE(lines.back(), QStringLiteral("1 file(s) processed"));
    QVERIFY(ui_test::read_file(texts_.filePath(QStringLiteral("a.rtf")))
                .contains(font_switch(kEkorlamBase, half_points)));
  }

  void conversion_type_stays_when_none_is_selected() {
    TMainForm& form = *forms_.MainForm;
    form.ConversionListBox->setCurrentRow(3);
    form.FileListBox->clearSelection();
    form.ConvertBtnClick();
    form.ConversionListBox->clearSelection();
    form.ConvertBtnClick();
    QCOMPARE(forms_.request.conversion_type, route_id("kvts-wylie"));
  }

  // Each row of the conversion list converts along the route with its caption, as it always has.
  void each_row_converts_along_its_route_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("route");
    const char* const routes[] = {"wylie-rtf",  "kvts-rtf",          "wylie-kvts",
                                  "kvts-wylie", "wylie-unicode-rtf", "kvts-unicode-rtf"};
    for (int row = 0; row < 6; ++row) QTest::newRow(routes[row]) << row << QString::fromLatin1(routes[row]);
  }

  void each_row_converts_along_its_route() {
    QFETCH(int, row);
    QFETCH(QString, route);
    TMainForm& form = *forms_.MainForm;
    form.ConversionListBox->setCurrentRow(row);
    form.FileListBox->clearSelection();
    form.ConvertBtnClick();
    const Route* chosen = route_by_id(forms_.request.conversion_type);
    QVERIFY(chosen);
    QCOMPARE(QString::fromLatin1(chosen->name.data(), static_cast<qsizetype>(chosen->name.size())), route);
    QCOMPARE(form.ConversionListBox->item(row)->text(),
             QString::fromLatin1(chosen->caption.data(), static_cast<qsizetype>(chosen->caption.size())));
  }

  void wildcard_menu_logs_bad_size_below_earlier_lines() {
    TMainForm& form = *forms_.MainForm;
    forms_.DebugText->hide();
    forms_.DebugText->Memo->setPlainText(QStringLiteral("earlier line"));
    form.tib_pt_size->clear();
    form.WildCardConvert1->trigger();
    QCOMPARE(
        ui_test::memo_lines(forms_.DebugText->Memo),
        (QStringList{"earlier line", "Bad tibetan point size.", "Please set to a number between 8 and 99"}));
    QVERIFY(forms_.DebugText->isHidden());
    QVERIFY(forms_.WildcardForm->isVisible());
    QCOMPARE(forms_.request.tib_size, 56);
    forms_.WildcardForm->close();
  }

  void wildcard_search_selects_every_matching_file_below() {
    const QDir top(texts_.path());
    for (const char* folder : {"sub/deeper", "x.txt", "empty"}) QVERIFY(top.mkpath(QLatin1String(folder)));
    for (const char* file : {"sub/c.txt", "sub/c.kvt", "sub/deeper/e.TXT", "x.txt/d.txt"})
      QVERIFY(ui_test::write_file(top.filePath(QLatin1String(file)), "ka\n"));

    forms_.MainForm->ConversionListBox->setCurrentRow(2);
    forms_.MainForm->WildCardConvert1->trigger();
    TWildcardForm& wildcard = *forms_.WildcardForm;
    QVERIFY(wildcard.isVisible());
    QCOMPARE(forms_.request.conversion_type, route_id("wylie-kvts"));

    wildcard.open_directory(top.path());
    wildcard.filePattern->setText(QStringLiteral("*.txt"));
    QTest::mouseClick(wildcard.selectFiles, Qt::LeftButton);
    const QString dir = top.path();
    const QStringList found{dir + "/a.txt", dir + "/b.txt", dir + "/sub/c.txt", dir + "/sub/deeper/e.TXT",
                            dir + "/x.txt/d.txt"};
    QStringList listed;
    for (int row = 0; row < wildcard.wcListBox->count(); ++row) {
      listed.push_back(wildcard.wcListBox->item(row)->text());
      QVERIFY(wildcard.wcListBox->item(row)->isSelected());
    }
    QCOMPARE(listed, found);
    QCOMPARE(wildcard.found_count(), 5);
    QVERIFY(wildcard.selectFiles->isEnabled());

    wildcard.wcListBox->item(1)->setSelected(false);
    QFile::remove(top.filePath(QStringLiteral("b.rtf")));
    BatchWatch watch(wildcard.wcConvert, &wildcard, forms_.DebugText.get());
    QTest::mouseClick(wildcard.wcConvert, Qt::LeftButton);
    QStringList expected;
    for (const QString& input : QStringList{found[0], found[2], found[3], found[4]}) {
      QString output = input;
      output.replace(output.size() - 3, 3, QStringLiteral("rtf"));
      expected << "Input file path: " + input << "Output file path: " + output;
      const QByteArray text = ui_test::read_file(output);
      QVERIFY2(!text.isEmpty() && !text.startsWith("{\\rtf"), qPrintable(output));
    }
    expected << QStringLiteral("4 file(s) processed");
    QCOMPARE(ui_test::memo_lines(forms_.DebugText->Memo), expected);
    QVERIFY(!QFile::exists(top.filePath(QStringLiteral("b.rtf"))));
    QVERIFY(!watch.button_enabled);
    QVERIFY(!watch.idle_cursor);
    QVERIFY(wildcard.wcConvert->isEnabled());
  }

  void wildcard_search_again_starts_a_new_list() {
    TWildcardForm& wildcard = *forms_.WildcardForm;
    wildcard.open_directory(texts_.path());
    wildcard.filePattern->setText(QStringLiteral("notes"));
    wildcard.selectFilesClick();
    QCOMPARE(wildcard.wcListBox->count(), 1);
    QCOMPARE(wildcard.found_count(), 1);
    wildcard.filePattern->setText(QStringLiteral("*.none"));
    wildcard.selectFilesClick();
    QCOMPARE(wildcard.wcListBox->count(), 0);
    QCOMPARE(wildcard.found_count(), 0);
  }

 private:
  QTemporaryDir folder_;
  QTemporaryDir texts_;
  Forms forms_;
};

QTEST_MAIN(BatchTest)
#include "batch_test.moc"
