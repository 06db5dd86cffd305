// The add-in's host in LibreOffice Writer: the add-in's requests become UNO calls on one document window
// (its frame, controller and view cursor). Text goes in at the view cursor in the chosen font and size;
// the typing aids are Writer's autocorrect, autoformat and word-completion settings; messages are the
// window's info bar (and a line on standard error); prompts are a small dialog, or a reply handed in
// with the dispatch.
#pragma once

#include <com/sun/star/awt/XKeyHandler.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/text/XTextViewCursor.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <rtl/ustring.hxx>
#include <optional>
#include <string>
#include <vector>

#include "host.h"
#include "unicode_text.h"

namespace tibet::writer {

namespace css = com::sun::star;
using css::uno::Reference;
using rtl::OString;
using rtl::OUString;

// The font and size (points) of a range of text, for the Latin, Asian and complex scripts alike: the glyph
// codes are Latin letters to Writer, Unicode Tibetan is a complex script.
void apply_font(const Reference<css::beans::XPropertySet>& props, const std::string& font, float height);

class WriterHost final : public Host {
 public:
  WriterHost(Reference<css::uno::XComponentContext> context, Reference<css::frame::XFrame> frame);
  ~WriterHost() override;

  HostResult insert(std::string_view glyphs) override;
  HostResult take_back(int count) override;
  HostResult set_font(const char* name, int size) override;
  bool prompt(const char* text, const char* title, const char* default_reply, char* reply, int size) override;
  void message(const char* text, const char* title) override;
  int install_toolbar() override;
  int capture_keys() override;
  HostResult release_keys() override;
  void save_typing_aids() override;
  void clear_typing_aids() override;
  void restore_typing_aids() override;

  // Unicode text at the view cursor, in `font` at the current size.
  HostResult insert_unicode(const std::u16string& text, const std::string& font);
  // Unicode typing: while `typing` is given, the glyphs and take-backs the add-in plays in the Tsendrel
  // fonts go to it, and settle_unicode() types the Unicode they make in `font`.
  void set_unicode_typing(UnicodeTyping* typing, std::string font);
  HostResult settle_unicode();
  // The view cursor, or null when the window shows no text document.
  Reference<css::text::XTextViewCursor> view_cursor() const;
  // The handler that receives the window's keys while they are captured.
  void set_key_handler(Reference<css::awt::XKeyHandler> handler) { key_handler_ = std::move(handler); }
  // The reply the next prompt gives without asking (a dispatch's "Reply" argument).
  void queue_reply(std::string reply) { queued_reply_ = std::move(reply); }
  // Says whether the view cursor still sits where the add-in's last insertion or take-back left it.
  bool cursor_unmoved() const;
  int size() const { return size_; }

 private:
  HostResult put_text(const std::u16string& text, const std::string& font, int size);
  HostResult delete_back(int characters);
  void remember_cursor();

  Reference<css::uno::XComponentContext> context_;
  Reference<css::frame::XFrame> frame_;
  Reference<css::awt::XKeyHandler> key_handler_;
  bool keys_captured_ = false;
  bool holding_aids_ = false;
  std::string font_ = "Liberation Serif";
  int size_ = 12;
  std::optional<std::string> queued_reply_;
  UnicodeTyping* typing_ = nullptr;
  std::string unicode_font_;
  Reference<css::text::XTextRange> last_end_;
};

}  // namespace tibet::writer
