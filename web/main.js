// The page: the panel and the map of the Windows program, in the DOM and one canvas. The
// engine runs in the audio worklet (worklet.js); the page sends it the input as events and
// draws the state it sends back: labels, square colours, messages.

import { engineResult, instantiateEngine } from './engine.js';

const $ = (id) => document.getElementById(id);
const canvas = $('canvas');
const g = canvas.getContext('2d');
const mapPicture = new Image();
mapPicture.src = 'map.bmp';
mapPicture.onload = () => paintMap();

// Texts are single-byte, as the program's: Latin-1 both ways.
const latin1 = (s) => Uint8Array.from(s, (c) => (c.charCodeAt(0) < 256 ? c.charCodeAt(0) : 63));
const ascii = new TextDecoder(); // the state's JSON escapes every byte beyond ASCII

let engineModule;
// What the engine says the page is laid out by (mx_facts): the output rates, the slot count,
// the map's size and the slot points, the names of the files the page writes.
let facts;
let ctx = null;
let node = null;
// The engine's state as last sent: labels, squares, the map's size, rate, timing, texts...
let state = null;
// The panel's captions and boxes, as the engine's text table has them (with every state).
let texts = null;
let demoGiven = false;
let live = true; // the timing a new engine starts in: the Live button
let recordOn = false;
const recordings = []; // recordings ended or going on, oldest first: { parts, ended }
let pendingSetup = null;
const files = new Map(); // every file the engines may open: name -> bytes

function send(msg) {
  node?.port.postMessage(msg);
}

function sendEvent(text) {
  send({ op: 'event', text: latin1(text) });
}

function giveFile(name, bytes) {
  files.set(name, bytes);
  send({ op: 'file', name: latin1(name), bytes });
}

// A new engine at rate in the timing of the Live button, in a new audio context, holding every
// file given so far; ops run before it plays its first frame.
async function startEngine(rate, ops = []) {
  if (ctx) await ctx.close();
  ctx = new AudioContext({ sampleRate: rate, latencyHint: 'interactive' });
  await ctx.audioWorklet.addModule('worklet.js');
  const fileOps = [...files].map(([name, bytes]) => ({ op: 'file', name: latin1(name), bytes }));
  // The controllers' mapping: the page's one, else the one kept from an earlier visit (a
  // faulty one shows its message and leaves the default), else the default.
  const map = midiMap?.text ?? keptMidiMap();
  const mapOp = { op: 'midi-map', text: map === null ? undefined : latin1(map) };
  learning = null;
  node = new AudioWorkletNode(ctx, 'mixorama', {
    numberOfInputs: 0,
    outputChannelCount: [2],
    processorOptions: { module: engineModule, rate, live, ops: [...fileOps, mapOp, ...ops] },
  });
  const port = node.port;
  port.onmessage = (e) => fromEngine(e.data, port);
  node.connect(ctx.destination);
}

async function fromEngine(msg, port) {
  if (msg.type === 'state') {
    showState(JSON.parse(ascii.decode(msg.json)));
  } else if (msg.type === 'saved') {
    download([msg.bytes], facts.setupFile, 'text/plain');
  } else if (msg.type === 'recorded') {
    // A block of the recording: kept here, its buffer handed back for the next block.
    recordings[0]?.parts.push(new Blob([new Uint8Array(msg.buffer, 0, msg.frames * 4)]));
    port.postMessage({ op: 'recorded', buffer: msg.buffer }, [msg.buffer]);
  } else if (msg.type === 'recording') {
    const { parts, ended } = recordings.shift();
    download([msg.header, ...parts], 'mixorama-recording.wav', 'audio/wav');
    ended();
  } else if (msg.type === 'setup-rate') {
    // A setup of another rate: a new engine at that rate takes the same setup.
    const wasPlaying = state?.playing === 1;
    await switchEngine(msg.rate, [{ op: 'setup', text: pendingSetup }]);
    if (wasPlaying) play();
  } else if (msg.type === 'midi-map') {
    midiMap = { text: ascii.decode(msg.text), actions: JSON.parse(ascii.decode(msg.actions)) };
    if (msg.changed) keepMidiMap(midiMap.text);
    if (msg.learned) learning = null;
    showMidi();
  } else if (msg.type === 'play') {
    play(); // a controller's play button
  }
}

