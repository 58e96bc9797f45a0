// The browser edition's figures in headless chromium: the page's size and start time (until
// the demo labels show); the latency the page shows in each timing, beside the audio
// context's own parts; and the worklet's CPU time per second of audio at 44100 Hz, all eight
// demo loops mixing, in the live timing and in the program's, beside the same worklet not
// playing and an empty worklet, in alternating runs of the same session (an
// OfflineAudioContext renders as fast as the CPU allows, so its render time is the work done;
// each figure is the difference between a long and a short render, so the engine's start-up
// and the wave loads cancel out).
// Run after scripts/web-build.sh and `npm ci --offline` in tests/web:
//   node scripts/bench-web.mjs [rounds]      (rounds: alternating runs of each case, 7)
import { readdirSync, statSync } from 'node:fs';
import { join } from 'node:path';
import { serveWeb, launchChromium, WEB } from '../tests/web/harness.mjs';

const rounds = Number(process.argv[2] ?? 7);
const size = (dir) => readdirSync(dir).reduce((n, f) => {
  const s = statSync(join(dir, f));
  return n + (s.isDirectory() ? size(join(dir, f)) : s.size);
}, 0);
const median = (v) => [...v].sort((a, b) => a - b)[Math.floor(v.length / 2)];

const web = await serveWeb();
const chromium = await launchChromium();
const page = await chromium.newPage();
const t0 = Date.now();
await page.goto(web.url);
await page.waitForFunction(() => document.querySelectorAll('.slot .label')[7]?.textContent !== '');
const startMs = Date.now() - t0;

// The latency shown once the sound runs (the output latency is known then), in each timing.
const shown = async () => {
  await page.waitForTimeout(1500); // the page reads the context's latencies every second
  return page.locator('#latency').textContent();
};
const latency = {};
for (const rate of [11025, 44100]) {
  if (rate !== 11025) {
    await page.getByRole('button', { name: 'Frequency' }).click();
    await page.getByRole('button', { name: `${rate}` }).click();
    await page.getByRole('button', { name: 'Yes' }).click();
  }
  await page.getByRole('button', { name: 'Press here to play' }).click();
  const first = await shown();
  await page.locator('#live').click();
  const second = await shown();
  const live = rate === 11025 ? first : second; // the page starts live; the setting stays
  latency[rate] = { live, program: rate === 11025 ? second : first };
  latency[rate].context = await page.evaluate(async (rate) => {
    const c = new AudioContext({ sampleRate: rate, latencyHint: 'interactive' });
    await c.resume();
    await new Promise((ok) => setTimeout(ok, 1000));
    const parts = { base: c.baseLatency * 1000, output: c.outputLatency * 1000 };
    await c.close();
    return parts;
  }, rate);
}

const cpu = await page.evaluate(async (rounds) => {
  const rate = 44100;
  const [shortS, longS] = [2, 22];
  const enc = (s) => Uint8Array.from(s, (c) => c.charCodeAt(0));
  const module = await WebAssembly.compile(await (await fetch('mixorama.wasm')).arrayBuffer());
  const names = ['BD7525.WAV', 'CP.WAV', 'MA.WAV', 'LT50.WAV', 'SD0010.WAV', 'CH.WAV', 'HC50.WAV'];
  const mixing = [];
  for (const n of names) {
    mixing.push({ op: 'file', name: enc(n), bytes: new Uint8Array(await (await fetch('demo/' + n)).arrayBuffer()) });
  }
  mixing.push({ op: 'startup' }, { op: 'play' }, { op: 'script', text: enc('0 move 175 175\n') });
  const empty = URL.createObjectURL(new Blob([`registerProcessor('empty', class extends
    AudioWorkletProcessor { process() { return true; } });`], { type: 'text/javascript' }));
  const CASES = {
    empty: { name: 'empty' },
    idle: { name: 'mixorama', options: { module, rate, ops: [] } },
    program: { name: 'mixorama', options: { module, rate, live: false, ops: mixing } },
    live: { name: 'mixorama', options: { module, rate, live: true, ops: mixing } },
  };
  const render = async ({ name, options }, seconds) => {
    const ctx = new OfflineAudioContext(2, seconds * rate, rate);
    await ctx.audioWorklet.addModule(name === 'empty' ? empty : 'worklet.js');
    const node = new AudioWorkletNode(ctx, name, { numberOfInputs: 0, outputChannelCount: [2],
      processorOptions: options });
    node.connect(ctx.destination);
    const t = performance.now();
    await ctx.startRendering();
    return performance.now() - t;
  };
  const perSecond = Object.fromEntries(Object.keys(CASES).map((k) => [k, []]));
  for (let r = 0; r < rounds; r++) {
    for (const [k, c] of Object.entries(CASES)) {
      const short = await render(c, shortS);
      const long = await render(c, longS);
      perSecond[k].push((long - short) / (longS - shortS));
    }
  }
  return perSecond;
}, rounds);

const ms = (v) => `${v.toFixed(2)} ms`;
console.log(`page: ${size(WEB)} bytes in build/web`);
console.log(`start in headless chromium: ${startMs} ms until the demo labels show`);
for (const [rate, l] of Object.entries(latency)) {
  console.log(`latency shown at ${rate} Hz: "${l.live}" live, "${l.program}" in the program's ` +
    `timing (the context's own: base ${ms(l.context.base)}, output ${ms(l.context.output)})`);
}
console.log(`worklet CPU time per second of audio at 44100 Hz, medians of ${rounds} alternating runs:`);
const m = Object.fromEntries(Object.entries(cpu).map(([k, v]) => [k, median(v)]));
for (const [k, what] of [['live', 'eight loops mixing, live timing'],
  ['program', "eight loops mixing, the program's timing"], ['idle', 'the worklet not playing'],
  ['empty', 'an empty worklet']]) {
  console.log(`  ${what}: ${ms(m[k])} (runs ${cpu[k].map((v) => v.toFixed(2)).join(' ')}), ` +
    `${ms(m[k] - m.empty)} over the empty one`);
}
await chromium.close();
web.server.close();
