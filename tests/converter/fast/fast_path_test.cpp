// The fast path against the passes it stands for: the same bytes and the same counts on every text it
// takes, and the driver's output the same whether it takes a text or declines it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "convert_file.h"
#include "diagnostics.h"
#include "corpus.h"
#include "driver_support.h"
#include "packed_keys.h"
#include "extract.h"
#include "font_code_pass.h"
#include "rtf_writer.h"
#include "fast_path.h"
#include "scheme_passes.h"
#include "unicode_pass.h"
#include "unicode_rtf_writer.h"

namespace h2test {
namespace {

namespace fs = std::filesystem;
using tsd::Stream;

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Converted {
  std::string bytes;
  ExtractionReport found;
  tsd::SyllableState state;
  int result = 0;
};

// The sample tables of data/, which every stack of the transliteration tables can be typed with; the
// small test tables refuse most of them.
const ConverterKeyTables& sample_key_tables() { return h2test::bundled_key_tables(); }

// A composer that has typed before, as in the second file of a batch.
tsd::SyllableState used_composer() {
  tsd::SyllableState state;
  state.key_history = {'g', 'r', 'a'};
  state.keys_remembered = 1000;
  state.depth = 1;
  return state;
}

// The passes one after another, through temporary files, as the driver chains them.
Converted through_passes(const std::string& input_path, const ConversionRequest& request,
                         const ConversionContext& context, const std::string& output_path) {
  Converted c;
  c.state = used_composer();
  Stream in = Stream::open_read(input_path.c_str(), Stream::Mode::text);
  Stream pre_pass = Stream::temporary();
  Stream syllables = Stream::temporary();
  Stream glyphs = Stream::temporary();
  Stream* source = &in;
  if (route_by_id(request.conversion_type)->from == Scheme::wylie) {
    wylie_to_kvts(in, pre_pass);
    pre_pass.rewind();
    source = &pre_pass;
  }
  extract_syllables(*source, syllables, *context.translit_tables, request.check_syllables, &c.found);
  syllables.rewind();
  {
    Stream out = Stream::open_write(output_path.c_str(), Stream::Mode::text);
    if (route_by_id(request.conversion_type)->to == Format::unicode_rtf) {
      c.result = unicode_pass(syllables, glyphs, request.keep_cr, UnicodePassages::markers, context.status);
      glyphs.rewind();
      if (c.result == 0)
        c.result = write_unicode_rtf(glyphs, out, request.unicode_font, request.roman_size, request.tib_size,
                                     request.small_tib_size);
    } else if (route_by_id(request.conversion_type)->to == Format::unicode) {
      c.result = unicode_pass(syllables, out, request.keep_cr, UnicodePassages::text, context.status);
    } else {
      c.result = font_code_pass(syllables, glyphs, request.keep_cr, *context.key_tables, c.state, context.status);
      glyphs.rewind();
      if (c.result == 0)
        c.result = write_rtf(glyphs, out, context.rtf_fonts, context.font_count, request.font_base,
                             request.roman_size, request.tib_size, request.small_tib_size);
    }
    out.close();
  }
  c.bytes = read_file(output_path);
  return c;
}

Converted through_fast_path(const std::string& input_path, const ConversionRequest& request,
                            ConversionContext& context, const std::string& output_path) {
  Converted c;
  context.composer = used_composer();
  Stream in = Stream::open_read(input_path.c_str(), Stream::Mode::text);
  {
    Stream out = Stream::open_write(output_path.c_str(), Stream::Mode::text);
    c.result = fast_convert(in, out, request, context, c.found);
    out.close();
  }
  c.state = context.composer;
  c.bytes = read_file(output_path);
  return c;
}

class FastPath : public ::testing::Test {
 protected:
  // Both ways; true when the fast path took the text, which then gave the passes' bytes, counts and
  // composer.
  bool same_as_passes(std::string_view text, int type, int keep_cr, bool sample_tables = true) {
    const std::string input = dir.write("in.txt", text);
    ConversionRequest request = test_request(type);
    request.keep_cr = keep_cr;
    ConversionContext context = test_context();
    if (sample_tables) context.key_tables = &sample_key_tables();
    StatusCapture status(context);
    const Converted want = through_passes(input, request, context, dir.file("want.txt"));
    const Converted got = through_fast_path(input, request, context, dir.file("got.txt"));
    if (got.result == kFastDeclined) {
      EXPECT_EQ(got.state.keys_remembered, used_composer().keys_remembered) << "a declined file changed the composer";
      return false;
    }
    EXPECT_EQ(got.result, 0);
    EXPECT_EQ(want.result, 0);
    if (got.bytes != want.bytes) {
      const auto differ = std::mismatch(got.bytes.begin(), got.bytes.end(), want.bytes.begin(), want.bytes.end());
      ADD_FAILURE() << "type " << type << ", keep_cr " << keep_cr << ": from byte "
                    << (differ.first - got.bytes.begin()) << " the fast path writes "
                    << escape(std::string(differ.first, got.bytes.end()).substr(0, 60)) << " and the passes "
                    << escape(std::string(differ.second, want.bytes.end()).substr(0, 60));
    }
    EXPECT_EQ(got.found.syllables, want.found.syllables);
    EXPECT_EQ(got.found.marked, want.found.marked);
    EXPECT_EQ(got.state.key_history, want.state.key_history);
    EXPECT_EQ(got.state.keys_remembered, want.state.keys_remembered);
    EXPECT_EQ(got.state.depth, want.state.depth);
    return true;
  }