async function showState(s) {
  const first = state === null;
  state = s;
  texts = s.texts;
  if (first) {
    $('play').textContent = texts.play;
    $('live').textContent = texts.live;
    $('live').title = texts.liveHint;
    $('latency').title = texts.latencyHint;
    $('midi').textContent = texts.midi;
    $('midi').title = texts.midiHint;
    for (const [cls, key] of [['caption', 'midi'], ['learn-go', 'midiLearn'],
      ['load', 'midiLoad'], ['save', 'midiDownload'], ['close', 'midiClose']]) {
      $('midi-box').querySelector('.' + cls).textContent = texts[key];
    }
    showMidi();
    placeMapNumbers();
  }
  $('live').setAttribute('aria-pressed', String(s.live === 1));
  document.querySelectorAll('.slot .label').forEach((el, i) => (el.textContent = s.labels[i]));
  document.querySelectorAll('[data-rate]').forEach((el) =>
    el.classList.toggle('checked', Number(el.dataset.rate) === s.rate));
  paintMap();
  showLatency();
  for (const text of s.messages) await showBox(s.title, text, ['OK'], 'i');
  if (first && !demoGiven) {
    demoGiven = true;
    await giveDemoSet(s.startup);
  }
}

// The latency a person has, from a move to its sound: the engine's ring, then the browser's
// buffering (baseLatency) and its way to the loudspeaker (outputLatency, where it is known).
function showLatency() {
  if (!state || !ctx) return;
  const seconds = state.ringFrames / state.rate + ctx.baseLatency + (ctx.outputLatency || 0);
  $('latency').textContent = texts.latency.replace('%d', Math.round(seconds * 1000));
}
setInterval(showLatency, 1000); // the output latency is known once the sound runs

// The start-up set, from the demo folder, loaded as the program loads it at start.
async function giveDemoSet(names) {
  for (const name of new Set(names)) {
    const response = await fetch('demo/' + name);
    if (response.ok) giveFile(name, new Uint8Array(await response.arrayBuffer()));
  }
  send({ op: 'startup' });
}

// The map picture stretched over the canvas, the squares on whole device pixels so their
// edges stay sharp.
function paintMap() {
  if (mapPicture.complete) g.drawImage(mapPicture, 0, 0, canvas.width, canvas.height);
  if (!state) return;
  const px = (v) => Math.round((v * canvas.width) / facts.mapSize);
  state.squares.forEach((c, s) => {
    const [left, top, right, bottom] = state.rects[s];
    g.fillStyle = `rgb(${c & 255},${(c >> 8) & 255},${(c >> 16) & 255})`;
    g.fillRect(px(left), px(top), px(right) - px(left), px(bottom) - px(top));
  });
}

// The canvas has one pixel per device pixel of the map on the screen, at any pixel ratio (the
// observer hears of a new ratio too; its device-pixel box is not used, as an emulated ratio
// leaves it out).
new ResizeObserver(([entry]) => {
  const width = Math.round(entry.contentRect.width * devicePixelRatio);
  const height = Math.round(entry.contentRect.height * devicePixelRatio);
  if (width === canvas.width && height === canvas.height) return;
  canvas.width = width;
  canvas.height = height;
  paintMap();
}).observe(canvas, { box: 'device-pixel-content-box' });

// Each slot's number beside the map: its point pushed off the border, in map pixels.
function placeMapNumbers() {
  const size = facts.mapSize;
  document.querySelectorAll('.mapnum').forEach((n, s) => {
    const [x, y] = facts.points[s];
    const [left, top] = y === 0 ? [x - 6, -18] : y === size ? [x - 6, size + 2]
      : x === 0 ? [-16, y - 8] : [size + 4, y - 8];
    n.style.left = `${(100 * left) / size}%`;
    n.style.top = `${(100 * top) / size}%`;
  });
}

