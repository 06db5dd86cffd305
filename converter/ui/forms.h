// The windows of tarvex. They read the user's choices from their controls and hand them to the batch
// module; the status window receives every line that a batch logs. No conversion happens in here.
#pragma once

#include <QMainWindow>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "batch.h"
#include "conversion_context.h"
#include "conversion_request.h"
#include "startup.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTextEdit;
class QTreeWidget;
class FolderPicker;

class TMainForm;
class TInstructions;
class TDebugText;
class TWildcardForm;
class TAboutForm;
class THelpForm;

inline constexpr char kProgramTitle[] = "Kandrova Wylie Conversion";
inline constexpr int kHelpTextSize = 8192;

// The six windows, in the order of their creation, the program's one conversion request, the tables the
// main window loaded and the conversion context on them, whose status lines go to the status window.
struct Forms {
  tarvex::ConversionRequest request;
  tarvex::ConverterTables tables;
  tarvex::ConversionContext context;
  std::unique_ptr<TMainForm> MainForm;
  std::unique_ptr<TInstructions> Instructions;
  std::unique_ptr<TDebugText> DebugText;
  std::unique_ptr<TWildcardForm> WildcardForm;
  std::unique_ptr<TAboutForm> AboutForm;
  std::unique_ptr<THelpForm> HelpForm;
};

// Creates the windows in their order, all hidden. Returns false when the main window could not load the
// tables: the error box has been shown, only the main window exists and the program must end.
bool create_forms(Forms& forms);

// Creates the windows, shows the main window and runs the event loop until it closes. The application
// object must exist. Returns the program's exit status (0 also after a failed start-up).
int run_tarvex();

// Shows a window in front, centred on its screen the first time it is shown.
void show_form(QWidget* window);

// The start-up error box: the message, the title "Error" and one OK button.
void show_error_box(const char* text);

class TMainForm : public QMainWindow {
  Q_OBJECT
 public:
  explicit TMainForm(Forms& forms);
  bool tables_loaded() const { return loaded_; }

  // The choices of the controls, and the selected files of the file list in list order.
  tarvex::BatchChoices choices() const;
  std::vector<tarvex::SelectedFile> selected_files() const;
  // Chooses the drive of `path` and opens `path` in the directory tree.
  void open_directory(const QString& path);
  QString directory() const;

  QListWidget* FontListBox;
  QListWidget* ConversionListBox;
  QLineEdit* tib_pt_size;
  QLineEdit* small_tib_pt_size;
  QCheckBox* cr_check_box;
  QPushButton* ConvertBtn;
  QComboBox* DriveComboBox;
  QComboBox* FilterComboBox;
  QTreeWidget* DirectoryListBox;
  QListWidget* FileListBox;
  QAction* WildCardConvert1;
  QAction* Exit1;
  QAction* HelpText;
  QAction* About1;

 public slots:
  void ConvertBtnClick();
  void WildCardConvert1Click();
  void Exit1Click();
  void HelpTextClick();
  void About1Click();

 private:
  void FormCreate();
  void fill_file_list();

  Forms& forms_;
  FolderPicker* folder_;
  bool loaded_ = false;
};

class TInstructions : public QWidget {
  Q_OBJECT
 public:
  TInstructions();
};

class TDebugText : public QWidget {
  Q_OBJECT
 public:
  TDebugText();
  // Hooks through which a batch clears and shows this window, and the sink that appends its lines and
  // keeps it painted.
  tarvex::BatchHooks hooks();
  tarvex::StatusSink status_sink();

  QPlainTextEdit* Memo;

 private:
  void clear_and_show();
  void add_line(const char* line);
};

class TWildcardForm : public QWidget {
  Q_OBJECT
 public:
  explicit TWildcardForm(Forms& forms);
  int found_count() const { return found_count_; }
  void open_directory(const QString& path);
  QString directory() const;

  QComboBox* DriveComboBox1;
  QTreeWidget* DirectoryListBox1;
  QLineEdit* filePattern;
  QPushButton* selectFiles;
  QPushButton* wcConvert;
  QListWidget* wcListBox;

 public slots:
  void selectFilesClick();
  void wcConvertClick();

 private:
  Forms& forms_;
  FolderPicker* folder_;
  int found_count_ = 0;
};

class TAboutForm : public QWidget {
  Q_OBJECT
 public:
  TAboutForm();
};

class THelpForm : public QWidget {
  Q_OBJECT
 public:
  THelpForm();
  // Shows the window with `text` (the bytes of the help file) as its only content.
  void show_text(const QByteArray& text);

  QTextEdit* helpEdit;
};
