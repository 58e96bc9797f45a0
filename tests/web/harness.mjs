// What every browser test needs: build/web served over HTTP on a free port (worklets load
// only from a server) and Debian's chromium, headless, driven by playwright-core.
import { createServer } from 'node:http';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { extname, join, normalize } from 'node:path';
import { chromium } from 'playwright-core';

export const ROOT = new URL('../..', import.meta.url).pathname;
export const WEB = join(ROOT, 'build/web');
const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css',
  '.wasm': 'application/wasm', '.bmp': 'image/bmp' };

export async function serve() {
  const server = createServer((req, res) => {
    let path = normalize(decodeURIComponent(new URL(req.url, 'http://x').pathname));
    if (path.endsWith('/')) path += 'index.html';
    try {
      const body = readFileSync(join(WEB, path));
      res.writeHead(200, { 'content-type': TYPES[extname(path)] || 'application/octet-stream' });
      res.end(body);
    } catch {
      res.writeHead(404).end();
    }
  });
  await new Promise((ok) => server.listen(0, '127.0.0.1', ok));
  return { server, url: `http://127.0.0.1:${server.address().port}/` };
}

// A browser context on a fresh profile; close() also removes the profile.
export async function launch() {
  const profile = mkdtempSync(join(tmpdir(), 'mixorama-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    acceptDownloads: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  context.close = async function close() {
    await Object.getPrototypeOf(this).close.call(this);
    rmSync(profile, { recursive: true, force: true });
  };
  return context;
}
