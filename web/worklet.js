// The audio worklet is the sound device: it plays the engine's ring, counting frames. Each
// render quantum moves the engine's clock by its frames (ticks run when their frame counts
// are reached) and outputs the frames played, as 16-bit values / 32768 (the engine writes
// them so, and process() copies them whole).
//
// processorOptions: { module: the compiled engine (WebAssembly.Module), rate: the output rate,
// live: true for the live timing (a 256-frame ring, a tick every 128 frames), otherwise the
// program's; ops: messages applied in order before the first quantum }. Messages (port or ops):
//   { op: 'file', name, bytes }   a file the engine may open by name (Latin-1 name bytes)
//   { op: 'startup' }             loads the start-up set (its files given before)
//   { op: 'event', text }         one input event: 'move X Y', 'left [K]', 'sync', ...
//   { op: 'script', text }        a timed performance from the start of playback
//   { op: 'play' }                the play button
//   { op: 'timing', live }        switches the timing, keeping the mix
//   { op: 'save' } / { op: 'setup', text }   setup files
//   { op: 'record', on }          starts or ends a recording of the output
//   { op: 'recorded', buffer }    hands a recording block's buffer back for reuse
//   { op: 'midi-map', text }      puts a MIDI map file in force (a faulty one: its message);
//                                 without text it only asks for the mapping
//   { op: 'midi-learn', kind, slot }   learns the next control moved for an action (kind 0 stops)
//   { op: 'midi-unbind', channel, kind, number }   removes a binding
//   a number                      one controller message of up to 3 bytes, packed as
//                                 b0 | b1 << 8 | b2 << 16 | count << 24 (see midi())
// Replies: { type: 'state', json } (the engine's state as JSON bytes), { type: 'saved', bytes },
// { type: 'setup-rate', rate }, and while recording { type: 'recorded', buffer, frames } (a
// block of 16-bit stereo frames, transferred) then at its end { type: 'recording', header }
// (the 44-byte wave header for every frame recorded); { type: 'midi-map', text, actions,
// changed, learned } after each MIDI op and each control learned (the mapping as its file's
// bytes, the actions to learn as JSON bytes of [kind, slot, text], whether the mapping changed
// and whether by learning); { type: 'play' } when a controller pressed the play button (the
// page presses its own).
//
// The audio thread neither waits nor allocates per quantum: process() copies from views made
// again only when the engine's memory grows (or the quantum's size changes), the state goes
// out only when it changed and at most STATES_PER_SECOND times a second (messages for the
// person at once), and a recording travels in blocks whose buffers the page hands back. A
// controller message, as many as a flood brings, costs one call into the engine, which queues
// it in its bounded queue.
import { engineResult, instantiateEngine } from './engine.js';

const QUANTUM_MAX = 4096; // frames per mx_render call
const STATES_PER_SECOND = 30;
const RECORD_BLOCK_FRAMES = 8192; // 32 KiB: about 5 blocks a second at 44100 Hz
const RECORD_SPARE_BLOCKS = 3; // made when a recording starts, before any quantum needs them
const MIDI_LEARNED = 3; // what mx_midi returns when the message was learned

class MixoramaProcessor extends AudioWorkletProcessor {
  constructor(options) {
    super();
    const { module, rate, live, ops } = options.processorOptions;
    this.x = instantiateEngine(module);
    this.x.mx_init(rate, live ? 1 : 0);
    this.stateGapFrames = Math.ceil(rate / STATES_PER_SECOND);
    this.framesSinceState = 0;
    this.output = null; // the 16-bit frames of the last mx_render (for the recording)
    this.left = null; // its output channels' samples, one quantum long
    this.right = null;
    this.block = null; // the recording block being filled (Int16Array), null when not recording
    this.blockFrames = 0;
    this.recordedBytes = 0;
    this.spareBlocks = []; // ArrayBuffers ready to record into
    this.port.onmessage = ({ data }) => (typeof data === 'number' ? this.midi(data) : this.apply(data));
    for (const op of ops || []) this.apply(op);
    this.sendState();
  }

  bytes(ptr, size) {
    return new Uint8Array(this.x.memory.buffer, ptr, size);
  }

  putText(bytes) {
    this.bytes(this.x.mx_text(bytes.length), bytes.length).set(bytes);
  }

  result() {
    return engineResult(this.x);
  }

