#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>

#include "busy_action.h"
#include "folder_picker.h"
#include "forms.h"

using namespace tarvex;

TWildcardForm::TWildcardForm(Forms& forms) : forms_(forms) {
  setObjectName(QStringLiteral("WildcardForm"));
  setWindowTitle(QStringLiteral("Wild Card Conversion"));

  DriveComboBox1 = new QComboBox;
  DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
  DirectoryListBox1 = new QTreeWidget;
  DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
  filePattern = new QLineEdit;
  filePattern->setObjectName(QStringLiteral("filePattern"));
  filePattern->setToolTip(QStringLiteral("Enter a pattern like *.txt, *.* or a file name."));
  selectFiles = new QPushButton(QStringLiteral("Select Files"));
  selectFiles->setObjectName(QStringLiteral("selectFiles"));
  selectFiles->setToolTip(QStringLiteral("Press to select files with given file name pattern"));
  wcConvert = new QPushButton(QStringLiteral("Convert Files"));
  wcConvert->setObjectName(QStringLiteral("wcConvert"));
  wcConvert->setToolTip(QStringLiteral("Press to convert the files."));
  wcListBox = new QListWidget;
  wcListBox->setObjectName(QStringLiteral("wcListBox"));
  wcListBox->setSelectionMode(QAbstractItemView::ExtendedSelection);

  auto* pattern_label = new QLabel(QStringLiteral("File Name Pattern:"));
  pattern_label->setBuddy(filePattern);

  auto* layout = new QGridLayout(this);
  layout->addWidget(DriveComboBox1, 0, 0);
  layout->addWidget(DirectoryListBox1, 1, 0, 4, 1);
  layout->addWidget(pattern_label, 0, 1);
  layout->addWidget(filePattern, 1, 1);
  layout->addWidget(selectFiles, 2, 1);
  layout->addWidget(wcConvert, 3, 1);
  layout->setRowStretch(4, 1);
  layout->addWidget(wcListBox, 5, 0, 1, 2);
  layout->setRowStretch(5, 2);
  resize(600, 460);

  folder_ = new FolderPicker(DriveComboBox1, DirectoryListBox1, this);
  folder_->open(QDir::currentPath());
  connect(selectFiles, &QPushButton::clicked, this, &TWildcardForm::selectFilesClick);
  connect(wcConvert, &QPushButton::clicked, this, &TWildcardForm::wcConvertClick);
}

void TWildcardForm::open_directory(const QString& path) {
  folder_->open(path);
}

QString TWildcardForm::directory() const {
  return folder_->directory();
}

void TWildcardForm::selectFilesClick() {
  found_count_ = 0;
  BusyAction busy(selectFiles, this);
  wcListBox->clear();
  std::vector<std::string> found;
  BatchHooks hooks;
  // Each found file is listed and selected at once, so the list grows while the search goes on.
  hooks.pending_events = [this, &found] {
    for (; found_count_ < static_cast<int>(found.size()); ++found_count_) {
      wcListBox->addItem(from_batch_path(found[found_count_]));
      wcListBox->item(wcListBox->count() - 1)->setSelected(true);
    }
    QApplication::processEvents();
  };
  search_files(to_batch_path(directory()), filePattern->text().toStdString(), found, hooks);
  hooks.pending_events();
}

void TWildcardForm::wcConvertClick() {
  BusyAction busy(wcConvert, this);
  std::vector<std::string> paths;
  for (int row = 0; row < wcListBox->count(); ++row)
    if (wcListBox->item(row)->isSelected()) paths.push_back(to_batch_path(wcListBox->item(row)->text()));
  convert_found_files(forms_.context, forms_.request, paths, forms_.DebugText->hooks());
}
