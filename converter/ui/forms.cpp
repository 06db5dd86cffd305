#include "forms.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStyle>
#include <QTextEdit>
#include <QVBoxLayout>

using namespace tarvex;

namespace {

constexpr char kMakerNotice[] = "Made by the Tsendrel project.";
constexpr char kWebAddress[] = "https://tsendrel.example.org";

QFrame* panel(QWidget* window) {
  auto* frame = new QFrame;
  frame->setFrameShape(QFrame::StyledPanel);
  frame->setFrameShadow(QFrame::Raised);
  auto* layout = new QVBoxLayout(window);
  layout->addWidget(frame);
  return frame;
}

// Secondary windows hide when closed, and closing them never ends the program: only the main window does.
void make_secondary(QWidget* window) {
  window->setAttribute(Qt::WA_QuitOnClose, false);
}

}  // namespace

void show_form(QWidget* window) {
  window->show();
  // The frame's size is known once the window is shown, and it is the frame that is centred.
  if (!window->property("centred").toBool()) {
    window->setProperty("centred", true);
    if (const QScreen* screen = window->screen())
      window->move(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window->frameGeometry().size(),
                                       screen->availableGeometry())
                       .topLeft());
  }
  window->raise();
  window->activateWindow();
}

void show_error_box(const char* text) {
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Error"), QString::fromLocal8Bit(text),
                  QMessageBox::Ok);
  box.exec();
}

TInstructions::TInstructions() {
  setObjectName(QStringLiteral("Instructions"));
  setWindowTitle(QStringLiteral("Instructions"));
  make_secondary(this);
  auto* lines = new QVBoxLayout(panel(this));
  for (const char* line : {"1. Select Conversion Type.", "2. Select Tibetan font and adjust point sizes.",
                           "3. Select Keep Carriage Returns for lists.",
                           "4. Press Input File (s) to select input files.", "5. Press Convert."})
    lines->addWidget(new QLabel(QString::fromLatin1(line)));
}

TDebugText::TDebugText() {
  setObjectName(QStringLiteral("DebugText"));
  setWindowTitle(QStringLiteral("Conversion Status"));
  make_secondary(this);
  Memo = new QPlainTextEdit(QStringLiteral("Memo"));
  Memo->setObjectName(QStringLiteral("Memo"));
  Memo->setReadOnly(true);
  Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Memo);
  resize(620, 360);
}

BatchHooks TDebugText::hooks() {
  BatchHooks hooks;
  hooks.clear_status = [this] { clear_and_show(); };
  return hooks;
}

StatusSink TDebugText::status_sink() {
  return StatusSink{[](void* window, const char* line) { static_cast<TDebugText*>(window)->add_line(line); },
                    this};
}

void TDebugText::clear_and_show() {
  Memo->clear();
  show_form(this);
}

void TDebugText::add_line(const char* line) {
  Memo->appendPlainText(QString::fromLocal8Bit(line));
  // A long batch shows each line as it comes; the user's clicks wait until the batch ends.
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

TAboutForm::TAboutForm() {
  setObjectName(QStringLiteral("AboutForm"));
  setWindowTitle(QStringLiteral("About ") + QString::fromLatin1(kProgramTitle));
  make_secondary(this);
  auto* lines = new QVBoxLayout(panel(this));
  auto* title = new QLabel(QString::fromLatin1(kProgramTitle));
  title->setObjectName(QStringLiteral("ProductName"));
  QFont big = title->font();
  big.setPointSize(20);
  big.setBold(true);
  title->setFont(big);
  QPalette purple = title->palette();
  purple.setColor(QPalette::WindowText, QColor(0x80, 0x00, 0x80));
  title->setPalette(purple);
  auto* maker = new QLabel(QString::fromLatin1(kMakerNotice));
  maker->setObjectName(QStringLiteral("Copyright"));
  auto* web = new QLabel(QString::fromLatin1(kWebAddress));
  web->setObjectName(QStringLiteral("WebAddress"));
  web->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lines->addWidget(title, 0, Qt::AlignCenter);
  lines->addWidget(maker, 0, Qt::AlignCenter);
  lines->addWidget(web, 0, Qt::AlignCenter);
}

THelpForm::THelpForm() {
  setObjectName(QStringLiteral("HelpForm"));
  setWindowTitle(QStringLiteral("Help Text"));
  make_secondary(this);
  helpEdit = new QTextEdit;
  helpEdit->setObjectName(QStringLiteral("helpEdit"));
  helpEdit->setReadOnly(true);
  helpEdit->setAcceptRichText(true);
  helpEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(helpEdit);
  resize(600, 460);
}

void THelpForm::show_text(const QByteArray& text) {
  show_form(this);
  helpEdit->clear();
  helpEdit->setPlainText(QString::fromLocal8Bit(text));
}

bool create_forms(Forms& forms) {
  forms.MainForm = std::make_unique<TMainForm>(forms);
  if (!forms.MainForm->tables_loaded()) return false;
  forms.Instructions = std::make_unique<TInstructions>();
  forms.DebugText = std::make_unique<TDebugText>();
  forms.context = make_context(forms.tables);
  forms.context.status = forms.DebugText->status_sink();
  forms.WildcardForm = std::make_unique<TWildcardForm>(forms);
  forms.AboutForm = std::make_unique<TAboutForm>();
  forms.HelpForm = std::make_unique<THelpForm>();
  return true;
}

int run_tarvex() {
  Forms forms;
  if (!create_forms(forms)) return 0;
  show_form(forms.MainForm.get());
  return QApplication::exec();
}
