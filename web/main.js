// The page: the panel and the map of the Windows program, in the DOM and one canvas. The
// engine runs in the audio worklet (worklet.js); the page sends it the input as events and
// draws the state it sends back: labels, square colours, messages.

// Where each slot's number stands beside the map: the slot points, pushed off the border.
const MAP_NUMBERS = [[81, -18], [-16, 79], [-16, 254], [81, 352], [256, 352], [354, 254],
  [354, 79], [256, -18]];

const $ = (id) => document.getElementById(id);
const canvas = $('canvas');
const g = canvas.getContext('2d');
const mapPicture = new Image();
mapPicture.src = 'map.bmp';
mapPicture.onload = () => paintMap();

// Texts are single-byte, as the program's: Latin-1 both ways.
const latin1 = (s) => Uint8Array.from(s, (c) => (c.charCodeAt(0) < 256 ? c.charCodeAt(0) : 63));

let engineModule;
let ctx = null;
let node = null;
let state = null;
// The panel's captions and boxes, as the engine's text table has them (with every state).
let texts = null;
let demoGiven = false;
let recording = false;
let pendingSetup = null;
const files = new Map(); // every file the engines may open: name -> bytes
const heldKeys = new Set(); // slot keys 1..8 held down
let cursorInside = false;

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

// A new engine at rate, in a new audio context, holding every file given so far; ops run
// before it plays its first frame.
async function startEngine(rate, ops = []) {
  if (ctx) await ctx.close();
  ctx = new AudioContext({ sampleRate: rate, latencyHint: 'interactive' });
  await ctx.audioWorklet.addModule('worklet.js');
  const fileOps = [...files].map(([name, bytes]) => ({ op: 'file', name: latin1(name), bytes }));
  node = new AudioWorkletNode(ctx, 'mixorama', {
    numberOfInputs: 0,
    outputChannelCount: [2],
    processorOptions: { module: engineModule, rate, ops: [...fileOps, ...ops] },
  });
  node.port.onmessage = (e) => fromEngine(e.data);
  node.connect(ctx.destination);
}

async function fromEngine(msg) {
  if (msg.type === 'state') {
    showState(JSON.parse(msg.json));
  } else if (msg.type === 'saved') {
    download(msg.bytes, 'MIXORAMA.ST', 'text/plain');
  } else if (msg.type === 'recording') {
    download(msg.wav, 'mixorama-recording.wav', 'audio/wav');
  } else if (msg.type === 'setup-rate') {
    // A setup of another rate: a new engine at that rate takes the same setup.
    const wasPlaying = state?.playing === 1;
    await switchEngine(msg.rate, [{ op: 'setup', text: pendingSetup }]);
    if (wasPlaying) play();
  }
}

async function showState(s) {
  const first = state === null;
  state = s;
  texts = s.texts;
  if (first) $('play').textContent = texts.play;
  document.querySelectorAll('.slot .label').forEach((el, i) => (el.textContent = s.labels[i]));
  document.querySelectorAll('[data-rate]').forEach((el) =>
    el.classList.toggle('checked', Number(el.dataset.rate) === s.rate));
  paintMap();
  for (const text of s.messages) await showBox(s.title, text, ['OK'], 'i');
  if (first && !demoGiven) {
    demoGiven = true;
    await giveDemoSet(s.startup);
  }
}

// The start-up set, from the demo folder, loaded as the program loads it at start.
async function giveDemoSet(names) {
  for (const name of new Set(names)) {
    const response = await fetch('demo/' + name);
    if (response.ok) giveFile(name, new Uint8Array(await response.arrayBuffer()));
  }
  send({ op: 'startup' });
}

function paintMap() {
  if (mapPicture.complete) g.drawImage(mapPicture, 0, 0);
  if (!state) return;
  state.squares.forEach((c, s) => {
    g.fillStyle = `rgb(${c & 255},${(c >> 8) & 255},${(c >> 16) & 255})`;
    g.fillRect(state.rects[s][0], state.rects[s][1], 20, 20);
  });
}

// ---- Modal boxes, one at a time -----------------------------------------------------------
let boxQueue = Promise.resolve();
function showBox(caption, text, buttons, icon) {
  const shown = boxQueue.then(() => new Promise((answer) => {
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

function download(bytes, name, type) {
  const a = document.createElement('a');
  a.href = URL.createObjectURL(new Blob([bytes], { type }));
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

function buildSlots() {
  const rows = $('slots');
  for (let s = 0; s < 8; s++) {
    const row = $('slot-row').content.firstElementChild.cloneNode(true);
    row.style.top = `${26 + s * 52}px`;
    row.querySelector('.number').textContent = `${s + 1} :`;
    row.querySelector('.load').onclick = () => {
      const input = $('wave-file');
      input.value = '';
      input.onchange = () => input.files[0] && loadWave(s, input.files[0]);
      input.click();
    };
    row.querySelector('.nowave').onclick = () => sendEvent(`unload ${s + 1}`);
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
  MAP_NUMBERS.forEach(([x, y], s) => {
    const n = document.createElement('span');
    n.className = 'mapnum';
    n.textContent = `${s + 1}`;
    n.style.left = `${x}px`;
    n.style.top = `${y}px`;
    $('map').append(n);
  });
}

// ---- The map: moves anywhere on the page reach it while it holds the capture -------------
function mapPosition(e) {
  const r = canvas.getBoundingClientRect();
  return [Math.floor(e.clientX - r.left), Math.floor(e.clientY - r.top)];
}

document.addEventListener('mousemove', (e) => {
  if ($('box').open) return; // a modal box holds the input, as the program's do
  const [x, y] = mapPosition(e);
  const inside = x >= 0 && y >= 0 && x <= 350 && y <= 350;
  if (inside || cursorInside) sendEvent(`move ${x} ${y}`);
  cursorInside = inside;
});

canvas.addEventListener('mousedown', (e) => {
  // The second press of a double click is the control's own, as in the program.
  if (e.detail % 2 === 0 || (e.button !== 0 && e.button !== 2)) return;
  const key = [...heldKeys].sort()[0];
  sendEvent(`${e.button === 0 ? 'left' : 'right'}${key ? ' ' + key : ''}`);
});
canvas.addEventListener('contextmenu', (e) => e.preventDefault());

function slotKey(e) {
  const m = /^(?:Digit|Numpad)([1-8])$/.exec(e.code);
  return m ? Number(m[1]) : 0;
}
document.addEventListener('keydown', (e) => slotKey(e) && heldKeys.add(slotKey(e)));
document.addEventListener('keyup', (e) => heldKeys.delete(slotKey(e)));
window.addEventListener('blur', () => heldKeys.clear());

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
  if (recording) toggleRecord();
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
document.querySelectorAll('[data-cmd]').forEach((el) => {
  el.onclick = () => COMMANDS[el.dataset.cmd](el);
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

function toggleRecord() {
  recording = !recording;
  $('record').setAttribute('aria-pressed', String(recording));
  send({ op: 'record', on: recording });
}

$('play').onclick = play;
$('sync').onclick = () => sendEvent('sync');
$('record').onclick = toggleRecord;

buildSlots();
engineModule = await WebAssembly.compile(await (await fetch('mixorama.wasm')).arrayBuffer());
await startEngine(11025);
