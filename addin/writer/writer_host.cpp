#include "writer_host.h"

#include <com/sun/star/awt/PushButtonType.hpp>
#include <com/sun/star/awt/Toolkit.hpp>
#include <com/sun/star/awt/XControl.hpp>
#include <com/sun/star/awt/XControlContainer.hpp>
#include <com/sun/star/awt/XControlModel.hpp>
#include <com/sun/star/awt/XDialog.hpp>
#include <com/sun/star/awt/XTextComponent.hpp>
#include <com/sun/star/awt/XUserInputInterception.hpp>
#include <com/sun/star/awt/XWindowPeer.hpp>
#include <com/sun/star/beans/NamedValue.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/StringPair.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/configuration/theDefaultProvider.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/container/XNameContainer.hpp>
#include <com/sun/star/container/XNameReplace.hpp>
#include <com/sun/star/frame/InfobarType.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XInfobarProvider.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextCursor.hpp>
#include <com/sun/star/text/XTextRangeCompare.hpp>
#include <com/sun/star/text/XTextViewCursorSupplier.hpp>
#include <com/sun/star/util/XChangesBatch.hpp>
#include <cppuhelper/exc_hlp.hxx>
#include <cstdio>
#include <cstring>
#include <rtl/ustring.hxx>

#include "glyph_text.h"

