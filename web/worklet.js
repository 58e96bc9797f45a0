// The audio worklet is the sound device: it plays the engine's ring, counting frames. Each
// render quantum moves the engine's clock by its frames (ticks run when their frame counts
// are reached) and outputs the frames played, as 16-bit values / 32768.
//
// processorOptions: { module: the compiled engine (WebAssembly.Module), rate: the output rate,
// live: true for the live timing (a 256-frame ring, a tick every 128 frames), otherwise the
// program's; ops: messages applied in order before the first quantum }. Messages (port or ops):
//   { op: 'file', name, bytes }   a file the engine may open by name (Latin-1 name bytes)
//   { op: 'startup' }             loads the start-up set (its files given before)
//   { op: 'event', text }         one input event: 'move X Y', 'left [K]', 'sync', ...
//   { op: 'script', text }        a timed performance from the start of playback
//   { op: 'play' }                the play button
//   { op: 'save' } / { op: 'setup', text }   setup files
//   { op: 'record', on }          starts or ends a recording of the output
// Replies: { type: 'state', json }, { type: 'saved', bytes }, { type: 'setup-rate', rate },
// { type: 'recording', wav }.
const QUANTUM_MAX = 4096;

class MixoramaProcessor extends AudioWorkletProcessor {
  constructor(options) {
    super();
    const { module, rate, live, ops } = options.processorOptions;
    const instance = new WebAssembly.Instance(module, {
      env: { emscripten_notify_memory_growth() {} },
      wasi_snapshot_preview1: {
        proc_exit(code) {
          throw new Error(`engine exit ${code}`);
        },
        // No file descriptors exist: the engine's files are in memory.
        fd_close: () => 8,
        fd_write: () => 8,
        fd_seek: () => 8,
      },
    });
    this.x = instance.exports;
    this.x._initialize();
    this.x.mx_init(rate, live ? 1 : 0);
    this.recording = null;
    this.port.onmessage = (e) => this.apply(e.data);
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
    return this.bytes(this.x.mx_result(), this.x.mx_result_size()).slice();
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
        if (msg.on) {
          this.recording = [];
        } else if (this.recording) {
          this.port.postMessage({ type: 'recording', wav: this.wave(this.recording) });
          this.recording = null;
        }
        break;
    }
    this.sendState();
  }

  // A 16-bit stereo wave file of the recorded blocks, with the engine's header.
  wave(blocks) {
    const dataBytes = blocks.reduce((n, b) => n + b.byteLength, 0);
    const out = new Uint8Array(44 + dataBytes);
    out.set(this.bytes(this.x.mx_wave_header(dataBytes), 44));
    let at = 44;
    for (const b of blocks) {
      out.set(new Uint8Array(b.buffer, b.byteOffset, b.byteLength), at);
      at += b.byteLength;
    }
    return out;
  }

  sendState() {
    if (this.x.mx_state() === 0) return;
    const b = this.result();
    let json = '';
    for (let i = 0; i < b.length; i += 4096) {
      json += String.fromCharCode.apply(null, b.subarray(i, i + 4096));
    }
    this.port.postMessage({ type: 'state', json });
  }

  process(inputs, outputs) {
    const out = outputs[0];
    const [left, right] = out; // the node is made with two output channels
    for (let done = 0; done < left.length; ) {
      const n = Math.min(left.length - done, QUANTUM_MAX);
      this.x.mx_render(n);
      const frames = new Int16Array(this.x.memory.buffer, this.x.mx_output(), n * 2);
      for (let i = 0; i < n; i++) {
        left[done + i] = frames[2 * i] / 32768;
        right[done + i] = frames[2 * i + 1] / 32768;
      }
      if (this.recording) this.recording.push(frames.slice());
      done += n;
    }
    this.sendState();
    return true;
  }
}

registerProcessor('mixorama', MixoramaProcessor);
