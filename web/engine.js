// The engine module made ready to use, as the audio worklet and the page make it: a standalone
// WebAssembly module whose only imports are these. No file descriptors exist: the engine's
// files are in its memory (page_files.cpp).
export function instantiateEngine(module) {
  const instance = new WebAssembly.Instance(module, {
    env: { emscripten_notify_memory_growth() {} },
    wasi_snapshot_preview1: {
      proc_exit(code) {
        throw new Error(`engine exit ${code}`);
      },
      fd_close: () => 8,
      fd_write: () => 8,
      fd_seek: () => 8,
    },
  });
  instance.exports._initialize();
  return instance.exports;
}

// The engine's result buffer (mx_result, mx_result_size) as a copy.
export function engineResult(x) {
  return new Uint8Array(x.memory.buffer, x.mx_result(), x.mx_result_size()).slice();
}
