// The browser edition's figures in headless chromium: the page's size and start time (until
// the demo labels show); the latency the page shows in each timing, beside the audio
// context's own parts; and the worklet's CPU time per second of audio at 44100 Hz, all eight
// demo loops mixing, in the live timing and in the program's, beside the same worklet not
// playing and a worklet that only writes zeros, in alternating runs of the same session.
// Each case renders in an OfflineAudioContext, whose rendering thread runs the worklet and
// nothing else; its CPU time (the kernel's account of that thread: the work of other
// processes does not count, though their load still slows it) is taken for a long and a short
// render, and the difference divided by the seconds between them, so the engine's start-up
// and the wave loads cancel out.
// Run after scripts/web-build.sh and `npm ci --offline` in tests/web:
//   node scripts/bench-web.mjs [rounds] [BEFORE]
// rounds: alternating runs of each case (7). BEFORE: another build/web folder (an earlier
// build) whose worklet and engine run in the same rounds, in both timings.
import { readdirSync, readFileSync, statSync } from 'node:fs';
import { join } from 'node:path';
import { serveWeb, launchChromium, WEB } from '../tests/web/harness.mjs';

const rounds = Number(process.argv[2] ?? 7);
const before = process.argv[3];
const size = (dir) => readdirSync(dir).reduce((n, f) => {
  const s = statSync(join(dir, f));
  return n + (s.isDirectory() ? size(join(dir, f)) : s.size);
}, 0);
const median = (v) => [...v].sort((a, b) => a - b)[Math.floor(v.length / 2)];

const web = await serveWeb();
// gc() in the worklets: the engines of earlier renders are collected before each render
// instead of during one (all offline contexts share one rendering thread).
const chromium = await launchChromium(['--js-flags=--expose-gc']);
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

// The CPU time in ns of every offline rendering thread of this chromium's renderers (the
// processes below this one whose command line says so), by thread id. All offline contexts of
// a renderer share one such thread (schedstat's first field: its time on a core).
const descendants = (pid) => readdirSync('/proc').filter((p) => /^\d+$/.test(p)).filter((p) => {
  try {
    return readFileSync(`/proc/${p}/stat`, 'latin1').split(') ')[1].split(' ')[1] === `${pid}`;
  } catch {
    return false;
  }
}).flatMap((p) => [p, ...descendants(p)]);
const threadTimes = () => {
  const times = new Map();
  for (const pid of descendants(process.pid)) {
    try {
      if (!readFileSync(`/proc/${pid}/cmdline`, 'latin1').includes('--type=renderer')) continue;
      for (const tid of readdirSync(`/proc/${pid}/task`)) {
        const name = readFileSync(`/proc/${pid}/task/${tid}/comm`, 'latin1').trim();
        const ns = Number(readFileSync(`/proc/${pid}/task/${tid}/schedstat`, 'latin1').split(' ')[0]);
        if (name.startsWith('Offline Audio')) times.set(tid, ns);
      }
    } catch {} // a process or thread that ended meanwhile
  }
  return times;
};

// The cases, set up in a tab: each round runs in a new tab, since every engine instance holds
// a WebAssembly memory (with its reserved address space) until its tab closes.
const setUp = (tab, before) => tab.evaluate(async ({ before }) => {
  const enc = (s) => Uint8Array.from(s, (c) => c.charCodeAt(0));
  const names = ['BD7525.WAV', 'CP.WAV', 'MA.WAV', 'LT50.WAV', 'SD0010.WAV', 'CH.WAV', 'HC50.WAV'];
  const mixing = [];
  for (const n of names) {
    mixing.push({ op: 'file', name: enc(n), bytes: new Uint8Array(await (await fetch('demo/' + n)).arrayBuffer()) });
  }
  mixing.push({ op: 'startup' }, { op: 'play' }, { op: 'script', text: enc('0 move 175 175\n') });
  const blob = (text) => URL.createObjectURL(new Blob([text], { type: 'text/javascript' }));
  const zeros = blob(`registerProcessor('zeros', class extends AudioWorkletProcessor {
    process(inputs, outputs) { for (const channel of outputs[0]) channel.fill(0); return true; } });`);
  const module = await WebAssembly.compile(await (await fetch('mixorama.wasm')).arrayBuffer());
  const rate = 44100;
  const cases = {
    zeros: { url: zeros, name: 'zeros' },
    idle: { url: 'worklet.js', name: 'mixorama', options: { module, rate, ops: [] } },
    program: { url: 'worklet.js', name: 'mixorama', options: { module, rate, live: false, ops: mixing } },
    live: { url: 'worklet.js', name: 'mixorama', options: { module, rate, live: true, ops: mixing } },
  };
  if (before) {
    const old = await WebAssembly.compile(Uint8Array.from(atob(before.wasm), (c) => c.charCodeAt(0)));
    const url = blob(before.worklet);
    cases['program (before)'] = { url, name: 'mixorama', options: { module: old, rate, live: false, ops: mixing } };
    cases['live (before)'] = { url, name: 'mixorama', options: { module: old, rate, live: true, ops: mixing } };
  }
  globalThis.bench = {
    cases,
    // Renders seconds of a case: its wall-clock time, and whether any sample was not zero.
    async render(key, seconds) {
      const { url, name, options } = cases[key];
      const ctx = new OfflineAudioContext(2, seconds * rate, rate);
      await ctx.audioWorklet.addModule(url);
      const node = new AudioWorkletNode(ctx, name, { numberOfInputs: 0, outputChannelCount: [2],
        processorOptions: options });
      node.connect(ctx.destination);
      const t = performance.now();
      const buffer = await ctx.startRendering();
      return { wall: performance.now() - t, heard: buffer.getChannelData(0).some((v) => v !== 0) };
    },
  };
  return Object.keys(cases);
}, { before });
const beforeFiles = before && { worklet: readFileSync(join(before, 'worklet.js'), 'utf8'),
  wasm: readFileSync(join(before, 'mixorama.wasm')).toString('base64') };

