// The ACIP reader: text in the Asian Classics Input Project's input code in, the hub out (Tibetan Unicode
// in canonical order, other text as it stood). Its lexing, its grouping of letters into stacks and its
// file markers are its own; each syllable, once grouped, is spelt in Extended Wylie and read by the shared
// syllable grammar (prefixes, suffixes, the a-chung: ewts_syllables.h); the window, offsets, spacing,
// cache and "[...]" are the text readers' (text_reader.h). Reads the input stream; writes the hub and the
// report's warnings.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "hub.h"
#include "platform/stream.h"
#include "text_reader.h"

namespace tarvex {

// The readings a digital library adds when it imports ACIP files; both off unless asked for.
struct AcipOptions {
  bool tsheg_at_line_end = false;  // a line that ends in a letter gets a tsheg (lines break mid-sentence)
  bool tsheg_after_nga = false;    // ང before a shad gets a tsheg: ང་།
};

// The warnings of ACIP's own reading; %1 stands for the text they are about.
namespace acip_warnings {
inline constexpr std::string_view kLowercase = "\"%1\" has no meaning in ACIP (lowercase): copied";
inline constexpr std::string_view kTsh = "\"TSH\" read as TS with H below: ACIP writes \"TS\" for tsha";
inline constexpr std::string_view kSevenCheMgo = "\"7\" before a letter: ACIP writes che mgo as \"^\"";
inline constexpr std::string_view kLongBeforeE = "\"'\" before \"%1\" read as the letter a-chung";
}  // namespace acip_warnings

// ACIP's word grammar: one word (letters, vowels, signs, "+", "-", "'") to Unicode, appended to `out`, its
// warnings at places of the word. The writer checks its spellings with it.
class AcipWords {
 public:
  AcipWords();
  ~AcipWords();
  AcipWords(const AcipWords&) = delete;
  AcipWords& operator=(const AcipWords&) = delete;
  WordResult read(std::string_view word, std::string& out, std::vector<WordWarning>& warnings);

 private:
  struct Grammar;
  std::unique_ptr<Grammar> grammar_;
};

// Reads all of `in` into `out`, finished: 0, or -1 when reading `in` or handing the hub on failed.
int acip_to_hub(tsd::Stream& in, HubOut& out, bool keep_cr, ReaderReport* report, AcipOptions options = {});

// The hub of `acip` read as a text file, by the same steps: for tests and round trips of the writer.
std::string acip_to_unicode(std::string_view acip, ReaderReport* report = nullptr, bool keep_cr = true,
                            AcipOptions options = {});

}  // namespace tarvex
