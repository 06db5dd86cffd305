#include "fast_path.h"

#include <utility>

#include "fast_backs.h"
#include "fast_learner.h"
#include "fast_scan.h"

namespace tarvex {

bool fast_path_takes(int conversion_type) {
  const Route* route = route_by_id(conversion_type);
  return route && route->fast;
}

int fast_convert(tsd::Stream& input, tsd::Stream& output, const ConversionRequest& request,
                 ConversionContext& context, ExtractionReport& found, bool place_problems) {
  using namespace fast;
  if (!fast_path_takes(request.conversion_type) || !context.translit_tables) return kFastDeclined;
  const Route& route = *route_by_id(request.conversion_type);
  const bool wylie = route.from == tarvex::Scheme::wylie;
  const bool keep_cr = request.keep_cr != 0;
  Output out(output);
  ExtractionReport counted;
  const auto scan = [&](auto& back) {
    Scan scan(input, wylie, *context.translit_tables, request.check_syllables, back, counted, place_problems,
              context.temporaries);
    // The warning of a word given up is placed by the syllable-file word it lies in, which the scan does
    // not count.
    return scan.run() && !back.failed() && !(place_problems && back.gave_up());
  };
  // The composer's state is the passes' own only once the whole file is converted.
  tsd::SyllableState composer = context.composer;
  // The writer at the end of the route's chain.
  const Pass writer = route.passes.back();
  if (writer == Pass::unicode_rtf) {
    UnicodeWords words(true);
    UnicodeRtfSink rtf(out, request);
    Back<UnicodeWords, UnicodeRtfSink> back(words, rtf, keep_cr);
    if (!scan(back)) return kFastDeclined;
    rtf.finish();
  } else if (writer == Pass::unicode_text) {
    UnicodeWords words(false);
    Back<UnicodeWords, Output> back(words, out, keep_cr);
    if (!scan(back)) return kFastDeclined;
  } else if (writer == Pass::tsendrel_rtf) {
    if (!context.key_tables || !context.rtf_fonts || context.font_count < 1 ||
        context.font_count > kMaxRtfFonts)
      return kFastDeclined;
    FontWords words(*context.key_tables, composer);
    RtfSink rtf(out, request, context);
    Back<FontWords, RtfSink> back(words, rtf, keep_cr);
    if (!scan(back)) return kFastDeclined;
    rtf.finish();
  } else {
    return kFastDeclined;  // a writer it remembers no words for
  }
  out.flush();
  if (output.flush() != 0 || output.error() || input.error()) return kFastDeclined;
  context.composer = composer;
  found.syllables = counted.syllables;
  found.marked = counted.marked;
  found.problems = std::move(counted.problems);
  found.not_kept = counted.not_kept;
  return 0;
}

}  // namespace tarvex
