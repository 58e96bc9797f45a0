// The browser edition's figures in headless chromium: the page's size and start time (until
// the demo labels show); the latency the page shows in each timing, beside the audio
// context's own parts; and the worklet's CPU time per second of audio at 44100 Hz, all eight
// demo loops mixing, in the live timing and in the program's, beside the same worklet not
// playing and a worklet that only writes zeros, in alternating runs of the same session.
// Each case renders in an OfflineAudioContext, whose rendering thread runs the worklet and
// nothing else; its CPU time (the kernel's account of that thread: the work of other
// processes does not count, though their load still slows it) is taken for a long and a short
// render, and the difference divided by the seconds between them, so the engine's start-up
// and the wave loads cancel out. Then controllers: the worklet's CPU time under a flood of
// 10,000 messages a second delivered between render quanta as the port delivers them, beside
// none; how many frames after such a message its effect is heard; and a flood through the real
// page (a stand-in Web MIDI input, the page's handler, the port) beside the same flood stopped
// at the port and quiet, counted in the audio context's underruns (playbackStats).
// Run after scripts/web-build.sh and `npm ci --offline` in tests/web:
//   node scripts/bench-web.mjs [rounds] [BEFORE]
// rounds: alternating runs of each case (7). BEFORE: another build/web folder (an earlier
// build) whose worklet and engine run in the same rounds, in both timings.
import { existsSync, readdirSync, readFileSync, statSync } from 'node:fs';
import { join } from 'node:path';
import { serveWeb, launchChromium, midiStandIn, WEB } from '../tests/web/harness.mjs';

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
  // The engine's processor again as '<name>-driven', with controller messages handed to its
  // port handler between quanta: perSecond a second of audio from frame from on, count at
  // most, cycling through messages (packed as the page packs them).
  const driven = blob(`const register = registerProcessor;
    globalThis.registerProcessor = (name, Processor) => {
      register(name, Processor);
      register(name + '-driven', class extends Processor {
        constructor(options) {
          super(options);
          Object.assign(this, options.processorOptions.midi, { frame: 0, owed: 0, sent: 0, event: { data: 0 } });
        }
        process(inputs, outputs) {
          if (this.frame >= this.from) this.owed += (this.perSecond * 128) / sampleRate;
          for (; this.owed >= 1 && this.sent < this.count; this.owed -= 1) {
            this.event.data = this.messages[this.sent++ % this.messages.length];
            this.port.onmessage(this.event);
          }
          this.frame += 128;
          return super.process(inputs, outputs);
        }
      });
    };`);
  const pack = (b0, b1, b2) => b0 | (b1 << 8) | (b2 << 16) | (3 << 24);
  // Runs of five values on map X, map Y and the eight faders in turn, a mute pad every 50.
  const flood = Array.from({ length: 1000 }, (_, i) => (i % 50 === 49
    ? pack(0x90, 36 + ((i / 50) % 8), 100) : pack(0xb0, [28, 29, 20, 21, 22, 23, 24, 25, 26, 27][Math.floor(i / 5) % 10], (i * 7) % 128)));
  const drivenBy = (midi) => ({ url: 'worklet.js', driven: true, name: 'mixorama-driven',
    options: { module, rate, live: true, ops: mixing, midi } });
  const cases = {
    zeros: { url: zeros, name: 'zeros' },
    idle: { url: 'worklet.js', name: 'mixorama', options: { module, rate, ops: [] } },
    program: { url: 'worklet.js', name: 'mixorama', options: { module, rate, live: false, ops: mixing } },
    live: { url: 'worklet.js', name: 'mixorama', options: { module, rate, live: true, ops: mixing } },
    still: drivenBy({ from: 0, perSecond: 0, count: 0, messages: flood }),
    flood: drivenBy({ from: 0, perSecond: 10000, count: Infinity, messages: flood }),
  };
  if (before) {
    const old = await WebAssembly.compile(Uint8Array.from(atob(before.wasm), (c) => c.charCodeAt(0)));
    // A worklet given as text imports its helpers by their own URLs.
    const url = blob(before.engine === null ? before.worklet
      : before.worklet.replace(`'./engine.js'`, `'${blob(before.engine)}'`));
    cases['program (before)'] = { url, name: 'mixorama', options: { module: old, rate, live: false, ops: mixing } };
    cases['live (before)'] = { url, name: 'mixorama', options: { module: old, rate, live: true, ops: mixing } };
  }
  const start = async ({ url, driven: isDriven, name, options }, seconds) => {
    const ctx = new OfflineAudioContext(2, seconds * rate, rate);
    if (isDriven) await ctx.audioWorklet.addModule(driven);
    await ctx.audioWorklet.addModule(url);
    const node = new AudioWorkletNode(ctx, name, { numberOfInputs: 0, outputChannelCount: [2],
      processorOptions: options });
    node.connect(ctx.destination);
    return ctx;
  };
  globalThis.bench = {
    cases,
    // Renders seconds of a case: its wall-clock time, and whether any sample was not zero.
    async render(key, seconds) {
      const ctx = await start(cases[key], seconds);
      const t = performance.now();
      const buffer = await ctx.startRendering();
      return { wall: performance.now() - t, heard: buffer.getChannelData(0).some((v) => v !== 0) };
    },
    // Frames from a message's arrival (between two quanta, as the port delivers it) to the
    // first output frame it changes, the map entered at start: a fader taking slot 1 to its
    // lowest level (the volume ramps from the level it had), and Sync (every loop from its
    // first frame), each arriving at three frames.
    async heardAfter() {
      const heard = { fader: [], sync: [] };
      const quiet = (await (await start(drivenBy({ from: 0, perSecond: 0, count: 0, messages: flood }), 2))
        .startRendering()).getChannelData(0);
      for (const [what, message] of [['fader', pack(0xb0, 20, 0)], ['sync', pack(0x90, 53, 100)]]) {
        for (const from of [345 * 128, 352 * 128, 520 * 128]) {
          const moved = (await (await start(drivenBy({ from, perSecond: rate, count: 1, messages: [message] }), 2))
            .startRendering()).getChannelData(0);
          heard[what].push(moved.findIndex((v, i) => v !== quiet[i]) - from);
        }
      }
      return heard;
    },
  };
  return Object.keys(cases);
}, { before });
const beforeFiles = before && { worklet: readFileSync(join(before, 'worklet.js'), 'utf8'),
  engine: existsSync(join(before, 'engine.js')) ? readFileSync(join(before, 'engine.js'), 'utf8') : null,
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
let heardAfter = null;
for (let r = 0; r < rounds; r++) {
  const tab = await chromium.newPage();
  await tab.goto(web.url + 'map.bmp');
  const cases = await setUp(tab, beforeFiles);
  heardAfter ??= await tab.evaluate(() => globalThis.bench.heardAfter());
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

// A flood through the real page in real time: a stand-in Web MIDI input sends 10,000 messages
// a second (map X and Y, faders, pads, as above) through the page's handler to the worklet;
// beside it the same flood stopped at the port (the page's own share), and quiet. Rounds of
// the three, 5 seconds each, alternate; the audio context's underruns are summed per case.
const context = await chromium.newContext();
await context.addInitScript(midiStandIn, 'grant');
await context.addInitScript(() => {
  const Context = AudioContext;
  window.AudioContext = class extends Context {
    constructor(options) {
      super(options);
      window.lastContext = this;
    }
  };
  const post = MessagePort.prototype.postMessage;
  MessagePort.prototype.postMessage = function (message, transfer) {
    if (!(window.stopAtPort && typeof message === 'number')) post.call(this, message, transfer);
  };
});
const live = await context.newPage();
await live.goto(web.url);
await live.waitForFunction(() => document.querySelectorAll('.slot .label')[7]?.textContent !== '');
await live.getByRole('button', { name: 'Press here to play' }).click();
await live.getByRole('button', { name: 'MIDI' }).click();
await live.evaluate(() => window.midiDevice.plug('Flood'));
await live.getByRole('button', { name: 'Close' }).click();
const underruns = await live.evaluate(async (rounds) => {
  const send = (...bytes) => window.midiDevice.send('Flood', ...bytes);
  send(0xb0, 28, 64); // into the map: the mix is live
  const stats = () => window.lastContext.playbackStats.toJSON();
  const wait = (ms) => new Promise((ok) => setTimeout(ok, ms));
  const flood = (ms) => new Promise((done) => {
    const t0 = performance.now();
    let sent = 0;
    const timer = setInterval(() => {
      const due = Math.min(ms * 10, Math.floor((performance.now() - t0) * 10));
      for (; sent < due; sent++) {
        if (sent % 50 === 49) send(0x90, 36 + ((sent / 50) % 8), 100);
        else send(0xb0, [28, 29, 20, 21, 22, 23, 24, 25, 26, 27][Math.floor(sent / 5) % 10], (sent * 7) % 128);
      }
      if (sent === ms * 10) {
        clearInterval(timer);
        done();
      }
    }, 2);
  });
  const sum = { quiet: [0, 0, 0], flood: [0, 0, 0], stopped: [0, 0, 0] }; // events, s, s
  const run = async (what, body) => {
    const a = stats();
    await body();
    await wait(1500); // the counters are brought up to date about once a second
    const b = stats();
    sum[what][0] += b.underrunEvents - a.underrunEvents;
    sum[what][1] += b.underrunDuration - a.underrunDuration;
    sum[what][2] += b.totalDuration - a.totalDuration;
  };
  for (let r = 0; r < rounds; r++) {
    await run('quiet', () => wait(5000));
    await run('flood', () => flood(5000));
    window.stopAtPort = true;
    await run('stopped', () => flood(5000));
    window.stopAtPort = false;
  }
  // For scale, the same counters for a worklet that stalls 60 ms every 100 quanta.
  const c = new AudioContext({ sampleRate: 11025 });
  await c.audioWorklet.addModule(URL.createObjectURL(new Blob([`registerProcessor('stall', class
    extends AudioWorkletProcessor { n = 0; process() { if (++this.n % 100 === 0) {
    const t = Date.now(); while (Date.now() - t < 60); } return true; } });`], { type: 'text/javascript' })));
  new AudioWorkletNode(c, 'stall').connect(c.destination);
  const a = c.playbackStats.toJSON();
  await wait(6500);
  const b = c.playbackStats.toJSON();
  sum.stall = [b.underrunEvents - a.underrunEvents, b.underrunDuration - a.underrunDuration,
    b.totalDuration - a.totalDuration];
  return sum;
}, Math.max(2, Math.ceil(rounds / 2)));
await context.close();

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
  still: 'eight loops, live, messages handed over between quanta: none',
  flood: 'eight loops, live, 10,000 controller messages a second',
  idle: 'the worklet not playing', zeros: 'a worklet writing zeros' };
for (const k of keys) {
  console.log(`  ${what[k.replace(' (before)', '')]}${k.endsWith('(before)') ? ', before' : ''}: ` +
    `${ms(m[k])} CPU, ${ms(over[k])} over the zeros (runs ` +
    `${cpu[k].map((v) => v.toFixed(2)).join(' ')}); wall ${ms(median(wall[k]))}`);
}
console.log('first output frame changed by a message, in frames after it arrives (live timing, ' +
  `44100 Hz, three arrivals): a fader ${heardAfter.fader.join(', ')}; Sync ${heardAfter.sync.join(', ')}`);
const u = ([events, seconds, total]) =>
  `${events} underruns (${(seconds * 1000).toFixed(1)} ms) in ${total.toFixed(1)} s`;
console.log('real time, the page at 11025 Hz, live, eight loops, 10,000 messages a second: ' +
  `through to the worklet ${u(underruns.flood)}; stopped at the port ${u(underruns.stopped)}; ` +
  `quiet ${u(underruns.quiet)}; for scale, a worklet stalling 60 ms every 100 quanta ${u(underruns.stall)}`);
await chromium.close();
web.server.close();
