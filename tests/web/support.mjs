// What the web tests share: where the page and tarvex-cli are, and tarvex-cli's conversion of a file.
import { spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, readdirSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { after } from 'node:test';
import { fileURLToPath } from 'node:url';

export const repo = resolve(fileURLToPath(new URL('../..', import.meta.url)));
export const cli = process.env.TARVEX_CLI ?? join(repo, 'build/dev/converter/cli/tarvex-cli');
export const webFolder = process.env.TSENDREL_WEB ?? join(repo, 'build/web');

const work = mkdtempSync(join(tmpdir(), 'tsendrel-web-'));
after(() => rmSync(work, { recursive: true, force: true }));

// What tarvex-cli does with NAME holding `bytes` in a folder of its own, with `args` before NAME: its exit
// status, standard error, the files it wrote and the output's bytes.
export function cliConverts(name, bytes, args = []) {
  const folder = mkdtempSync(join(work, 'cli-'));
  writeFileSync(join(folder, name), bytes);
  const run = spawnSync(cli, ['-d', join(repo, 'data'), '--max-warnings', '100000000', ...args, name],
    { cwd: folder, encoding: 'buffer', maxBuffer: 1 << 30 });
  const written = readdirSync(folder).filter((file) => file !== name);
  return {
    status: run.status,
    stderr: run.stderr.toString('utf8'),
    written,
    output: written.length === 1 ? readFileSync(join(folder, written[0])) : null,
  };
}
