// For the same performance the worklet in an OfflineAudioContext renders what mixorama-render
// mix renders, byte for byte at every rate in both timings (the live one against mix --live),
// with the same messages. The performances cross tick edges, click with and without slot
// keys, load and empty slots while playing.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, writeFileSync, copyFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { session, WEB } from './harness.mjs';

const RENDER = process.env.MIXORAMA_RENDER;
const DEMO = ['BD7525.WAV', 'CP.WAV', 'MA.WAV', 'LT50.WAV', 'SD0010.WAV', 'CH.WAV', 'HC50.WAV'];
// A file whose data chunk claims more bytes than it holds.
const BROKEN = Buffer.from('RIFF\x30\x00\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x02\x00' +
  '\x44\xac\x00\x00\x10\xb1\x02\x00\x04\x00\x10\x00data\xff\x00\x00\x00\x01\x02', 'latin1');

// 95 s of an 8-bit mono sawtooth at 11025 Hz (1 MiB): at 44100 Hz the engine holds it in
// 16.7 MB, so loading it while playing grows the module's memory within a render quantum.
const LONG = Buffer.concat([Buffer.from('RIFF\x24\x00\x10\x00WAVEfmt \x10\x00\x00\x00\x01\x00' +
  '\x01\x00\x11\x2b\x00\x00\x11\x2b\x00\x00\x01\x00\x08\x00data\x00\x00\x10\x00', 'latin1'),
  Buffer.from(Array.from({ length: 1 << 20 }, (_, i) => i & 0xff))]);

const PERFORMANCES = [
  { ms: 1333, slots: [[1, 'BD7525.WAV'], [3, 'MA.WAV'], [5, 'SD0010.WAV'], [6, 'CH.WAV']],
    script: `0 move 175 175\n120 move 87 5\n300 left\n333 move 20 90\n410 right 3\n500 sync
640 load 2 CP.WAV\n777 move 300 300\n801 unload 5\n950 left 6\n1000 move 400 400
1051 move 100 100\n1200 right\n` },
  { ms: 1010, slots: [[2, 'LT50.WAV'], [7, 'HC50.WAV'], [8, 'CP.WAV']],
    script: `0 move 0 87\n50 move 10 80\n50 left 7\n99 load 4 BROKEN.WAV\n100 move 350 87
250 right 2\n250 right 2\n333 load 1 SD0010.WAV\n400 sync\n401 unload 8\n650 move 262 0
700 left\n1005 move 1 1\n` },
  { ms: 500, slots: [[1, 'CP.WAV']], script: '0 move 175 175\n200 load 2 LONG.WAV\n' },
];

const s = session();
const dir = mkdtempSync(join(tmpdir(), 'mixorama-exact-'));
for (const name of DEMO) copyFileSync(join(WEB, 'demo', name), join(dir, name));
writeFileSync(join(dir, 'BROKEN.WAV'), BROKEN);
writeFileSync(join(dir, 'LONG.WAV'), LONG);
after(() => rmSync(dir, { recursive: true, force: true }));

// The worklet's interleaved samples as floats, the messages it showed, and the data of its
// recording of the whole performance (blocks handed back for reuse, as the page does).
async function renderInWorklet(page, rate, live, p, expected) {
  const files = [...DEMO, 'BROKEN.WAV', 'LONG.WAV'].map((n) => [n, readFileSync(join(dir, n)).toString('base64')]);
  return page.evaluate(async ({ rate, live, frames, files, slots, script, expected }) => {
    const enc = (s) => Uint8Array.from(s, (c) => c.charCodeAt(0));
    const module = await WebAssembly.compile(await (await fetch('mixorama.wasm')).arrayBuffer());
    const ctx = new OfflineAudioContext(2, frames, rate);
    await ctx.audioWorklet.addModule('worklet.js');
    const ops = files.map(([name, b64]) => ({ op: 'file', name: enc(name), bytes: enc(atob(b64)) }));
    for (const [slot, name] of slots) ops.push({ op: 'event', text: enc(`load ${slot} ${name}`) });
    ops.push({ op: 'record', on: true }, { op: 'play' }, { op: 'script', text: enc(script) });
    const node = new AudioWorkletNode(ctx, 'mixorama', { numberOfInputs: 0, outputChannelCount: [2],
      processorOptions: { module, rate, live, ops } });
    const messages = [];
    const recorded = [];
    const recording = new Promise((ended) => (node.port.onmessage = ({ data }) => {
      if (data.type === 'state') messages.push(...JSON.parse(new TextDecoder().decode(data.json)).messages);
      if (data.type === 'recorded') {
        recorded.push(...new Uint8Array(data.buffer, 0, data.frames * 4));
        node.port.postMessage({ op: 'recorded', buffer: data.buffer }, [data.buffer]);
      }
      if (data.type === 'recording') ended(recorded);
    }));
    node.connect(ctx.destination);
    const buffer = await ctx.startRendering();
    // State messages may trail the rendering: wait for as many messages as the renderer showed.
    while (messages.length < expected) await new Promise((ok) => setTimeout(ok, 10));
    node.port.postMessage({ op: 'record', on: false });
    const wave = await recording;
    const [l, r] = [0, 1].map((c) => buffer.getChannelData(c));
    return { samples: [...l].flatMap((v, i) => [v, r[i]]), messages, wave };
  }, { rate, live, frames: Math.floor((p.ms * rate) / 1000), files, ...p, expected });
}

function renderNatively(rate, live, p) {
  writeFileSync(join(dir, 'perf.txt'), p.script);
  const args = ['mix', '--rate', `${rate}`, ...(live ? ['--live'] : [])];
  for (const [slot, name] of p.slots) args.push('--slot', `${slot}`, name);
  args.push('--script', 'perf.txt', '--ms', `${p.ms}`, 'out.wav');
  const run = spawnSync(RENDER, args, { cwd: dir, encoding: 'latin1' });
  assert.equal(run.status, 0, run.stderr);
  const messages = run.stderr.split('\n').filter((l) => l !== '');
  return { pcm: readFileSync(join(dir, 'out.wav')).subarray(44), messages };
}

for (const [rate, live] of [11025, 22050, 44100].flatMap((r) => [[r, false], [r, true]])) {
  test(`worklet equals mixorama-render mix${live ? ' --live' : ''} at ${rate} Hz`, { timeout: 30000 }, async () => {
    const page = await s.browser.newPage();
    await page.goto(s.url + 'map.bmp');
    for (const p of PERFORMANCES) {
      const native = renderNatively(rate, live, p);
      const worklet = await renderInWorklet(page, rate, live, p, native.messages.length);
      const pcm = Buffer.from(Int16Array.from(worklet.samples, (v) => Math.round(v * 32768)).buffer);
      assert.equal(pcm.length, native.pcm.length);
      assert.ok(native.pcm.some((b) => b !== 0), 'the performance is heard');
      const first = pcm.findIndex((b, i) => b !== native.pcm[i]);
      assert.equal(first, -1, `first differing byte ${first} (frame ${Math.floor(first / 4)})`);
      assert.deepEqual(worklet.messages, native.messages);
      // The recording: the frames played, then the rest of the last render quantum.
      const recorded = Buffer.from(worklet.wave);
      assert.equal(recorded.length, Math.ceil(native.pcm.length / 512) * 512);
      assert.ok(recorded.subarray(0, native.pcm.length).equals(native.pcm));
    }
    await page.close();
  });
}
