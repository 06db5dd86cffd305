#include "translit_tables.h"

#include <string_view>

namespace tarvex {

namespace {

// The KVTS texts of `stacks`, in table order; "DDV" has two rows.
constexpr const char* kStackTexts[kStackCount] = {
    "B+D",    "B+T",   "BB",    "BBH",   "BDDZ", "BDH",   "BDHV",   "BGH",   "BH",    "BHM",     "BHN",
    "BHR",    "BHV",   "BHY",   "BL",    "BM",   "BN",    "BR",     "BY",    "CH",    "CHV",     "CV",
    "D+B",    "D+BR",  "D+G",   "D+GR",  "D+GY", "D+M",   "DBH",    "DBHY",  "DD",    "DDH",     "DDHN",
    "DDHR",   "DDHV",  "DDHY",  "DDR",   "DDV",  "DDV",   "DDY",    "DDZ",   "DGH",   "DGHR",    "DH",
    "DHM",    "DHN",   "DHN+Y", "DHR",   "DHRY", "DHV",   "DHY",    "DN",    "DR",    "DRV",     "DRY",
    "DV",     "DVY",   "DY",    "DZ",    "DZDZ", "DZDZH", "DZDZNY", "DZDZV", "DZH",   "DZHDZH",  "DZM",
    "DZN",    "DZNV",  "DZNY",  "DZNYY", "DZR",  "DZV",   "DZY",    "G+D",   "G+N",   "G+NY",    "GB",
    "GBH",    "GBHY",  "GBY",   "GDH",   "GDHV", "GDHY",  "GG",     "GGH",   "GH",    "GHM",     "GHN",
    "GHN+Y",  "GHNY",  "GHR",   "GHV",   "GHY",  "GL",    "GM",     "GMY",   "GN+Y",  "GR",      "GRV",
    "GRY",    "GV",    "GY",    "Gn",    "HL",   "HM",    "HMY",    "HN",    "HN+Y",  "HNY",     "HP",
    "HPH",    "HR",    "HS",    "HSV",   "HT",   "HV",    "HVY",    "HY",    "Hn",    "KDZNY",   "KH",
    "KHKH",   "KHL",   "KHN",   "KHR",   "KHV",  "KHY",   "KK",     "KKH",   "KL",    "KM",      "KMY",
    "KN",     "KR",    "KRY",   "KS",    "KSH",  "KSM",   "KSN",    "KSV",   "KSY",   "KT",      "KTH",
    "KTHY",   "KTR",   "KTRY",  "KTV",   "KTY",  "KTZ",   "KV",     "KY",    "Kn",    "Ksh",     "KshM",
    "KshMY",  "KshV",  "KshY",  "Kshn",  "LB",   "LC",    "LD",     "LG",    "LGV",   "LH",      "LJ",
    "LK",     "LL",    "LM",    "LNG",   "LP",   "LT",    "LV",     "LY",    "M+N",   "M+NY",    "MB",
    "MBH",    "MBHY",  "MH",    "ML",    "MM",   "MN+Y",  "MP",     "MPR",   "MR",    "MS",      "MV",
    "MY",     "Mn",    "N+GH",  "N+Y",   "ND",   "NDDR",  "NDH",    "NDHR",  "NDHY",  "NDR",     "NDY",
    "NDZ",    "NDZY",  "NG",    "NG+G",  "NGG",  "NGGH",  "NGGHR",  "NGGHY", "NGGR",  "NGGY",    "NGH",
    "NGK",    "NGKH",  "NGKHY", "NGKT",  "NGKY", "NGKsh", "NGKshY", "NGM",   "NGNG",  "NGS",     "NGSH",
    "NGY",    "NH",    "NHR",   "NK",    "NK+H", "NKT",   "NM",     "NN",    "NN+Y",  "NNNN",    "NPH",
    "NPR",    "NR",    "NS",    "NSY",   "NT",   "NT+S",  "NTH",    "NTR",   "NTRY",  "NTV",     "NTY",
    "NTZ",    "NV",    "NVY",   "NY",    "NYDZ", "NYSH",  "NYTS",   "NYTZ",  "NYV",   "Nd",      "PD",
    "PH",     "PHR",   "PHY",   "PHYV",  "PL",   "PM",    "PN",     "PN+Y",  "PP",    "PPH",     "PR",
    "PS",     "PSN+Y", "PSV",   "PSY",   "PT",   "PTRY",  "PTY",    "PV",    "PY",    "RB",      "RBB",
    "RBH",    "RBP",   "RBT",   "RD",    "RDH",  "RDZ",   "RDZNY",  "RG",    "RGH",   "RGV",     "RGY",
    "RH",     "RJ",    "RK",    "RKH",   "RKT",  "RKY",   "RKsh",   "RL",    "RM",    "RMM",     "RMY",
    "RN",     "RNG",   "RNY",   "RP",    "RS",   "RSH",   "RT",     "RT+S",  "RT+SN", "RT+SN+Y", "RTH",
    "RTHY",   "RTS",   "RTT",   "RTV",   "RTZ",  "RTZV",  "RV",     "RY",    "Rd",    "Rn",      "Rsh",
    "Rt",     "Rth",   "S+H",   "SB",    "SBH",  "SBR",   "SBY",    "SD",    "SG",    "SGR",     "SGY",
    "SH",     "SHL",   "SHM",   "SHN",   "SHR",  "SHRY",  "SHSH",   "SHTZ",  "SHTZY", "SHV",     "SHVG",
    "SHVY",   "SHY",   "SK",    "SKH",   "SKR",  "SKS",   "SKY",    "SL",    "SM",    "SMR",     "SMY",
    "SN",     "SN+Y",  "SNG",   "SNR",   "SNV",  "SNY",   "SP",     "SPH",   "SPR",   "SPY",     "SQ",
    "SR",     "SRV",   "SS",    "SSV",   "ST",   "STH",   "STHY",   "STR",   "STRY",  "STV",     "STY",
    "STZ",    "STZY",  "SV",    "SVY",   "SY",   "St",    "Sth",    "T+S",   "T+SM",  "T+SMY",   "T+SN",
    "T+SN+Y", "T+SR",  "T+ST",  "T+STH", "T+SV", "T+SY",  "TBH",    "TG",    "TH",    "THLH",    "THR",
    "THV",    "THY",   "TK",    "TKS",   "TKV",  "TKsh",  "TM",     "TMY",   "TN",    "TN+Y",    "TNY",
    "TP",     "TPH",   "TR",    "TRY",   "TS",   "TSTH",  "TSTS",   "TSV",   "TT",    "TTH",     "TTR",
    "TTV",    "TTY",   "TV",    "TVY",   "TY",   "TZ",    "TZHY",   "TZM",   "TZN+Y", "TZNY",    "TZR",
    "TZTS",   "TZTSR", "TZTSV", "TZTZ",  "TZV",  "TZY",   "Tth",    "V",     "VR",    "VY",      "WR",
    "WY",     "YS",    "YV",    "YY",    "ZH",   "ZHV",   "ZL",     "ZV",    "dBH",   "dG",      "dGH",
    "dH",     "dHM",   "dHR",   "dHV",   "dHY",  "dM",    "dY",     "dd",    "ddH",   "nM",      "nV",
    "nY",     "nd",    "ndH",   "nn",    "nt",   "nth",   "sh",     "shK",   "shKR",  "shL",     "shM",
    "shP",    "shPR",  "shTH",  "shTZ",  "shV",  "shY",   "shn",    "shn+Y", "shnY",  "shsh",    "shshY",
    "sht",    "shtR",  "shtRY", "shtV",  "shtY", "shth",  "shthY",  "tBH",   "tG",    "tK",      "tM",
    "tN",     "tP",    "tPH",   "tS",    "tV",   "tY",    "th",     "thR",   "thY",   "tsh",     "tt",
};

// Rows whose key string departs from the spelling rule of stack_keys_of.
struct StackException {
  std::string_view kvts;
  std::string_view keys;
};
constexpr StackException kStackExceptions[] = {
    {"DDV", "fddv"}, {"GN+Y", "fgnY"}, {"NGKshY", "fGKBy"}, {"PSN+Y", "fpsyn"},
    {"RP", "fRp"},   {"RS", "fRs"},    {"RSH", "fRS"},      {"RY", "fRy"},
    {"Rsh", "fRB"},  {"SQ", "fst"},    {"shnY", "fBVY"},
};

struct LetterKey {
  std::string_view letter;
  char key;
};
// Two-character letters first: a letter is the longest of these that starts the rest of the text.
constexpr LetterKey kStackLetters[] = {
    {"KH", 'K'}, {"NG", 'G'}, {"CH", 'C'}, {"NY", 'N'}, {"TH", 'T'}, {"PH", 'P'}, {"TZ", 'x'},
    {"TS", 'X'}, {"DZ", 'D'}, {"ZH", 'Z'}, {"SH", 'S'}, {"th", 'Q'}, {"sh", 'B'}, {"K", 'k'},
    {"G", 'g'},  {"C", 'c'},  {"J", 'j'},  {"T", 't'},  {"D", 'd'},  {"N", 'n'},  {"P", 'p'},
    {"B", 'b'},  {"M", 'm'},  {"W", 'w'},  {"V", 'w'},  {"Z", 'z'},  {"'", '\''}, {"Y", 'y'},
    {"R", 'r'},  {"L", 'l'},  {"S", 's'},  {"H", 'h'},  {"t", 'q'},  {"d", 'v'},  {"n", 'V'},
};

// A key string of `stacks`; longer ones do not occur (checked below).
struct KeyString {
  char text[8];
};

constexpr KeyString make_key_string(std::string_view keys) {
  KeyString result{};
  if (keys.size() < sizeof result.text) keys.copy(result.text, keys.size());
  return result;
}

// The key string of a cluster: each letter's key code, "+" skipped, and the stack key in front of two or
// more letters. An unknown letter gives the empty string, which the check below refuses.
constexpr KeyString stack_keys_of(std::string_view kvts) {
  for (const auto& row : kStackExceptions)
    if (row.kvts == kvts) return make_key_string(row.keys);
  char keys[16] = {kStackKey};
  int count = 1;
  while (!kvts.empty()) {
    if (kvts.front() == '+') {
      kvts.remove_prefix(1);
      continue;
    }
    char key = 0;
    for (const auto& letter : kStackLetters) {
      if (kvts.starts_with(letter.letter)) {
        key = letter.key;
        kvts.remove_prefix(letter.letter.size());
        break;
      }
    }
    if (key == 0 || count == 15) return KeyString{};
    keys[count++] = key;
  }
  const std::string_view all(keys, count);
  return make_key_string(count == 2 ? all.substr(1) : all);
}

constexpr auto kStackKeyStrings = [] {
  std::array<KeyString, kStackCount> strings{};
  for (int i = 0; i < kStackCount; ++i) strings[i] = stack_keys_of(kStackTexts[i]);
  return strings;
}();

constexpr auto kStackKeys = [] {
  std::array<const char*, kStackCount> keys{};
  for (int i = 0; i < kStackCount; ++i) keys[i] = kStackKeyStrings[i].text;
  return keys;
}();

constexpr const char* kInitialVowelTexts[kInitialVowelCount] = {
    "A'A", "A'E", "A'EE", "A'Em", "A'I", "A'Im", "A'O", "A'OO", "A'Om", "A'U", "A'Um", "A'i", "A'im", "AA",
    "AAm", "AE",  "AEE",  "AEm",  "AI",  "AIm",  "AO",  "AOO",  "AOm",  "AU",  "AUm",  "Ai",  "Aim",
};
constexpr const char* kInitialVowelKeys[kInitialVowelCount] = {
    "fA'a", "fA'e",  "fA'E", "fA'F", "fA'i", "fA'J", "fA'o", "fA'O", "fA'L",
    "fA'u", "fA'u&", "fA'I", "fA'U", "A",    "A&",   "Ae",   "AE",   "AF",
    "Ai",   "AJ",    "Ao",   "AO",   "AL",   "Au",   "Au&",  "AI",   "AU",
};

constexpr const char* kVowelTexts[kVowelCount] = {
    "A",   "A'E", "A'I", "A'O", "A'U", "AE",  "AI",  "AO",  "AU",  "Am",  "E",  "E'E",
    "E'I", "E'O", "E'U", "EE",  "Em",  "I",   "I'E", "I'I", "I'O", "I'U", "Im", "O",
    "OO",  "Om",  "U",   "U'E", "U'I", "U'O", "U'U", "Um",  "i",   "im",
};
constexpr const char* kVowelKeys[kVowelCount] = {
    "a", "a'e", "a'i", "a'o", "a'u", "e", "i", "o", "u", "a&", "e",   "e'e", "e'i", "e'o", "e'u", "E", "F",
    "i", "i'e", "i'i", "i'o", "i'u", "J", "o", "O", "L", "u",  "u'e", "u'i", "u'o", "u'u", "u&",  "I", "U",
};

// Sorted like every table: "M+NY" before "MN".
constexpr const char* kLaterStackTexts[kLaterStackCount] = {"BD", "BT", "DB",   "DG", "DM",
                                                            "GD", "GN", "M+NY", "MN"};
constexpr const char* kLaterStackKeys[kLaterStackCount] = {"fbd", "fbt", "fdb", "fdg", "fdm",
                                                           "fgd", "fgn", "fmN", "fmn"};

constexpr bool is_sorted_table(const char* const* strings, int count) {
  for (int i = 1; i < count; ++i) {
    const std::string_view a(strings[i - 1]);
    const std::string_view b(strings[i]);
    // string_view compares as char, which may be signed; the texts are ASCII, where both orders agree.
    if (b < a) return false;
  }
  return true;
}

constexpr bool all_stack_keys_spelled() {
  for (const auto& keys : kStackKeyStrings)
    if (keys.text[0] == '\0') return false;
  return true;
}

static_assert(all_stack_keys_spelled(), "a stack text holds a letter without a key code");
static_assert(is_sorted_table(kStackTexts, kStackCount));
static_assert(is_sorted_table(kInitialVowelTexts, kInitialVowelCount));
static_assert(is_sorted_table(kVowelTexts, kVowelCount));
static_assert(is_sorted_table(kLaterStackTexts, kLaterStackCount));

struct CharPair {
  unsigned char from;
  unsigned char to;
};

constexpr CharPair kLetterKeys[] = {
    {'B', 'b'}, {'C', 'c'}, {'D', 'd'}, {'G', 'g'}, {'H', 'h'}, {'J', 'j'},   {'K', 'k'},   {'L', 'l'},
    {'M', 'm'}, {'N', 'n'}, {'P', 'p'}, {'R', 'r'}, {'S', 's'}, {'T', 't'},   {'V', 'w'},   {'W', 'w'},
    {'Y', 'y'}, {'Z', 'z'}, {'d', 'v'}, {'n', 'V'}, {'t', 'q'}, {'\'', '\''}, {'*', '"'},   {',', ','},
    {':', ':'}, {';', '-'}, {'=', '/'}, {'%', ';'}, {'#', '!'}, {'`', '?'},   {'\\', '\\'}, {'|', '|'},
};

struct KeyText {
  unsigned char key;
  const char* text;
};

// Every key code that a key string can hold has its text, so a word written back as KVTS loses nothing:
// "L" is the vowel "Om", and the keys of "#" and "\\" ("!" and "\\") write those characters back.
constexpr KeyText kKeyTexts[] = {
    {'!', "#"},  {'\\', "\\"}, {'k', "K"},  {'K', "KH"}, {'g', "G"},  {'G', "NG"}, {'c', "C"},  {'C', "CH"},
    {'j', "J"},  {'N', "NY"},  {'t', "T"},  {'T', "TH"}, {'d', "D"},  {'n', "N"},  {'p', "P"},  {'P', "PH"},
    {'b', "B"},  {'B', "sh"},  {'m', "M"},  {'x', "TZ"}, {'X', "TS"}, {'D', "DZ"}, {'w', "W"},  {'W', "W"},
    {'Z', "ZH"}, {'z', "Z"},   {'\'', "'"}, {'y', "Y"},  {'Y', "Y"},  {'r', "R"},  {'R', "r"},  {'l', "L"},
    {'S', "SH"}, {'s', "S"},   {'h', "H"},  {'A', "AA"}, {'v', "d"},  {'V', "n"},  {'q', "t"},  {'Q', "th"},
    {'a', "A"},  {'i', "I"},   {'u', "U"},  {'e', "E"},  {'o', "O"},  {'I', "i"},  {'E', "EE"}, {'O', "OO"},
    {'J', "Im"}, {'F', "Em"},  {'L', "Om"}, {'U', "im"}, {'-', ";"},  {'"', "*"},  {',', ","},  {':', ":"},
    {'?', "`"},  {'*', "\\"},  {'@', "#"},  {';', "%"},  {'/', "="},  {'|', "|"},  {'0', "0"},  {'1', "1"},
    {'2', "2"},  {'3', "3"},   {'4', "4"},  {'5', "5"},  {'6', "6"},  {'7', "7"},  {'8', "8"},  {'9', "9"},
};

}  // namespace

constexpr std::array<unsigned char, 256> make_letter_keys() {
  std::array<unsigned char, 256> keys{};
  for (const auto& pair : kLetterKeys) keys[pair.from] = pair.to;
  for (unsigned char digit = '0'; digit <= '9'; ++digit) keys[digit] = digit;
  return keys;
}

constexpr std::array<const char*, 256> make_key_text() {
  std::array<const char*, 256> texts{};
  for (auto& text : texts) text = "";
  for (const auto& entry : kKeyTexts) texts[entry.key] = entry.text;
  return texts;
}

constexpr std::array<unsigned char, 256> letter_keys = make_letter_keys();
constexpr std::array<const char*, 256> key_text = make_key_text();

const TranslitTables& built_translit_tables() {
  static constexpr TranslitTables tables = {
      {kStackTexts, kStackKeys.data(), kStackCount},
      {kInitialVowelTexts, kInitialVowelKeys, kInitialVowelCount},
      {kVowelTexts, kVowelKeys, kVowelCount},
      {kLaterStackTexts, kLaterStackKeys, kLaterStackCount},
  };
  return tables;
}

}  // namespace tarvex
