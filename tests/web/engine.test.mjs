// tsendrel.mjs against tarvex-cli of the dev build: every route on every example and on the Kangyur
// volume (when ../shared/corpus holds it) gives the same output bytes and name, the same lines on standard
// error and, for a failure, tarvex-cli's message; the options reach the engine as the command line's do.
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import { existsSync, readFileSync, readdirSync } from 'node:fs';
import { join } from 'node:path';
import { describe, test } from 'node:test';

import { cli, cliConverts, repo, webFolder } from './support.mjs';

const { convert, routes } = await import(join(webFolder, 'tsendrel.mjs'));

function webConverts(name, bytes, options) {
  try {
    const result = convert(bytes, { name, ...options });
    return { result, stderr: result.log.map((line) => `${line}\n`).join('') };
  } catch (error) {
    if (!error.log) throw error;
    return { error, stderr: error.log.map((line) => `${line}\n`).join('') };
  }
}

function assertSame(name, bytes, args, options) {
  const expected = cliConverts(name, bytes, args);
  const got = webConverts(name, bytes, options);
  assert.equal(got.stderr, expected.stderr);
  if (expected.status === 0) {
    assert.ok(got.result, got.error?.message);
    assert.deepEqual([got.result.name], expected.written);
    assert.ok(Buffer.from(got.result.output).equals(expected.output), `${name}: the output bytes differ`);
    const summary = expected.stderr.split('\n').find((line) => line.startsWith(`./${name}: `)) ?? null;
    assert.equal(got.result.summary, summary);
    const counts = summary && /: ([\d,]+) syllables?, ([\d,]+) not converted$/.exec(summary);
    const number = (text) => Number(text.replaceAll(',', ''));
    assert.deepEqual([got.result.syllables, got.result.notConverted],
      counts ? [number(counts[1]), number(counts[2])] : [null, null]);
  } else {
    assert.ok(got.error, 'tarvex-cli failed, the module did not');
    assert.deepEqual(expected.written, []);
    assert.ok(expected.stderr.includes(got.error.message), got.error.message);
  }
}

const examples = readdirSync(join(repo, 'examples'))
  .filter((file) => /\.(txt|kvt)$/.test(file))
  .map((file) => ({ name: file, path: join(repo, 'examples', file) }));
const corpusFolder = join(repo, '../shared/corpus');
const corpus = ['kangyur-035.wylie.txt', 'kangyur-035.bo.txt']
  .map((file) => ({ name: file, path: join(corpusFolder, file) }))
  .filter((file) => existsSync(file.path));

describe('every route gives tarvex-cli\'s output', () => {
  for (const { name, path } of examples) {
    for (const route of routes()) {
      test(`${route.name} ${name}`, () => {
        assertSame(name, readFileSync(path), ['-t', route.name], { from: route.from, to: route.to });
      });
    }
  }
  test('the Kangyur volume', { skip: corpus.length === 0 && `no corpus in ${corpusFolder}` }, () => {
    for (const { name, path } of corpus) {
      const bytes = readFileSync(path);
      for (const route of routes())
        assertSame(name, bytes, ['-t', route.name], { from: route.from, to: route.to });
    }
  });
});

// The examples' Tsendrel RTF, as tarvex-cli writes it, read back by every route from documents.
describe('documents in the Tsendrel fonts give tarvex-cli\'s output', () => {
  for (const { name, path } of examples) {
    const document = cliConverts(name, readFileSync(path)).output;
    const documentName = name.replace(/\.\w+$/, '.rtf');
    for (const route of routes().filter((each) => each.from === 'tsendrel')) {
      test(`${route.name} ${documentName}`, () => {
        assertSame(documentName, document, ['-t', route.name], { from: route.from, to: route.to });
      });
    }
  }
});

// Options as tarvex-cli takes them, on inputs that show their effect.
const glossary = readFileSync(join(repo, 'examples/glossary.txt'));
const optionCases = [
  { args: ['--keep-cr'], options: { keepCr: true } },
  { args: ['-f', 'korlam'], options: { family: 'korlam' } },
  { args: ['--size', '40', '--small-size', '12'], options: { size: 40, smallSize: 12 } },
  { args: ['-t', 'wylie-unicode-rtf', '--unicode-font', 'Jomolhari'],
    options: { from: 'wylie', to: 'unicode-rtf', unicodeFont: 'Jomolhari' } },
  { args: ['--from', 'kvts'], options: { from: 'kvts' } },
  { args: ['--to', 'unicode'], options: { to: 'unicode' } },
];

