// make bench-web: the Kangyur volume (Extended Wylie) converted to Unicode text by the engine inside
// headless chromium, timed in the page, beside native tarvex-cli (the release build) in the same run; and
// how soon the page shows the result of a 1 MB text dropped on it.
//   node bench/web_bench.mjs [--runs N]
import { spawnSync } from 'node:child_process';
import { existsSync, mkdtempSync, rmSync, writeFileSync, readFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const repo = resolve(fileURLToPath(new URL('..', import.meta.url)));
const { serve } = await import(join(repo, 'tests/web/serve.mjs'));
const { chromium } = await import(join(repo, 'tests/web/node_modules/playwright-core/index.mjs'));

const runs = process.argv.includes('--runs') ? Number(process.argv[process.argv.indexOf('--runs') + 1]) : 5;
const chromiumPath = process.env.CHROMIUM ?? '/usr/bin/chromium';
const cli = process.env.TARVEX_CLI ?? join(repo, 'build/release/converter/cli/tarvex-cli');
const web = join(repo, 'build/web');
const corpusFolder = join(repo, '../shared/corpus');
const corpusName = 'kangyur-035.wylie.txt';
const ROUTE = { from: 'ewts', to: 'unicode' };
const FIRST_RESULT_BYTES = 1 << 20;
const GOAL_RATIO = 1 / 3;
const GOAL_FIRST_MS = 1000;

if (!existsSync(join(corpusFolder, corpusName))) {
  console.log(`bench-web: SKIPPED: no ${corpusName} in ${corpusFolder}`);
  process.exit(0);
}
// The volume four times over, so that a conversion takes long enough to be timed well beside the noise of
// a busy machine.
const COPIES = 4;
const volume = readFileSync(join(corpusFolder, corpusName));
const corpus = Buffer.concat(Array(COPIES).fill(volume));
const mb = corpus.length / 1e6;

// Native: the best of three times `runs` runs of tarvex-cli (short runs of a process vary more), less its
// best run on an empty file (start-up and tables), as the page's time counts the conversion alone.
const work = mkdtempSync(join(tmpdir(), 'tsendrel-bench-web-'));
function bestNative(name, bytes) {
  writeFileSync(join(work, name), bytes);
  let best = Infinity;
  for (let run = 0; run < 3 * runs; run++) {
    const start = process.hrtime.bigint();
    const done = spawnSync(cli, ['-d', join(repo, 'data'), '-q', '-t', 'ewts-unicode', '-o', '/dev/null', name],
      { cwd: work });
    if (done.status !== 0) throw new Error(`tarvex-cli failed: ${done.stderr}`);
    best = Math.min(best, Number(process.hrtime.bigint() - start) / 1e6);
  }
  return best;
}
const nativeStart = bestNative('empty.txt', Buffer.alloc(0));
const nativeMs = Math.max(0.001, bestNative(corpusName, corpus) - nativeStart);
rmSync(work, { recursive: true, force: true });

const server = await serve({ '': web, corpus: corpusFolder });
const browser = await chromium.launch({ executablePath: chromiumPath, args: ['--no-sandbox'] });
try {
  const page = await browser.newPage();
  await page.goto(server.origin);
  await page.waitForSelector('body[data-state="idle"]');

  const webMs = await page.evaluate(async ({ name, route, runs, copies }) => {
    const volume = new Uint8Array(await (await fetch(`corpus/${name}`)).arrayBuffer());
    const bytes = new Uint8Array(volume.length * copies);
    for (let copy = 0; copy < copies; copy++) bytes.set(volume, copy * volume.length);
    let best = Infinity;
    for (let run = 0; run < runs; run++) {
      const start = performance.now();
      window.tsendrel.convert(bytes, { ...route, name });
      best = Math.min(best, performance.now() - start);
    }
    return best;
  }, { name: corpusName, route: ROUTE, runs, copies: COPIES });

  // The first result: from dropping a 1 MB file on the page (route EWTS to Unicode text) until its result
  // is on the page and painted.
  await page.selectOption('#route', `${ROUTE.from}-${ROUTE.to}`);
  await page.waitForSelector('body[data-state="idle"]');
  const firstMs = await page.evaluate(async ({ name, size }) => {
    const bytes = new Uint8Array(await (await fetch(`corpus/${name}`)).arrayBuffer()).subarray(0, size);
    const results = document.getElementById('results');
    const shown = new Promise((resolve) => {
      new MutationObserver((changes, observer) => {
        if (!results.querySelector('.result')) return;
        observer.disconnect();
        requestAnimationFrame(() => requestAnimationFrame(() => resolve(performance.now())));
      }).observe(results, { childList: true });
    });
    const data = new DataTransfer();
    data.items.add(new File([bytes], 'first.txt'));
    const start = performance.now();
    document.getElementById('input-area').dispatchEvent(new DragEvent('drop', { dataTransfer: data, bubbles: true, cancelable: true }));
    return (await shown) - start;
  }, { name: corpusName, size: FIRST_RESULT_BYTES });

  const ratio = nativeMs / webMs;
  const sizes = ['tsendrel-engine.wasm', 'tsendrel-engine.mjs', 'tsendrel.mjs', 'page.mjs', 'worker.mjs',
    'rtf-preview.mjs'].map((file) => [file, readFileSync(join(web, file)).length]);
  console.log(`bench-web: ${corpusName} ${COPIES} times (${mb.toFixed(2)} MB), EWTS to Unicode text, best of ${runs}`);
  console.log(`  native tarvex-cli  ${nativeMs.toFixed(1)} ms  ${(mb / nativeMs * 1000).toFixed(1)} MB/s` +
    `  (start-up ${nativeStart.toFixed(1)} ms not counted)`);
  console.log(`  in chromium        ${webMs.toFixed(1)} ms  ${(mb / webMs * 1000).toFixed(1)} MB/s`);
  console.log(`  ratio to native    ${ratio.toFixed(2)} (goal at least ${GOAL_RATIO.toFixed(2)})` +
    `${ratio >= GOAL_RATIO ? '' : '  BELOW GOAL'}`);
  console.log(`  first result of a 1 MB text shown after ${firstMs.toFixed(0)} ms (goal ${GOAL_FIRST_MS} ms)` +
    `${firstMs <= GOAL_FIRST_MS ? '' : '  ABOVE GOAL'}`);
  for (const [file, bytes] of sizes) console.log(`  ${file.padEnd(22)} ${(bytes / 1024).toFixed(0)} KiB`);
} finally {
  await browser.close();
  server.close();
}