// ---- Modal boxes, one at a time -----------------------------------------------------------
let boxQueue = Promise.resolve();
function showBox(caption, text, buttons, icon) {
  const shown = boxQueue.then(() => new Promise((answer) => {
    releasePointers(); // the box takes the input: no gesture or held slot key goes on under it
    const box = $('box');
    box.querySelector('.caption').textContent = caption;
    box.querySelector('.text').textContent = text;
    box.querySelector('.icon').textContent = icon === '?' ? '\u2753' : '\u2139\ufe0f';
    const row = box.querySelector('.buttons');
    row.replaceChildren(...buttons.map((label) => {
      const b = document.createElement('button');
      b.textContent = label;
      b.onclick = () => {
        box.close();
        answer(label);
      };
      return b;
    }));
    box.oncancel = (e) => e.preventDefault();
    box.showModal();
    row.firstChild.focus();
  }));
  boxQueue = shown.catch(() => {});
  return shown;
}

function download(parts, name, type) {
  const a = document.createElement('a');
  a.href = URL.createObjectURL(new Blob(parts, { type }));
  a.download = name;
  a.click();
  setTimeout(() => URL.revokeObjectURL(a.href), 10000);
}

// ---- The panel ----------------------------------------------------------------------------
function play() {
  // The caption follows the flag as it was, before the engine acts (as in the program).
  $('play').textContent = state?.playing === 1 ? texts.play : texts.cutSound;
  ctx.resume();
  send({ op: 'play' });
}

async function loadWave(slot, file) {
  giveFile(file.name, new Uint8Array(await file.arrayBuffer()));
  sendEvent(`load ${slot + 1} ${file.name}`);
}

// The parts of the page the engine's facts give: the Frequency items, the slot rows, the
// numbers beside the map and the map's size.
function buildPage() {
  $('rates').replaceChildren(...facts.rates.map((rate) => {
    const item = document.createElement('li');
    const button = document.createElement('button');
    button.dataset.cmd = 'rate';
    button.dataset.rate = rate;
    const key = document.createElement('u');
    key.textContent = String(rate)[0];
    button.append(key, String(rate).slice(1));
    item.append(button);
    return item;
  }));
  document.documentElement.style.setProperty('--map-size', `${facts.mapSize}px`);
  const rows = $('slots');
  for (let s = 0; s < facts.slots; s++) {
    const row = $('slot-row').content.firstElementChild.cloneNode(true);
    row.style.setProperty('--row', s);
    row.querySelector('.number').textContent = `${s + 1} :`;
    row.querySelector('.load').onclick = () => {
      const input = $('wave-file');
      input.value = '';
      input.onchange = () => input.files[0] && loadWave(s, input.files[0]);
      input.click();
    };
    row.querySelector('.nowave').onclick = () => sendEvent(`unload ${s + 1}`);
    holdsSlotKey(row.querySelector('.label'), s + 1);
    row.ondragover = (e) => {
      e.preventDefault();
      row.classList.add('drop');
    };
    row.ondragleave = () => row.classList.remove('drop');
    row.ondrop = (e) => {
      e.preventDefault();
      e.stopPropagation();
      row.classList.remove('drop');
      if (e.dataTransfer.files[0]) loadWave(s, e.dataTransfer.files[0]);
    };
    rows.append(row);
  }
  for (let s = 0; s < facts.slots; s++) {
    const n = document.createElement('span');
    n.className = 'mapnum';
    n.textContent = `${s + 1}`;
    holdsSlotKey(n, s + 1);
    $('map').append(n);
  }
}

// ---- The map and the slot keys: one path for mouse, pen and touch -------------------------
// A mouse is the program's: its moves anywhere on the page reach the map while the map holds
// the capture, and a press on the map is a click at once. A finger (or a pen's tip) on the map
// moves the cursor there and along with it; of several, the one that moved last is the
// cursor. What a finger did is judged from its events' timeStamps: up within TAP_MS, having
// moved less than STILL_PX, is a left click there; held LONG_PRESS_MS without moving STILL_PX,
// a right click there, made at its next event or when a timer finds the clock past it, the
// finger still down. A cancelled gesture clicks nothing. A finger held on a slot's label or on
// its number beside the map holds that slot's key, as the keypad keys do.
const TAP_MS = 300;
const LONG_PRESS_MS = 500;
const STILL_PX = 10;
// Windows' defaults: a press of the same button this soon, within a 4-pixel square around the
// one before, is the second press of a double click, which the map leaves to the control.
const DOUBLE_CLICK_MS = 500;
const DOUBLE_CLICK_PX = 2;