describe('options', () => {
  for (const { args, options } of optionCases)
    test(args.join(' '), () => assertSame('glossary.txt', glossary, args, options));
});

// Inputs tarvex-cli refuses or warns about: the same lines, the same message.
const problemCases = [
  { name: 'open.txt', bytes: Buffer.from("bka' [note\n(b+ha  kyi\n"), route: 'wylie-rtf' },
  { name: 'null-byte.txt', bytes: Buffer.from([0, 1, 0x61, 0x62]), route: 'wylie-rtf' },
  { name: 'binary.txt', bytes: Buffer.from([0, 1, 2, 0xff]), route: 'ewts-unicode' },
  { name: 'broken.txt', bytes: Buffer.from([0x6b, 0x61, 0x20, 0xff, 0xfe]), route: 'unicode-unicode' },
  { name: 'mostly-broken.txt', bytes: Buffer.from([0xff, 0xfe, 0xc3, 0x6b, 0x61]), route: 'unicode-unicode' },
  { name: 'empty.txt', bytes: Buffer.alloc(0), route: 'wylie-unicode' },
  { name: 'order.txt', bytes: Buffer.from('\u0f40\u0f74\u0f72 \u0f41', 'utf8'), route: 'unicode-rtf' },
  { name: 'notes.rtf', bytes: Buffer.from('ka'), route: 'wylie-rtf' },
  { name: `${'n'.repeat(250)}.txt`, bytes: Buffer.from('ka'), route: 'wylie-rtf' },
];

describe('problems', () => {
  for (const { name, bytes, route } of problemCases) {
    test(`${route} ${name}`, () => {
      const { from, to } = routes().find((each) => each.name === route);
      assertSame(name, bytes, ['-t', route], { from, to });
    });
  }
});

// Options tarvex-cli refuses: the module throws its message (after "tarvex-cli: ").
const refusals = [
  { args: ['--size', '7'], options: { size: 7 } },
  { args: ['--size', '100'], options: { size: 100 } },
  { args: ['--small-size', '30'], options: { smallSize: 30 } },
  { args: ['-f', 'arial'], options: { family: 'arial' } },
  { args: ['--from', 'kvts', '--to', 'kvts'], options: { from: 'kvts', to: 'kvts' } },
  { args: ['--unicode-font', 'x'.repeat(64)], options: { unicodeFont: 'x'.repeat(64) } },
  { args: ['--size', '2x'], options: { size: '2x' } },
  { args: ['--from', 'itrans'], options: { from: 'itrans' } },
  { args: ['--from', 'acip', '--to', 'wylie'], options: { from: 'acip', to: 'wylie' } },
  { args: ['--to', 'pdf'], options: { to: 'pdf' } },
  { args: ['--unicode-font', `${'x'.repeat(61)}ཀ`], options: { unicodeFont: `${'x'.repeat(61)}ཀ` } },
];

describe('refused options', () => {
  for (const { args, options } of refusals) {
    test(args.join(' '), () => {
      const run = spawnSync(cli, [...args, 'any.txt'], { encoding: 'utf8' });
      assert.equal(run.status, 2);
      const message = run.stderr.split('\n')[0].replace(/^tarvex-cli: /, '');
      assert.throws(() => convert('ka', options), { message });
    });
  }
});

test('a string is converted as its UTF-8 bytes, with progress told up to the end', () => {
  const text = 'བཀྲ་ཤིས་བདེ་ལེགས།\n'.repeat(2000);
  const told = [];
  const fromString = convert(text, { from: 'unicode', to: 'rtf', onProgress: (f) => told.push(f) });
  const fromBytes = convert(new TextEncoder().encode(text), { from: 'unicode', to: 'rtf' });
  assert.deepEqual(fromString.output, fromBytes.output);
  assert.equal(told.at(-1), 1);
  assert.deepEqual(told, [...told].sort((a, b) => a - b));
});

test('tarvex-cli lists the routes the module lists', () => {
  const help = execFileSync(cli, ['--help'], { encoding: 'utf8' });
  for (const route of routes()) assert.match(help, new RegExp(`^ +${route.name} +${route.description.replace(/[()]/g, '\\$&')}`, 'm'));
});
