// The page in Debian's chromium (headless, through playwright-core): what it converts and offers for
// download is tarvex-cli's, warnings lead to their places, bad input gets a message and the page comes
// back, and the screenshots of docs/web.md. Skipped, saying why, without chromium.
import assert from 'node:assert/strict';
import { existsSync, mkdirSync, readFileSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';

import { serve } from './serve.mjs';
import { cliConverts, repo, webFolder } from './support.mjs';

const chromiumPath = process.env.CHROMIUM ?? '/usr/bin/chromium';
const skip = !existsSync(chromiumPath) && `no chromium at ${chromiumPath} (scripts/setup installs it)`;
if (skip) console.log(`test-web: the page tests are SKIPPED: ${skip}`);
const shots = join(repo, 'build/web-screenshots');
const corpusFolder = join(repo, '../shared/corpus');

let server;
let browser;

before(async () => {
  if (skip) return;
  server = await serve({ '': webFolder, corpus: corpusFolder });
  const { chromium } = await import('playwright-core');
  browser = await chromium.launch({ executablePath: chromiumPath, args: ['--no-sandbox'] });
});

after(async () => {
  await browser?.close();
  server?.close();
});

async function openPage() {
  const page = await browser.newPage({ acceptDownloads: true, viewport: { width: 1200, height: 900 } });
  await page.goto(server.origin);
  await page.waitForSelector('body[data-state="idle"]');
  return page;
}

// Does what `act` does and waits until the page has shown the batch it started.
async function converted(page, act) {
  const before = await page.evaluate(() => Number(document.body.dataset.started ?? 0));
  await act();
  await page.waitForFunction((n) => {
    const { started = 0, finished = 0 } = document.body.dataset;
    return Number(started) > n && finished === started;
  }, before);
}

const paste = (page, text) => converted(page, () => page.fill('#input', text));

async function downloaded(page, click) {
  const [download] = await Promise.all([page.waitForEvent('download'), click()]);
  return { name: download.suggestedFilename(), bytes: readFileSync(await download.path()) };
}

// Files dropped on the input, as the browser hands a drop of files to the page.
async function drop(page, files) {
  const transfer = await page.evaluateHandle((list) => {
    const data = new DataTransfer();
    for (const { name, bytes } of list) data.items.add(new File([new Uint8Array(bytes)], name));
    return data;
  }, files.map(({ name, bytes }) => ({ name, bytes: [...bytes] })));
  await page.dispatchEvent('#input-area', 'drop', { dataTransfer: transfer });
}

const examples = [
  { file: 'aspiration.txt', route: 'wylie-rtf' },
  { file: 'colophon.txt', route: 'wylie-unicode-rtf' },
  { file: 'glossary.txt', route: 'wylie-unicode' },
  { file: 'greeting.kvt', route: 'kvts-rtf' },
];

describe('the page', { skip }, () => {
  test('every example pasted, converted and downloaded is tarvex-cli\'s output', async () => {
    const page = await openPage();
    for (const { file, route } of examples) {
      const bytes = readFileSync(join(repo, 'examples', file));
      await page.selectOption('#route', route);
      await paste(page, bytes.toString('utf8'));
      const expected = cliConverts('pasted.txt', bytes, ['-t', route]);
      const got = await downloaded(page, () => page.click('.result button.download'));
      assert.deepEqual([got.name], expected.written, file);
      assert.ok(got.bytes.equals(expected.output), `${file}: the downloaded bytes differ`);
      const summary = expected.stderr.split('\n').find((line) => line.startsWith('./pasted.txt: '));
      assert.equal(await page.textContent('.result .summary'), summary);
    }
    await page.close();
  });

  test('three files dropped at once: three downloads with tarvex-cli\'s names and bytes', async () => {
    const page = await openPage();
    const files = ['aspiration.txt', 'colophon.txt', 'glossary.txt']
      .map((name) => ({ name, bytes: readFileSync(join(repo, 'examples', name)) }));
    await page.check('#keep-cr');
    await converted(page, () => drop(page, files));
    const downloads = [];
    page.on('download', async (download) =>
      downloads.push({ name: download.suggestedFilename(), bytes: readFileSync(await download.path()) }));
    await page.click('#download-all');
    for (let waited = 0; downloads.length < 3 && waited < 100; waited++) await page.waitForTimeout(50);
    assert.equal(downloads.length, 3);
    for (const { name, bytes } of files) {
      const expected = cliConverts(name, bytes, ['--keep-cr']);
      const got = downloads.find((each) => each.name === expected.written[0]);
      assert.ok(got, `no download named ${expected.written[0]}`);
      assert.ok(got.bytes.equals(expected.output), `${name}: the downloaded bytes differ`);
    }
    await page.close();
  });

  test('warnings are tarvex-cli\'s, and a click selects the place in the input', async () => {
    const page = await openPage();
    const text = 'bkra shis bde legs/\nka xyz kha q+ha\nga\n';
    await paste(page, text);
    const expected = cliConverts('pasted.txt', Buffer.from(text)).stderr.split('\n')
      .filter((line) => line.includes(': warning: '))
      .map((line) => line.replace(/^\.\//, '').replace(': warning: ', ': '));
    const shown = await page.$$eval('.warnings button', (buttons) => buttons.map((b) => b.textContent));
    assert.ok(expected.length >= 2);
    assert.deepEqual(shown, expected);
    for (const [index, line] of expected.entries()) {
      const [, row, col] = /^pasted\.txt:(\d+):(\d+):/.exec(line);
      await page.click(`.warnings li:nth-child(${index + 1}) button`);
      const selection = await page.$eval('#input', (area) =>
        ({ start: area.selectionStart, end: area.selectionEnd, focused: document.activeElement === area }));
      const lines = text.split('\n');
      const offset = lines.slice(0, row - 1).reduce((sum, each) => sum + each.length + 1, 0) + Number(col) - 1;
      assert.ok(selection.focused);
      assert.equal(selection.start, offset, line);
      assert.equal(text.slice(selection.start, selection.end), text.slice(offset).split(/\s/)[0]);
    }
    await page.close();
  });

  test('bad input gets a clear message and the page comes back', async () => {
    const page = await openPage();
    const cases = [
      { name: 'binary.txt', bytes: Buffer.from([0, 1, 2, 3, 0xff, 0xfe]), route: 'ewts-unicode',
        message: 'Error: File begins with non-text characters: a NUL byte in its first 4 KB. Skipping file.' },
      { name: 'broken.txt', bytes: Buffer.from([0xff, 0xfe, 0xc3, 0x6b, 0x61]), route: 'unicode-rtf',
        message: 'Error: File begins with non-text characters: more than half of its first 4 KB is not UTF-8 text. Skipping file.' },
      { name: 'ascii.txt', bytes: Buffer.from([0x6b, 0x61, 0x20, 0xff]), route: 'wylie-rtf',
        message: 'Error: File begins with non-text characters. Skipping file.' },
    ];
    for (const { name, bytes, route, message } of cases) {
      await converted(page, () => page.selectOption('#route', route));
      await converted(page, () => drop(page, [{ name, bytes }]));
      assert.equal(await page.textContent('.result .failure'), message);
    }
    await converted(page, () => drop(page, [{ name: 'empty.txt', bytes: Buffer.alloc(0) }]));
    assert.match(await page.textContent('#problem'), /Empty file: empty\.txt/);
    await paste(page, 'ka');
    await paste(page, '');
    assert.equal(await page.$$eval('.result', (boxes) => boxes.length), 0);
    assert.equal(await page.textContent('#status'), 'Type or paste text, or choose files.');
    await page.fill('#size', '7');
    await converted(page, () => page.press('#size', 'Tab'));
    await converted(page, () => drop(page, [{ name: 'a.txt', bytes: Buffer.from('ka') }]));
    assert.equal(await page.textContent('#problem'), "--size needs a whole number from 8 to 99, not '7'");
    await page.close();
  });

  const volume = join(corpusFolder, 'kangyur-035.bo.txt');
  test('a long conversion runs beside the page, which answers and shows its progress', {
    skip: !existsSync(volume) && `no ${volume}`,
  }, async () => {
    const page = await openPage();
    await page.selectOption('#route', 'unicode-rtf');
    // Fetched by the page: handing it megabytes from here would take longer than converting them.
    await page.evaluate(async () => {
      const bytes = await (await fetch('corpus/kangyur-035.bo.txt')).arrayBuffer();
      const data = new DataTransfer();
      // Eight copies: the volume alone converts in a quarter of a second, too briefly to be watched.
      for (let n = 1; n <= 8; ++n) data.items.add(new File([bytes], `volume-${n}.txt`));
      document.getElementById('input-area')
        .dispatchEvent(new DragEvent('drop', { dataTransfer: data, bubbles: true, cancelable: true }));
    });
    // The page's own script runs while the worker converts: it finds the page busy, the bar showing.
    await page.waitForSelector('#progress-line:not([hidden])');
    assert.equal(await page.evaluate(() => document.body.dataset.state), 'busy');
    await page.waitForFunction(() => document.getElementById('progress').value > 0);
    await page.waitForSelector('body[data-state="idle"]', { timeout: 120000 });
    assert.equal(await page.$$eval('.result .download', (buttons) => buttons.length), 8);
    await page.close();
  });

  test('the page lists every route, and window.tsendrel converts as the page does', async () => {
    const page = await openPage();
    const listed = await page.$$eval('#route option', (options) => options.map((o) => o.value));
    const names = await page.evaluate(() => window.tsendrel.routes().map((route) => route.name));
    assert.deepEqual(listed, names);
    const size = await page.evaluate(() => window.tsendrel.convert('bkra shis', { to: 'unicode' }).output.length);
    assert.equal(size, cliConverts('input.txt', Buffer.from('bkra shis'), ['--to', 'unicode']).output.length);
    await page.close();
  });

  test('screenshots of the Unicode and the Tsendrel previews', async () => {
    const page = await openPage();
    mkdirSync(shots, { recursive: true });
    const text = readFileSync(join(repo, 'examples/aspiration.txt'), 'utf8');
    for (const [route, shot] of [['wylie-unicode', 'web-unicode.png'], ['wylie-rtf', 'web-tsendrel.png']]) {
      await page.selectOption('#route', route);
      await paste(page, text);
      await page.evaluate(() => document.fonts.ready);
      await page.screenshot({ path: join(shots, shot), fullPage: true });
    }
    await page.close();
  });
});