namespace tibet::writer {

using css::uno::Any;
using css::uno::Exception;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace {

constexpr HostResult kFailed = 1;

// The typing aids: Writer's settings that would change what the add-in types (each a boolean).
struct Aid {
  const char* node;
  const char* name;
};
constexpr Aid kAids[] = {
    {"/org.openoffice.Office.Common/AutoCorrect", "UseReplacementTable"},
    {"/org.openoffice.Office.Common/AutoCorrect", "TwoCapitalsAtStart"},
    {"/org.openoffice.Office.Common/AutoCorrect", "CapitalAtStartSentence"},
    {"/org.openoffice.Office.Common/AutoCorrect", "ChangeDash"},
    {"/org.openoffice.Office.Common/AutoCorrect", "ReplaceSingleQuote"},
    {"/org.openoffice.Office.Common/AutoCorrect", "ReplaceDoubleQuote"},
    {"/org.openoffice.Office.Common/AutoCorrect", "SetInetAttribute"},
    {"/org.openoffice.Office.Writer/AutoFunction/Format/Option", "UseReplacementTable"},
    {"/org.openoffice.Office.Writer/AutoFunction/Format/Option", "TwoCapitalsAtStart"},
    {"/org.openoffice.Office.Writer/AutoFunction/Format/Option", "CapitalAtStartSentence"},
    {"/org.openoffice.Office.Writer/AutoFunction/Format/Option", "ChangeDash"},
    {"/org.openoffice.Office.Writer/AutoFunction/Format/Option", "SetInetAttribute"},
    {"/org.openoffice.Office.Writer/AutoFunction/Format/ByInput", "ChangeDash"},
    {"/org.openoffice.Office.Writer/AutoFunction/Format/ByInput", "DelSpacesAtStartEnd"},
    {"/org.openoffice.Office.Writer/AutoFunction/Format/ByInput", "DelSpacesBetween"},
    {"/org.openoffice.Office.Writer/AutoFunction/Completion", "Enable"},
};
constexpr int kAidCount = static_cast<int>(std::size(kAids));

// One set of saved values for the whole program: the settings are Writer's, not one window's. The first
// window to enter Tibetan mode saves them, the last to leave it restores them.
int g_aid_holders = 0;
bool g_saved_aids[kAidCount] = {};

OUString ascii(const char* text) {
  return OUString::fromUtf8(text);
}

std::string utf8(const OUString& text) {
  return OUStringToOString(text, RTL_TEXTENCODING_UTF8).getStr();
}

Reference<css::uno::XInterface> config_access(const Reference<css::uno::XComponentContext>& context,
                                              const char* node, bool update) {
  const Reference<css::lang::XMultiServiceFactory> provider =
      css::configuration::theDefaultProvider::get(context);
  css::beans::NamedValue path;
  path.Name = "nodepath";
  path.Value <<= ascii(node);
  Sequence<Any> args(1);
  args.getArray()[0] <<= path;
  return provider->createInstanceWithArguments(update ? OUString("com.sun.star.configuration.ConfigurationUpdateAccess")
                                                      : OUString("com.sun.star.configuration.ConfigurationAccess"),
                                               args);
}

void read_aids(const Reference<css::uno::XComponentContext>& context, bool (&values)[kAidCount]) {
  for (int i = 0; i < kAidCount; ++i) {
    values[i] = false;
    try {
      Reference<css::container::XNameAccess> access(config_access(context, kAids[i].node, false), UNO_QUERY_THROW);
      access->getByName(ascii(kAids[i].name)) >>= values[i];
    } catch (const Exception&) {
      // A setting this Writer does not have is left alone.
    }
  }
}

void write_aids(const Reference<css::uno::XComponentContext>& context, const bool (&values)[kAidCount]) {
  for (int i = 0; i < kAidCount; ++i) {
    try {
      const Reference<css::uno::XInterface> access = config_access(context, kAids[i].node, true);
      Reference<css::container::XNameReplace> replace(access, UNO_QUERY_THROW);
      replace->replaceByName(ascii(kAids[i].name), Any(values[i]));
      Reference<css::util::XChangesBatch>(access, UNO_QUERY_THROW)->commitChanges();
    } catch (const Exception&) {
    }
  }
}

template <class T>
void set_property(const Reference<css::beans::XPropertySet>& props, const char* name, const T& value) {
  props->setPropertyValue(ascii(name), Any(value));
}

}  // namespace

void apply_font(const Reference<css::beans::XPropertySet>& props, const std::string& font, float height) {
  const OUString name = OUString::fromUtf8(font.c_str());
  for (const char* suffix : {"", "Asian", "Complex"}) {
    set_property(props, (std::string("CharFontName") + suffix).c_str(), name);
    set_property(props, (std::string("CharHeight") + suffix).c_str(), height);
  }
}

WriterHost::WriterHost(Reference<css::uno::XComponentContext> context, Reference<css::frame::XFrame> frame)
    : context_(std::move(context)), frame_(std::move(frame)) {}

WriterHost::~WriterHost() {
  release_keys();
  restore_typing_aids();
}

Reference<css::text::XTextViewCursor> WriterHost::view_cursor() const {
  if (!frame_.is()) return {};
  Reference<css::text::XTextViewCursorSupplier> supplier(frame_->getController(), UNO_QUERY);
  return supplier.is() ? supplier->getViewCursor() : Reference<css::text::XTextViewCursor>();
}

void WriterHost::remember_cursor() {
  const Reference<css::text::XTextViewCursor> cursor = view_cursor();
  last_end_ = cursor.is() ? cursor->getEnd() : Reference<css::text::XTextRange>();
}

bool WriterHost::cursor_unmoved() const {
  const Reference<css::text::XTextViewCursor> cursor = view_cursor();
  if (!cursor.is() || !last_end_.is()) return false;
  try {
    Reference<css::text::XTextRangeCompare> compare(cursor->getText(), UNO_QUERY);
    return compare.is() && cursor->isCollapsed() && compare->compareRegionStarts(last_end_, Reference<css::text::XTextRange>(cursor, UNO_QUERY)) == 0;
  } catch (const Exception&) {
    return false;  // the cursor is in another text (a cell, a header) now
  }
}

HostResult WriterHost::put_text(const std::u16string& text, const std::string& font, int size) {
  try {
    const Reference<css::text::XTextViewCursor> view = view_cursor();
    if (!view.is()) return kFailed;
    const Reference<css::text::XText> where = view->getText();
    const Reference<css::text::XTextCursor> cursor = where->createTextCursorByRange(view->getStart());
    where->insertString(Reference<css::text::XTextRange>(cursor, UNO_QUERY), OUString(reinterpret_cast<const sal_Unicode*>(text.data()), static_cast<sal_Int32>(text.size())), false);
    cursor->goLeft(static_cast<sal_Int16>(text.size()), true);
    apply_font(Reference<css::beans::XPropertySet>(cursor, UNO_QUERY_THROW), font, static_cast<float>(size));
    view->gotoRange(cursor->getEnd(), false);
    remember_cursor();
    return 0;
  } catch (const Exception& e) {
    std::fprintf(stderr, "tsendrel: cannot type: %s\n", utf8(e.Message).c_str());
    return kFailed;
  }
}

HostResult WriterHost::insert(std::string_view glyphs) {
  if (typing_ != nullptr) {
    typing_->insert(glyphs);
    return 0;
  }
  std::u16string text;
  for (const char glyph : glyphs) text += static_cast<char16_t>(static_cast<unsigned char>(glyph));
  return put_text(text, font_, size_);
}

HostResult WriterHost::insert_unicode(const std::u16string& text, const std::string& font) {
  return put_text(text, font, size_);
}

HostResult WriterHost::take_back(int count) {
  if (typing_ != nullptr) {
    const int before = typing_->take_back(count);
    if (before == 0) return 0;
    // What was typed before the cursor moved: the Unicode written since goes first.
    const HostResult settled = settle_unicode();
    if (failed(settled)) return settled;
    count = before;
  }
  return delete_back(count);
}

HostResult WriterHost::delete_back(int characters) {
  try {
    const Reference<css::text::XTextViewCursor> view = view_cursor();
    if (!view.is()) return kFailed;
    const Reference<css::text::XText> where = view->getText();
    const Reference<css::text::XTextCursor> cursor = where->createTextCursorByRange(view->getStart());
    cursor->goLeft(static_cast<sal_Int16>(characters), true);
    cursor->setString(OUString());
    view->gotoRange(cursor->getStart(), false);
    remember_cursor();
    return 0;
  } catch (const Exception&) {
    return kFailed;
  }
}

void WriterHost::set_unicode_typing(UnicodeTyping* typing, std::string font) {
  typing_ = typing;
  unicode_font_ = std::move(font);
}

HostResult WriterHost::settle_unicode() {
  if (typing_ == nullptr) return 0;
  const UnicodeEdit edit = typing_->settle();
  if (edit.take_back > 0) {
    const HostResult result = delete_back(edit.take_back);
    if (failed(result)) return result;
  }
  if (edit.insert.empty()) return 0;
  const OUString text = OUString::fromUtf8(edit.insert.c_str());
  return put_text(std::u16string(reinterpret_cast<const char16_t*>(text.getStr()), static_cast<std::size_t>(text.getLength())),
                  unicode_font_, size_);
}

HostResult WriterHost::set_font(const char* name, int size) {
  size_ = size;
  if (typing_ != nullptr && tarvex::tsendrel_font_of(name) != tarvex::kOtherFont) {
    // Unicode typing: the glyphs' font says how to read them; the text is set in the Unicode font.
    typing_->set_font(name, size);
    return 0;
  }
  font_ = name;
  // Also for what Writer itself types next at the cursor (after Tibetan Off).
  try {
    const Reference<css::text::XTextViewCursor> view = view_cursor();
    if (view.is() && view->isCollapsed())
      apply_font(Reference<css::beans::XPropertySet>(view, UNO_QUERY_THROW), font_, static_cast<float>(size_));
  } catch (const Exception&) {
  }
  return 0;
}

bool WriterHost::prompt(const char* text, const char* title, const char* default_reply, char* reply, int size) {
  std::string answer;
  if (queued_reply_) {
    answer = *queued_reply_;
    queued_reply_.reset();
  } else {
    try {
      const Reference<css::lang::XMultiServiceFactory> factory(context_->getServiceManager(), UNO_QUERY_THROW);
      const Reference<css::uno::XInterface> model_object =
          factory->createInstance("com.sun.star.awt.UnoControlDialogModel");
      const Reference<css::beans::XPropertySet> dialog_props(model_object, UNO_QUERY_THROW);
      set_property(dialog_props, "PositionX", sal_Int32(60));
      set_property(dialog_props, "PositionY", sal_Int32(60));
      set_property(dialog_props, "Width", sal_Int32(260));
      set_property(dialog_props, "Height", sal_Int32(80));
      set_property(dialog_props, "Title", ascii(title));
      const Reference<css::lang::XMultiServiceFactory> model_factory(model_object, UNO_QUERY_THROW);
      const Reference<css::container::XNameContainer> controls(model_object, UNO_QUERY_THROW);
      auto add = [&](const char* kind, const char* name, int x, int y, int w, int h) {
        Reference<css::beans::XPropertySet> props(
            model_factory->createInstance(OUString("com.sun.star.awt.UnoControl") + ascii(kind) + "Model"),
            UNO_QUERY_THROW);
        set_property(props, "PositionX", sal_Int32(x));
        set_property(props, "PositionY", sal_Int32(y));
        set_property(props, "Width", sal_Int32(w));
        set_property(props, "Height", sal_Int32(h));
        controls->insertByName(ascii(name), Any(props));
        return props;
      };
      const auto label = add("FixedText", "text", 6, 6, 248, 30);
      set_property(label, "Label", ascii(text));
      set_property(label, "MultiLine", true);
      const auto edit = add("Edit", "reply", 6, 40, 248, 14);
      set_property(edit, "Text", ascii(default_reply));
      const auto ok = add("Button", "ok", 146, 60, 50, 14);
      set_property(ok, "Label", OUString("OK"));
      set_property(ok, "PushButtonType", sal_Int16(css::awt::PushButtonType_OK));
      set_property(ok, "DefaultButton", true);
      const auto cancel = add("Button", "cancel", 204, 60, 50, 14);
      set_property(cancel, "Label", OUString("Cancel"));
      set_property(cancel, "PushButtonType", sal_Int16(css::awt::PushButtonType_CANCEL));

      const Reference<css::awt::XControl> dialog(factory->createInstance("com.sun.star.awt.UnoControlDialog"),
                                                 UNO_QUERY_THROW);
      dialog->setModel(Reference<css::awt::XControlModel>(model_object, UNO_QUERY_THROW));
      const Reference<css::awt::XToolkit> toolkit(css::awt::Toolkit::create(context_), UNO_QUERY_THROW);
      Reference<css::awt::XWindowPeer> parent(frame_->getContainerWindow(), UNO_QUERY);
      dialog->createPeer(toolkit, parent);
      const bool accepted = Reference<css::awt::XDialog>(dialog, UNO_QUERY_THROW)->execute() == 1;
      if (accepted) {
        const Reference<css::awt::XTextComponent> field(
            Reference<css::awt::XControlContainer>(dialog, UNO_QUERY_THROW)->getControl("reply"), UNO_QUERY_THROW);
        answer = utf8(field->getText());
      }
      Reference<css::lang::XComponent>(dialog, UNO_QUERY_THROW)->dispose();
      if (!accepted) return false;
    } catch (const Exception& e) {
      std::fprintf(stderr, "tsendrel: cannot ask: %s\n", utf8(e.Message).c_str());
      return false;
    }
  }
  if (size <= 0) return false;
  const std::size_t n = std::min(answer.size(), static_cast<std::size_t>(size - 1));
  std::memcpy(reply, answer.data(), n);
  reply[n] = '\0';
  return true;
}

void WriterHost::message(const char* text, const char* title) {
  std::string line = text;
  while (!line.empty() && line.back() == '\n') line.pop_back();
  std::fprintf(stderr, "tsendrel: %s: %s\n", title, line.c_str());
  std::fflush(stderr);
  try {
    Reference<css::frame::XInfobarProvider> bars(frame_->getController(), UNO_QUERY);
    if (!bars.is()) return;
    const OUString id = "tsendrel";
    const sal_Int32 type = std::strstr(title, "Error") != nullptr ? css::frame::InfobarType::WARNING
                                                                   : css::frame::InfobarType::INFO;
    if (bars->hasInfobar(id)) {
      bars->updateInfobar(id, ascii(title), OUString::fromUtf8(line.c_str()), type);
    } else {
      bars->appendInfobar(id, ascii(title), OUString::fromUtf8(line.c_str()), type, {}, true);
    }
  } catch (const Exception&) {
  }
}

int WriterHost::install_toolbar() {
  // The toolbar and the menu come with the extension (Addons.xcu).
  return 0;
}

int WriterHost::capture_keys() {
  if (keys_captured_) return 0;
  try {
    Reference<css::awt::XUserInputInterception> input(frame_->getController(), UNO_QUERY_THROW);
    input->addKeyHandler(key_handler_);
    keys_captured_ = true;
    return 0;
  } catch (const Exception&) {
    message("This window takes no keys from extensions.", "Tsendrel Error");
    return -1;
  }
}

HostResult WriterHost::release_keys() {
  if (!keys_captured_) return 0;
  keys_captured_ = false;
  try {
    Reference<css::awt::XUserInputInterception> input(frame_->getController(), UNO_QUERY);
    if (input.is()) input->removeKeyHandler(key_handler_);
  } catch (const Exception&) {
  }
  return 0;
}

void WriterHost::save_typing_aids() {
  if (holding_aids_) return;
  holding_aids_ = true;
  if (g_aid_holders++ == 0) read_aids(context_, g_saved_aids);
}

void WriterHost::clear_typing_aids() {
  if (!holding_aids_) return;
  const bool plain[kAidCount] = {};
  write_aids(context_, plain);
}

void WriterHost::restore_typing_aids() {
  if (!holding_aids_) return;
  holding_aids_ = false;
  if (--g_aid_holders == 0) write_aids(context_, g_saved_aids);
}

}  // namespace tibet::writer
