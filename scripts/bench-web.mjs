// The browser edition's figures: the page's size, its start time in headless chromium (until
// the demo labels show), and the worklet's CPU time per second of audio at 44100 Hz, all eight
// demo loops mixing, measured beside a silent worklet in the same run (an OfflineAudioContext
// renders as fast as the CPU allows, so its render time is the work done).
// Run after scripts/web-build.sh and `npm ci --offline` in tests/web: node scripts/bench-web.mjs
import { readdirSync, statSync } from 'node:fs';
import { join } from 'node:path';
import { serve, launch, WEB } from '../tests/web/harness.mjs';

const size = (dir) => readdirSync(dir).reduce((n, f) => {
  const s = statSync(join(dir, f));
  return n + (s.isDirectory() ? size(join(dir, f)) : s.size);
}, 0);

const web = await serve();
const chromium = await launch();
const page = await chromium.newPage();
const t0 = Date.now();
await page.goto(web.url);
await page.waitForFunction(() => document.querySelectorAll('.slot .label')[7]?.textContent !== '');
const startMs = Date.now() - t0;

const seconds = 20;
const perSecond = await page.evaluate(async (seconds) => {
  const rate = 44100;
  const enc = (s) => Uint8Array.from(s, (c) => c.charCodeAt(0));
  const module = await WebAssembly.compile(await (await fetch('mixorama.wasm')).arrayBuffer());
  const names = ['BD7525.WAV', 'CP.WAV', 'MA.WAV', 'LT50.WAV', 'SD0010.WAV', 'BD7525.WAV', 'CH.WAV', 'HC50.WAV'];
  const ops = [];
  for (const n of new Set(names)) {
    ops.push({ op: 'file', name: enc(n), bytes: new Uint8Array(await (await fetch('demo/' + n)).arrayBuffer()) });
  }
  ops.push({ op: 'startup' }, { op: 'play' }, { op: 'script', text: enc('0 move 175 175\n') });
  const time = async (withEngine) => {
    const ctx = new OfflineAudioContext(2, seconds * rate, rate);
    await ctx.audioWorklet.addModule('worklet.js');
    const node = new AudioWorkletNode(ctx, 'mixorama', { numberOfInputs: 0, outputChannelCount: [2],
      processorOptions: { module, rate, ops: withEngine ? ops : [] } });
    node.connect(ctx.destination);
    const t = performance.now();
    await ctx.startRendering();
    return performance.now() - t;
  };
  const silent = await time(false);
  const mixing = await time(true);
  return { silentMs: silent / seconds, mixingMs: mixing / seconds, engineMs: (mixing - silent) / seconds };
}, seconds);

console.log(`page: ${size(WEB)} bytes in build/web`);
console.log(`start in headless chromium: ${startMs} ms until the demo labels show`);
console.log(`per second of audio at 44100 Hz: ${perSecond.mixingMs.toFixed(2)} ms mixing eight loops, ` +
  `${perSecond.silentMs.toFixed(2)} ms for a worklet that plays nothing (engine: ${perSecond.engineMs.toFixed(2)} ms)`);
await chromium.close();
web.server.close();
