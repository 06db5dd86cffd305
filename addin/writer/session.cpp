#include "session.h"

#include <com/sun/star/document/XUndoManagerSupplier.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/text/XTextViewCursor.hpp>

#include "document_commands.h"
#include "key_map.h"
#include "platform/addin_folder.h"
#include "platform/path.h"
#include "tables_folder.h"

namespace tibet::writer {

using css::uno::UNO_QUERY;

namespace {

// An Undo context left however the key's work ends.
class UndoStep {
 public:
  explicit UndoStep(Reference<css::document::XUndoManager> undo) : undo_(std::move(undo)) {
    if (undo_.is()) undo_->enterUndoContext("Tibetan typing");
  }
  ~UndoStep() {
    try {
      if (undo_.is()) undo_->leaveUndoContext();
    } catch (const css::uno::Exception&) {
    }
  }
  UndoStep(const UndoStep&) = delete;
  UndoStep& operator=(const UndoStep&) = delete;

 private:
  Reference<css::document::XUndoManager> undo_;
};

}  // namespace

bool is_command(std::string_view name) {
  for (const char* command : kCommands)
    if (name == command) return true;
  return false;
}

Session::Session(Reference<css::uno::XComponentContext> context, Reference<css::frame::XFrame> frame,
                 Reference<css::awt::XKeyHandler> key_handler)
    : context_(context), frame_(frame), host_(context, frame), addin_(host_) {
  host_.set_key_handler(std::move(key_handler));
  // Writer starts in its own typing: the add-in is off until Tibetan On.
  addin_.syllable_state.mode = 0;
  addin_.load_font_defaults();
}

Session::~Session() {
  host_.set_unicode_typing(nullptr, {});
}

bool Session::ensure_started() {
  if (started_) return true;
  if (!provide_tables(host_)) return false;
  if (addin_.start() != StartResult::started) {
    // The table messages have been shown: Writer goes on as it was.
    addin_.syllable_state.mode = 0;
    host_.release_keys();
    host_.restore_typing_aids();
    return false;
  }
  started_ = true;
  return true;
}

void Session::run(std::string_view command, const css::uno::Sequence<css::beans::PropertyValue>& args) {
  for (const auto& arg : args) {
    OUString reply;
    if (arg.Name == "Reply" && (arg.Value >>= reply))
      host_.queue_reply(OUStringToOString(reply, RTL_TEXTENCODING_UTF8).getStr());
  }
  if (command == "tibetan") {
    if (ensure_started()) addin_.tibetan();
  } else if (command == "alternate") {
    addin_.alternate();
  } else if (command == "tibfont") {
    addin_.tibfont();
  } else if (command == "altfont") {
    addin_.altfont();
  } else if (command == "unicode-typing") {
    toggle_unicode_typing();
  } else if (command == "unifont") {
    unicode_font();
  } else if (command == "to-unicode" || command == "to-tsendrel") {
    convert_document(command == "to-unicode");
  }
}

const tarvex::ConverterTables* Session::converter_tables() {
  if (converter_tables_) return converter_tables_.get();
  if (!provide_tables(host_)) return nullptr;
  auto tables = std::make_unique<tarvex::ConverterTables>();
  const std::string folder = tsd::addin_folder();
  tsd::TableProblem problem;
  if (tarvex::load_converter_tables(folder.c_str(), *tables, nullptr, &problem) < 0) {
    std::string text = "Could not read the tables for Unicode from ";
    text.append(problem.path.empty() ? folder : problem.path);
    if (!problem.why.empty()) text.append(": ").append(problem.why);
    text.append(".");
    addin_.show_error(text.c_str());
    return nullptr;
  }
  converter_tables_ = std::move(tables);
  return converter_tables_.get();
}

void Session::convert_document(bool to_unicode) {
  const tarvex::ConverterTables* tables = converter_tables();
  if (tables == nullptr) return;
  // The stretch the composer was building is not before the cursor any more.
  forget_syllable();
  ConversionOutcome outcome;
  try {
    outcome = to_unicode ? document_to_unicode(frame_, *tables, read_unicode_font(tsd::addin_folder()))
                         : document_to_tsendrel(context_, frame_, *tables,
                                                addin_.defaults.family_base == 0 ? tarvex::kKorlamBase
                                                                                 : tarvex::kEkorlamBase);
  } catch (const css::uno::Exception& e) {
    outcome.error = OUStringToOString(e.Message, RTL_TEXTENCODING_UTF8).getStr();
  }
  if (!outcome.error.empty()) {
    std::string text = "Error: The document could not be converted: ";
    text.append(outcome.error);
    addin_.show_error(text.c_str());
    return;
  }
  // Built by append: GCC 12 at -O3 misreads a literal plus a string as an overlapping copy.
  std::string text = to_unicode ? "Converted to Unicode: " : "Converted to the Tsendrel fonts: ";
  text.append(std::to_string(outcome.stretches));
  text.append(outcome.stretches == 1 ? " stretch of Tibetan." : " stretches of Tibetan.");
  if (outcome.not_converted > 0) {
    text.append(" ");
    text.append(std::to_string(outcome.not_converted));
    text.append(to_unicode ? " glyphs could not be read and are written as U+FFFD."
                           : " syllables could not be set in the fonts and are marked [~...].");
  }
  host_.message(text.c_str(), "Tsendrel");
}

void Session::toggle_unicode_typing() {
  if (typing_) {
    host_.set_unicode_typing(nullptr, {});
    typing_.reset();
    if (addin_.tibetan_mode()) addin_.tibetan();  // back to the glyphs, in the Tibetan font
    return;
  }
  const tarvex::ConverterTables* tables = converter_tables();
  if (tables == nullptr) return;
  // Unicode typing is Tibetan mode typing Unicode: it turns the mode on where it is off.
  if (!addin_.tibetan_mode() && !ensure_started()) return;
  typing_ = std::make_unique<UnicodeTyping>(tables->key_tables, tables->glyph_table.get());
  host_.set_unicode_typing(typing_.get(), read_unicode_font(tsd::addin_folder()));
  addin_.tibetan();
}

void Session::unicode_font() {
  const std::string folder = tsd::addin_folder();
  const std::string current = read_unicode_font(folder);
  char reply[kReplySize];
  if (!host_.prompt("Enter the Unicode Tibetan font for Unicode typing and conversions.", "Unicode Font",
                    current.c_str(), reply, sizeof reply))
    return;
  std::string why;
  if (save_unicode_font(folder, reply, why) < 0) {
    const std::string text = "Error: " + why;
    addin_.show_error(text.c_str());
    return;
  }
  if (typing_) host_.set_unicode_typing(typing_.get(), reply);
}

void Session::forget_syllable() {
  tsd::SyllableState fresh;
  fresh.mode = addin_.syllable_state.mode;
  fresh.last_mode = addin_.syllable_state.last_mode;
  addin_.syllable_state = fresh;
  addin_.typed_history = tsd::TypedHistory{};
  if (typing_) typing_->reset();
}

bool Session::key_pressed(const css::awt::KeyEvent& event) {
  if (!addin_.tibetan_mode()) return false;
  const int key = addin_key(event.KeyCode, event.KeyChar, event.Modifiers);
  if (key < 0) return false;
  const Reference<css::text::XTextViewCursor> view = host_.view_cursor();
  if (!view.is()) return false;
  // One key, one step of Undo: what the key typed, took back or replaced.
  Reference<css::document::XUndoManagerSupplier> undo_supplier(frame_->getController()->getModel(), UNO_QUERY);
  const UndoStep step(undo_supplier.is() ? undo_supplier->getUndoManager() : nullptr);
  if (!view->isCollapsed()) {
    // Typing over a selection replaces it, and starts a new syllable.
    view->setString(OUString());
    view->collapseToEnd();
    forget_syllable();
  } else if (!host_.cursor_unmoved()) {
    // The user moved: the syllable the composer was building is not before the cursor any more.
    forget_syllable();
  }
  addin_.on_key(key);
  host_.settle_unicode();
  return true;
}

}  // namespace tibet::writer
