// What every browser test needs: build/web served over HTTP on a free port (worklets load
// only from a server) and Debian's chromium, headless, driven by playwright-core; and what the
// page tests share: waiting for the labels, reading the squares as drawn.
import { before, after } from 'node:test';
import assert from 'node:assert/strict';
import { createServer } from 'node:http';
import { readFileSync } from 'node:fs';
import { extname, join, normalize } from 'node:path';
import { chromium } from 'playwright-core';

export const ROOT = new URL('../..', import.meta.url).pathname;
export const WEB = join(ROOT, 'build/web');
const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css',
  '.wasm': 'application/wasm', '.bmp': 'image/bmp', '.png': 'image/png',
  '.webmanifest': 'application/manifest+json' };

function answer(dir, req, res) {
  let path = normalize(decodeURIComponent(new URL(req.url, 'http://x').pathname));
  if (path.endsWith('/')) path += 'index.html';
  try {
    const body = readFileSync(join(dir, path));
    res.writeHead(200, { 'content-type': TYPES[extname(path)] || 'application/octet-stream' });
    res.end(body);
  } catch {
    res.writeHead(404).end();
  }
}

// Serves dir (build/web unless given) on a free port of 127.0.0.1: { server, url }.
export async function serveWeb(dir = WEB) {
  const server = createServer((req, res) => answer(dir, req, res));
  await new Promise((ok) => server.listen(0, '127.0.0.1', ok));
  return { server, url: `http://127.0.0.1:${server.address().port}/` };
}

// Debian's chromium, headless, without sandbox or sync.
export const CHROMIUM = { executablePath: '/usr/bin/chromium',
  args: ['--disable-gpu', '--disable-quic'] };
export function launchChromium() {
  return chromium.launch(CHROMIUM);
}

// Starts the server and the browser before the file's tests and stops them after;
// the returned object gets url and browser (each page on a fresh profile).
export function session() {
  const s = {};
  before(async () => {
    Object.assign(s, await serveWeb());
    s.browser = await launchChromium();
  });
  after(async () => {
    await s.browser?.close();
    s.server?.close();
  });
  return s;
}

export const PHONE = { viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, isMobile: true,
  hasTouch: true };
export const DEMO_LABELS = ['BD7525.WAV', 'CP.WAV', 'MA.WAV', 'LT50.WAV', 'SD0010.WAV',
  'BD7525.WAV', 'CH.WAV', 'HC50.WAV'];
export const RED = [255, 0, 0];
export const GREEN = [0, 255, 0];
export const YELLOWISH = (c) => c[0] > 200 && c[1] > 200 && c[2] < 60; // a slot near full level
export const is = (rgb) => (c) => c.join() === rgb.join();

// Waits until the eight rows' labels are want.
export const labelsAre = (page, want) => page.waitForFunction((w) => [...document
  .querySelectorAll('.slot .label')].map((l) => l.textContent).join('|') === w, want.join('|'));

// Opens the page at url in page (a new browser tab) and waits for the demo set. The map
// object turns map pixels (0..350) into page positions and reads the squares as drawn.
export async function openPage(page, url) {
  await page.goto(url);
  await labelsAre(page, DEMO_LABELS);
  const box = await page.locator('#canvas').boundingBox();
  const k = box.width / 350;
  const map = {
    at: (x, y) => [box.x + x * k, box.y + y * k],
    // The colour of slot n's square (1..8) as drawn, once it satisfies ok.
    square: async (n, ok) => {
      const at = [[87, 10], [10, 87], [10, 262], [87, 340], [262, 340], [340, 262], [340, 87],
        [262, 10]][n - 1];
      for (;;) {
        const c = await page.evaluate(([x, y], g = document.getElementById('canvas')) => [...g
          .getContext('2d').getImageData(...[x, y].map((v) => Math.floor((v * g.width) / 350)), 1, 1)
          .data.slice(0, 3)], at); // the canvas holds device pixels
        if (ok(c)) return c;
        await page.waitForTimeout(20);
      }
    },
  };
  return { page, map };
}

// The page's modal message box: its caption and text; answer clicks one of its buttons.
export async function box(page, answer) {
  const dialog = page.locator('#box[open]');
  await dialog.waitFor();
  const seen = { caption: await dialog.locator('.caption').textContent(),
    text: await dialog.locator('.text').textContent() };
  await dialog.getByRole('button', { name: answer, exact: true }).click();
  return seen;
}

// Runs action and returns the file it made the page download.
export async function downloaded(page, action) {
  const [download] = await Promise.all([page.waitForEvent('download'), action()]);
  return readFileSync(await download.path());
}

// What the page played while Record was on, pressed twice ms apart (press: 'click' or 'tap'):
// the samples of the wave file downloaded, left and right, at the first output rate.
export async function recording(page, press, ms) {
  await page.locator('#record')[press]();
  await page.waitForTimeout(ms);
  const wav = await downloaded(page, () => page.locator('#record')[press]());
  assert.deepEqual([wav.readUInt32LE(24), wav.readUInt32LE(40)], [11025, wav.length - 44]);
  return new Int16Array(wav.buffer.slice(wav.byteOffset + 44, wav.byteOffset + wav.length));
}

// Runs action and gives file to the file picker it opened.
export async function choose(page, action, file) {
  const [chooser] = await Promise.all([page.waitForEvent('filechooser'), action()]);
  await chooser.setFiles(file);
}

// An init script standing in for the operating system's MIDI devices behind Web MIDI. access
// 'grant' or 'refuse' answers navigator.requestMIDIAccess so; 'none' takes Web MIDI away.
// window.midiDevice: plug(name) connects an input (a new MIDIInput each time, as a browser may
// make one), unplug(name) disconnects it, each with statechange on the input and the access;
// send(name, ...bytes) dispatches the bytes as a MIDIMessageEvent while it is connected; asked
// holds the options of every request.
export function midiStandIn(access) {
  if (access === 'none') return void delete Navigator.prototype.requestMIDIAccess;
  const target = (fields, type) => { // an event target with an on<type> listener property
    const t = Object.assign(new EventTarget(), fields);
    let f = null;
    Object.defineProperty(t, 'on' + type, { get: () => f, set: (g) => {
      t.removeEventListener(type, f);
      t.addEventListener(type, (f = g));
    } });
    return t;
  };
  const midi = target({ inputs: new Map(), outputs: new Map(), sysexEnabled: false }, 'statechange');
  const change = (port, state) => {
    port.state = state;
    for (const t of [port, midi]) t.dispatchEvent(Object.assign(new Event('statechange'), { port }));
  };
  window.midiDevice = { asked: [],
    plug: (name) => change(midi.inputs.set(name, target({ id: name, name, manufacturer: '',
      type: 'input', connection: 'open' }, 'midimessage')).get(name), 'connected'),
    unplug: (name) => change(midi.inputs.get(name), 'disconnected'),
    send: (name, ...data) => midi.inputs.get(name).state === 'connected' && midi.inputs.get(name)
      .dispatchEvent(new MIDIMessageEvent('midimessage', { data: new Uint8Array(data) })) };
  navigator.requestMIDIAccess = async (options) => {
    window.midiDevice.asked.push(options);
    if (access === 'refuse') throw new DOMException('MIDI refused', 'NotAllowedError');
    return midi;
  };
}
