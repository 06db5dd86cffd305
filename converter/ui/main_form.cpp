#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "busy_action.h"
#include "folder_picker.h"
#include "forms.h"
#include "startup.h"

using namespace tarvex;

namespace {

QListWidget* single_choice_list(const QString& name, const QString& hint, const QStringList& items) {
  auto* list = new QListWidget;
  list->setObjectName(name);
  list->setToolTip(hint);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->addItems(items);
  list->setFixedHeight(list->sizeHintForRow(0) * static_cast<int>(items.size()) + 2 * list->frameWidth());
  return list;
}

// The conversion list's rows: the captions of the route table, in its order.
QStringList route_captions() {
  QStringList captions;
  for (int row = 0; const Route* route = route_of_row(row); ++row)
    captions.append(QString::fromUtf8(route->caption.data(), static_cast<qsizetype>(route->caption.size())));
  return captions;
}

QLineEdit* size_field(const QString& name, const QString& hint, int value) {
  auto* field = new QLineEdit(QString::number(value));
  field->setObjectName(name);
  field->setToolTip(hint);
  field->setMaxLength(2);
  field->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,2}")), field));
  field->setFixedWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("000")) + 12);
  return field;
}

QLabel* label_for(const QString& text, QWidget* control) {
  auto* label = new QLabel(text);
  label->setBuddy(control);
  return label;
}

int selected_row(const QListWidget* list) {
  const QList<QListWidgetItem*> items = list->selectedItems();
  return items.isEmpty() ? -1 : list->row(items.front());
}

}  // namespace

TMainForm::TMainForm(Forms& forms) : forms_(forms) {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QString::fromLatin1(kProgramTitle));

  QMenu* file_menu = menuBar()->addMenu(QStringLiteral("&File"));
  file_menu->setObjectName(QStringLiteral("File1"));
  WildCardConvert1 = file_menu->addAction(QStringLiteral("&Wild Card Conversion"));
  WildCardConvert1->setObjectName(QStringLiteral("WildCardConvert1"));
  Exit1 = file_menu->addAction(QStringLiteral("E&xit"));
  Exit1->setObjectName(QStringLiteral("Exit1"));
  QMenu* help_menu = menuBar()->addMenu(QStringLiteral("&Help"));
  help_menu->setObjectName(QStringLiteral("Help1"));
  HelpText = help_menu->addAction(QStringLiteral("Help &Text"));
  HelpText->setObjectName(QStringLiteral("HelpText"));
  About1 = help_menu->addAction(QStringLiteral("&About"));
  About1->setObjectName(QStringLiteral("About1"));

  FontListBox = single_choice_list(QStringLiteral("FontListBox"),
                                   QStringLiteral("Select the Tibetan font for the output text."),
                                   {QStringLiteral("Korlam"), QStringLiteral("EKorlam")});
  ConversionListBox = single_choice_list(QStringLiteral("ConversionListBox"),
                                         QStringLiteral("Select the manner in which text will be converted."),
                                         route_captions());
  tib_pt_size = size_field(
      QStringLiteral("tib_pt_size"),
      QStringLiteral("Point size of the Tibetan font for normal text from the input file."), kDefaultTibSize);
  small_tib_pt_size =
      size_field(QStringLiteral("small_tib_pt_size"),
                 QStringLiteral("Point size of the Tibetan font for small text from the input file."),
                 kDefaultSmallTibSize);
  cr_check_box = new QCheckBox(QStringLiteral("Keep Carriage Returns"));
  cr_check_box->setObjectName(QStringLiteral("cr_check_box"));
  cr_check_box->setToolTip(
      QStringLiteral("Select this option for files containing lists such as glossaries."));
  ConvertBtn = new QPushButton(QStringLiteral("Convert"));
  ConvertBtn->setObjectName(QStringLiteral("ConvertBtn"));
  ConvertBtn->setToolTip(QStringLiteral("Press to convert the selected files."));

  DriveComboBox = new QComboBox;
  DriveComboBox->setObjectName(QStringLiteral("DriveComboBox"));
  DirectoryListBox = new QTreeWidget;
  DirectoryListBox->setObjectName(QStringLiteral("DirectoryListBox"));
  FilterComboBox = new QComboBox;
  FilterComboBox->setObjectName(QStringLiteral("FilterComboBox"));
  for (const auto& [label, pattern] : parse_filter(QString::fromLatin1(kFileFilter)))
    FilterComboBox->addItem(label, pattern);
  FileListBox = new QListWidget;
  FileListBox->setObjectName(QStringLiteral("FileListBox"));
  FileListBox->setSelectionMode(QAbstractItemView::ExtendedSelection);
  FileListBox->setToolTip(QStringLiteral(
      "Select the files to convert by dragging the mouse over the file names or using the shift "
      "and control keys."));

  auto* sizes = new QGridLayout;
  sizes->addWidget(label_for(QStringLiteral("Normal Tibetan Point Size"), tib_pt_size), 0, 0);
  sizes->addWidget(tib_pt_size, 0, 1);
  sizes->addWidget(label_for(QStringLiteral("Small Tibetan Point Size"), small_tib_pt_size), 1, 0);
  sizes->addWidget(small_tib_pt_size, 1, 1);

  auto* choices_column = new QVBoxLayout;
  choices_column->addWidget(label_for(QStringLiteral("Conversion  Type"), ConversionListBox));
  choices_column->addWidget(ConversionListBox);
  choices_column->addWidget(label_for(QStringLiteral("Tibetan Font"), FontListBox));
  choices_column->addWidget(FontListBox);
  choices_column->addLayout(sizes);
  choices_column->addWidget(cr_check_box);
  choices_column->addStretch();
  choices_column->addWidget(ConvertBtn);

  auto* folder_column = new QVBoxLayout;
  folder_column->addWidget(DriveComboBox);
  folder_column->addWidget(DirectoryListBox, 1);
  folder_column->addWidget(FilterComboBox);

  auto* files_column = new QVBoxLayout;
  files_column->addWidget(label_for(QStringLiteral("Select Files Below to Convert"), FileListBox));
  files_column->addWidget(FileListBox, 1);

  auto* central = new QWidget;
  auto* layout = new QHBoxLayout(central);
  layout->addLayout(choices_column);
  layout->addLayout(folder_column, 1);
  layout->addLayout(files_column, 1);
  setCentralWidget(central);
  resize(760, 420);

  folder_ = new FolderPicker(DriveComboBox, DirectoryListBox, this);
  connect(folder_, &FolderPicker::directoryChanged, this, &TMainForm::fill_file_list);
  connect(FilterComboBox, &QComboBox::currentIndexChanged, this, &TMainForm::fill_file_list);
  connect(ConvertBtn, &QPushButton::clicked, this, &TMainForm::ConvertBtnClick);
  connect(WildCardConvert1, &QAction::triggered, this, &TMainForm::WildCardConvert1Click);
  connect(Exit1, &QAction::triggered, this, &TMainForm::Exit1Click);
  connect(HelpText, &QAction::triggered, this, &TMainForm::HelpTextClick);
  connect(About1, &QAction::triggered, this, &TMainForm::About1Click);

  open_directory(QDir::currentPath());
  FormCreate();
}

