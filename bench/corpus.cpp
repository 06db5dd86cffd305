#include "corpus.h"

#include <random>
#include <string_view>

namespace bench {

namespace {

// Common syllables of Tibetan prose and verse, in Wylie, with stacks, prefixes, suffixes and vowels.
constexpr std::string_view kSyllables[] = {
    "bkra",   "shis",   "bde",     "legs",   "sangs", "rgyas",  "chos",  "dge",    "'dun",   "byang",
    "chub",   "sems",   "dpa'",    "snying", "rje",   "shes",   "rab",   "bla",    "ma",     "dkon",
    "mchog",  "gsum",   "'gro",    "ba",     "thams", "cad",    "rnams", "kyi",    "gyi",    "gi",
    "'i",     "la",     "du",      "tu",     "ru",    "na",     "nas",   "pa",     "po",     "bo",
    "mo",     "sgrub",  "bsgrubs", "brgyud", "rgyal", "dbang",  "phyug", "'khor",  "lo",     "mdo",
    "sngags", "rdo",    "theg",    "chen",   "yon",   "tan",    "bstan", "'dzin",  "tshe",   "ring",
    "don",    "grub",   "bsod",    "nams",   "ye",    "bdag",   "nyid",  "rang",   "bzhin",  "stong",
    "zab",    "mo",     "gsal",    "ba'i",   "'od",   "gsung",  "thugs", "sku",    "khyab",  "brtse",
    "ba",     "skyabs", "su",      "mchi",   "'o",    "mthong", "thob",  "shog",   "gyur",   "cig",
    "dus",    "gsum",   "bskal",   "bzang",  "dpal",  "ldan",   "smon",  "lam",    "yid",    "bzhin",
    "nor",    "bu",     "g.yu",    "g.yang", "dbu",   "rtse",   "spyi",  "bo",     "mkha'",  "'gro",
    "rlung",  "me",     "chu",     "sa",     "zla",   "nyi",    "skar",  "phyogs", "bcu",    "rnam",
    "par",    "dag",    "pa'i",    "'jig",   "rten",  "khams",  "bsam",  "gtan",   "brtson", "'grus",
    "bzod",   "sbyin",  "tshul",   "khrims", "thabs", "mkhas",  "stobs", "oM",     "ma",     "Ni",
    "pad+me", "hUM",    "a",       "e",      "ci",    "'am",    "kyang", "dang",   "gis",    "kyis",
    "yis",    "ste",    "de",      "te",
};

constexpr std::string_view kNotes[] = {
    "[the four immeasurables]",
    "[verse 12]",
    "[see the commentary]",
    "[colophon follows]",
};

}  // namespace

std::string wylie_corpus(std::size_t bytes, unsigned seed) {
  std::mt19937 random(seed);
  const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  std::string text;
  text.reserve(bytes + 256);
  std::size_t line_start = 0;
  int syllables_in_clause = 0;
  while (text.size() < bytes) {
    const std::size_t roll = pick(100);
    if (roll < 2) {
      text += kNotes[pick(std::size(kNotes))];
    } else if (roll < 4) {
      text += "(";
      text += kSyllables[pick(std::size(kSyllables))];
      text += ")";
    } else {
      text += kSyllables[pick(std::size(kSyllables))];
    }
    if (++syllables_in_clause >= 4 + static_cast<int>(pick(6))) {
      text += "/";
      syllables_in_clause = 0;
    }
    if (text.size() - line_start > 60) {
      text += pick(8) == 0 ? "\n\n" : "\n";
      line_start = text.size();
    } else {
      text += ' ';
    }
  }
  return text;
}

}  // namespace bench
