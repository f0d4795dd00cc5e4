// The show's sound on the audio thread: the page's own WebAssembly, instantiated a second time
// here, where only its sound runs. The page posts the module's bytes with the node; the engine
// mixes block by block as the native mixing thread does, moved by the quanta rendered here, so
// the sound never waits for the page's thread. Every mixed block's record (the frame it begins at
// and which song position starts where in it) goes to the page through the port, with the
// context frame at which the sound's first frame played; the page answers the heard position
// from them. No memory is shared: the page needs no special headers from its server.
"use strict";

const kQuantumFrames = 128;
// Worklet render times kept for the page's measurement: about three minutes of quanta.
const kTimesKept = 1 << 16;
// Browsers give the audio thread's scope no fine clock (Chromium: none at all), so the times may be
// whole milliseconds.
const clock = typeof performance !== "undefined" ? () => performance.now() : () => Date.now();

// One engine for the whole context, made by the first node; a later node (the show started
// again) takes it over, and the earlier one falls silent and ends.
let engine = null;
let engineOwner = null;

// The page's copy calls the browser through these imports; the sound calls none of them but the
// C library's few, so the rest stand in doing nothing.
function importsFor(module, memoryOf) {
  const known = {
    emscripten_memcpy_big: (to, from, bytes) => {
      const heap = new Uint8Array(memoryOf().buffer);
      heap.copyWithin(to, from, from + bytes);
    },
    emscripten_resize_heap: () => 0,
    abort: () => { throw new Error("the sound's engine aborted"); },
  };
  const imports = {};
  for (const { module: name, name: field, kind } of WebAssembly.Module.imports(module)) {
    if (kind !== "function") continue;
    imports[name] = imports[name] || {};
    imports[name][field] = known[field] || (() => 0);
  }
  return imports;
}

async function makeEngine(bytes) {
  const module = await WebAssembly.compile(bytes);
  let memory = null;
  const instance = await WebAssembly.instantiate(module, importsFor(module, () => memory));
  const calls = instance.exports;
  memory = calls.memory;
  calls.__wasm_call_ctors();
  return { calls, memory };
}

class NovalineSound extends AudioWorkletProcessor {
  constructor(options) {
    super();
    this.running = false;
    this.stopped = false;
    this.blocksSent = 0;
    this.times = new Float32Array(kTimesKept);
    this.timesCount = 0;
    engineOwner = this;
    this.port.onmessage = event => {
      if (event.data === "stop") {
        this.stopped = true;
        if (engineOwner === this && engine) engine.calls.NovalineWorkletStop();
      } else if (event.data === "times") {
        const count = Math.min(this.timesCount, kTimesKept);
        this.port.postMessage({ times: this.times.slice(0, count) });
      }
    };
    const begin = () => {
      if (engineOwner !== this || this.stopped) return;
      engine.calls.NovalineWorkletStart();
      const at = engine.calls.NovalineWorkletRender(0);
      this.frames = new Float32Array(engine.memory.buffer, at, 2 * kQuantumFrames);
      this.words = new Uint32Array(engine.memory.buffer);
      this.running = true;
    };
    if (engine) {
      begin();
    } else {
      makeEngine(options.processorOptions.wasm).then(made => { engine = made; begin(); })
        .catch(error => this.port.postMessage({ failed: String(error) }));
    }
  }

  process(inputs, outputs) {
    if (this.stopped || engineOwner !== this) return false;
    if (!this.running) return true;  // silence until the engine is ready
    const began = clock();
    const calls = engine.calls;
    calls.NovalineWorkletRender(kQuantumFrames);
    const out = outputs[0];
    out[0].set(this.frames.subarray(0, kQuantumFrames));
    if (out.length > 1) out[1].set(this.frames.subarray(kQuantumFrames, 2 * kQuantumFrames));
    if (this.origin === undefined) {
      // The device's frame 0 is this quantum's first.
      this.origin = currentFrame;
      this.port.postMessage({ origin: currentFrame });
    }
    for (const mixed = calls.NovalineWorkletBlocks(); this.blocksSent < mixed; ++this.blocksSent) {
      const at = calls.NovalineWorkletBlock(this.blocksSent);
      if (!at) continue;
      // MixedBlockRecord: the first frame (64 bits), the peak, the mark count, the marks.
      const w = at >> 2;
      const words = this.words;
      const marks = words.subarray(w + 3, w + 4 + Math.min(words[w + 3], 8));
      this.port.postMessage({ block: [words[w] + words[w + 1] * 4294967296, words[w + 2], ...marks] });
    }
    this.times[this.timesCount++ % kTimesKept] = clock() - began;
    return true;
  }
}

registerProcessor("novaline-sound", NovalineSound);