// One render: the rendering thread's CPU time and the render's wall-clock time, in ms.
const render = async (tab, key, seconds) => {
  const start = threadTimes();
  const { wall, heard } = await tab.evaluate(([k, s]) => globalThis.bench.render(k, s), [key, seconds]);
  if (heard !== (key !== 'zeros' && key !== 'idle')) throw new Error(`${key}: sound ${heard}`);
  let cpuNs = 0;
  for (const [tid, ns] of threadTimes()) cpuNs += ns - (start.get(tid) ?? 0);
  if (cpuNs <= 0) throw new Error(`no rendering thread seen for ${key}`);
  return { cpu: cpuNs / 1e6, wall };
};
const [shortS, longS] = [2, 42];
const cpu = {};
const wall = {};
for (let r = 0; r < rounds; r++) {
  const tab = await chromium.newPage();
  await tab.goto(web.url + 'map.bmp');
  const cases = await setUp(tab, beforeFiles);
  // Unmeasured first renders: the engine's code runs optimised from then on (V8 compiles a
  // module's hot functions again while they run).
  for (const k of cases) await render(tab, k, shortS);
  for (const k of cases) {
    const short = await render(tab, k, shortS);
    const long = await render(tab, k, longS);
    (cpu[k] ??= []).push((long.cpu - short.cpu) / (longS - shortS));
    (wall[k] ??= []).push((long.wall - short.wall) / (longS - shortS));
  }
  await tab.close();
}
const keys = Object.keys(cpu);

const ms = (v) => `${v.toFixed(2)} ms`;
console.log(`page: ${size(WEB)} bytes in build/web`);
console.log(`start in headless chromium: ${startMs} ms until the demo labels show`);
for (const [rate, l] of Object.entries(latency)) {
  console.log(`latency shown at ${rate} Hz: "${l.live}" live, "${l.program}" in the program's ` +
    `timing (the context's own: base ${ms(l.context.base)}, output ${ms(l.context.output)})`);
}
console.log(`worklet per second of audio at 44100 Hz, medians of ${rounds} alternating runs ` +
  '(CPU time of the rendering thread; wall-clock time of the render):');
// Over the zeros: the median of each round's difference (a case and the zeros of its round run
// seconds apart, so a change of the machine's load between rounds cancels).
const m = Object.fromEntries(keys.map((k) => [k, median(cpu[k])]));
const over = Object.fromEntries(keys.map((k) => [k, median(cpu[k].map((v, r) => v - cpu.zeros[r]))]));
const what = { live: 'eight loops mixing, live timing', program: "eight loops mixing, the program's timing",
  idle: 'the worklet not playing', zeros: 'a worklet writing zeros' };
for (const k of keys) {
  console.log(`  ${what[k.replace(' (before)', '')]}${k.endsWith('(before)') ? ', before' : ''}: ` +
    `${ms(m[k])} CPU, ${ms(over[k])} over the zeros (runs ` +
    `${cpu[k].map((v) => v.toFixed(2)).join(' ')}); wall ${ms(median(wall[k]))}`);
}
await chromium.close();
web.server.close();