  apply(msg) {
    const x = this.x;
    switch (msg.op) {
      case 'file':
        this.putText(msg.name);
        this.bytes(x.mx_put_file(msg.bytes.length), msg.bytes.length).set(msg.bytes);
        break;
      case 'startup':
        x.mx_load_startup();
        break;
      case 'event':
        this.putText(msg.text);
        x.mx_event();
        break;
      case 'script':
        this.putText(msg.text);
        x.mx_script();
        break;
      case 'play':
        x.mx_play();
        break;
      case 'timing':
        x.mx_set_timing(msg.live ? 1 : 0);
        break;
      case 'save':
        x.mx_save_setup();
        this.port.postMessage({ type: 'saved', bytes: this.result() });
        break;
      case 'setup': {
        this.putText(msg.text);
        const rate = x.mx_load_setup();
        if (rate !== 0) this.port.postMessage({ type: 'setup-rate', rate });
        break;
      }
      case 'record':
        if (msg.on && !this.block) {
          while (this.spareBlocks.length < RECORD_SPARE_BLOCKS) {
            this.spareBlocks.push(new ArrayBuffer(RECORD_BLOCK_FRAMES * 4));
          }
          this.block = new Int16Array(this.spareBlocks.pop());
          this.blockFrames = 0;
          this.recordedBytes = 0;
        } else if (!msg.on && this.block) {
          this.sendBlock();
          this.block = null;
          const header = this.bytes(x.mx_wave_header(this.recordedBytes), 44).slice();
          this.port.postMessage({ type: 'recording', header });
        }
        break;
      case 'recorded':
        this.spareBlocks.push(msg.buffer);
        break;
      case 'midi-map': {
        let changed = false;
        if (msg.text) {
          this.putText(msg.text);
          changed = x.mx_midi_set_map() === 1;
        }
        this.sendMidiMap(changed);
        break;
      }
      case 'midi-learn':
        x.mx_midi_learn(msg.kind, msg.slot);
        break;
      case 'midi-unbind':
        x.mx_midi_unbind(msg.channel, msg.kind, msg.number);
        this.sendMidiMap(true);
        break;
    }
    this.sendState();
  }

  // One controller message: applied before the next tick (at once when not playing), its state
  // sent at the state's pace. Only a learned control makes a reply.
  midi(packed) {
    const result = this.x.mx_midi(packed & 255, (packed >> 8) & 255, (packed >> 16) & 255, packed >>> 24);
    if (result === MIDI_LEARNED) this.sendMidiMap(true, true);
  }

  sendMidiMap(changed, learned = false) {
    this.x.mx_midi_actions();
    const actions = this.result();
    this.x.mx_midi_map();
    this.port.postMessage({ type: 'midi-map', text: this.result(), actions, changed, learned });
  }

  // Hands the block being filled to the page (transferred) and takes a spare one.
  sendBlock() {
    const buffer = this.block.buffer;
    this.recordedBytes += this.blockFrames * 4;
    this.port.postMessage({ type: 'recorded', buffer, frames: this.blockFrames }, [buffer]);
    // The page hands blocks back within a few blocks' time; a new buffer is made only when
    // it has not yet done so.
    this.block = new Int16Array(this.spareBlocks.pop() ?? new ArrayBuffer(RECORD_BLOCK_FRAMES * 4));
    this.blockFrames = 0;
  }

  sendState() {
    if (this.x.mx_state() === 0) return;
    this.framesSinceState = 0;
    const json = this.result();
    this.port.postMessage({ type: 'state', json }, [json.buffer]);
  }

  process(inputs, outputs) {
    const left = outputs[0][0]; // the node is made with two output channels
    const right = outputs[0][1];
    const x = this.x;
    for (let done = 0; done < left.length; ) {
      const n = Math.min(left.length - done, QUANTUM_MAX);
      x.mx_render(n);
      // The views stay while the memory does (when it grows, the old views read as empty) and
      // the quantum keeps its size (it always does).
      if (this.left === null || this.left.length !== n) {
        const memory = x.memory.buffer;
        this.output = new Int16Array(memory, x.mx_output(), QUANTUM_MAX * 2);
        const samples = x.mx_output_float();
        this.left = new Float32Array(memory, samples, n);
        this.right = new Float32Array(memory, samples + QUANTUM_MAX * 4, n);
      }
      left.set(this.left, done);
      right.set(this.right, done);
      if (this.block) this.record(n);
      done += n;
    }
    if (x.mx_midi_take_play() !== 0) this.port.postMessage({ type: 'play' });
    this.framesSinceState += left.length;
    if (this.framesSinceState >= this.stateGapFrames || x.mx_messages_waiting() !== 0) {
      this.sendState();
    }
    return true;
  }

  // Copies the n frames just rendered into the recording, handing full blocks to the page.
  record(n) {
    const frames = this.output;
    for (let i = 0; i < n; ) {
      const count = Math.min(n - i, RECORD_BLOCK_FRAMES - this.blockFrames);
      const block = this.block;
      const at = 2 * this.blockFrames;
      const from = 2 * i;
      for (let k = 0; k < 2 * count; k++) block[at + k] = frames[from + k];
      this.blockFrames += count;
      i += count;
      if (this.blockFrames === RECORD_BLOCK_FRAMES) this.sendBlock();
    }
  }
}

registerProcessor('mixorama', MixoramaProcessor);
