#include "document_commands.h"

#include <algorithm>
#include <cmath>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/document/XUndoManagerSupplier.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextCursor.hpp>
#include <com/sun/star/text/XTextDocument.hpp>
#include <com/sun/star/text/XTextFramesSupplier.hpp>
#include <com/sun/star/text/XTextRange.hpp>
#include <com/sun/star/text/XTextTable.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/view/XSelectionSupplier.hpp>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <osl/file.hxx>
#include <vector>

#include "conversion_context.h"
#include "convert_file.h"
#include "glyph_text.h"
#include "platform/path.h"
#include "routes.h"
#include "unicode_text.h"
#include "writer_host.h"

namespace tibet::writer {

using css::uno::Any;
using css::uno::Exception;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using css::uno::XInterface;
using Cursor = Reference<css::text::XTextCursor>;
using Range = Reference<css::text::XTextRange>;

namespace {

enum class Direction { to_unicode, to_tsendrel };

// One stretch of Tibetan: its place in the document, and what it holds.
struct Stretch {
  Cursor range;
  std::vector<StyledChar> glyphs;  // to Unicode: the characters with their Tsendrel font and size
  std::u16string text;             // to the Tsendrel fonts: the Unicode
  float height = 0;                // the largest size in it, in points
};

bool is_tibetan(char16_t c) {
  return c >= 0x0F00 && c <= 0x0FFF;
}
bool is_blank(char16_t c) {
  return c == u' ' || c == u'\t' || c == 0x00A0;
}

// Writer's cursors move by characters: a surrogate pair is one.
bool second_half(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

void move_right(const Cursor& cursor, sal_Int32 characters, bool expand) {
  for (; characters > 0; characters -= 0x7FFF)
    cursor->goRight(static_cast<sal_Int16>(std::min<sal_Int32>(characters, 0x7FFF)), expand);
}

// Selects the `text` just before the cursor.
void select_back(const Cursor& cursor, const OUString& text) {
  sal_Int32 characters = 0;
  for (sal_Int32 k = 0; k < text.getLength(); ++k) characters += second_half(text[k]) ? 0 : 1;
  for (; characters > 0; characters -= 0x7FFF)
    cursor->goLeft(static_cast<sal_Int16>(std::min<sal_Int32>(characters, 0x7FFF)), true);
}

template <class T>
T property(const Reference<XInterface>& object, const char* name) {
  T value{};
  Reference<css::beans::XPropertySet>(object, UNO_QUERY_THROW)->getPropertyValue(OUString::fromUtf8(name)) >>=
      value;
  return value;
}

// Finds the stretches of a text's paragraphs, its tables' cells included.
class Collector {
 public:
  explicit Collector(Direction direction) : direction_(direction) {}

  void text(const Reference<css::container::XEnumerationAccess>& text) {
    if (!text.is()) return;
    const Reference<css::container::XEnumeration> items = text->createEnumeration();
    while (items->hasMoreElements()) {
      const Reference<css::lang::XServiceInfo> item(items->nextElement(), UNO_QUERY);
      if (!item.is()) continue;
      if (item->supportsService("com.sun.star.text.TextTable")) {
        const Reference<css::text::XTextTable> table(item, UNO_QUERY_THROW);
        for (const OUString& name : table->getCellNames())
          this->text(Reference<css::container::XEnumerationAccess>(table->getCellByName(name), UNO_QUERY));
      } else if (item->supportsService("com.sun.star.text.Paragraph")) {
        paragraph(Reference<css::container::XEnumerationAccess>(item, UNO_QUERY_THROW));
      }
    }
  }

  std::vector<Stretch>& stretches() { return stretches_; }

 private:
  void paragraph(const Reference<css::container::XEnumerationAccess>& paragraph) {
    const Reference<css::container::XEnumeration> portions = paragraph->createEnumeration();
    while (portions->hasMoreElements()) {
      const Range portion(portions->nextElement(), UNO_QUERY);
      if (!portion.is()) continue;
      if (property<OUString>(portion, "TextPortionType") != "Text") {
        end();  // a field, a frame's anchor, a bookmark: left where it is
        continue;
      }
      const OUString text = portion->getString();
      const OUString font = property<OUString>(portion, "CharFontName");
      const float height = property<float>(portion, "CharHeight");
      const int tsendrel = tarvex::tsendrel_font_of(font.toUtf8().getStr());
      for (sal_Int32 i = 0; i < text.getLength(); ++i) {
        const char16_t c = text[i];
        if (direction_ == Direction::to_unicode) {
          if (tsendrel == tarvex::kOtherFont || c == u'\n') {
            end();
          } else {
            take(portion, text, i, height);
            current_.glyphs.push_back({tsendrel, static_cast<int>(std::lround(height * 2)), c});
          }
        } else if (is_tibetan(c) || (is_blank(c) && open_)) {
          // Blanks after Tibetan are its own (after a shad, between syllables), as the readers take them.
          take(portion, text, i, height);
          current_.text += c;
        } else {
          end();
        }
      }
    }
    end();
  }

  // The character at `i` of `portion` (its `text`) belongs to the stretch, which starts there when none
  // is open.
  void take(const Range& portion, const OUString& text, sal_Int32 i, float height) {
    if (!open_) {
      open_ = true;
      current_ = Stretch{};
      current_.range = portion->getText()->createTextCursorByRange(portion->getStart());
      sal_Int32 before = 0;
      for (sal_Int32 k = 0; k < i; ++k) before += second_half(text[k]) ? 0 : 1;
      move_right(current_.range, before, false);
      length_ = 0;
    }
    if (!second_half(text[i])) ++length_;
    if (height > current_.height) current_.height = height;
  }

  void end() {
    if (!open_) return;
    open_ = false;
    move_right(current_.range, length_, true);
    stretches_.push_back(std::move(current_));
  }

  Direction direction_;
  std::vector<Stretch> stretches_;
  Stretch current_;
  bool open_ = false;
  sal_Int32 length_ = 0;
};

// Every text of the document, or the selection's when text is selected.
std::vector<Stretch> find_stretches(const Reference<css::frame::XFrame>& frame, Direction direction) {
  Collector collector(direction);
  const Reference<css::frame::XController> controller = frame->getController();
  const Reference<XInterface> chosen(
      Reference<css::view::XSelectionSupplier>(controller, UNO_QUERY_THROW)->getSelection(), UNO_QUERY);
  const Reference<css::lang::XServiceInfo> kind(chosen, UNO_QUERY);
  if (kind.is() && kind->supportsService("com.sun.star.text.TextFrame")) {
    collector.text(Reference<css::container::XEnumerationAccess>(chosen, UNO_QUERY));
    return std::move(collector.stretches());
  }
  const Reference<css::container::XIndexAccess> selection(chosen, UNO_QUERY);
  // Cells selected as cells, a picture, a drawing: not text, and not nothing either.
  if (chosen.is() && !selection.is())
    throw css::uno::RuntimeException(
        "the selection is not text: select text, or nothing for the whole document");
  bool selected = false;
  if (selection.is())
    for (sal_Int32 i = 0; i < selection->getCount(); ++i) {
      const Range range(selection->getByIndex(i), UNO_QUERY);
      if (!range.is()) continue;
      const Cursor cursor = range->getText()->createTextCursorByRange(range);
      if (cursor->isCollapsed()) continue;
      selected = true;
      collector.text(Reference<css::container::XEnumerationAccess>(cursor, UNO_QUERY));
    }
  if (selected) return std::move(collector.stretches());

  const Reference<css::frame::XModel> model = controller->getModel();
  collector.text(Reference<css::container::XEnumerationAccess>(
      Reference<css::text::XTextDocument>(model, UNO_QUERY_THROW)->getText(), UNO_QUERY));
  const Reference<css::container::XNameAccess> frames =
      Reference<css::text::XTextFramesSupplier>(model, UNO_QUERY_THROW)->getTextFrames();
  for (const OUString& name : frames->getElementNames())
    collector.text(Reference<css::container::XEnumerationAccess>(frames->getByName(name), UNO_QUERY));
  const Reference<css::container::XNameAccess> pages(
      Reference<css::style::XStyleFamiliesSupplier>(model, UNO_QUERY_THROW)
          ->getStyleFamilies()
          ->getByName("PageStyles"),
      UNO_QUERY_THROW);
  for (const OUString& name : pages->getElementNames()) {
    const Reference<XInterface> style(pages->getByName(name), UNO_QUERY);
    for (const char* part : {"Header", "Footer"}) {
      if (!property<bool>(style, (std::string(part) + "IsOn").c_str())) continue;
      // Left and first pages have texts of their own only where they do not share the right pages'.
      const std::pair<std::string, std::string> texts[] = {
          {"Text", ""}, {"TextLeft", std::string(part) + "IsShared"}, {"TextFirst", "FirstIsShared"}};
      for (const auto& [which, shared] : texts) {
        try {
          if (!shared.empty() && property<bool>(style, shared.c_str())) continue;
          collector.text(
              property<Reference<css::container::XEnumerationAccess>>(style, (part + which).c_str()));
        } catch (const Exception&) {
          // a Writer without first-page headers
        }
      }
    }
  }
  return std::move(collector.stretches());
}

// A run of text in a font and size.
struct Run {
  OUString text;
  std::string font;
  float height;
};

// The stretch's text in place of its Tibetan, run by run.
void replace(Stretch& stretch, const std::vector<Run>& runs) {
  const Reference<css::text::XText> text = stretch.range->getText();
  stretch.range->setString(OUString());
  for (const Run& run : runs) {
    const Cursor at = text->createTextCursorByRange(stretch.range->getEnd());
    text->insertString(Range(at, UNO_QUERY), run.text, false);
    select_back(at, run.text);
    apply_font(Reference<css::beans::XPropertySet>(at, UNO_QUERY_THROW), run.font, run.height);
    stretch.range->gotoRange(at->getEnd(), false);
  }
}

// One Undo step for the whole command, and the view still while it works.
class Editing {
 public:
  explicit Editing(const Reference<css::frame::XFrame>& frame)
      : model_(frame->getController()->getModel()),
        undo_(Reference<css::document::XUndoManagerSupplier>(model_, UNO_QUERY_THROW)->getUndoManager()) {
    undo_->enterUndoContext("Tibetan conversion");
    model_->lockControllers();
  }
  ~Editing() {
    try {
      model_->unlockControllers();
      undo_->leaveUndoContext();
    } catch (const Exception&) {
    }
  }
  Editing(const Editing&) = delete;
  Editing& operator=(const Editing&) = delete;

 private:
  Reference<css::frame::XModel> model_;
  Reference<css::document::XUndoManager> undo_;
};

}  // namespace

ConversionOutcome document_to_unicode(const Reference<css::frame::XFrame>& frame,
                                      const tarvex::ConverterTables& tables,
                                      const std::string& unicode_font) {
  ConversionOutcome outcome;
  std::vector<Stretch> stretches = find_stretches(frame, Direction::to_unicode);
  const Editing editing(frame);
  for (Stretch& stretch : stretches) {
    tarvex::ReaderReport report;
    const std::string unicode = tsendrel_to_unicode(tables.key_tables, stretch.glyphs, &report, tables.glyph_table.get());
    outcome.not_converted += static_cast<int>(report.not_converted);
    replace(stretch, {{OUString::fromUtf8(unicode.c_str()), unicode_font, stretch.height}});
    ++outcome.stretches;
  }
  return outcome;
}

namespace {

// A temporary folder, removed with what is in it.
class Scratch {
 public:
  Scratch() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tsendrel-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~Scratch() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The runs of each paragraph of the RTF at `path`, as Writer reads it.
std::vector<std::vector<Run>> paragraph_runs(const Reference<css::uno::XComponentContext>& context,
                                             const std::string& path) {
  const Reference<css::frame::XComponentLoader> loader(css::frame::Desktop::create(context), UNO_QUERY_THROW);
  Sequence<css::beans::PropertyValue> args(2);
  args.getArray()[0].Name = "Hidden";
  args.getArray()[0].Value <<= true;
  args.getArray()[1].Name = "FilterName";
  args.getArray()[1].Value <<= OUString("Rich Text Format");
  OUString url;
  osl::FileBase::getFileURLFromSystemPath(OUString::fromUtf8(path.c_str()), url);
  const Reference<css::lang::XComponent> document = loader->loadComponentFromURL(url, "_blank", 0, args);
  std::vector<std::vector<Run>> out;
  try {
    const Reference<css::container::XEnumeration> paragraphs =
        Reference<css::container::XEnumerationAccess>(
            Reference<css::text::XTextDocument>(document, UNO_QUERY_THROW)->getText(), UNO_QUERY_THROW)
            ->createEnumeration();
    while (paragraphs->hasMoreElements()) {
      const Reference<css::container::XEnumerationAccess> paragraph(paragraphs->nextElement(), UNO_QUERY);
      if (!paragraph.is()) continue;
      std::vector<Run>& runs = out.emplace_back();
      const Reference<css::container::XEnumeration> portions = paragraph->createEnumeration();
      while (portions->hasMoreElements()) {
        const Range portion(portions->nextElement(), UNO_QUERY);
        if (!portion.is() || portion->getString().isEmpty()) continue;
        runs.push_back({portion->getString(), property<OUString>(portion, "CharFontName").toUtf8().getStr(),
                        property<float>(portion, "CharHeight")});
      }
    }
  } catch (const Exception&) {
    Reference<css::util::XCloseable>(document, UNO_QUERY_THROW)->close(true);
    throw;
  }
  Reference<css::util::XCloseable>(document, UNO_QUERY_THROW)->close(true);
  return out;
}

}  // namespace

ConversionOutcome document_to_tsendrel(const Reference<css::uno::XComponentContext>& context,
                                       const Reference<css::frame::XFrame>& frame,
                                       const tarvex::ConverterTables& tables, int font_base) {
  ConversionOutcome outcome;
  std::vector<Stretch> stretches = find_stretches(frame, Direction::to_tsendrel);
  if (stretches.empty()) return outcome;
  const Scratch scratch;
  if (scratch.path().empty()) {
    outcome.error = "no temporary folder for the conversion";
    return outcome;
  }
  // One conversion for the stretches of each size, a stretch a line, every line kept.
  std::map<int, std::vector<Stretch*>> by_size;
  for (Stretch& stretch : stretches)
    by_size[static_cast<int>(std::lround(stretch.height * 2))].push_back(&stretch);
  std::vector<std::pair<Stretch*, std::vector<Run>>> replacements;
  for (const auto& [half_points, group] : by_size) {
    const std::string input = tsd::join_path(scratch.path(), "text.txt");
    const std::string output = tsd::join_path(scratch.path(), "text.rtf");
    {
      std::ofstream out(input, std::ios::binary);
      for (const Stretch* stretch : group) {
        const OUString line(reinterpret_cast<const sal_Unicode*>(stretch->text.data()),
                            static_cast<sal_Int32>(stretch->text.size()));
        out << line.toUtf8().getStr() << '\n';
      }
      if (!out) {
        outcome.error = "cannot write " + input;
        return outcome;
      }
    }
    tarvex::ConversionRequest request;
    request.conversion_type = tarvex::route_id("unicode-rtf");
    request.keep_cr = 1;
    request.font_base = font_base;
    request.tib_size = half_points;
    request.small_tib_size = half_points * 48 / 56;
    request.roman_size = half_points;
    std::string told;
    tarvex::ConversionContext conversion = tarvex::make_context(tables);
    conversion.status = tarvex::StatusSink{[](void* user, const char* line) {
                                             *static_cast<std::string*>(user) += line;
                                             *static_cast<std::string*>(user) += ' ';
                                           },
                                           &told};
    tarvex::ConversionReport report;
    if (tarvex::convert_file_until(conversion, input.c_str(), output.c_str(), request,
                                   tarvex::Stage::complete, &report) != 0) {
      outcome.error = told;
      return outcome;
    }
    outcome.not_converted += static_cast<int>(report.not_converted);
    std::vector<std::vector<Run>> paragraphs = paragraph_runs(context, output);
    if (paragraphs.size() < group.size()) {
      outcome.error = "the converted text has fewer lines than the document's stretches";
      return outcome;
    }
    for (std::size_t i = 0; i < group.size(); ++i)
      replacements.emplace_back(group[i], std::move(paragraphs[i]));
  }
  const Editing editing(frame);
  for (auto& [stretch, runs] : replacements) {
    replace(*stretch, runs);
    ++outcome.stretches;
  }
  return outcome;
}

}  // namespace tibet::writer
