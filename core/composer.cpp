#include "composer.h"

#include "trace.h"

namespace tsd {

namespace {

constexpr unsigned char kSymbolFont1 = kFontBase + 32;  // "vowa"
constexpr unsigned char kSymbolFont2 = kFontBase + 33;  // "syma"

// Appends to a glyph buffer; the composer's rules keep a string within 25 bytes, and the writer never
// goes past the caller's 32 whatever the table holds.
struct GlyphWriter {
  unsigned char* buf;
  int length = 0;

  void put(int byte) {
    if (length < kGlyphBufferSize - 1) buf[length++] = static_cast<unsigned char>(byte);
  }
  void take_back(int count) {
    for (int i = 0; i < count; ++i) put(kTakeBack);
  }
  // A form in font 0 is its code alone; any other font is selected and left again.
  void form(int font, int code) {
    if (font != 0) put(kFontBase + font);
    put(code);
    if (font != 0) put(kFontBase);
  }
};

bool is_vowel_key(unsigned char ch) {
  return ch != 'u' && vowel_code(ch) > 0;
}

// Whether `u` joins the key before it: a letter does; a mark, digit, vowel, the stack key or no key has no
// joined form that means anything, so `u` after it is consumed rather than taking back what stands there.
template <int Forms>
bool joins_u(const KeyTables<Forms>& t, int key) {
  if (key <= 0 || key >= 128) return false;
  const auto ch = static_cast<unsigned char>(t.tib_keys[key].ch);
  const bool letter = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || ch == '\'';
  return letter && ch != 'a' && vowel_code(ch) == 0;
}

void close_match_stack(SyllableState& st) {
  st.depth = 0;
}

// The only functions that touch key_history: the word memo replays a word wherever the history entries it
// did not read differ, so every read of a rule goes through key_behind, which records it. A typist's
// BackSpace sets the history back (set_history), on a path that no memo follows.
void remember_key(SyllableState& st, int key) {
  st.key_history[0] = st.key_history[1];
  st.key_history[1] = st.key_history[2];
  st.key_history[2] = key;
  ++st.keys_remembered;
}

// The key `back` places behind the one being composed: 1 is the newest in the history, 3 the oldest.
int key_behind(SyllableState& st, int back) {
  if (st.keys_remembered - back < st.oldest_key_read) st.oldest_key_read = st.keys_remembered - back;
  return st.key_history[3 - back];
}

std::array<int, 3> history_of(const SyllableState& st) {
  return st.key_history;
}

void set_history(SyllableState& st, const std::array<int, 3>& keys) {
  st.key_history = keys;
}

template <int Forms>
[[gnu::always_inline]] inline int outside_stack(int key, unsigned char ch, GlyphWriter& out,
                                                const KeyTables<Forms>& t, SyllableState& st, bool typist) {
  if (ch == 0) return 1;
  if (ch == 'a') return 0;
  const int k_index = t.tib_keys[key].index;
  const TibChar<Forms>& k = t.tib_chars[k_index];
  if (ch == '$') {
    st.apostrophe_flag = 0;
    st.entry = 0;
    st.match_stack[0] = 0;
    st.depth = 1;
    st.stack_text[0] = '\0';
    st.stack_length = 0;
    out.put(kStackMarker);
  } else if (is_vowel_key(ch)) {
    const int previous = key_behind(st, 1);
    const TibChar<Forms>& p = t.tib_chars[t.tib_keys[previous].index];
    const int v = vowel_code(ch);
    int code = p.font_slot[v];
    if (key == 'i' && previous == '\'' && key_behind(st, 2) == 'o') code += kShiftedI;
    out.form(p.font_table[v], code);
  } else if (ch == '.') {
    out.put(k.font_slot[kFormBase]);
    out.put(' ');
  } else if (ch == 'u') {
    const int previous = key_behind(st, 1);
    // A typist's `u` joins only a letter: any other joined form is no glyph that a document can be read by.
    if (typist && !joins_u(t, previous)) return 0;
    const int p_index = t.tib_keys[previous].index;
    const TibChar<Forms>& p = t.tib_chars[p_index];
    TSD_TRACE(0, "tib_chars[%d]: string %s, font_slot %d, font_table %d", p_index, p.string,
              p.font_slot[kFormJoinedU], p.font_table[kFormJoinedU]);
    out.put(kTakeBack);
    out.form(p.font_table[kFormJoinedU], p.font_slot[kFormJoinedU]);
  } else {
    TSD_TRACE(0, "char_index_val %d, string %s, font_slot %d, font_table %d", k_index, k.string,
              k.font_slot[kFormBase], k.font_table[kFormBase]);
    out.form(k.font_table[kFormBase], k.font_slot[kFormBase]);
    TSD_TRACE(0, "tib_keys[%d].index = %d, ch_slot %d, ch_table %d, buf_pos %d\n", key, k_index,
              k.font_slot[kFormBase], k.font_table[kFormBase], out.length);
  }
  remember_key(st, key);
  st.current_font = 0;
  return 1;
}

// The closing key takes back the marker and the echoes and writes the stack's own glyph with its vowel;
// returns the length of the glyph string.
template <int Forms>
[[gnu::noinline]] int close_stack(int key, unsigned char ch, unsigned char* buf, const KeyTables<Forms>& t,
                                  SyllableState& st) {
  GlyphWriter out{buf};
  const int echoed = st.stack_length;
  close_match_stack(st);
  if (echoed == 0) {
    // Only the marker is written: every closing key, `u` included, takes it back.
    out.put(kTakeBack);
    return out.length;
  }
  out.take_back(echoed + 1);
  st.current_font = 0;
  const TibChar<Forms>& s = t.tib_chars[st.entry];
  auto select = [&](int font) {
    if (font != st.current_font) {
      out.put(kFontBase + font);
      st.current_font = font;
    }
  };
  if (ch == 'u') {
    const int form = st.apostrophe_flag ? kFormApostropheJoinedU : kFormJoinedU;
    select(s.font_table[form]);
    out.put(s.font_slot[form]);
  } else {
    const int base = st.apostrophe_flag ? kFormApostropheBase : kFormBase;
    select(s.font_table[base]);
    out.put(s.font_slot[base]);
    const int v = vowel_code(ch);
    if (v > 0) {
      select(s.font_table[v]);
      out.put(s.font_slot[v]);
    } else if (ch == '.') {
      select(0);
      out.put(t.tib_chars[t.tib_keys[key].index].font_slot[kFormBase]);
      out.put(' ');
    }
  }
  if (st.current_font != 0) out.put(kFontBase);
  st.current_font = 0;
  return out.length;
}

template <int Forms>
[[gnu::always_inline]] inline int inside_stack(int key, unsigned char ch, GlyphWriter& out,
                                               const KeyTables<Forms>& t, SyllableState& st) {
  if (ch == 0) return 1;
  if (ch == 'u' || is_vowel_key(ch) || ch == '$' || ch == '.' || ch == 'a') {
    // The closing key writes the first bytes of the glyph string.
    out.length = close_stack(key, ch, out.buf, t, st);
    return 1;
  }
  const int echo = t.tib_chars[t.tib_keys[key].index].font_slot[kFormBase];
  if (ch == '\'' && st.stack_length > 0) {
    if (st.depth == kMatchStackSize) return -1;
    st.apostrophe_flag = 1;
    st.stack_text[st.stack_length++] = '\'';
    st.stack_text[st.stack_length] = '\0';
    st.match_stack[st.depth++] = st.entry;
    out.put(echo);
    return 1;
  }
  char text[sizeof st.stack_text];
  for (int i = 0; i < st.stack_length; ++i) text[i] = st.stack_text[i];
  text[st.stack_length] = static_cast<char>(ch);
  const int found = find_stack(t.stack_index, text, st.stack_length + 1, st.entry);
  if (found < 0) return 1;  // a letter that extends no entry is ignored
  if (st.depth == kMatchStackSize) return -1;
  st.stack_text[st.stack_length++] = static_cast<char>(ch);
  st.stack_text[st.stack_length] = '\0';
  st.entry = found;
  st.match_stack[st.depth++] = found;
  out.put(echo);
  return 1;
}

int control_key(int key, GlyphWriter& out, SyllableState& st) {
  if (key == 8) {
    st.symbol1 = st.symbol2 = 0;
    if (st.depth > 0) {
      if (st.stack_length > 0) {
        if (st.stack_text[--st.stack_length] == '\'') st.apostrophe_flag = 0;
        st.stack_text[st.stack_length] = '\0';
      }
      --st.depth;
      st.entry = st.depth > 0 ? st.match_stack[st.depth - 1] : -1;
    }
    out.put(kTakeBack);
    return 1;
  }
  if (key == 24) {
    close_match_stack(st);
    st.symbol1 = 1;
    trace_text(0, "ctrl x");
    return 0;
  }
  if (key == 25) {
    close_match_stack(st);
    st.symbol2 = 1;
    trace_text(0, "ctrl y");
    return 0;
  }
  // The marker and the echoes of an open stack stay written.
  close_match_stack(st);
  st.symbol1 = 0;
  out.put(key);
  return 1;
}

int symbol_key(int key, GlyphWriter& out, SyllableState& st) {
  const bool first = st.symbol1 != 0;
  trace_text(0, first ? "symbol1 is on" : "symbol2 is on");
  if (key >= 32 && key <= 126) {
    out.put(first ? kSymbolFont1 : kSymbolFont2);
    out.put(key);
    out.put(kFontBase);
  }
  (first ? st.symbol1 : st.symbol2) = 0;
  return 1;
}

// The rules in their order; the common case (Tibetan on, a printable key, no symbol flag) tests once.
template <int Forms>
[[gnu::always_inline]] inline int compose(int key, GlyphWriter& out, const KeyTables<Forms>& t,
                                          SyllableState& st, bool typist = false) {
  if (st.mode == 0 || st.mode != st.last_mode) [[unlikely]] {
    if (st.mode == 0) {
      st.last_mode = 0;
      out.put(key);
      return 1;
    }
    st.last_mode = st.mode;
    close_match_stack(st);
  }
  if (key >= 1 && key <= 31) [[unlikely]]
    return control_key(key, out, st);
  if (st.symbol1 | st.symbol2) [[unlikely]]
    return symbol_key(key, out, st);
  // Codes past the 128-entry keymap act as unmapped keys.
  const auto ch = static_cast<unsigned char>(key >= 0 && key < 128 ? t.tib_keys[key].ch : 0);
  TSD_TRACE(0, "%c", ch);
  return st.depth == 0 ? outside_stack(key, ch, out, t, st, typist) : inside_stack(key, ch, out, t, st);
}

}  // namespace

template <int Forms>
int compose_key(int key, unsigned char* buf, const KeyTables<Forms>& t, SyllableState& st) {
  GlyphWriter out{buf};
  const int result = compose(key, out, t, st);
  buf[out.length] = 0;
  return result;
}

template <int Forms>
int compose_key(int key, unsigned char* buf, const KeyTables<Forms>& t, SyllableState& st, int& length) {
  GlyphWriter out{buf};
  const int result = compose(key, out, t, st);
  buf[out.length] = 0;
  length = out.length;
  return result;
}

template <int Forms>
int type_key(int key, unsigned char* buf, const KeyTables<Forms>& t, SyllableState& st, TypedHistory& typed) {
  const bool erases_outside_stack = key == 8 && st.mode != 0 && (st.depth == 0 || st.mode != st.last_mode);
  GlyphWriter out{buf};
  const int result = compose(key, out, t, st, true);
  buf[out.length] = 0;
  // The record follows the glyph string: a take-back drops a character, every code adds one.
  for (int i = 0; i < out.length; ++i) {
    if (buf[i] >= kFontBase) continue;
    if (buf[i] == kTakeBack) {
      if (typed.count > 0) --typed.count;
      continue;
    }
    if (typed.count == TypedHistory::kCapacity) {
      for (int k = 1; k < typed.count; ++k) typed.behind[k - 1] = typed.behind[k];
      --typed.count;
    }
    typed.behind[typed.count++] = history_of(st);
  }
  if (erases_outside_stack)
    set_history(st, typed.count > 0 ? typed.behind[typed.count - 1] : std::array<int, 3>{});
  return result;
}

template <int Forms>
int load_key_tables(const char* keyfont_path, const char* keymap_path, KeyTables<Forms>& tables,
                    ReportFn report, TableProblem* problem) {
  tables.tib_chars = {};
  tables.tib_keys = {};
  const int loaded = load_keyfont(keyfont_path, tables.tib_chars.data(), kTibCharsCapacity, report, problem);
  tables.table_size = loaded > 0 ? loaded : 0;
  if (loaded < 1) return -1;
  if (load_keymap(keymap_path, tables.tib_keys, tables.tib_chars.data(), tables.table_size, problem) < 0)
    return -2;
  build_stack_index(tables.tib_chars.data(), tables.stack_index);
  build_glyph_index(tables.tib_chars.data(), tables.table_size, tables.glyph_index);
  // The shifted "i" the composer writes after "o" and an apostrophe is that sign too, where no form
  // draws its code.
  const int i_form = vowel_code('i');
  const int apostrophe = tables.tib_keys['\''].index;
  const auto& entry = tables.tib_chars[static_cast<std::size_t>(apostrophe)];
  const int font = entry.font_table[static_cast<std::size_t>(i_form)];
  const int code = entry.font_slot[static_cast<std::size_t>(i_form)] + kShiftedI;
  if (font < kFamilySize && code < kGlyphCodes) {
    GlyphName& name =
        tables.glyph_index.glyphs[static_cast<std::size_t>(font)][static_cast<std::size_t>(code)];
    if (name.entry < 0) name = {static_cast<std::int16_t>(apostrophe), static_cast<std::uint8_t>(i_form), 1};
  }
  return 0;
}

template int compose_key<kConverterForms>(int, unsigned char*, const KeyTables<kConverterForms>&,
                                          SyllableState&);
template int compose_key<kAddinForms>(int, unsigned char*, const KeyTables<kAddinForms>&, SyllableState&);
template int compose_key<kConverterForms>(int, unsigned char*, const KeyTables<kConverterForms>&,
                                          SyllableState&, int&);
template int type_key<kConverterForms>(int, unsigned char*, const KeyTables<kConverterForms>&, SyllableState&,
                                       TypedHistory&);
template int type_key<kAddinForms>(int, unsigned char*, const KeyTables<kAddinForms>&, SyllableState&,
                                   TypedHistory&);
template int load_key_tables<kConverterForms>(const char*, const char*, KeyTables<kConverterForms>&, ReportFn,
                                              TableProblem*);
template int load_key_tables<kAddinForms>(const char*, const char*, KeyTables<kAddinForms>&, ReportFn,
                                          TableProblem*);

}  // namespace tsd
