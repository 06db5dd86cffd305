#include "convert_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "diagnostics.h"
#include "document_reader.h"
#include "extract.h"
#include "fast_path.h"
#include "font_code_pass.h"
#include "hub.h"
#include "hub_registry.h"
#include "platform/file_identity.h"
#include "platform/new_file.h"
#include "problem_places.h"
#include "rtf_writer.h"
#include "scheme_passes.h"
#include "text_reader.h"
#include "tibetan.h"
#include "unicode_pass.h"
#include "unicode_rtf_writer.h"

namespace tarvex {

namespace {

constexpr int kCheckedLength = 64;
// A UTF-8 text is refused only when it is not text at all, judged by this much of its start.
constexpr std::size_t kUtf8CheckedLength = 4096;

// The temporary files of a conversion, one for each intermediate stage.
struct Temporaries {
  tsd::Stream pre_pass;
  tsd::Stream syllables;
  tsd::Stream glyphs;

  // The hub takes the syllable file's place: no route writes both.
  tsd::Stream& of(Stage stage) {
    return stage == Stage::pre_pass                           ? pre_pass
           : stage == Stage::syllables || stage == Stage::hub ? syllables
                                                              : glyphs;
  }
};

// What the passes found, for the summary and the diagnostics.
struct Findings {
  ExtractionReport found;
  bool extracted = false;
  std::vector<RawWord> raw_words;
  // Routes from Extended Wylie and Unicode: what the reader found in the input, and what a writer from
  // the hub found at places of the hub.
  ReaderReport read;
  ReaderReport written;
  bool hub = false;
};

void log_output_not_opened(const ConversionContext& context, const char* output_path) {
  const int reason = errno;
  context.log_status("Program could not open output file %s", output_path);
  context.log_status("Please check whether this file is being used by another application.");
  context.log_status("If so, close the file in the application.");
  context.diagnostics.report_reason(output_path, reason);
}

void log_input_not_opened(const ConversionContext& context, const char* input_path) {
  const int reason = errno;
  context.log_status("Could not open %s", input_path);
  context.diagnostics.report_reason(input_path, reason);
}

// The checks that need nothing opened: a known route, and the tables its passes read. Its route, or none.
const Route* usable_route(const ConversionContext& context, const ConversionRequest& request) {
  const Route* route = route_by_id(request.conversion_type);
  if (!route) {
    context.log_status("Unknown conversion type %d.", request.conversion_type);
    return nullptr;
  }
  if (!input_row(route->passes.front())) {
    context.log_status("Unknown conversion type %d: its first pass reads no input.", request.conversion_type);
    return nullptr;
  }
  if ((runs(*route, Pass::extract) && !context.translit_tables) ||
      ((runs(*route, Pass::font_codes) || runs(*route, Pass::tsendrel_read)) && !context.key_tables) ||
      (runs(*route, Pass::tsendrel_rtf) && !context.rtf_fonts)) {
    context.log_status("The conversion tables are not loaded.");
    return nullptr;
  }
  return route;
}

enum class Start { text, text_after_mark, not_text, unreadable };

// Why `bytes` (the start of a file, its last character perhaps cut off) are not UTF-8 text, or null when
// they are: a NUL byte, or more than half of them no UTF-8 or control characters (UTF-16 Tibetan is half
// controls). A few such bytes are the reader's to mark and tell at their place.
const char* not_utf8_text(const unsigned char* bytes, std::size_t n, bool cut) {
  if (std::memchr(bytes, 0, n)) return "a NUL byte in its first 4 KB";
  std::size_t bad = 0;
  for (std::size_t i = 0; i < n;) {
    char32_t c = bytes[i];
    const int k = c < 0x80 ? 1 : decode_utf8(bytes + i, n - i, c);
    if (k > 0) {
      if ((c < 0x20 && !tsd::is_space(static_cast<int>(c))) || c == 0x7F) ++bad;
      i += static_cast<std::size_t>(k);
    } else if (k < 0 && cut) {
      break;  // the check's end cuts a character
    } else {
      ++bad;
      ++i;
    }
  }
  return bad * 2 > n ? "more than half of its first 4 KB is not UTF-8 text" : nullptr;
}

// A document in the Tsendrel fonts: RTF, or DOCX where the build reads it. Word 97-2003 and OpenDocument
// files are refused with the command that saves them as DOCX.
Start check_document(const ConversionContext& context, const unsigned char* head, std::size_t n,
                     const char* name) {
  switch (document_kind(head, n)) {
    case DocumentKind::rtf:
      return Start::text;
    case DocumentKind::docx:
      if (reads_docx()) return Start::text;
      context.log_status("Error: this build reads no DOCX documents; save %s as RTF. Skipping file.", name);
      return Start::not_text;
    case DocumentKind::doc:
    case DocumentKind::odt:
      context.log_status(
          "Error: %s is %s document, which the converter does not read. Save it as DOCX, "
          "for example with: soffice --headless --convert-to docx %s",
          name, document_kind(head, n) == DocumentKind::doc ? "a Word 97-2003" : "an OpenDocument", name);
      return Start::not_text;
    case DocumentKind::other:
      break;
  }
  context.log_status("Error: %s is neither an RTF nor a DOCX document. Skipping file.", name);
  return Start::not_text;
}

// Looks at the first characters of the input without reading them away, so that a stream which cannot be
// rewound is checked too; then steps over a UTF-8 byte-order mark at the very start, which editors such as
// Notepad write before plain ASCII text.
Start check_start(const ConversionContext& context, tsd::Stream& input, InputKind kind, const char* name) {
  unsigned char head[sizeof kByteOrderMark + kUtf8CheckedLength + 32];
  const std::size_t n = input.peek(head, sizeof head);
  // A path that opens but cannot be read (a directory) is no input file.
  if (input.error()) return Start::unreadable;
  if (kind == InputKind::document) return check_document(context, head, n, name);
  const bool mark =
      n >= sizeof kByteOrderMark && std::memcmp(head, kByteOrderMark, sizeof kByteOrderMark) == 0;
  const std::size_t first = mark ? sizeof kByteOrderMark : 0;
  const std::size_t length = kind == InputKind::utf8 ? kUtf8CheckedLength : kCheckedLength;
  const std::size_t checked = std::min(n, first + length) - std::min(n, first);
  const bool cut = n > first + length;
  if (kind == InputKind::utf8) {
    if (const char* why = not_utf8_text(head + first, checked, cut)) {
      context.log_status("Error: File begins with non-text characters: %s. Skipping file.", why);
      return Start::not_text;
    }
  } else if (!std::all_of(head + first, head + first + checked, [](unsigned char c) { return c <= 127; })) {
    context.log_status("Error: File begins with non-text characters. Skipping file.");
    return Start::not_text;
  }
  if (!mark) return Start::text;
  for (std::size_t i = 0; i < sizeof kByteOrderMark; ++i) input.get();
  return Start::text_after_mark;
}

// After its writer: flushed and back at its start, or a write failure logged.
bool rewind_written(const ConversionContext& context, tsd::Stream& file) {
  if (file.rewind() == 0 && !file.error()) return true;
  context.log_status("%s", kWriteFailed);
  return false;
}

// Copies the rest of `from` to `to`; false when a write failed.
bool copy_rest(tsd::Stream& from, tsd::Stream& to) {
  return read_rest(
      from, [&to](const unsigned char* p, std::size_t n) { return to.write(p, n) != tsd::Stream::end; });
}

// Copies an intermediate file to the output unchanged.
bool copy_stage(const ConversionContext& context, tsd::Stream& from, tsd::Stream& to) {
  copy_rest(from, to);
  if (to.flush() == 0 && !to.error() && !from.error()) return true;
  context.log_status("%s", kWriteFailed);
  return false;
}

// A pass that reads syllables, once it returned: its failure logged, or a read failure of the syllable file.
bool syllables_read(const ConversionContext& context, tsd::Stream& syllables, int result) {
  if (result < 0) {
    context.log_status("Tsendrel text conversion failure.");
    return false;
  }
  if (!syllables.error()) return true;
  context.log_status("%s", kWriteFailed);
  return false;
}

// A writer of an RTF document, once it returned: its failure logged.
bool rtf_written(const ConversionContext& context, tsd::Stream& from, tsd::Stream& rtf, int result) {
  if (result >= 0) return true;
  if (rtf.error() || from.error()) context.log_status("%s", kWriteFailed);
  context.log_status("Tsendrel rtf conversion failure.");
  return false;
}

// The line rule of a reader of the hub: the request's, or every line kept where the passes before it (the
// extraction's) laid the lines out already.
bool hub_keeps_lines(const ConversionRequest& request, const Findings& findings) {
  return request.keep_cr != 0 || findings.extracted;
}

// The reader of a pass that writes the hub (its row's), into `hub`. A document that cannot be read is
// told by its reader.
int read_hub(const ConversionContext& context, Pass pass, tsd::Stream& in, HubOut& hub, bool keep_cr,
             ReaderReport* report) {
  return input_row(pass)->read(context, in, hub, keep_cr, report);
}

// A writer of the hub once it finished: its failure logged as its row says.
bool hub_written(const ConversionContext& context, const WriterRow& row, tsd::Stream& from, tsd::Stream& to,
                 int result) {
  if (result >= 0) return true;
  if (row.failure.empty() || to.error() || from.error()) context.log_status("%s", kWriteFailed);
  if (!row.failure.empty())
    context.log_status("%.*s", static_cast<int>(row.failure.size()), row.failure.data());
  return false;
}

// A reader and the writer after it, the hub going from one to the other a buffer at a time through no
// file; false once a failure is logged.
bool run_hub_passes(ConversionContext& context, const ConversionRequest& request, Pass reader, Pass writer,
                    tsd::Stream& from, tsd::Stream& to, Findings& findings) {
  findings.hub = true;
  const WriterRow* row = writer_row(writer);
  if (!row) {
    context.log_status("Tsendrel text conversion failure.");
    return false;
  }
  const std::unique_ptr<HubWriter> written = row->make(context, request, to, &findings.written);
  HubOut hub(written->sink());
  const int read_result =
      read_hub(context, reader, from, hub, hub_keeps_lines(request, findings), &findings.read);
  const int result = written->finish();
  if (read_result == -2) return false;
  // A read error is told once the conversion ends, as for every route.
  return hub_written(context, *row, from, to, result);
}

// One pass of a route from `from` into `to`; false once its failure is logged. The Unicode passes'
// failures are logged as those of the font-code pass and the RTF writer.
bool run_pass(Pass pass, ConversionContext& context, const ConversionRequest& request, tsd::Stream& from,
              tsd::Stream& to, Findings& findings) {
  switch (pass) {
    case Pass::wylie_to_kvts:
    case Pass::kvts_to_wylie:
      if (pass == Pass::wylie_to_kvts)
        wylie_to_kvts(from, to);
      else
        kvts_to_wylie(from, to);
      if (to.flush() == 0 && !to.error()) return true;
      context.log_status("%s", kWriteFailed);
      return false;
    case Pass::extract:
      extract_syllables(from, to, *context.translit_tables, request.check_syllables, &findings.found);
      findings.extracted = true;
      return true;
    case Pass::font_codes:
      return syllables_read(
          context, from,
          font_code_pass(from, to, request.keep_cr, *context.key_tables, context.composer, context.status,
                         true, context.diagnostics.places() ? &findings.raw_words : nullptr));
    case Pass::unicode_text:
    case Pass::unicode_marked:
      return syllables_read(
          context, from,
          unicode_pass(from, to, request.keep_cr,
                       pass == Pass::unicode_marked ? UnicodePassages::markers : UnicodePassages::text,
                       context.status));
    case Pass::tsendrel_rtf:
      return rtf_written(context, from, to,
                         write_rtf(from, to, context.rtf_fonts, context.font_count, request.font_base,
                                   request.roman_size, request.tib_size, request.small_tib_size));
    case Pass::unicode_rtf:
      return rtf_written(context, from, to,
                         write_unicode_rtf(from, to, request.unicode_font, request.roman_size,
                                           request.tib_size, request.small_tib_size));
    case Pass::ewts_read:
    case Pass::unicode_read:
    case Pass::tsendrel_read:
    case Pass::acip_read: {
      findings.hub = true;
      HubOut hub(to);
      // A read error is told once the conversion ends, as for every route.
      const int result =
          read_hub(context, pass, from, hub, hub_keeps_lines(request, findings), &findings.read);
      if (result == -2) return false;
      if (result == 0 || !to.error()) return true;
      context.log_status("%s", kWriteFailed);
      return false;
    }
    case Pass::hub_rtf:
    case Pass::hub_unicode_rtf:
    case Pass::ewts_write:
    case Pass::acip_write:
      // A writer of the hub takes it straight from its reader (run_hub_passes).
      break;
  }
  return false;
}

// The route's passes, in their order, from the input to the output through the temporary files; a stage
// before the end copies its file to the output instead. The temporary files the route never writes are
// closed.
int run_passes(ConversionContext& context, const ConversionRequest& request, const Route& route,
               tsd::Stream& input, tsd::Stream& output, Stage stage, Temporaries& files, Findings& findings) {
  for (const Stage stage_file : {Stage::pre_pass, Stage::syllables, Stage::glyphs}) {
    const bool used = std::any_of(route.passes.begin(), route.passes.end() - 1, [&](Pass pass) {
      return &files.of(stage_written(pass)) == &files.of(stage_file);
    });
    if (!used) files.of(stage_file).close();
  }
  tsd::Stream* source = &input;
  for (std::size_t i = 0; i + 1 < route.passes.size(); ++i) {
    const Stage written = stage_written(route.passes[i]);
    if (written == Stage::hub && stage != Stage::hub && i + 2 == route.passes.size())
      return run_hub_passes(context, request, route.passes[i], route.passes[i + 1], *source, output, findings)
                 ? 0
                 : -1;
    // The hub, where it is the stage wanted, goes straight to the output: a route may have written the
    // syllable file, whose place it takes, before it.
    if (written == Stage::hub && stage == Stage::hub)
      return run_pass(route.passes[i], context, request, *source, output, findings) ? 0 : -1;
    tsd::Stream& target = files.of(written);
    if (!run_pass(route.passes[i], context, request, *source, target, findings) ||
        !rewind_written(context, target))
      return -1;
    if (stage == written) return copy_stage(context, target, output) ? 0 : -1;
    source = &target;
  }
  return run_pass(route.passes.back(), context, request, *source, output, findings) ? 0 : -1;
}

// The conversion proper, once the input's start has been checked (`after_mark`: a byte-order mark stepped
// over): the temporary files, the passes, the problems told and the input's read errors. The output is
// flushed by the passes, not closed.
int convert_checked(ConversionContext& context, const ConversionRequest& request, const Route& route,
                    tsd::Stream& input, tsd::Stream& output, Stage stage, const Endpoint& in, bool after_mark,
                    ConversionReport* report) {
  // A conversion never depends on what the context converted before.
  context.composer = tsd::SyllableState{};
  Temporaries files;
  tsd::Stream* temporaries[] = {&files.pre_pass, &files.syllables, &files.glyphs};
  for (int i = 0; i < 3; ++i) {
    *temporaries[i] = context.temporaries(i);
    if (!temporaries[i]->is_open()) {
      context.log_status(i == 0 ? "Program could not open temporary file. Check for system problem."
                                : "Program could not open temporary file. Check for system problem.\n");
      return -1;
    }
  }

  Findings findings;
  // Without a sink the problems are not told, and not kept.
  if (!context.diagnostics.places()) findings.found.keep = findings.read.keep = findings.written.keep = 0;
  findings.read.tell_sloppy = request.tell_sloppy != 0;
  if (after_mark && findings.read.tell_sloppy)
    findings.read.warn(0, sizeof kByteOrderMark,
                       warning_text(text_warnings::kSloppy, text_warnings::kByteOrderMark));
  int result = run_passes(context, request, route, input, output, stage, files, findings);
  if (report)
    // A syllable is not converted once however many of its characters the reader replaced or the writer
    // marked; the summary counts at most every syllable. Through the extraction, its syllables are the
    // summary's, and a hub read after it adds what its reader replaced and its writer could not write:
    // their places are in the passes' own Unicode text, not in the input, and are not told.
    *report = !findings.hub
                  ? ConversionReport{findings.extracted, findings.found.syllables, findings.found.marked}
              : findings.extracted
                  ? ConversionReport{true, findings.found.syllables,
                                     std::min(findings.found.marked + findings.read.not_converted +
                                                  findings.written.not_converted,
                                              findings.found.syllables)}
                  : ConversionReport{true, findings.read.syllables,
                                     std::min(findings.read.not_converted + findings.written.not_converted,
                                              findings.read.syllables)};
  const bool wylie = route.from == Scheme::wylie;
  const InputAgain again(in.path, in.kept);
  if (!findings.raw_words.empty() && (wylie || again.available()))
    place_raw_words(findings.raw_words, files.syllables, wylie ? &files.pre_pass : nullptr, again,
                    findings.found);
  if (findings.extracted && !findings.found.problems.empty() && context.diagnostics.places() &&
      again.available())
    tell_problems(context, in.shown(), again, wylie, findings.found);
  // A route that reads its input into the hub tells the reader's problems, and its writer's traced back.
  const bool hub_first = input_row(route.passes.front())->read != nullptr;
  if (findings.hub && context.diagnostics.places() && hub_first &&
      (!findings.read.warnings.empty() || !findings.written.warnings.empty() || findings.read.not_kept > 0))
    tell_hub_problems(context, in.shown(), again, route.passes.front(), request.keep_cr != 0, findings.read,
                      findings.written);
  if (result == 0 && input.error()) {
    context.log_status("Could not read %s", in.shown());
    result = -1;
  }
  return result;
}

// What the fast path did: converted the whole input, declined (the passes then convert it from its start),
// or failed.
enum class Fast { converted, declined, failed };

// The fast path, where what it declines can be converted again from the start: on a file or on standard
// input whose bytes are kept, into a new file or, through a temporary file copied once it succeeded, into
// a stream (one held in memory alone is written in place, and emptied again where it declines). Converted,
// its problems are told, placed in the input's own bytes. Declined, the passes read
// `input` again from its start, or for standard input `read_again` (the rest read, then all its bytes);
// a new output file is a new file again. It fails when the output could not be opened again, standard
// input could not be read, or the temporary file could not be read back (each logged).
Fast fast_converted(ConversionContext& context, const ConversionRequest& request, tsd::Stream& input,
                    const Endpoint& in, tsd::NewFile& new_output, const Endpoint& out, tsd::Stream& output,
                    tsd::Stream& read_again, ConversionReport* report) {
  context.composer = tsd::SyllableState{};
  ExtractionReport found;
  const bool place = context.diagnostics.places();
  // An output stream held in memory alone, with nothing in it yet, is written in place and emptied again
  // should the fast path decline; any other is written once the fast path succeeded.
  const bool in_place = !out.path && output.in_memory_only() && output.held().empty();
  tsd::Stream spool;
  if (!out.path && !in_place) spool = context.temporaries(2);
  tsd::Stream& target = out.path ? new_output.stream() : in_place ? output : spool;
  bool converted = target.is_open() && fast_convert(input, target, request, context, found, place) == 0;
  // An output stream that failed takes no more bytes: the passes then fail on it as they would have.
  if (converted && !out.path && !in_place &&
      (spool.rewind() != 0 || !copy_rest(spool, output) || spool.error() || output.flush() != 0)) {
    if (!output.error()) {
      context.log_status("%s", kWriteFailed);
      return Fast::failed;
    }
    converted = false;
  }
  if (converted) {
    if (report) *report = ConversionReport{true, found.syllables, found.marked};
    if (place && !found.problems.empty())
      tell_problems(context, in.shown(), InputAgain(in.path, in.kept), false, found);
    return Fast::converted;
  }
  if (in_place && output.empty() != 0) {
    context.log_status("%s", kWriteFailed);
    return Fast::failed;
  }
  if (in.path) {
    input.rewind();
    skip_byte_order_mark(input);
  } else {
    // The rest read, so that the kept bytes are all of it.
    read_rest(input, [](const unsigned char*, std::size_t) { return true; });
    if (input.error()) {
      context.log_status("Could not read %s", in.shown());
      return Fast::failed;
    }
    read_again = tsd::Stream::holding(*in.kept, tsd::Stream::Mode::text);
    skip_byte_order_mark(read_again);
  }
  if (!out.path) return Fast::declined;
  new_output.abandon();
  if (new_output.open(out.path, output_mode(request, Stage::complete)) == 0) return Fast::declined;
  log_output_not_opened(context, out.path);
  return Fast::failed;
}

}  // namespace

int convert_file(ConversionContext& context, const char* input_path, const char* output_path,
                 const ConversionRequest& request) {
  return convert_file_until(context, input_path, output_path, request, Stage::complete);
}

tsd::Stream::Mode output_mode(const ConversionRequest& request, Stage stage) {
  // A route of one pass has no intermediate stage to write raw.
  const Route* route = route_by_id(request.conversion_type);
  const bool one_pass = route && route->passes.size() == 1;
  return stage != Stage::complete && !one_pass ? tsd::Stream::Mode::binary : tsd::Stream::Mode::text;
}

int convert_file_until(ConversionContext& context, const char* input_path, const char* output_path,
                       const ConversionRequest& request, Stage stage, ConversionReport* report) {
  return convert(context, request, Endpoint{input_path}, Endpoint{output_path}, stage, report);
}

int convert(ConversionContext& context, const ConversionRequest& request, const Endpoint& in,
            const Endpoint& out, Stage stage, ConversionReport* report) {
  // Two spellings of one existing file are refused too: opening the output would empty the input.
  if (in.path && out.path &&
      (std::strcmp(in.path, out.path) == 0 || tsd::same_existing_file(in.path, out.path))) {
    context.log_status("Input file name must not be identical to output file name.");
    return -1;
  }
  const Route* route = usable_route(context, request);
  if (!route) return -1;

  tsd::Stream opened;
  if (in.path) {
    errno = 0;
    // A document is read as the bytes it is, text as text: the mode of its reader's row.
    opened = tsd::Stream::open_read(in.path, input_row(route->passes.front())->mode);
    if (!opened.is_open()) {
      log_input_not_opened(context, in.path);
      return -1;
    }
  }
  tsd::Stream& input = in.path ? opened : *in.stream;
  const Start start = check_start(context, input, input_row(route->passes.front())->kind, in.shown());
  switch (start) {
    case Start::not_text:
      return -1;
    case Start::unreadable:
      if (in.path)
        log_input_not_opened(context, in.path);
      else
        context.log_status("Could not read %s", in.name);
      return -1;
    case Start::text:
    case Start::text_after_mark:
      break;
  }

  // An output file is a new file that takes the old one's place only when the conversion succeeded, so a
  // failure leaves an earlier output as it was.
  tsd::NewFile new_output;
  if (out.path && new_output.open(out.path, output_mode(request, stage)) != 0) {
    log_output_not_opened(context, out.path);
    return -1;
  }
  tsd::Stream& output = out.path ? new_output.stream() : *out.stream;
  // The fast path tries first wherever the input can be read again: what it declines, the passes convert
  // from the start.
  // It tells nothing that it reads silently, so a strict reading goes by the passes.
  const bool fast = context.fast_path && (in.path || in.kept) && stage == Stage::complete &&
                    fast_path_takes(request.conversion_type) && request.tell_sloppy == 0;
  int result = 0;
  tsd::Stream read_again;
  switch (fast ? fast_converted(context, request, input, in, new_output, out, output, read_again, report)
               : Fast::declined) {
    case Fast::converted:
      break;
    case Fast::failed:
      return -1;
    case Fast::declined:
      result = convert_checked(context, request, *route, read_again.is_open() ? read_again : input, output,
                               stage, in, start == Start::text_after_mark, report);
      break;
  }
  opened.close();
  if (result != 0) return result;
  if (!out.path) {
    if (output.flush() == 0 && !output.error()) return 0;
    context.log_status("%s", kWriteFailed);
    return -1;
  }
  switch (new_output.commit()) {
    case tsd::NewFile::kWriteFailed:
      context.log_status("%s", kWriteFailed);
      return -1;
    case tsd::NewFile::kNotReplaced:
      log_output_not_opened(context, out.path);
      return -1;
    default:
      return 0;
  }
}

}  // namespace tarvex