const heldKeys = new Set(); // slot keys 1..8 held down on the keyboard
const heldByPointer = new Map(); // pointerId -> slot key 1..8 held by a finger
const contacts = new Map(); // pointerId -> the gesture of a finger or pen tip on the map
let cursorInside = false; // the last move sent was inside the map
let lastPress = null; // the mouse's last press on the map

const inputBlocked = () => !state || $('box').open; // a modal box holds the input

function mapPosition(e) {
  const r = canvas.getBoundingClientRect();
  const k = facts.mapSize / r.width;
  return [Math.floor((e.clientX - r.left) * k), Math.floor((e.clientY - r.top) * k)];
}

// The mouse moving to at (map pixels): inside the map, and for the first move out of it.
function moveTo([x, y]) {
  const inside = x >= 0 && y >= 0 && x <= facts.mapSize && y <= facts.mapSize;
  if (inside || cursorInside) sendEvent(`move ${x} ${y}`);
  cursorInside = inside;
}

// A click on the map, with the lowest slot key held (as the keypad is asked in order).
function click(button) {
  const keys = [...heldKeys, ...heldByPointer.values()];
  sendEvent(keys.length > 0 ? `${button} ${Math.min(...keys)}` : button);
}

function mousePress(e) {
  if (e.button !== 0 && e.button !== 2) return;
  const p = { button: e.button, t: e.timeStamp, x: e.clientX, y: e.clientY, second: false };
  const l = lastPress;
  p.second = l !== null && !l.second && l.button === p.button && p.t - l.t <= DOUBLE_CLICK_MS &&
    Math.abs(p.x - l.x) <= DOUBLE_CLICK_PX && Math.abs(p.y - l.y) <= DOUBLE_CLICK_PX;
  lastPress = p;
  if (!p.second) click(e.button === 0 ? 'left' : 'right');
}

// The finger's events up to now: once held long enough without moving, it right-clicks (once).
function judgeLongPress(c, now) {
  if (!c.still || c.acted || now - c.t0 < LONG_PRESS_MS) return;
  c.acted = true;
  moveTo(c.at); // at the finger, whichever finger moved last
  click('right');
}

// No event comes while a finger rests: the timer reads the clock the events' timeStamps are
// on, and looks again until the finger has been down long enough.
function watchLongPress(c) {
  const wait = Math.max(0, Math.min(LONG_PRESS_MS, c.t0 + LONG_PRESS_MS - performance.now()));
  c.timer = setTimeout(() => {
    if (contacts.get(c.id) !== c) return;
    judgeLongPress(c, performance.now());
    if (c.still && !c.acted) watchLongPress(c);
  }, wait);
}

// The finger's position in e: a long press due before it, then whether it has moved away.
function track(c, e) {
  judgeLongPress(c, e.timeStamp);
  if (Math.hypot(e.clientX - c.x0, e.clientY - c.y0) >= STILL_PX) c.still = false;
}

canvas.addEventListener('pointerdown', (e) => {
  if (inputBlocked()) return;
  if (e.pointerType === 'mouse') {
    mousePress(e);
    return;
  }
  e.preventDefault(); // no mouse events made up from it
  canvas.setPointerCapture(e.pointerId);
  const c = { id: e.pointerId, t0: e.timeStamp, x0: e.clientX, y0: e.clientY,
    at: mapPosition(e), still: true, acted: false, timer: 0 };
  contacts.set(e.pointerId, c);
  moveTo(c.at);
  watchLongPress(c);
});

