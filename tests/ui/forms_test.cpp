#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTreeWidget>
#include <QtTest>

#include "forms.h"
#include "startup.h"
#include "ui_support.h"

using namespace tarvex;

namespace {

QStringList item_texts(const QListWidget* list) {
  QStringList texts;
  for (int row = 0; row < list->count(); ++row) texts.push_back(list->item(row)->text());
  return texts;
}

QLabel* label_of(const QWidget* window, const QWidget* control) {
  for (QLabel* label : window->findChildren<QLabel*>())
    if (label->buddy() == control) return label;
  return nullptr;
}

}  // namespace

class FormsTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    QVERIFY(folder_.isValid());
    QVERIFY(ui_test::copy_tables(folder_.path()));
    QVERIFY(QDir::setCurrent(folder_.path()));
    QVERIFY(create_forms(forms_));
  }
  void cleanupTestCase() { QDir::setCurrent(QDir::tempPath()); }

  void windows_are_created_hidden_with_their_captions() {
    const std::pair<QWidget*, const char*> windows[] = {
        {forms_.MainForm.get(), "Kandrova Wylie Conversion"},
        {forms_.Instructions.get(), "Instructions"},
        {forms_.DebugText.get(), "Conversion Status"},
        {forms_.WildcardForm.get(), "Wild Card Conversion"},
        {forms_.AboutForm.get(), "About Kandrova Wylie Conversion"},
        {forms_.HelpForm.get(), "Help Text"},
    };
    for (const auto& [window, caption] : windows) {
      QVERIFY(window->isHidden());
      QCOMPARE(window->windowTitle(), QString::fromLatin1(caption));
    }
    QCOMPARE(forms_.MainForm->metaObject()->className(), "TMainForm");
    QCOMPARE(forms_.HelpForm->metaObject()->className(), "THelpForm");
  }

  void controls_have_their_labels_and_hints_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("hint");
    QTest::newRow("font") << "FontListBox"
                          << "Tibetan Font"
                          << "Select the Tibetan font for the output text.";
    QTest::newRow("conversion") << "ConversionListBox"
                                << "Conversion  Type"
                                << "Select the manner in which text will be converted.";
    QTest::newRow("size") << "tib_pt_size"
                          << "Normal Tibetan Point Size"
                          << "Point size of the Tibetan font for normal text from the input file.";
    QTest::newRow("small size") << "small_tib_pt_size"
                                << "Small Tibetan Point Size"
                                << "Point size of the Tibetan font for small text from the input file.";
    QTest::newRow("files")
        << "FileListBox"
        << "Select Files Below to Convert"
        << "Select the files to convert by dragging the mouse over the file names or using the "
           "shift and control keys.";
  }
  void controls_have_their_labels_and_hints() {
    QFETCH(QString, name);
    QFETCH(QString, label);
    QFETCH(QString, hint);
    auto* control = forms_.MainForm->findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->toolTip(), hint);
    QLabel* shown = label_of(forms_.MainForm.get(), control);
    QVERIFY(shown);
    QCOMPARE(shown->text(), label);
  }

  void main_window_starts_from_its_defaults() {
    TMainForm& form = *forms_.MainForm;
    QCOMPARE(item_texts(form.FontListBox), (QStringList{"Korlam", "EKorlam"}));
    QCOMPARE(form.FontListBox->selectedItems().size(), 1);
    QCOMPARE(form.FontListBox->selectedItems().front()->text(), QStringLiteral("EKorlam"));
    QCOMPARE(item_texts(form.ConversionListBox),
             (QStringList{"Wylie to Tsendrel", "KVTS to Tsendrel", "Wylie to KVTS", "KVTS to Wylie",
                          "Wylie to Unicode", "KVTS to Unicode", "EWTS to Tsendrel", "EWTS to Unicode text",
                          "EWTS to Unicode", "Unicode to Tsendrel", "Unicode text cleaned up",
                          "Unicode text to Unicode RTF", "Tsendrel to Unicode text",
                          "Tsendrel to Unicode RTF", "Unicode to EWTS", "Wylie to EWTS", "KVTS to EWTS",
                          "EWTS cleaned up", "Tsendrel to EWTS", "ACIP to Tsendrel", "ACIP to Unicode text",
                          "ACIP to Unicode", "ACIP to EWTS", "Unicode to ACIP", "EWTS to ACIP",
                          "Tsendrel to ACIP"}));
    QVERIFY(form.ConversionListBox->selectedItems().isEmpty());
    QCOMPARE(form.tib_pt_size->text(), QStringLiteral("28"));
    QCOMPARE(form.small_tib_pt_size->text(), QStringLiteral("24"));
    QCOMPARE(form.cr_check_box->text(), QStringLiteral("Keep Carriage Returns"));
    QCOMPARE(form.cr_check_box->toolTip(),
             QStringLiteral("Select this option for files containing lists such as glossaries."));
    QVERIFY(!form.cr_check_box->isChecked());
    QCOMPARE(form.ConvertBtn->text(), QStringLiteral("Convert"));
    QCOMPARE(form.ConvertBtn->toolTip(), QStringLiteral("Press to convert the selected files."));
    QVERIFY(form.ConvertBtn->isEnabled());
    QCOMPARE(QDir(form.directory()), QDir(folder_.path()));
    QCOMPARE(QDir(form.DriveComboBox->currentData().toString()),
             QDir(QStorageInfo(folder_.path()).rootPath()));
  }

  void drive_chooser_lists_the_root_first() {
    const QComboBox* drives = forms_.MainForm->DriveComboBox;
    QVERIFY(drives->count() >= 1);
    QCOMPARE(drives->itemData(0).toString(), QDir::rootPath());
  }

  void filter_offers_three_choices_all_files_first() {
    const QComboBox* filter = forms_.MainForm->FilterComboBox;
    QCOMPARE(filter->count(), 3);
    QCOMPARE(filter->currentIndex(), 0);
    const QStringList labels{"All files (*.*)", "Text files (*.txt)", "Kandrova Tibetan files (*.kvt)"};
    const QStringList patterns{"*.*", "*.txt", "*.kvt"};
    for (int i = 0; i < 3; ++i) {
      QCOMPARE(filter->itemText(i), labels[i]);
      QCOMPARE(filter->itemData(i).toString(), patterns[i]);
    }
  }

  void menus_have_their_items_and_accelerators() {
    const std::pair<const char*, const char*> items[] = {{"WildCardConvert1", "&Wild Card Conversion"},
                                                         {"Exit1", "E&xit"},
                                                         {"HelpText", "Help &Text"},
                                                         {"About1", "&About"}};
    for (const auto& [name, text] : items) {
      auto* action = forms_.MainForm->findChild<QAction*>(QLatin1String(name));
      QVERIFY2(action, name);
      QCOMPARE(action->text(), QString::fromLatin1(text));
    }
    QStringList menus;
    for (QAction* action : forms_.MainForm->menuBar()->actions()) menus.push_back(action->text());
    QCOMPARE(menus, (QStringList{"&File", "&Help"}));
  }

  void size_fields_take_two_digits_at_most() {
    QLineEdit* size = forms_.MainForm->tib_pt_size;
    QCOMPARE(size->maxLength(), 2);
    size->clear();
    QTest::keyClicks(size, QStringLiteral("1x2a3"));
    QCOMPARE(size->text(), QStringLiteral("12"));
    size->setText(QStringLiteral("28"));
  }

  void file_list_follows_folder_and_filter() {
    QTemporaryDir texts;
    for (const char* name : {"a.txt", "B.TXT", "c.kvt", "readme"})
      QVERIFY(ui_test::write_file(texts.filePath(QLatin1String(name)), "ka\n"));
    QVERIFY(QDir(texts.path()).mkdir(QStringLiteral("sub.txt")));
    TMainForm& form = *forms_.MainForm;
    form.open_directory(texts.path());
    QCOMPARE(item_texts(form.FileListBox), (QStringList{"a.txt", "B.TXT", "c.kvt", "readme"}));
    form.FilterComboBox->setCurrentIndex(1);
    QCOMPARE(item_texts(form.FileListBox), (QStringList{"a.txt", "B.TXT"}));
    form.FilterComboBox->setCurrentIndex(2);
    QCOMPARE(item_texts(form.FileListBox), QStringList{"c.kvt"});
    form.FilterComboBox->setCurrentIndex(0);
    form.DirectoryListBox->setCurrentItem(form.DirectoryListBox->currentItem()->child(0));
    QCOMPARE(QDir(form.directory()), QDir(texts.filePath(QStringLiteral("sub.txt"))));
    QVERIFY(item_texts(form.FileListBox).isEmpty());
    form.open_directory(folder_.path());
  }

  void wildcard_window_has_its_controls() {
    TWildcardForm& form = *forms_.WildcardForm;
    QCOMPARE(form.filePattern->text(), QString());
    QCOMPARE(form.filePattern->toolTip(), QStringLiteral("Enter a pattern like *.txt, *.* or a file name."));
    QCOMPARE(label_of(&form, form.filePattern)->text(), QStringLiteral("File Name Pattern:"));
    QCOMPARE(form.selectFiles->text(), QStringLiteral("Select Files"));
    QCOMPARE(form.selectFiles->toolTip(),
             QStringLiteral("Press to select files with given file name pattern"));
    QCOMPARE(form.wcConvert->text(), QStringLiteral("Convert Files"));
    QCOMPARE(form.wcConvert->toolTip(), QStringLiteral("Press to convert the files."));
    QCOMPARE(form.wcListBox->selectionMode(), QAbstractItemView::ExtendedSelection);
    for (const char* name : {"DriveComboBox1", "DirectoryListBox1", "wcListBox"})
      QVERIFY2(form.findChild<QWidget*>(QLatin1String(name)), name);
  }

  void status_window_holds_memo_until_cleared() {
    QCOMPARE(forms_.DebugText->Memo->toPlainText(), QStringLiteral("Memo"));
    QVERIFY(forms_.DebugText->Memo->isReadOnly());
  }

  void instructions_have_five_lines() {
    QStringList lines;
    for (const QLabel* label : forms_.Instructions->findChildren<QLabel*>()) lines.push_back(label->text());
    QCOMPARE(lines,
             (QStringList{"1. Select Conversion Type.", "2. Select Tibetan font and adjust point sizes.",
                          "3. Select Keep Carriage Returns for lists.",
                          "4. Press Input File (s) to select input files.", "5. Press Convert."}));
  }

  void about_shows_title_in_large_purple_type() {
    forms_.MainForm->About1->trigger();
    QVERIFY(forms_.AboutForm->isVisible());
    auto* title = forms_.AboutForm->findChild<QLabel*>(QStringLiteral("ProductName"));
    QVERIFY(title);
    QCOMPARE(title->text(), QStringLiteral("Kandrova Wylie Conversion"));
    QCOMPARE(title->palette().color(QPalette::WindowText), QColor(0x80, 0x00, 0x80));
    QVERIFY(title->font().pointSizeF() > forms_.AboutForm->font().pointSizeF() * 1.5);
    forms_.AboutForm->close();
  }

  void closed_window_is_hidden_and_kept() {
    THelpForm* help = forms_.HelpForm.get();
    QPointer<QWidget> kept(help);
    show_form(help);
    QVERIFY(help->close());
    QVERIFY(kept);
    QVERIFY(help->isHidden());
  }

  void window_is_centred_when_first_shown() {
    TWildcardForm* form = forms_.WildcardForm.get();
    show_form(form);
    const QPoint offset = form->frameGeometry().center() - form->screen()->availableGeometry().center();
    QVERIFY2(offset.manhattanLength() <= 2,
             qPrintable(QStringLiteral("off centre by %1").arg(offset.manhattanLength())));
    form->close();
  }

  void help_text_shows_the_file_read_anew_each_time() {
    const QString help_file = folder_.filePath(QStringLiteral("tarvex.txt"));
    QVERIFY(ui_test::write_file(help_file, "First line\r\nSecond line\r\n"));
    forms_.MainForm->HelpText->trigger();
    QVERIFY(forms_.HelpForm->isVisible());
    QCOMPARE(forms_.HelpForm->helpEdit->toPlainText(), QStringLiteral("First line\nSecond line\n"));

    QVERIFY(ui_test::write_file(help_file, QByteArray(kHelpTextSize + 100, 'x')));
    forms_.MainForm->HelpText->trigger();
    QCOMPARE(forms_.HelpForm->helpEdit->toPlainText().size(), kHelpTextSize);
    forms_.HelpForm->close();
  }

  void help_text_does_nothing_without_the_file() {
    QFile::remove(folder_.filePath(QStringLiteral("tarvex.txt")));
    forms_.HelpForm->helpEdit->setPlainText(QStringLiteral("kept"));
    forms_.MainForm->HelpText->trigger();
    QVERIFY(forms_.HelpForm->isHidden());
    QCOMPARE(forms_.HelpForm->helpEdit->toPlainText(), QStringLiteral("kept"));
  }

  void exit_closes_the_main_window() {
    show_form(forms_.MainForm.get());
    forms_.MainForm->Exit1->trigger();
    QVERIFY(forms_.MainForm->isHidden());
  }

 private:
  QTemporaryDir folder_;
  Forms forms_;
};

QTEST_MAIN(FormsTest)
#include "forms_test.moc"