  tsd::testing::TempDir dir;
};

const int kFastTypes[] = {route_id("wylie-rtf"),         route_id("kvts-rtf"),
                          route_id("wylie-unicode"),     route_id("kvts-unicode"),
                          route_id("wylie-unicode-rtf"), route_id("kvts-unicode-rtf")};

struct Text {
  const char* name;
  std::string_view text;
  bool taken;  // the fast path converts it itself
};

// Long words learned with the first, before they are met, past words met before: in a bracket, after a
// "@", in a brace, before a VT, at a line's start, after punctuation, met again.
const std::string kKnownWords = [] {
  std::string words;
  for (int i = 0; i < 40; ++i) words += "ka ";
  return words;
}();
const std::string kLongSymbols = "ka -" + std::string(90, '>') + "-- kha\n";
const std::string kLongWordsAhead =
    "ka shud+d+haHsar+b+ba " + kKnownWords +
    "kha [phuHphuHphuHphuHphuH] @averyveryverylongname\nbsgrubsbsgrubsbsgrubs\vga {oMmaNipadmehU~M x} nyid "
    "phuHphuHphuHphuHphuH/oMmaNipadmehU~Mhrih oMmaNipadmehU~Mhrih shud+d+haHsar+b+ba\n";
// The same with words of 12 to 15 bytes, which fit a key (mantras in KVTS), beside words of 11 and 16.
const std::string kKeyedWordsAhead =
    "ka SHUD+D+HAhTRA " + kKnownWords +
    "kha\vga [BADZRASATTVA] @SARBBAMANGALAM\nSHUD+D+HAhTRANI\vga {SARBBAMANGALAM x} HUMPHATSVAH "
    "BADZRASATTVAHUMA ka/oMmaNipadmehU~M oMmaNipadmehU~M,SHUD+D+HAhTRANI SARBBAMANGALAM\nSHUD+D+HAhTRA\n";

// Every construct between and inside words, and those the fast path leaves to the passes.
const Text kTexts[] = {
    {"plain", "bsod nams kyi rgya mtsho/ bkra shis bde legs/\n", true},
    {"dots", "bsod.nams.kyi.rgya.mtsho/_/bkra.shis.bde.legs//\n", true},
    {"g_before_shad_and_blank", "rgyal khang / dag / ming / dag/ sing\ndag\n/dang\n\tgang\n", true},
    {"g_at_the_end", "bsgrubs dag", true},
    {"g_before_line_break_at_the_end", "bsgrubs dag\n", true},
    {"g_dot_y", "g.yas g.yon g.yag g.g.yu dag.go\n", true},
    {"tsh_and_ts", "tshe tsho mtsho ts rts tsa\n", true},
    {"vowels_at_a_syllable_start", "a i u e o E I O ka.a ka/a ka(a) ka-a\n", true},
    {"a_chen_alone", "ka A ga A\nA\n", true},
    {"one_two_three_line_breaks", "ka\nkha\n\nga\n\n\nnga\n\n\n\nca\n", true},
    {"line_breaks_after_blanks_and_shad", "ka \nkha/\nga / \n\nnga\n", true},
    {"tabs", "ka\tkha \t ga\t\n\tnga\n", true},
    {"brackets", "ka [English note] kha [x]ga [a b\nc]\n[]\n", true},
    {"parentheses", "(ka kha) ga (nga\n", true},
    {"hyphens", "ka-kha - ga-\n", true},
    {"unconvertible_syllables", "xyz qqq bsgrubs kkkkk\n", true},
    {"marks_and_digits", "ka_kha #ga |nga ;ca :cha 123 4.5/6 *ja\\ ?nya `ta\n", true},
    {"crlf", "ka\r\nkha\r\n\r\nga\r\n", true},
    {"leading_white_space", "\n\n\t ka kha\n", true},
    {"empty", "", true},
    {"only_white_space", " \n\t\n", true},
    {"bytes_above_127_and_nul", std::string_view("ka\x80 kha\xff\0ga\n", 12), true},
    {"sanskrit", "bud+d+ha ma hA bai pu l+yaM sU tra oM A:H hU~M\n", true},
    {"names", "@#/_/phal po\n@##/_/rgya gar @a.ka @g.yu ka @ka\tkha @x\n\nga @ts.a @end", true},
    {"name_with_a_bracket", "ka @a[b c] kha\n", true},
    {"braces", "ka {note} kha\n", true},
    {"open_bracket", "ka [note\n", false},
    {"long_word", "kakakakakakakakakakaka kha\n", true},
    {"lone_carriage_return", "ka\rkha\n", true},
    // Words too long for a key, taken each time: of more than 40 syllable-file bytes, of more than 128
    // output bytes, after punctuation, glued to punctuation, twice, with a problem far into the word.
    {"mantras", "oM shud+d+haHsar+b+ba phuHphuHphuHphuH hU~M/ shud+d+haHsar+b+ba/phuHphuHphuHphuH,\n", true},
    {"words_of_many_syllable_bytes",
     "bsgrubsbsgrubsbsgrubsbsgrubs brgyudbrgyudbrgyudbrgyudbrgyudbrgyudbrgyudbrgyud\n"
     "sangs.rgyas.sangs.rgyas.sangs.rgyas.sangs.rgyas.sangs.rgyas.sangs.rgyas.sangs.rgyas\n",
     true},
    {"long_word_with_problems",
     std::string_view("kakakakakakakakakakakaxyz\x80kakaka\0kakakakakakaka kha\n", 49), true},
    {"long_word_of_more_than_32_letters", "abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz ka\n", true},
    {"long_words_learned_ahead", kLongWordsAhead, true},
    {"words_nearly_too_long_for_a_key_learned_ahead", kKeyedWordsAhead, true},
    // A long word first met after a stretch through the passes is a stretch of its own, then read on once.
    {"new_long_word_after_the_passes",
     "ka kha {x} SHUD+D+HAhTRANI ga SHUD+D+HAhTRANI BADZRASATTVAHUMA kha\n{y} shud+d+haHsar+b+ba ka "
     "phuHphuHphuH/shud+d+haHsar+b+ba\n",
     true},
    // A run of symbols whose Unicode outgrows a kilobyte (each ">" gives four letters), written whole.
    {"symbols_of_more_than_a_kilobyte_of_unicode", kLongSymbols, true},
    // What the passes read on past white space, and odd white space, each through the passes alone.
    {"brace_across_lines", "ka {a note\nacross\n\nlines} kha\n{x}{y} ga\n", true},
    {"brace_never_closed", "ka kha {a note\nthat never ends\n", true},
    {"bracket_across_lines_and_blocks", "ka [a note\nacross\n\nlines] kha [x\ny]ga\n", true},
    {"brace_with_a_bracket_inside", "ka {a [b} c] d} kha [e {f] g\n", true},
    {"odd_white_space", "ka\vkha\fga nga\r ca\r\rcha (ja\vnya) ta\n", true},
    {"odd_bytes_after_punctuation_and_dots", "ka/\rkha g.\vya ga.\fnga (\rca)\n", true},
    {"long_name_and_name_with_a_brace", "@averyveryverylongname ka @a{b c} kha @x\ry ga\n", true},
    {"open_parenthesis_before_a_brace", "ka (kha {ga} nga\n(ca {cha) ja} nya (ta\n", true},
    {"open_bracket_after_a_brace", "ka {kha} ga [nga\n", false},
    // A "}" in a name closes its passage: the rest of the name, past the white space that the name takes,
    // joins the word after it. At a line's end, after a tsheg, before two blanks, with a brace after it.
    {"closing_brace_in_a_name", std::string_view("ksr@ss} khh\0\0\0\nb] 0k ?(nga\n", 27), true},
    {"closing_brace_in_names", "ka @x}y\nkha @a}b  ga @}\tnga @a}b.ca cha @a}{b c} ja @a}}} nya @a}\n", true},
    // Words whose glyphs overflow a word, written as text up to the white space after them: that white
    // space taken with them, a line break too; again from memory; glued to punctuation and a bracket,
    // which go into the text; after an open parenthesis; at the end of the input. (The small tables also
    // refuse keys of most texts here, which leaves the blank after the word to the layout.)
    {"words_given_up",
     "ka bsgrubs1bsgrubs1bsgrubs1bsgrubs1bsgrubs1bsgrubs1bsgrubs1bsgrubs1bsgrubs1bsgrubs1 kha\n"
     "rgyas%rgyas%rgyas%rgyas%rgyas%rgyas%rgyas%rgyas%rgyas%rgyas%rgyas%rgyas%rgyas%rgyas%\nga\n"
     "bsgrubs1bsgrubs1bsgrubs1bsgrubs1bsgrubs1bsgrubs1bsgrubs1bsgrubs1bsgrubs1bsgrubs1/nga[x y]\tca "
     "(bsgrubs*bsgrubs*bsgrubs*bsgrubs*bsgrubs*bsgrubs*bsgrubs*bsgrubs*bsgrubs*bsgrubs*bsgrubs*) cha\n"
     "rgyas%rgyas%rgyas%rgyas%rgyas%rgyas%rgyas%rgyas%rgyas%rgyas%rgyas%rgyas%rgyas%rgyas%",
     true},
};

// gtest's messages show the text, not the record's bytes.
void PrintTo(const Text& t, std::ostream* os) {
  *os << '"' << escape(t.text) << '"';
}

class FastPathTexts : public FastPath, public ::testing::WithParamInterface<Text> {};

TEST_P(FastPathTexts, gives_the_passes_bytes_or_declines) {
  const Text& t = GetParam();
  for (const int type : kFastTypes) {
    for (const int keep_cr : {0, 1}) {
      for (const bool sample_tables : {true, false}) {
        const bool taken = same_as_passes(t.text, type, keep_cr, sample_tables);
        // KVTS has no "/" or ".": what Wylie declines for them it may take, and the other way round; the
        // small tables refuse words that the sample tables compose.
        if (type == route_id("wylie-unicode") || (type == route_id("wylie-rtf") && sample_tables)) {
          EXPECT_EQ(taken, t.taken) << "type " << type << ", keep_cr " << keep_cr;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(texts, FastPathTexts, ::testing::ValuesIn(kTexts),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FastPath, generated_corpus_is_taken_and_gives_the_passes_bytes) {
  const std::string text = bench::wylie_corpus(500'000, 7);
  for (const int type : kFastTypes)
    for (const int keep_cr : {0, 1}) EXPECT_TRUE(same_as_passes(text, type, keep_cr)) << type;
}

// More distinct words than the fast path's table holds, each text twice: words are learned in many
// batches and forgotten and learned again.
TEST_F(FastPath, text_of_more_words_than_it_remembers_gives_the_passes_bytes) {
  const char* const prefixes[] = {"", "g", "d", "b", "m", "'"};
  const char* const roots[] = {"k", "kh", "g", "ng", "c", "ch", "j", "ny", "t", "th", "d", "n", "p", "ph", "b",
                               "m", "ts", "tsh", "dz", "w", "zh", "z", "y", "r", "l", "sh", "s", "h", "rg", "sk"};
  const char* const vowels[] = {"a", "i", "u", "e", "o"};
  const char* const suffixes[] = {"", "g", "ng", "d", "n", "b", "m", "s", "r", "l", "gs", "bs"};
  std::mt19937 random(11);
  const auto pick = [&random](const auto& list) { return std::string(list[random() % std::size(list)]); };
  const auto syllable = [&] { return pick(prefixes) + pick(roots) + pick(vowels) + pick(suffixes); };
  std::string half;
  while (half.size() < 300'000) {
    std::string word = syllable();
    if (random() % 2) word += syllable();
    half += word.substr(0, 15);
    half += random() % 12 == 0 ? "/\n" : " ";
  }
  const std::string text = half + half;
  for (const int type : kFastTypes) EXPECT_TRUE(same_as_passes(text, type, 0)) << type;
}

void collect_warning(void* lines, const Diagnostic& d) {
  static_cast<std::vector<std::string>*>(lines)->push_back(std::to_string(d.line) + ":" + std::to_string(d.column) +
                                                           ": " + d.text);
}

// The warnings and output of a file converted by the driver, which tries the fast path first, or of the
// same bytes as standard input into a stream, through the fast path first or the passes alone, or into a
// stream held in memory (which the fast path writes in place, emptied again where it declines); for a
// file, whether the fast path takes it without placing problems and while placing them.
struct Warned {
  std::vector<std::string> warnings;
  std::string output;
  bool taken = false;
  bool taken_placing = false;
};
enum class Way { file, stream, stream_through_passes, memory };
Warned converted_with_warnings(const std::string& path, int type, Way way) {
  ConversionContext context = test_context();
  context.fast_path = way != Way::stream_through_passes;
  context.key_tables = &sample_key_tables();
  Warned w;
  context.diagnostics = DiagnosticSink{collect_warning, &w.warnings};
  StatusCapture status(context);
  const ConversionRequest request = test_request(type);
  tsd::testing::TempDir dir;
  const std::string out = dir.file("out");
  if (way == Way::file) {
    convert_file(context, path.c_str(), out.c_str(), request);
    for (const bool placing : {false, true}) {
      Stream in = Stream::open_read(path.c_str(), Stream::Mode::text);
      Stream scratch = Stream::temporary();
      ExtractionReport found;
      (placing ? w.taken_placing : w.taken) = fast_convert(in, scratch, request, context, found, placing) == 0;
    }
  } else if (way == Way::memory) {
    Stream in = Stream::open_read(path.c_str(), Stream::Mode::text);
    std::string kept;
    in.keep_bytes_read(&kept);
    Stream output = Stream::memory(Stream::Mode::text);
    convert(context, request, Endpoint{nullptr, &in, "<stdin>", &kept}, Endpoint{nullptr, &output, "<memory>"});
    w.output = std::string(output.held());
    return w;
  } else {
    Stream in = Stream::open_read(path.c_str(), Stream::Mode::text);
    std::string kept;
    in.keep_bytes_read(&kept);
    Stream output = Stream::open_write(out.c_str(), Stream::Mode::text);
    convert(context, request, Endpoint{nullptr, &in, "<stdin>", &kept}, Endpoint{nullptr, &output, "<stdout>"});
    output.close();
  }
  w.output = read_file(out);
  return w;
}

// With a diagnostic sink, the fast path places every problem where the passes place it: syllables it
// cannot convert, dropped bytes, a parenthesis never closed; after CR LFs and a byte-order mark too. From
// standard input into a stream it gives what it gives between files; where it declines, standard input
// is read again from its kept bytes.
TEST_F(FastPath, problems_are_placed_where_the_passes_place_them) {
  std::string corpus = bench::wylie_corpus(200'000, 3);
  std::string crlf = "\xEF\xBB\xBF";
  for (const char c : corpus.substr(0, 60'000)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const std::string path = TSENDREL_SOURCE_DIR "/../shared/corpus/kangyur-035.wylie.txt";
  const struct {
    const char* name;
    std::string text;
  } texts[] = {
      {"generated", corpus + "\nka (kha ga\n"},
      {"crlf_and_byte_order_mark", crlf + "\r\nxyz \x80ka kha\x01 (ga\r\n"},
      {"kangyur", fs::exists(path) ? read_file(path) : std::string()},
      {"brace_after_crlf", crlf + "\r\nxyz \x80ka {kha} (ga\r\n"},
      {"long_words_and_braces_after_crlf",
       crlf + "\r\nxyz (shud+d+haHsar+b+ba\x80phuHphuHphuHphuH {kha\r\nxyz} \rga ka{x\r\n"},
      {"long_words_with_problems_learned_ahead",
       crlf + "\r\nka shud+d+haHsar+b+ba " + kKnownWords +
           "kha xyzxyzxyzxyzxyz\x80kakaka\r\n(\x80phuHphuHphuHphuH ga\r\n"},
  };
  for (const auto& t : texts) {
    if (t.text.empty()) continue;
    const std::string input = dir.write(std::string(t.name) + ".txt", t.text);
    for (const int type : kFastTypes) {
      const Warned fast = converted_with_warnings(input, type, Way::file);
      const Warned passes = converted_with_warnings(input, type, Way::stream_through_passes);
      const Warned stream = converted_with_warnings(input, type, Way::stream);
      const Warned memory = converted_with_warnings(input, type, Way::memory);
      EXPECT_TRUE(fast.taken) << t.name << ", type " << type;
      EXPECT_EQ(fast.taken_placing, fast.taken) << t.name << ", type " << type;
      EXPECT_GT(fast.warnings.size(), 0u) << t.name << ", type " << type;
      EXPECT_EQ(fast.warnings, passes.warnings) << t.name << ", type " << type;
      EXPECT_TRUE(fast.output == passes.output) << t.name << ", type " << type;
      EXPECT_EQ(stream.warnings, passes.warnings) << t.name << ", type " << type;
      EXPECT_TRUE(stream.output == passes.output) << t.name << ", type " << type;
      EXPECT_EQ(memory.warnings, passes.warnings) << t.name << ", type " << type;
      EXPECT_TRUE(memory.output == passes.output) << t.name << ", type " << type;
    }
  }
}

// A word written as text gets its warning by the syllable-file word it lies in, which the fast path does
// not count: it takes such a text only when no problems are placed, and the driver's output and warnings
// are the passes' either way.
TEST_F(FastPath, words_given_up_are_taken_unless_their_warnings_are_placed) {
  const std::string given_up = "bsgrubs1bsgrubs1bsgrubs1bsgrubs1bsgrubs1bsgrubs1bsgrubs1bsgrubs1bsgrubs1bsgrubs1";
  const std::string texts[] = {"ka " + given_up + " kha\n", "\x80 ka " + given_up + ",ga " + given_up};
  for (const std::string& wylie : texts) {
    for (const int type : {route_id("wylie-rtf"), route_id("kvts-rtf")}) {
      std::string text = wylie;
      if (type == route_id("kvts-rtf")) std::transform(text.begin(), text.end(), text.begin(), ::toupper);
      const std::string input = dir.write("given_up.txt", text);
      const Warned fast = converted_with_warnings(input, type, Way::file);
      const Warned passes = converted_with_warnings(input, type, Way::stream_through_passes);
      // Declined after writing, in memory: emptied, then the passes' output alone.
      const Warned memory = converted_with_warnings(input, type, Way::memory);
      EXPECT_TRUE(fast.taken) << escape(text) << ", type " << type;
      EXPECT_FALSE(fast.taken_placing) << escape(text) << ", type " << type;
      EXPECT_EQ(fast.warnings, passes.warnings) << escape(text) << ", type " << type;
      EXPECT_TRUE(fast.output == passes.output) << escape(text) << ", type " << type;
      EXPECT_EQ(memory.warnings, passes.warnings) << escape(text) << ", type " << type;
      EXPECT_TRUE(memory.output == passes.output) << escape(text) << ", type " << type;
    }
  }
}

TEST_F(FastPath, kangyur_volume_is_taken_and_gives_the_passes_bytes) {
  const std::string path = TSENDREL_SOURCE_DIR "/../shared/corpus/kangyur-035.wylie.txt";
  if (!fs::exists(path)) GTEST_SKIP() << "the shared corpus is not beside the checkout";
  const std::string text = read_file(path);
  // Line for line, as the volume is kept; the joined lines are the generated corpus's part.
  EXPECT_TRUE(same_as_passes(text, route_id("wylie-unicode"), 1));
  EXPECT_TRUE(same_as_passes(text, route_id("wylie-rtf"), 0));
  EXPECT_TRUE(same_as_passes(text, route_id("wylie-unicode-rtf"), 0));
}

}  // namespace
}  // namespace h2test

// The fast path packs its words with a wide load: the same runs as everyone else's packing, whatever
// lies past them.
TEST(packed_keys, packing_in_place_gives_the_same_run_as_packing) {
  std::array<unsigned char, 32> bytes;
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(0xF1 - 7 * i);
  for (int length = 0; length <= tarvex::kLongestPackedRun; ++length)
    EXPECT_EQ(tarvex::pack_run_in_place(bytes.data(), length), tarvex::pack_run(bytes.data(), length))
        << "length " << length;
}
