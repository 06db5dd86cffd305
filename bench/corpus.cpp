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

// Sanskrit syllables as the scheme spells them in mantras and dharanis, which run together into words
// longer than any Tibetan one.
constexpr std::string_view kMantraSyllables[] = {
    "phuH", "shud+d+ha", "sar+b+ba", "hU~M", "phaT", "s+wA", "hA", "badz+ra", "oM", "AH",
    "tra",  "ka",        "ra",       "ni",   "sa",   "ma",   "ya", "ta",      "thA", "ga",
};

constexpr std::string_view kBraced[] = {
    "{rgya gar skad du}",
    "{Skt. mahayana}",
};

// A mantra word of more than 15 bytes.
template <typename Pick>
std::string mantra_word(Pick pick) {
  std::string word;
  while (word.size() <= 15) word += kMantraSyllables[pick(std::size(kMantraSyllables))];
  return word;
}

}  // namespace

std::string wylie_corpus(std::size_t bytes, unsigned seed, bool long_words) {
  std::mt19937 random(seed);
  // What the variant adds comes from a generator of its own: the rest of the text stays the same.
  std::mt19937 added(seed + 1);
  const auto pick_added = [&](std::size_t n) { return static_cast<std::size_t>(added() % n); };
  const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  std::string text;
  text.reserve(bytes + 256);
  std::size_t line_start = 0;
  int syllables_in_clause = 0;
  while (text.size() < bytes) {
    if (long_words) {
      const std::size_t roll = pick_added(20'000);
      if (roll < 40) {
        text += mantra_word(pick_added);
        text += ' ';
      } else if (roll == 40) {
        text += kBraced[pick_added(std::size(kBraced))];
        text += ' ';
      } else if (roll == 41) {
        text += "[a note that runs\nover two lines] ";
      }
    }
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
