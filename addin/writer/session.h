// One Writer window's add-in: its host, its add-in (composer state, mode, font defaults) and the commands
// that reach it by dispatch URL or by key. The mode belongs to the window.
#pragma once

#include <com/sun/star/awt/KeyEvent.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/uno/Sequence.hxx>
#include <memory>
#include <string>

#include "addin.h"
#include "startup.h"
#include "writer_host.h"

namespace tibet::writer {

// The commands reachable as tsendrel:NAME.
inline constexpr const char* kCommands[] = {"tibetan",        "alternate",   "tibfont",    "altfont",
                                            "unicode-typing", "unifont",     "to-unicode", "to-tsendrel"};
bool is_command(std::string_view name);

class Session {
 public:
  Session(Reference<css::uno::XComponentContext> context, Reference<css::frame::XFrame> frame,
          Reference<css::awt::XKeyHandler> key_handler);
  ~Session();

  void run(std::string_view command, const css::uno::Sequence<css::beans::PropertyValue>& args);
  // True when the add-in took the key.
  bool key_pressed(const css::awt::KeyEvent& event);
  bool unicode_typing() const { return typing_ != nullptr; }

 private:
  bool ensure_started();
  void forget_syllable();
  // The converter's key tables, loaded from the add-in's folder on first need; null after saying why not.
  const tarvex::ConverterTables* converter_tables();
  void toggle_unicode_typing();
  void unicode_font();
  void convert_document(bool to_unicode);

  Reference<css::uno::XComponentContext> context_;
  Reference<css::frame::XFrame> frame_;
  WriterHost host_;
  Addin addin_;
  bool started_ = false;
  std::unique_ptr<tarvex::ConverterTables> converter_tables_;
  std::unique_ptr<UnicodeTyping> typing_;  // while Unicode typing is on
};

}  // namespace tibet::writer