document.addEventListener('pointermove', (e) => {
  const c = contacts.get(e.pointerId);
  if (c) {
    track(c, e);
    c.at = mapPosition(e);
    moveTo(c.at);
    return;
  }
  if (inputBlocked() || e.pointerType === 'touch') return;
  moveTo(mapPosition(e)); // a mouse, or a pen above the screen
  // A mouse button pressed while another is down comes as a move.
  if (e.target === canvas && e.button >= 0 && (e.buttons & (e.button === 0 ? 1 : 2)) !== 0) {
    mousePress(e);
  }
});

function endContact(e) {
  const c = contacts.get(e.pointerId);
  if (!c) return;
  contacts.delete(e.pointerId);
  clearTimeout(c.timer);
  if (e.type !== 'pointerup') return; // cancelled, or the capture lost: nothing happened
  track(c, e);
  if (c.still && !c.acted && e.timeStamp - c.t0 < TAP_MS) {
    moveTo(c.at);
    click('left');
  }
}

for (const type of ['pointerup', 'pointercancel', 'lostpointercapture']) {
  document.addEventListener(type, (e) => {
    heldByPointer.delete(e.pointerId);
    endContact(e);
  });
}

// A finger (or any pointer) held on el holds slot key key until it is lifted or cancelled.
function holdsSlotKey(el, key) {
  el.addEventListener('pointerdown', (e) => {
    if (inputBlocked()) return;
    e.preventDefault();
    el.setPointerCapture(e.pointerId);
    heldByPointer.set(e.pointerId, key);
  });
  el.addEventListener('contextmenu', (e) => e.preventDefault());
}

function releasePointers() {
  for (const c of contacts.values()) clearTimeout(c.timer);
  contacts.clear();
  heldByPointer.clear();
}

canvas.addEventListener('contextmenu', (e) => e.preventDefault());

function slotKey(e) {
  const m = /^(?:Digit|Numpad)([1-9])$/.exec(e.code);
  return m && Number(m[1]) <= facts.slots ? Number(m[1]) : 0;
}
document.addEventListener('keydown', (e) => slotKey(e) && heldKeys.add(slotKey(e)));
document.addEventListener('keyup', (e) => heldKeys.delete(slotKey(e)));
window.addEventListener('blur', () => {
  heldKeys.clear();
  releasePointers();
});

// ---- Menus --------------------------------------------------------------------------------
document.querySelectorAll('.menu .top').forEach((top) => {
  top.onclick = (e) => {
    e.stopPropagation();
    const menu = top.parentElement;
    const open = !menu.classList.contains('open');
    document.querySelectorAll('.menu').forEach((m) => m.classList.remove('open'));
    menu.classList.toggle('open', open);
  };
});
document.addEventListener('click', () =>
  document.querySelectorAll('.menu').forEach((m) => m.classList.remove('open')));

async function switchEngine(rate, ops) {
  if (recordOn) await toggleRecord();
  state = null;
  demoGiven = true;
  await startEngine(rate, ops);
}

const COMMANDS = {
  'load-setup': () => {
    const input = $('setup-files');
    input.value = '';
    input.onchange = () => loadSetup([...input.files]);
    input.click();
  },
  'save-setup': () => send({ op: 'save' }),
  quit: async () => {
    if ((await showBox(state?.title ?? '', texts.quit, ['OK', 'Cancel'], '?')) !== 'OK') return;
    await ctx?.close();
    ctx = null;
    node = null;
    document.body.replaceChildren();
  },
  help: async () => {
    for (const text of [texts.help1, texts.help2]) {
      await showBox(texts.helpCaption, text, ['OK'], 'i');
    }
  },
  rate: async (el) => {
    const rate = Number(el.dataset.rate);
    if (!state || rate === state.rate) return;
    if ((await showBox('', texts.rateQuestion, ['Yes', 'No'], '?')) !== 'Yes') return;
    await switchEngine(rate, []);
  },
};
document.addEventListener('click', (e) => {
  const el = e.target.closest('[data-cmd]');
  if (el) COMMANDS[el.dataset.cmd](el);
});

