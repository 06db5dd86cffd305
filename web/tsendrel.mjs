// Tsendrel's converter for pages and for Node: the engine itself (tsendrel-engine.wasm, the converter's
// C++ built by emscripten) converting in memory as tarvex-cli converts a file.
//
//   import { convert, routes } from './tsendrel.mjs';
//   const { output, warnings, syllables, notConverted } = convert('bkra shis', { from: 'wylie', to: 'unicode' });
//
// convert(input, options): input a Uint8Array (a file's bytes) or a string (written as UTF-8); options
// { from, to, family, size, smallSize, keepCr, unicodeFont, name, onProgress } as tarvex-cli's --from, --to,
// --font, --size, --small-size, --keep-cr and --unicode-font, `name` the input file's name (it names the
// output as tarvex-cli names it), onProgress(fraction) told as the input is read. The result: the output's
// bytes and name, the warnings with their places, the summary's counts, `summary` (its line) and `log` (the
// lines tarvex-cli writes to standard error, every warning shown). A conversion that fails throws an Error
// with tarvex-cli's message, its `log` and `warnings` attached.
import createEngine from './tsendrel-engine.mjs';

const DEFAULT_NAME = 'input.txt';
const FOLDER = '/work';

async function wasmBytes() {
  const url = new URL('./tsendrel-engine.wasm', import.meta.url);
  if (url.protocol === 'file:') {
    const { readFile } = await import('node:fs/promises');
    return readFile(url);
  }
  const response = await fetch(url);
  if (!response.ok) throw new Error(`tsendrel: cannot load ${url} (${response.status})`);
  return new Uint8Array(await response.arrayBuffer());
}

// The engine writes nothing to the console: everything it says comes back in the results.
const engine = await createEngine({ wasmBinary: await wasmBytes(), print() {}, printErr() {} });
const answer = (pointer) => JSON.parse(engine.UTF8ToString(pointer));
const startProblem = engine.UTF8ToString(engine._tsendrel_start());
if (startProblem) throw new Error(startProblem);
engine.FS.mkdir(FOLDER);
engine.FS.chdir(FOLDER);

const ROUTES = Object.freeze(answer(engine._tsendrel_routes()).map((route) => Object.freeze(route)));

// Every route of the engine's table, in its order: { id, name, from, to, description, caption, extension,
// options: the options it reads { family, sizes, unicodeFont, keepCr }, default }.
export function routes() {
  return ROUTES;
}

// The options checked by the engine's option rules, as tarvex-cli checks them; a refusal throws its words.
function checkedOptions(options) {
  const given = (value) => (value === undefined || value === null ? null : String(value));
  const checked = answer(
    engine.ccall('tsendrel_options', 'number', ['string', 'string', 'string', 'string', 'string', 'string'],
      [given(options.from), given(options.to), String(options.family ?? 'ekorlam'), String(options.size ?? 28),
        String(options.smallSize ?? 24), String(options.unicodeFont ?? 'Tibetan Machine Uni')]));
  if (checked.error) throw new Error(checked.error);
  const route = ROUTES.find((each) => each.id === checked.route);
  const unicodeFont = String(options.unicodeFont ?? 'Tibetan Machine Uni');
  const name = options.name ?? DEFAULT_NAME;
  if (!name || name.includes('/') || name === '.' || name === '..') throw new Error(`'${name}' is no file name`);
  const { family, size, smallSize } = checked;
  return { route, family, size, smallSize, keepCr: options.keepCr ? 1 : 0, unicodeFont, name };
}

// Tells `onProgress` how far the conversion has read the input file.
function watchReading(path, length, onProgress) {
  const node = engine.FS.lookupPath(path).node;
  const read = node.stream_ops.read;
  let told = -1;
  node.stream_ops = {
    ...node.stream_ops,
    read(stream, buffer, offset, count, position) {
      const fraction = length ? Math.min(1, (position + count) / length) : 1;
      if (fraction - told >= 0.01) {
        told = fraction;
        onProgress(fraction);
      }
      return read(stream, buffer, offset, count, position);
    },
  };
}

function removeFile(path) {
  try {
    engine.FS.unlink(path);
  } catch {
    // not written
  }
}

export function convert(input, options = {}) {
  const bytes = typeof input === 'string' ? new TextEncoder().encode(input) : input;
  if (!(bytes instanceof Uint8Array)) throw new TypeError('convert: the input is a Uint8Array or a string');
  const { route, family, size, smallSize, keepCr, unicodeFont, name } = checkedOptions(options);
  const inputPath = `${FOLDER}/${name}`;
  // The file system takes the caller's bytes as they are (it only reads them): new memory of a few MB is
  // slow in browsers.
  engine.FS.writeFile(inputPath, bytes, { canOwn: true });
  if (options.onProgress) watchReading(inputPath, bytes.length, options.onProgress);
  let result;
  try {
    result = answer(
      engine.ccall('tsendrel_convert', 'number',
        ['string', 'number', 'number', 'number', 'number', 'number', 'string'],
        [name, route.id, family, size, smallSize, keepCr, unicodeFont]));
  } finally {
    removeFile(inputPath);
  }
  const log = result.lines.map((line) => line.text);
  const warnings = result.lines
    .filter((line) => line.kind === 'warning')
    .map(({ line, col, count, message }) => ({ line, col, count, message }));
  // A failure's message: its status lines but the paths, the summary and "1 file(s) processed".
  const statuses = result.lines.filter((line) => line.kind !== 'warning').map((line) => line.text);
  const summary = result.counted ? statuses.at(-2) : null;
  if (!result.output) {
    const said = statuses.slice(0, result.counted ? -2 : -1)
      .filter((text) => !/^(Input|Output) file path: /.test(text));
    const error = new Error(said.join('\n') || log.join('\n'));
    Object.assign(error, { log, warnings });
    throw error;
  }
  const outputPath = `${FOLDER}/${result.output.replace(/^\.\//, '')}`;
  // The output's bytes are copied out, and the file's array grows the next output.
  const { contents, usedBytes } = engine.FS.lookupPath(outputPath).node;
  const output = contents ? contents.slice(0, usedBytes) : new Uint8Array(0);
  removeFile(outputPath);
  if (contents) engine.reuseFileStorage(contents);
  return {
    output,
    name: result.output.replace(/^\.\//, ''),
    route: route.name,
    warnings,
    syllables: result.counted ? result.syllables : null,
    notConverted: result.counted ? result.notConverted : null,
    summary,
    log,
  };
}