void TMainForm::FormCreate() {
  FontListBox->setCurrentRow(kEkorlam);
  loaded_ =
      load_converter_tables(to_batch_path(QDir::currentPath()).c_str(), forms_.tables, show_error_box) == 0;
}

BatchChoices TMainForm::choices() const {
  BatchChoices choices;
  choices.conversion_type = conversion_of_row(selected_row(ConversionListBox));
  choices.font_family = selected_row(FontListBox);
  choices.tib_size_text = tib_pt_size->text().toStdString();
  choices.small_tib_size_text = small_tib_pt_size->text().toStdString();
  choices.keep_cr = cr_check_box->isChecked();
  return choices;
}

std::vector<SelectedFile> TMainForm::selected_files() const {
  QString folder = directory();
  // The batch joins the folder and the name with a separator of its own.
  if (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) folder.chop(1);
  if (folder == QLatin1String("/")) folder.clear();
  const std::string batch_folder = to_batch_path(folder);
  std::vector<SelectedFile> files;
  for (int row = 0; row < FileListBox->count(); ++row)
    if (FileListBox->item(row)->isSelected())
      files.push_back({batch_folder, QFile::encodeName(FileListBox->item(row)->text()).toStdString()});
  return files;
}

void TMainForm::open_directory(const QString& path) {
  folder_->open(path);
  fill_file_list();
}

QString TMainForm::directory() const {
  return folder_->directory();
}

void TMainForm::fill_file_list() {
  FileListBox->clear();
  FileListBox->addItems(matching_files(directory(), FilterComboBox->currentData().toString()));
}

void TMainForm::ConvertBtnClick() {
  BusyAction busy(ConvertBtn, this);
  convert_selected(forms_.context, forms_.request, choices(), selected_files(), forms_.DebugText->hooks());
}

void TMainForm::WildCardConvert1Click() {
  fill_request(forms_.request, choices(), forms_.context, forms_.DebugText->hooks());
  show_form(forms_.WildcardForm.get());
}

void TMainForm::Exit1Click() {
  close();
}

void TMainForm::HelpTextClick() {
  QFile file(from_batch_path(forms_.tables.help_path));
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return;
  forms_.HelpForm->show_text(file.read(kHelpTextSize));
}

void TMainForm::About1Click() {
  show_form(forms_.AboutForm.get());
}
