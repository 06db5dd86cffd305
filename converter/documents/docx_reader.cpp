#include "docx_reader.h"

#include <expat.h>
#include <zip.h>

#include <cstring>
#include <memory>

#include "tibetan.h"

namespace tarvex {

namespace {

constexpr std::string_view kMain = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
constexpr char kSeparator = '|';

// The local name of an element or attribute of the main namespace, or "" for any other.
std::string_view local_name(const XML_Char* name) {
  const std::string_view n(name);
  if (n.size() <= kMain.size() || !n.starts_with(kMain) || n[kMain.size()] != kSeparator) return {};
  return n.substr(kMain.size() + 1);
}

const char* attribute(const XML_Char** attributes, std::string_view wanted) {
  for (int i = 0; attributes[i]; i += 2)
    if (local_name(attributes[i]) == wanted) return attributes[i + 1];
  return nullptr;
}

// What the parts tell the text, and where the parser stands in them.
struct Reading {
  explicit Reading(DocumentText& t) : text(t) {}
  DocumentText& text;
  bool body = true;  // document.xml; false while reading the defaults of styles.xml
  int default_font = kOtherFont;
  int default_size = 24;
  int font = kOtherFont;
  int size = 24;
  int paragraphs = 0;
  bool in_run = false, in_run_properties = false, in_paragraph_properties = false, in_text = false;
  bool in_defaults = false;
  Utf8Decoder decoder;

  void start(std::string_view name, const XML_Char** attributes) {
    if (!body) {
      if (name == "rPrDefault") in_defaults = true;
      if (in_defaults) properties(name, attributes, default_font, default_size);
      return;
    }
    if (name == "p") {
      if (paragraphs++ > 0) text.paragraph();
    } else if (name == "pPr") {
      in_paragraph_properties = true;
    } else if (name == "r") {
      in_run = true;
      font = default_font;
      size = default_size;
    } else if (!in_run || in_paragraph_properties) {
      // Nothing outside a run is text.
    } else if (name == "rPr") {
      in_run_properties = true;
    } else if (in_run_properties) {
      properties(name, attributes, font, size);
    } else if (name == "t") {
      in_text = true;
    } else if (name == "tab") {
      text.style(font, size);
      text.tab();
    } else if (name == "br" || name == "cr") {
      text.line_break();
    } else if (name == "sym") {
      const char* face = attribute(attributes, "font");
      const char* code = attribute(attributes, "char");
      text.style(face ? tsendrel_font_of(face) : font, size);
      if (code) text.character(static_cast<char32_t>(std::strtoul(code, nullptr, 16)));
    }
  }

  static void properties(std::string_view name, const XML_Char** attributes, int& font, int& size) {
    if (name == "rFonts") {
      const char* face = attribute(attributes, "ascii");
      if (!face) face = attribute(attributes, "hAnsi");
      if (face) font = tsendrel_font_of(face);
    } else if (name == "sz") {
      if (const char* value = attribute(attributes, "val"))
        size = static_cast<int>(std::strtol(value, nullptr, 10));
    }
  }

  void end(std::string_view name) {
    if (name == "rPrDefault") in_defaults = false;
    if (name == "pPr") in_paragraph_properties = false;
    if (name == "rPr") in_run_properties = false;
    if (name == "r") in_run = false;
    if (name == "t") in_text = false;
  }

  void characters(const XML_Char* s, int n) {
    if (!in_text) return;
    text.style(font, size);
    for (int i = 0; i < n; ++i) {
      const int c = decoder.feed(static_cast<unsigned char>(s[i]));
      if (c >= 0) text.character(static_cast<char32_t>(c));
    }
  }
};

struct ZipCloser {
  void operator()(zip_t* z) const { zip_discard(z); }
};
struct FileCloser {
  void operator()(zip_file_t* f) const { zip_fclose(f); }
};
struct ParserFree {
  void operator()(XML_Parser p) const { XML_ParserFree(p); }
};

// Reads the part `name` through the parser; 0, 1 when the container has no such part, -1 on failure.
int parse_part(zip_t* zip, const char* name, Reading& reading, std::string& why) {
  const zip_int64_t index = zip_name_locate(zip, name, 0);
  if (index < 0) return 1;
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_stat_index(zip, static_cast<zip_uint64_t>(index), 0, &stat) == 0 && (stat.valid & ZIP_STAT_SIZE) &&
      stat.size > kMostDocxPart) {
    why = std::string(name) + " would unpack to " + std::to_string(stat.size) +
          " bytes, more than the 256 MiB a part may have: not read";
    return -1;
  }
  std::unique_ptr<zip_file_t, FileCloser> file(zip_fopen_index(zip, static_cast<zip_uint64_t>(index), 0));
  if (!file) {
    why = std::string(name) + " cannot be unpacked: " + zip_strerror(zip);
    return -1;
  }
  std::unique_ptr<std::remove_pointer_t<XML_Parser>, ParserFree> parser(
      XML_ParserCreateNS(nullptr, kSeparator));
  XML_SetUserData(parser.get(), &reading);
  XML_SetElementHandler(
      parser.get(),
      [](void* user, const XML_Char* element, const XML_Char** attributes) {
        static_cast<Reading*>(user)->start(local_name(element), attributes);
      },
      [](void* user, const XML_Char* element) { static_cast<Reading*>(user)->end(local_name(element)); });
  XML_SetCharacterDataHandler(parser.get(), [](void* user, const XML_Char* s, int n) {
    static_cast<Reading*>(user)->characters(s, n);
  });
  // The sizes a ZIP declares may lie: what is unpacked is counted too.
  std::uint64_t unpacked = 0;
  char chunk[1 << 16];
  for (;;) {
    const zip_int64_t n = zip_fread(file.get(), chunk, sizeof chunk);
    if (n < 0) {
      why = std::string(name) + " cannot be unpacked: " + zip_file_strerror(file.get());
      return -1;
    }
    unpacked += static_cast<std::uint64_t>(n);
    if (unpacked > kMostDocxPart) {
      why = std::string(name) + " unpacks to more than the 256 MiB a part may have: not read";
      return -1;
    }
    if (XML_Parse(parser.get(), chunk, static_cast<int>(n), n == 0) == XML_STATUS_ERROR) {
      why = std::string(name) + " is no well-formed XML (line " +
            std::to_string(XML_GetCurrentLineNumber(parser.get())) + ": " +
            XML_ErrorString(XML_GetErrorCode(parser.get())) + ")";
      return -1;
    }
    if (n == 0) return 0;
  }
}

}  // namespace

int docx_to_text(std::string_view bytes, DocumentText& text, std::string& why) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  std::unique_ptr<zip_t, ZipCloser> zip(source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr);
  if (!zip) {
    why = std::string("the file is no readable ZIP container: ") + zip_error_strerror(&error);
    if (source) zip_source_free(source);
    zip_error_fini(&error);
    return -1;
  }
  zip_error_fini(&error);
  Reading reading(text);
  reading.body = false;
  if (parse_part(zip.get(), "word/styles.xml", reading, why) < 0) return -1;
  reading.body = true;
  const int found = parse_part(zip.get(), "word/document.xml", reading, why);
  if (found == 1) why = "the ZIP container holds no word/document.xml: it is no Word document";
  return found == 0 ? 0 : -1;
}

}  // namespace tarvex
