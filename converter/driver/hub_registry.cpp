#include "hub_registry.h"

#include <algorithm>
#include <array>
#include <string>

#include "acip_reader.h"
#include "acip_writer.h"
#include "document_reader.h"
#include "ewts_reader.h"
#include "ewts_writer.h"
#include "hub_rtf.h"
#include "unicode_reader.h"
#include "hub_unicode_rtf.h"

namespace tarvex {

namespace {

int read_ewts(const ConversionContext&, tsd::Stream& in, HubOut& hub, bool keep_cr, ReaderReport* report) {
  return ewts_to_hub(in, hub, keep_cr, report);
}

int read_acip(const ConversionContext&, tsd::Stream& in, HubOut& hub, bool keep_cr, ReaderReport* report) {
  return acip_to_hub(in, hub, keep_cr, report);
}

int read_unicode(const ConversionContext&, tsd::Stream& in, HubOut& hub, bool keep_cr, ReaderReport* report) {
  return unicode_to_hub(in, hub, keep_cr, report);
}

// A document lays its lines out by its paragraphs, whatever the line rule.
int read_document(const ConversionContext& context, tsd::Stream& in, HubOut& hub, bool,
                  ReaderReport* report) {
  std::string why;
  const int result = document_to_hub(in, hub, *context.key_tables, context.glyph_table, report, why);
  if (result == -2) context.log_status("Error: %s.", why.c_str());
  return result;
}

std::unique_ptr<HubWriter> make_ewts(ConversionContext&, const ConversionRequest&, tsd::Stream& out,
                                     ReaderReport* problems) {
  return std::make_unique<EwtsWriter>(out, problems);
}

std::unique_ptr<HubWriter> make_acip(ConversionContext&, const ConversionRequest&, tsd::Stream& out,
                                     ReaderReport* problems) {
  return std::make_unique<AcipWriter>(out, problems);
}

std::unique_ptr<HubWriter> make_tsendrel_rtf(ConversionContext& context, const ConversionRequest& request,
                                             tsd::Stream& out, ReaderReport* problems) {
  return std::make_unique<HubRtfWriter>(
      out, *context.key_tables, context.composer,
      HubRtfRequest{context.rtf_fonts, context.font_count, request.font_base, request.roman_size,
                    request.tib_size, request.small_tib_size, context.stack_keys},
      problems);
}

std::unique_ptr<HubWriter> make_unicode_rtf(ConversionContext&, const ConversionRequest& request,
                                            tsd::Stream& out, ReaderReport*) {
  return std::make_unique<HubUnicodeRtfWriter>(out, request.unicode_font, request.roman_size,
                                               request.tib_size, request.small_tib_size);
}

constexpr tsd::Stream::Mode kText = tsd::Stream::Mode::text;
constexpr tsd::Stream::Mode kBinary = tsd::Stream::Mode::binary;

constexpr std::array kInputs{
    InputRow{Pass::wylie_to_kvts, InputKind::ascii, kText, nullptr, false},
    InputRow{Pass::kvts_to_wylie, InputKind::ascii, kText, nullptr, false},
    InputRow{Pass::extract, InputKind::ascii, kText, nullptr, false},
    InputRow{Pass::ewts_read, InputKind::utf8, kText, read_ewts, true},
    InputRow{Pass::unicode_read, InputKind::utf8, kText, read_unicode, true},
    // ACIP is ASCII, but a file may hold other bytes: they are copied and told.
    InputRow{Pass::acip_read, InputKind::utf8, kText, read_acip, true},
    // A document's reader places its own problems by paragraph and character.
    InputRow{Pass::tsendrel_read, InputKind::document, kBinary, read_document, false},
};

constexpr std::string_view kRtfFailure = "Tsendrel rtf conversion failure.";

constexpr std::array kWriters{
    WriterRow{Pass::hub_rtf, make_tsendrel_rtf, kRtfFailure},
    WriterRow{Pass::hub_unicode_rtf, make_unicode_rtf, kRtfFailure},
    WriterRow{Pass::ewts_write, make_ewts, {}},
    WriterRow{Pass::acip_write, make_acip, {}},
};

template <typename Row, std::size_t N>
const Row* row_of(const std::array<Row, N>& rows, Pass pass) {
  const auto row = std::find_if(rows.begin(), rows.end(), [pass](const Row& r) { return r.pass == pass; });
  return row == rows.end() ? nullptr : &*row;
}

}  // namespace

const InputRow* input_row(Pass pass) {
  return row_of(kInputs, pass);
}

const WriterRow* writer_row(Pass pass) {
  return row_of(kWriters, pass);
}

std::span<const InputRow> input_rows() {
  return kInputs;
}

std::span<const WriterRow> writer_rows() {
  return kWriters;
}

}  // namespace tarvex
