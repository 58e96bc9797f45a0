// What every browser test needs: build/web served over HTTP on a free port (worklets load
// only from a server) and Debian's chromium, headless, driven by playwright-core.
import { before, after } from 'node:test';
import { createServer } from 'node:http';
import { readFileSync } from 'node:fs';
import { extname, join, normalize } from 'node:path';
import { chromium } from 'playwright-core';

export const ROOT = new URL('../..', import.meta.url).pathname;
export const WEB = join(ROOT, 'build/web');
const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css',
  '.wasm': 'application/wasm', '.bmp': 'image/bmp' };

function serve(req, res) {
  let path = normalize(decodeURIComponent(new URL(req.url, 'http://x').pathname));
  if (path.endsWith('/')) path += 'index.html';
  try {
    const body = readFileSync(join(WEB, path));
    res.writeHead(200, { 'content-type': TYPES[extname(path)] || 'application/octet-stream' });
    res.end(body);
  } catch {
    res.writeHead(404).end();
  }
}

// Starts the server and the browser before the file's tests and stops them after;
// the returned object gets url and browser (each page on a fresh profile).
export function session() {
  const s = {};
  before(async () => {
    s.server = createServer(serve);
    await new Promise((ok) => s.server.listen(0, '127.0.0.1', ok));
    s.url = `http://127.0.0.1:${s.server.address().port}/`;
    s.browser = await chromium.launch({ executablePath: '/usr/bin/chromium',
      args: ['--disable-gpu', '--disable-quic'] }); // headless, without sandbox or sync
  });
  after(async () => {
    await s.browser?.close();
    s.server?.close();
  });
  return s;
}