// A setup file with its waves (several files, or a folder's files): the waves are given by
// name, then the setup text; the engine answers with the messages of the program.
async function loadSetup(list) {
  if (list.length === 0) return;
  const setup = list.find((f) => /\.st$/i.test(f.name)) ??
    list.find((f) => !/\.wav$/i.test(f.name)) ?? list[0];
  for (const f of list) {
    if (f !== setup) giveFile(f.name, new Uint8Array(await f.arrayBuffer()));
  }
  pendingSetup = new Uint8Array(await setup.arrayBuffer());
  send({ op: 'setup', text: pendingSetup });
}

// Files or a folder dropped anywhere but on a slot row: a setup file with its waves.
async function droppedFiles(entries) {
  const found = [];
  const walk = async (entry) => {
    if (entry.isFile) {
      found.push(await new Promise((ok, fail) => entry.file(ok, fail)));
    } else if (entry.isDirectory) {
      const reader = entry.createReader();
      for (let batch; (batch = await new Promise((ok, fail) => reader.readEntries(ok, fail))).length;) {
        for (const child of batch) await walk(child);
      }
    }
  };
  for (const entry of entries) if (entry) await walk(entry);
  return found;
}
document.addEventListener('dragover', (e) => e.preventDefault());
document.addEventListener('drop', async (e) => {
  e.preventDefault();
  const list = await droppedFiles([...e.dataTransfer.items].map((i) => i.webkitGetAsEntry()));
  if (list.some((f) => /\.st$/i.test(f.name))) loadSetup(list);
});

// Starts a recording, or ends it: the promise settles once its file is downloaded.
function toggleRecord() {
  recordOn = !recordOn;
  $('record').setAttribute('aria-pressed', String(recordOn));
  send({ op: 'record', on: recordOn });
  if (recordOn) {
    recordings.push({ parts: [], ended: null });
    return Promise.resolve();
  }
  return new Promise((ended) => (recordings.at(-1).ended = ended));
}

// ---- Controllers: Web MIDI ----------------------------------------------------------------
// Access is asked for (without SysEx) when MIDI is pressed; every input connected then or
// later sends its messages to the engine, which maps them and applies them as page input,
// before its next tick. The mapping is the engine's; the page shows it, keeps its file in the
// browser between visits, and downloads and loads it.
const MIDI_MAP_KEY = 'mixorama.midiMap';
const MIDI_KINDS = ['cc', 'note', 'bend']; // as mx_midi_unbind numbers them
let midiAccess = null;
let midiStatus = null; // null before asking, 'unavailable', 'refused' or 'granted'
let midiMap = null; // { text: the MIDI map file, actions: [[kind, slot, text], ...] }
let learning = null; // the action being learned: [kind, slot, text]

function keptMidiMap() {
  try {
    return localStorage.getItem(MIDI_MAP_KEY);
  } catch {
    return null; // storage refused: the mapping lasts as long as the page
  }
}
function keepMidiMap(text) {
  try {
    localStorage.setItem(MIDI_MAP_KEY, text);
  } catch {}
}

// A message from an input: its bytes packed in one number, so the port carries no array. The
// engine uses none longer than 3 bytes (SysEx is not asked for).
function fromController({ data }) {
  if (data.length <= 3) send(data[0] | (data[1] << 8) | (data[2] << 16) | (data.length << 24));
}

async function askMidi() {
  if (!navigator.requestMIDIAccess) {
    midiStatus = 'unavailable';
    return;
  }
  try {
    midiAccess = await navigator.requestMIDIAccess({ sysex: false });
    midiStatus = 'granted';
    // A device plugged in (or again) may come as a new input: every input is listened to.
    const listen = () => {
      for (const input of midiAccess.inputs.values()) input.onmidimessage = fromController;
      showMidi();
    };
    midiAccess.onstatechange = listen;
    listen();
  } catch {
    midiStatus = 'refused';
  }
}

