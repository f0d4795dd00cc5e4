// The web page's frame cost in headless Chromium: node bench/web_frame_times.mjs [SECONDS] [DIR]
// (default 60 s of the show, page in build-web/). Per scene, the median and the worst time the
// show's code held the page's thread for one frame (drawing and the canvas copy; not the yield to
// the browser), against the 14.3 ms of a frame at 70 fps; and the time the sound worklet took for
// each 128-frame quantum on the audio thread (the replay, the mixing and the hand-over of the
// quantum and of each block's record), against the 2.9 ms a quantum lasts at 44100 Hz; and how
// closely the picture follows the sound heard in the first 10 s: for every row, the sound heard
// when the first frame showing it was drawn, against the row's first sound in the worklet's output
// (which is xmrender's render from the output's first 8840 frames on; the song's rows and ticks
// from build/'s compose_song and xmrender --trace).
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { openChromium, servePage } from '../tests/web/chromium_session.mjs';

const seconds = Number(process.argv[2] ?? 60);
const folder = process.argv[3] ?? 'build-web';
const kRate = 44100;
const kSongStartFrame = 8840;
const kSyncSeconds = Math.min(10, seconds);

// Where each row of the first seconds starts, in song frames, at the song's one tempo there.
function rowStarts() {
  const scratch = mkdtempSync(join(tmpdir(), 'novaline-bench-'));
  const quiet = { stdio: ['ignore', 'pipe', 'pipe'] };
  execFileSync('build/generators/composer/compose_song', [join(scratch, 'song.xm')], quiet);
  execFileSync('build/tools/xmrender', ['--seconds', `${kSyncSeconds}`, '--trace',
                join(scratch, 'trace.csv'), '-o', join(scratch, 'song.wav'), join(scratch, 'song.xm')], quiet);
  const { bpm } = JSON.parse(execFileSync('build/tools/xmrender', ['--info', join(scratch, 'song.xm')], quiet));
  const ticks = readFileSync(join(scratch, 'trace.csv'), 'utf8').trim().split('\n').slice(1)
    .map(line => line.split(',').map(Number)).filter(f => f[4] === 0).map(f => f[1] << 8 | f[2]);
  rmSync(scratch, { recursive: true, force: true });
  const tickFrames = Math.floor(5 * kRate / (2 * bpm));
  if (ticks.length !== Math.ceil(kSyncSeconds * kRate / tickFrames)) return null;
  const starts = [];
  ticks.forEach((position, k) => {
    if (k === 0 || position !== ticks[k - 1]) starts.push({ position, frame: k * tickFrames });
  });
  return starts;
}
const rows = rowStarts();
const { url, server } = await servePage(folder);
let browser;
try {
  browser = await openChromium();
  await browser.send('Page.navigate', { url });
  if (!await browser.waitFor('document.body.dataset.show === "title"', 30)) {
    throw new Error('the page did not load');
  }
  // Room for every frame of the run, made before the show starts.
  await browser.evaluate(`(() => {
    const capacity = ${Math.ceil(seconds * 70 * 1.2)};
    const times = new Float64Array(capacity), scenes = new Uint8Array(capacity);
    const positions = new Uint32Array(capacity), heard = new Float64Array(capacity);
    let count = 0;
    const sound = Module.novalineSound;
    Module.onFrameShown = us => {
      if (count >= capacity) return;
      times[count] = us;
      scenes[count] = Module._NovalineCurrentScene();
      positions[count] = Module._NovalineSongPosition();
      heard[count++] = sound.origin === null ? -1 : Math.round(sound.context.currentTime * 44100) -
                       sound.origin - Math.floor(sound.latencySeconds() * 44100);
    };
    window.frameTimes = () => ({ times: Array.from(times.subarray(0, count)),
                                 scenes: Array.from(scenes.subarray(0, count)),
                                 positions: Array.from(positions.subarray(0, count)),
                                 heard: Array.from(heard.subarray(0, count)) });
  })()`);
  await browser.click(400, 300);
  await new Promise(resolve => setTimeout(resolve, seconds * 1000));
  const { times, scenes, positions, heard } = await browser.evaluate('window.frameTimes()');
  const budgetMs = 1000 / 70;
  console.log(`${times.length} frames in ${seconds} s (${(times.length / seconds).toFixed(1)} fps)`);
  console.log('scene  frames  median ms  worst ms  over 14.3 ms');
  for (let scene = 0; scene <= 8; ++scene) {
    const ms = times.filter((_, i) => scenes[i] === scene).map(us => us / 1000).sort((a, b) => a - b);
    if (!ms.length) continue;
    const over = ms.filter(t => t > budgetMs).length;
    console.log(`${scene ? scene : 'flash'}`.padStart(5),
                `${ms.length}`.padStart(7), ms[ms.length >> 1].toFixed(2).padStart(10),
                ms[ms.length - 1].toFixed(2).padStart(9), `${over}`.padStart(13));
  }
  if (rows) {
    // Positive: the picture shows the row after its sound began to be heard.
    const late = [];
    for (const { position, frame } of rows.slice(1)) {
      const shown = positions.findIndex((p, i) => p >= position && heard[i] >= 0);
      if (shown >= 0) late.push((heard[shown] - kSongStartFrame - frame) / kRate * 1000);
    }
    late.sort((a, b) => a - b);
    console.log(`sync, first ${kSyncSeconds} s: ${late.length} rows, the first frame showing a row`,
                `drawn ${late[late.length >> 1].toFixed(1)} ms (median) after its sound was heard,`,
                `from ${late[0].toFixed(1)} to ${late[late.length - 1].toFixed(1)} ms`);
  } else {
    console.log('sync: not measured, the song changes its tempo in its first seconds');
  }
  // The audio thread's scope has no fine clock (its times are whole milliseconds), so the
  // worklet's script also runs in a worker, a thread of its own with one: the same processor,
  // the same engine, the show's sound from its start, one quantum after another.
  const quanta = await browser.evaluate(`(async () => {
    const script = await (await fetch("sound_worklet.js")).text();
    const worker = new Worker(URL.createObjectURL(new Blob([\`
      let Processor = null;
      globalThis.currentFrame = 0;
      globalThis.AudioWorkletProcessor = class { constructor() { this.port = { postMessage() {} }; } };
      globalThis.registerProcessor = (name, processor) => { Processor = processor; };
      \${script}
      onmessage = async event => {
        const processor = new Processor({ processorOptions: { wasm: event.data.wasm } });
        while (!processor.running) await new Promise(r => setTimeout(r, 10));
        const outputs = [[new Float32Array(128), new Float32Array(128)]];
        const times = new Float64Array(event.data.quanta);
        for (let i = 0; i < times.length; ++i, currentFrame += 128) {
          const began = performance.now();
          processor.process([], outputs);
          times[i] = performance.now() - began;
        }
        postMessage(times);
      };\`], { type: "text/javascript" })));
    const times = await new Promise(resolve => {
      worker.onmessage = event => resolve(event.data);
      worker.postMessage({ wasm: Module.novalineSound.wasm, quanta: Math.ceil(${seconds} * 44100 / 128) });
    });
    worker.terminate();
    const coarse = await new Promise(resolve => {
      Module.novalineSound.onTimes = resolve;
      Module.novalineSound.node.port.postMessage("times");
    });
    return { times: Array.from(times), worstInWorklet: Math.max(...coarse),
             over: Array.from(times.keys()).filter(i => times[i] > 128 / 44.1) };
  })()`);
  const quantumBudgetMs = 128 / 44100 * 1000;
  const mean = quanta.times.reduce((a, b) => a + b, 0) / quanta.times.length;
  const ms = quanta.times.sort((a, b) => a - b);
  console.log(`sound worklet: ${ms.length} quanta of 128 frames (${seconds} s of the show),`,
              `median ${ms[ms.length >> 1].toFixed(3)} ms, worst ${ms[ms.length - 1].toFixed(3)} ms,`,
              `${ms.filter(t => t > quantumBudgetMs).length} over ${quantumBudgetMs.toFixed(1)} ms;`,
              `on the audio thread itself, in whole ms: worst ${quanta.worstInWorklet} ms`);
  console.log(`  mean ${mean.toFixed(4)} ms, 99.9th percentile ${ms[Math.floor(ms.length * 0.999)].toFixed(3)} ms;`,
              `quanta over budget: ${quanta.over.slice(0, 10).join(' ')}`);
  if (browser.errors.length) console.log(`console errors: ${browser.errors.join(' | ')}`);
} finally {
  server.kill();
  await browser?.close();
}
