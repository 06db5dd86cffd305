// Shows an RTF document as a word processor would lay it out: paragraphs, line breaks, tabs, bold and
// italic, and each run in the font and size its group sets, the fonts named by the document's font table.
// It reads the RTF that the converter writes (and any plain RTF); it converts nothing.

const cp1252 = new TextDecoder('windows-1252');

// Runs past this many are not shown: the page says so and offers the download.
export const PREVIEW_RUNS = 10000;

// Destinations whose text is not the document's.
const SKIPPED = new Set(['fonttbl', 'colortbl', 'stylesheet', 'info', 'pict', 'header', 'footer', 'object']);

// `fontFor(name)` gives the CSS family of a font the document names. Returns { element, complete }.
export function renderRtf(bytes, fontFor) {
  const text = cp1252.decode(bytes);
  const fonts = new Map();
  const root = document.createElement('div');
  root.className = 'rtf-page';
  let paragraph = document.createElement('p');
  root.append(paragraph);
  let runs = 0;
  let state = { font: 0, size: 24, bold: false, italic: false, skip: null, uc: 1 };
  const stack = [];
  let fontNumber = null;
  let fontName = '';
  let pending = '';
  let skipChars = 0;

  const flush = () => {
    if (!pending) return;
    const span = document.createElement('span');
    span.textContent = pending;
    const name = fonts.get(state.font);
    if (name) span.style.fontFamily = fontFor(name);
    span.style.fontSize = `${state.size / 2}pt`;
    if (state.bold) span.style.fontWeight = 'bold';
    if (state.italic) span.style.fontStyle = 'italic';
    paragraph.append(span);
    pending = '';
    runs += 1;
  };
  // Text, less the characters that stand in for a \u character before it.
  const put = (chars) => {
    const skipped = Math.min(skipChars, chars.length);
    skipChars -= skipped;
    chars = chars.slice(skipped);
    if (!chars) return;
    if (state.skip === 'fonttbl') fontName += chars;
    else if (!state.skip) pending += chars;
  };
  const setState = (change) => {
    if (!state.skip) flush();
    state = { ...state, ...change };
  };

  for (let i = 0; i < text.length && runs < PREVIEW_RUNS; ) {
    const c = text[i];
    if (c === '{') {
      if (!state.skip) flush();
      stack.push(state);
      state = { ...state };
      i += 1;
    } else if (c === '}') {
      if (state.skip === 'fonttbl' && fontNumber !== null) {
        fonts.set(fontNumber, fontName.replace(/;\s*$/, '').trim());
        fontNumber = null;
        fontName = '';
      }
      if (!state.skip) flush();
      state = stack.pop() ?? state;
      i += 1;
    } else if (c === '\\') {
      const word = /^\\([a-z]+)(-?\d+)? ?/.exec(text.slice(i, i + 40));
      if (word) {
        i += word[0].length;
        const [, name, value] = word;
        const n = value === undefined ? null : Number(value);
        if (SKIPPED.has(name)) {
          state.skip = name;
        } else if (name === 'f') {
          if (state.skip === 'fonttbl') fontNumber = n;
          else setState({ font: n });
        } else if (name === 'fs') setState({ size: n });
        else if (name === 'b') setState({ bold: n !== 0 });
        else if (name === 'i') setState({ italic: n !== 0 });
        else if (name === 'uc') state.uc = n;
        else if (name === 'u') {
          put(String.fromCharCode(n < 0 ? n + 65536 : n));
          skipChars = state.uc;
        } else if (!state.skip && (name === 'par' || name === 'line')) {
          flush();
          if (name === 'par') {
            paragraph = document.createElement('p');
            root.append(paragraph);
          } else {
            paragraph.append(document.createElement('br'));
          }
        } else if (name === 'tab') put('\t');
      } else if (text[i + 1] === "'") {
        put(cp1252.decode(new Uint8Array([parseInt(text.slice(i + 2, i + 4), 16)])));
        i += 4;
      } else if (text[i + 1] === '*') {
        state.skip = '*';
        i += 2;
      } else {
        // An escaped character (\\, \{, \}) or a control symbol.
        const symbol = text[i + 1];
        if (symbol === '~') put('\u00a0');
        else if ('\\{}'.includes(symbol)) put(symbol);
        i += 2;
      }
    } else if (c === '\r' || c === '\n') {
      i += 1;
    } else {
      const end = text.slice(i).search(/[\\{}\r\n]/);
      const chunk = end < 0 ? text.slice(i) : text.slice(i, i + end);
      put(chunk);
      i += chunk.length;
    }
  }
  flush();
  return { element: root, complete: runs < PREVIEW_RUNS };
}