function showMidi() {
  if (!texts) return; // shown with the first state
  const box = $('midi-box');
  const inputs = [...(midiAccess?.inputs.values() ?? [])].filter((i) => i.state === 'connected');
  box.querySelector('.status').textContent = midiStatus === null ? '' : {
    unavailable: texts.midiUnavailable, refused: texts.midiRefused }[midiStatus] ??
    (inputs.length > 0 ? texts.midiInputs : texts.midiNoInput);
  box.querySelector('.inputs').replaceChildren(...inputs.map((i) => {
    const li = document.createElement('li');
    li.textContent = i.name;
    return li;
  }));
  const pick = box.querySelector('select');
  if (pick.options.length === 0 && midiMap) pick.append(...midiMap.actions.map((a) => new Option(a[2])));
  const learn = box.querySelector('.learn-go');
  learn.disabled = midiStatus !== 'granted';
  learn.setAttribute('aria-pressed', String(learning !== null));
  box.querySelector('.learning').textContent = learning ? texts.midiLearning.replace('%s', learning[2]) : '';
  // One row a binding of the file: "CHANNEL KIND [NUMBER] = ACTION"; those new since the
  // last time shown (a control learned) marked and scrolled into sight.
  const lines = midiMap?.text.split('\r\n').filter((l) => !l.startsWith('#') && l.includes(' = '));
  const table = box.querySelector('.bindings');
  const before = new Set([...table.rows].map((r) => r.dataset.line));
  table.replaceChildren(...(lines ?? []).map((line) => {
    const [control, action] = line.split(' = ');
    const row = document.createElement('tr');
    row.dataset.line = line;
    row.classList.toggle('new', before.size > 0 && !before.has(line));
    row.append(...[control, action].map((t) => Object.assign(document.createElement('td'), { textContent: t })));
    const remove = Object.assign(document.createElement('button'), { textContent: texts.midiRemove });
    const [channel, kind, number = 0] = control.split(' ');
    remove.onclick = () => send({ op: 'midi-unbind', channel: channel === 'any' ? 0 : Number(channel),
      kind: MIDI_KINDS.indexOf(kind), number: Number(number) });
    row.insertCell().append(remove);
    return row;
  }));
  table.querySelector('.new')?.scrollIntoView({ block: 'nearest' });
}

function learnAction(action) {
  learning = action;
  send({ op: 'midi-learn', kind: action?.[0] ?? 0, slot: action?.[1] ?? 0 });
  showMidi();
}

$('midi').onclick = async () => {
  if (!texts) return;
  // A click lets the audio context run where the browser held it until one: the worklet, which
  // sends back the squares and a controller's play press, runs with it.
  ctx?.resume();
  $('midi-box').showModal();
  showMidi();
  if (midiStatus !== 'granted' && midiStatus !== 'unavailable') await askMidi();
  showMidi();
};
$('midi-box').querySelector('.learn-go').onclick = () =>
  learnAction(learning ? null : midiMap.actions[$('midi-box').querySelector('select').selectedIndex]);
$('midi-box').addEventListener('close', () => learning && learnAction(null));
$('midi-box').querySelector('.close').onclick = () => $('midi-box').close();
$('midi-box').querySelector('.save').onclick = () =>
  midiMap && download([midiMap.text], facts.midiMapFile, 'text/plain');
$('midi-box').querySelector('.load').onclick = () => {
  const input = $('midi-file');
  input.value = '';
  input.onchange = async () => input.files[0] &&
    send({ op: 'midi-map', text: new Uint8Array(await input.files[0].arrayBuffer()) });
  input.click();
};

$('play').onclick = play;
$('sync').onclick = () => sendEvent('sync');
$('record').onclick = toggleRecord;
$('live').onclick = () => {
  live = state?.live !== 1;
  send({ op: 'timing', live });
};

// The service worker keeps the page for use without a network (sw.js).
navigator.serviceWorker?.register('sw.js').catch((e) => console.warn('no offline use:', e));
engineModule = await WebAssembly.compile(await (await fetch('mixorama.wasm')).arrayBuffer());
const factsEngine = instantiateEngine(engineModule);
factsEngine.mx_facts();
facts = JSON.parse(new TextDecoder().decode(engineResult(factsEngine)));
buildPage();
await startEngine(facts.rates[0]);
