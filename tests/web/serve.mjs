// A static server for the page on a free port of this machine, as any static server would serve build/web:
// GET of the files under the folders given (the first for "/", the others under their own prefixes).
import { existsSync, readFileSync, statSync } from 'node:fs';
import { createServer } from 'node:http';
import { extname, join, normalize } from 'node:path';

const TYPES = { '.html': 'text/html', '.mjs': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm',
  '.woff2': 'font/woff2', '.txt': 'text/plain' };

// `folders`: { '': build/web, 'corpus': ... }. Resolves to { origin, close() }.
export async function serve(folders) {
  const server = createServer((request, response) => {
    const path = normalize(decodeURIComponent(new URL(request.url, 'http://x').pathname)).replace(/^\/+/, '');
    const [first, ...rest] = path.split('/');
    const [folder, inner] = first in folders && first !== '' ? [folders[first], rest.join('/')] : [folders[''], path];
    const file = join(folder, inner || 'index.html');
    if (!file.startsWith(folder) || !existsSync(file) || !statSync(file).isFile()) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { 'content-type': TYPES[extname(file)] ?? 'application/octet-stream' });
    response.end(readFileSync(file));
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return { origin: `http://127.0.0.1:${server.address().port}`, close: () => server.close() };
}
